// The services the program runs with: Qt's dialogs, real sleeping, the
// system clock and random source, the device maker's libraries and libcurl
// for the update server; and the program's one state object.
#pragma once

#include "app/app_state.h"
#include "app/real_services.h"
#include "devicelink/kestrum_device_link.h"
#include "updateservice/browser_launch.h"
#include "updateservice/curl_http_client.h"
#include "updateservice/server_address.h"

struct ProgramServices {
  QtDialogs dialogs;
  RealSleeper sleeper;
  SystemClock clock;
  StdRandom random;
  KestrumDeviceLink device;
  CurlHttpClient http;
  SystemBrowser browser;
  QString updateServer = QString::fromStdString(defaultUpdateServer());
  AppState state;

  AppServices services() {
    AppServices s{&dialogs, &sleeper, &clock, &random, &device};
    s.http = &http;
    s.browser = &browser;
    s.updateServer = updateServer;
    s.state = &state;
    return s;
  }
};
