#include "app/shutdown.h"

#include "app/mainform.h"
#include "app/ui_thread.h"
#include "session/discovery.h"
#include "updateservice/web_fetch.h"

void shutDownProgram(TMainForm& form) {
  if (form.isVisible()) form.close();
  waitOnUiThread([] { return !deviceSearchRunning(); });
  // A web fetch ends within the HTTP client's bounds; its window changes are
  // no-ops by now, but it still uses the program's services.
  waitOnUiThread([] { return !webFetchRunning(); });
}
