// "/1014": logging out leaves an entry in the operation log; the session
// itself lives in the browser's cookies.
#include "frame/ipc.h"
#include "frame/web_utils.h"
#include "modules/system/login.h"

namespace {
constexpr int64_t kSubTypeLogout = 202;
constexpr int32_t kParamTypeUser = 900;
}  // namespace

void on_user_logout(char*) {
  cgi_send_operation_log(kSubTypeLogout, kParamTypeUser, 0);
  cgi_writeback_webserver(kRespText, "OK");
}
