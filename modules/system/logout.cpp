// "/1014": logging out leaves an entry in the operation log and, with
// server-side sessions, ends the caller's session.
#include "frame/route_access.h"
#include "modules/system/system_module.h"

void on_user_logout(char*) {
  cgi_send_operation_log(kLogSubLogout, kLogParamNone, 0);
  nvr::auth::close_current_session();
  cgi_writeback_webserver(kRespText, "OK");
}
