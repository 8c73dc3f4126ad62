// Start of a run: the CGI environment, the choice of reading path, GET and
// POST bodies, and the clean-up at exit.
#include "frame/cgic.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "frame/body_input.h"
#include "frame/dispatchreq.h"
#include "frame/route_access.h"
#include "frame/web_utils.h"

const char* cgiServerSoftware = "";
const char* cgiServerName = "";
const char* cgiGatewayInterface = "";
const char* cgiServerProtocol = "";
const char* cgiServerPort = "";
const char* cgiRequestMethod = "";
const char* cgiPathInfo = "";
const char* cgiPathTranslated = "";
const char* cgiScriptName = "";
const char* cgiQueryString = "";
const char* cgiRemoteHost = "";
const char* cgiRemoteAddr = "";
const char* cgiAuthType = "";
const char* cgiRemoteUser = "";
const char* cgiRemoteIdent = "";
const char* cgiServerAddr = "";
char cgiContentTypeData[kCgiContentTypeSize];
char* cgiContentType = cgiContentTypeData;
const char* cgiMultipartBoundary = "";
int32_t cgiContentLength = 0;
const char* cgiAccept = "";
const char* cgiUserAgent = "";
const char* cgiReferrer = "";
const char* cgiCookie = "";
FILE* cgiIn = nullptr;
FILE* cgiOut = nullptr;

namespace {

constexpr size_t kRouteCodeMax = 127;
constexpr size_t kQueryMax = 1023;
constexpr size_t kPostBufferSize = 30720;
constexpr int kPostMaxLines = 128;

// CONTENT_LENGTH as sent: -1 when absent or malformed.
int64_t g_declared_length = -1;
// The JSON or text body handed to the handler; freed when the run ends.
char* g_post_body = nullptr;

const char* env_or_empty(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// CONTENT_LENGTH as a number; -1 when absent, malformed, negative or too large.
int64_t parse_content_length(const char* text) {
  if (!*text) return -1;
  char* end = nullptr;
  errno = 0;
  long long value = strtoll(text, &end, 10);
  if (errno || end == text || *end || value < 0 || value > INT32_MAX) return -1;
  return value;
}

// Cuts the parameters off the media type and finds the boundary among them,
// wherever it stands.
void parse_content_type() {
  cgiMultipartBoundary = "";
  char* semicolon = strchr(cgiContentTypeData, ';');
  while (semicolon) {
    *semicolon = '\0';
    char* param = semicolon + 1;
    while (isspace(static_cast<unsigned char>(*param))) ++param;
    if (strncasecmp(param, "boundary=", 9) == 0) {
      char* boundary = param + 9;
      char* end = boundary;
      while (*end && !isspace(static_cast<unsigned char>(*end))) ++end;
      *end = '\0';
      cgiMultipartBoundary = boundary;
      return;
    }
    semicolon = strchr(param, ';');
  }
}

void route_code(char* out, size_t size) {
  snprintf(out, size, "%.*s", static_cast<int>(size - 1), cgiPathInfo);
}

}  // namespace

void cgi_capture_environment() {
  cgiServerSoftware = env_or_empty("SERVER_SOFTWARE");
  cgiServerName = env_or_empty("SERVER_NAME");
  cgiGatewayInterface = env_or_empty("GATEWAY_INTERFACE");
  cgiServerProtocol = env_or_empty("SERVER_PROTOCOL");
  cgiServerPort = env_or_empty("SERVER_PORT");
  cgiRequestMethod = env_or_empty("REQUEST_METHOD");
  cgiPathInfo = env_or_empty("PATH_INFO");
  cgiPathTranslated = env_or_empty("PATH_TRANSLATED");
  cgiScriptName = env_or_empty("SCRIPT_NAME");
  cgiQueryString = env_or_empty("QUERY_STRING");
  cgiRemoteHost = env_or_empty("REMOTE_HOST");
  cgiRemoteAddr = env_or_empty("REMOTE_ADDR");
  cgiAuthType = env_or_empty("AUTH_TYPE");
  cgiRemoteUser = env_or_empty("REMOTE_USER");
  cgiRemoteIdent = env_or_empty("REMOTE_IDENT");
  cgiServerAddr = env_or_empty("HTTP_HOST");

  snprintf(cgiContentTypeData, sizeof cgiContentTypeData, "%s", env_or_empty("CONTENT_TYPE"));
  cgiContentType = cgiContentTypeData;
  parse_content_type();

  g_declared_length = parse_content_length(env_or_empty("CONTENT_LENGTH"));
  cgiContentLength = static_cast<int32_t>(g_declared_length < 0 ? 0 : g_declared_length);
  cgiAccept = env_or_empty("HTTP_ACCEPT");
  cgiUserAgent = env_or_empty("HTTP_USER_AGENT");
  cgiReferrer = env_or_empty("HTTP_REFERER");
  cgiCookie = env_or_empty("HTTP_COOKIE");
  cgiFormEntryFirst = nullptr;
  cgiIn = stdin;
  cgiOut = stdout;
}

void strrpl(char* dst, const char* src, const char* from, const char* to) {
  size_t from_length = strlen(from);
  size_t to_length = strlen(to);
  while (*src) {
    if (from_length && strncmp(src, from, from_length) == 0) {
      memcpy(dst, to, to_length);
      dst += to_length;
      src += from_length;
    } else {
      *dst++ = *src++;
    }
  }
  *dst = '\0';
}

void cgiDealGet() {
  char code[kRouteCodeMax + 1];
  route_code(code, sizeof code);
  if (!*code) return;
  char query[kQueryMax + 1];
  snprintf(query, sizeof query, "%s", cgiQueryString);
  // Replacing "%22" by one character only shortens the text.
  char data[kQueryMax + 1];
  strrpl(data, query, "%22", "\"");
  DispatchWebReq(code, data);
}

int64_t cgi_declared_content_length() { return g_declared_length; }

void cgiDealPost() {
  char code[kRouteCodeMax + 1];
  route_code(code, sizeof code);
  if (!*code) return;
  // Kept until the run ends (handlers may keep pointers into it), then freed.
  free(g_post_body);
  g_post_body = static_cast<char*>(calloc(kPostBufferSize, 1));
  char* body = g_post_body;
  if (!body) return;
  // At most 30719 characters and 128 lines; what follows is drained at exit.
  size_t length = 0;
  int lines = 0;
  while (length < kPostBufferSize - 1 && lines < kPostMaxLines) {
    size_t got = body_read(body + length, kPostBufferSize - 1 - length);
    if (got == 0) break;
    for (size_t i = length; i < length + got; ++i) {
      if (body[i] == '\0') body[i] = ' ';  // a NUL would end the text early
      if (body[i] == '\n' && ++lines == kPostMaxLines) {
        memset(body + i + 1, 0, length + got - i - 1);
        got = i + 1 - length;
        break;
      }
    }
    length += got;
  }
  body[length] = '\0';
  DispatchWebReq(code, body);
}

void cgiHeaderLocation(const char* url) { cgi_redirect(url); }

void cgiHeaderCookieSetString(const char* name, const char* value, int seconds_to_live,
                              const char* path, const char* domain) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t expires = time(nullptr) + seconds_to_live;
  struct tm gmt;
  gmtime_r(&expires, &gmt);
  char line[1024];
  snprintf(line, sizeof line,
           "Set-Cookie: %s=%s; domain=%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=%s\r\n",
           name ? name : "", value ? value : "", domain ? domain : "", kDays[gmt.tm_wday],
           gmt.tm_mday, kMonths[gmt.tm_mon], gmt.tm_year + 1900, gmt.tm_hour, gmt.tm_min,
           gmt.tm_sec, path ? path : "");
  // Written with the answer's header lines, after its first line.
  cgi_add_cookie_line(line);
}

