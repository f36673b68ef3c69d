#include "app/shutdown.h"

#include "app/mainform.h"
#include "common/ui_thread.h"
#include "session/discovery.h"
#include "updateservice/http_client.h"
#include "updateservice/web_fetch.h"

void shutDownProgram(TMainForm& form) {
  if (form.isVisible()) form.close();
  waitOnUiThread([] { return !deviceSearchRunning(); });
  // A web fetch still running is abandoned (also one whose request began
  // after the close); its window changes are no-ops by now, but it still
  // uses the program's services.
  IHttpClient* http = form.services().http;
  waitOnUiThread([] { return !webFetchRunning(); },
                 [http] {
                   if (http) http->abandonRequestsInFlight();
                 });
}
