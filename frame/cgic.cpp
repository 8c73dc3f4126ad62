// Start of a run: the CGI environment, the choice of reading path, GET and
// POST bodies, and the clean-up at exit.
#include "frame/cgic.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "frame/dispatchreq.h"

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
constexpr int kPostMaxLineReads = 128;

const char* env_or_empty(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// CONTENT_LENGTH as an int32; absent, malformed, negative or too large gives 0.
int32_t parse_content_length(const char* text) {
  if (!*text) return 0;
  char* end = nullptr;
  errno = 0;
  long long value = strtoll(text, &end, 10);
  if (errno || end == text || *end || value < 0 || value > INT32_MAX) return 0;
  return static_cast<int32_t>(value);
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

  cgiContentLength = parse_content_length(env_or_empty("CONTENT_LENGTH"));
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

void cgiDealPost() {
  char code[kRouteCodeMax + 1];
  route_code(code, sizeof code);
  if (!*code) return;
  // Lives until the process ends (or the next request read in the same
  // process), as handlers may keep pointers into it; held here, so that it
  // is not a leak.
  static char* body = nullptr;
  free(body);
  body = static_cast<char*>(calloc(kPostBufferSize, 1));
  if (!body) return;
  size_t length = 0;
  for (int reads = 0; reads < kPostMaxLineReads && length < kPostBufferSize - 1; ++reads) {
    if (!fgets(body + length, static_cast<int>(kPostBufferSize - length), cgiIn)) break;
    length += strlen(body + length);
  }
  DispatchWebReq(code, body);
}

void cgiHeaderLocation(const char* url) {
  fprintf(cgiOut ? cgiOut : stdout, "Location: %s\r\n\r\n", url ? url : "");
}

void cgiHeaderCookieSetString(const char* name, const char* value, int seconds_to_live,
                              const char* path, const char* domain) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t expires = time(nullptr) + seconds_to_live;
  struct tm gmt;
  gmtime_r(&expires, &gmt);
  fprintf(cgiOut ? cgiOut : stdout,
          "Set-Cookie: %s=%s; domain=%s; expires=%s, %02d-%s-%04d %02d:%02d:%02d GMT; path=%s\r\n",
          name ? name : "", value ? value : "", domain ? domain : "", kDays[gmt.tm_wday],
          gmt.tm_mday, kMonths[gmt.tm_mon], gmt.tm_year + 1900, gmt.tm_hour, gmt.tm_min, gmt.tm_sec,
          path ? path : "");
}

int cgi_main() {
  cgi_capture_environment();
  const bool post = strcasecmp(cgiRequestMethod, "post") == 0;
  int result = 0;
  if (post && (strcasecmp(cgiContentType, "application/x-www-form-urlencoded") == 0 ||
               strcasecmp(cgiContentType, "application/json") == 0)) {
    cgiDealPost();
  } else if (post && strcasecmp(cgiContentType, "multipart/form-data") == 0) {
    // The recorder's firmware image reaches the device outside this program:
    // its body is left unread.
    if (strcmp(cgiPathInfo, "/1010") == 0 || parse_multipart_body() == 0)
      cgiDealUpload();
    else
      result = -1;
  } else if (strcasecmp(cgiRequestMethod, "get") == 0) {
    cgiContentLength = static_cast<int32_t>(strlen(cgiQueryString));
    cgiDealGet();
  }
  fflush(stdout);
  cgi_free_form_entries();
  return result;
}
