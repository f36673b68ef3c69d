#include "app/control_builders.h"
#include "app/mainform.h"

void connectFirmwareHandlers(TMainForm&) {}
bool confirmCloseDuringUpdate(TMainForm&) { return true; }
