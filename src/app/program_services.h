// The services the program runs with: Qt's dialogs, real sleeping, the
// system clock and random source, and the device maker's libraries.
#pragma once

#include "app/real_services.h"
#include "devicelink/kestrum_device_link.h"

struct ProgramServices {
  QtDialogs dialogs;
  RealSleeper sleeper;
  SystemClock clock;
  StdRandom random;
  KestrumDeviceLink device;

  AppServices services() { return AppServices{&dialogs, &sleeper, &clock, &random, &device}; }
};
