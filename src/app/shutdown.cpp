#include "app/shutdown.h"

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "session/discovery.h"

void shutDownProgram(TMainForm& form) {
  if (form.isVisible()) form.close();
  waitOnUiThread([] { return !deviceSearchRunning(); });
}
