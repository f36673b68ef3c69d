// Starting the storage listing after login.
#include "app/mainform.h"
#include "devicelink/device_link.h"
#include "session/device_session.h"

void TMainForm::StartRootListing() {
  // The listing worker of the file page is not built yet: the session does
  // not keep a connection it would never use.
  device().ReleaseSocket(&deviceSession().CommandConnection);
}