namespace {

bool is_post() { return strcasecmp(cgiRequestMethod, "post") == 0; }

// Why a run that wrote nothing was refused, for the debug log.
const char* refusal_reason(bool dispatched, int parse_result) {
  if (parse_result != 0) return "the multipart body could not be parsed";
  if (!dispatched) return "its method or media type is not handled";
  return "the handler refused the request";
}

// A run must answer at least a header: a route nobody registered gets 404, a
// request the program refused 400, each with one debug-log line.
void answer_if_silent(bool dispatched, int parse_result) {
  if (cgi_output_written()) return;
  const bool known =
      *cgiPathInfo && strlen(cgiPathInfo) <= kRouteCodeMax && FindWebRes(cgiPathInfo) != nullptr;
  if (!known) {
    CGI_LOG("route \"%.127s\" (%s): no such route", cgiPathInfo, cgiRequestMethod);
    cgi_answer_status("404 Not Found");
    return;
  }
  CGI_LOG("route \"%s\" (%s %s): refused: %s", cgiPathInfo, cgiRequestMethod, cgiContentType,
          refusal_reason(dispatched, parse_result));
  cgi_answer_status("400 Bad Request");
}

}  // namespace

int cgi_main() {
  // A browser that leaves a download must not end the run before it removes
  // what it sent: a write to a closed connection fails instead.
  signal(SIGPIPE, SIG_IGN);
  cgi_capture_environment();
  cgi_answer_reset();
  const bool post = is_post();
  const UploadKind upload = route_upload_kind(cgiPathInfo);
  if (post) body_begin(g_declared_length);
  int result = 0;
  bool dispatched = false;
  if (!nvr::auth::route_access_admit(cgiPathInfo)) {
    // Refused before anything of the request is read; the refusal is answered.
  } else if (post && (strcasecmp(cgiContentType, "application/x-www-form-urlencoded") == 0 ||
                      strcasecmp(cgiContentType, "application/json") == 0)) {
    cgiDealPost();
    dispatched = true;
  } else if (post && strcasecmp(cgiContentType, "multipart/form-data") == 0) {
    // The recorder's firmware image reaches the device outside this program:
    // its body is left unread.
    if (upload == UploadKind::RawUnread || (result = parse_multipart_body()) == 0) {
      cgiDealUpload();
      dispatched = true;
    } else {
      result = -1;
    }
  } else if (strcasecmp(cgiRequestMethod, "get") == 0) {
    cgiContentLength = static_cast<int32_t>(strlen(cgiQueryString));
    cgiDealGet();
    dispatched = true;
  }
  answer_if_silent(dispatched, result);
  fflush(stdout);
  // A body left unfinished is read to its end (bounded), so that the web
  // server can write all of it; one the device takes another way stays unread.
  if (post && upload != UploadKind::RawUnread) body_drain();
  cgi_free_form_entries();
  free(g_post_body);
  g_post_body = nullptr;
  return result;
}
