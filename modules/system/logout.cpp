// "/1014": logging out leaves an entry in the operation log; the session
// itself lives in the browser's cookies.
#include "modules/system/system_module.h"

void on_user_logout(char*) {
  cgi_send_operation_log(kLogSubLogout, kLogParamNone, 0);
  cgi_writeback_webserver(kRespText, "OK");
}
