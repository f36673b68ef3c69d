#include "updateservice/curl_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>

namespace {

// The soname the Debian package depends on (libcurl4).
constexpr const char* kLibraryName = "libcurl.so.4";

template <typename Fn>
bool resolve(void* library, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(::dlsym(library, name));
  return *fn != nullptr;
}

const CurlLibrary* load() {
  static CurlLibrary curl;
  void* library = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);  // kept for the program's life
  const bool ok = library && resolve(library, "curl_global_init", &curl.global_init) &&
                  resolve(library, "curl_easy_init", &curl.easy_init) &&
                  resolve(library, "curl_easy_setopt", &curl.easy_setopt) &&
                  resolve(library, "curl_easy_perform", &curl.easy_perform) &&
                  resolve(library, "curl_easy_getinfo", &curl.easy_getinfo) &&
                  resolve(library, "curl_easy_cleanup", &curl.easy_cleanup);
  if (!ok) {
    const char* reason = ::dlerror();
    std::fprintf(stderr, "tovarin: cannot load %s: %s\n", kLibraryName, reason ? reason : "?");
    return nullptr;
  }
  if (curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    std::fprintf(stderr, "tovarin: %s did not initialise\n", kLibraryName);
    return nullptr;
  }
  return &curl;
}

}  // namespace

const CurlLibrary* curlLibrary() {
  static std::once_flag once;
  static const CurlLibrary* loaded = nullptr;
  std::call_once(once, [] { loaded = load(); });
  return loaded;
}
