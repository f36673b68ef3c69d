// The device search worker: a detached thread that runs the blocking UDP
// search and tells the login panel through its page functions.
#pragma once

class TMainForm;
class IDeviceLink;
struct AppState;

// Starts one search on the window's thread; searches run one after another.
void startDeviceSearch(TMainForm& form, AppState& state, IDeviceLink& link);
