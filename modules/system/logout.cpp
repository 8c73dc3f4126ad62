// "/1014": logging out leaves an entry in the operation log and, with
// server-side sessions, ends the caller's session.
#include "frame/ipc.h"
#include "frame/oplog_codes.h"
#include "frame/route_access.h"
#include "frame/web_utils.h"
#include "modules/system/login.h"

void on_user_logout(char*) {
  cgi_send_operation_log(kLogSubLogout, kLogParamNone, 0);
  nvr::auth::close_current_session();
  cgi_writeback_webserver(kRespText, "OK");
}
