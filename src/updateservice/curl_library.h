// libcurl, loaded the first time a request is made rather than when the
// program starts: linking it brings some twenty further libraries whose
// loading would hold back the window's first paint by about 20 ms, and only
// the online update and the web messages ever need them.
#pragma once

#include <curl/curl.h>

#include <string>

struct CurlLibrary {
  CURLcode (*global_init)(long flags);
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...);
  CURLcode (*easy_perform)(CURL* handle);
  CURLcode (*easy_getinfo)(CURL* handle, CURLINFO info, ...);
  void (*easy_cleanup)(CURL* handle);
};

// The library, loaded and initialised once for the whole program; null when
// it cannot be loaded (the reason is written to standard error once).
const CurlLibrary* curlLibrary();
