// The query and body reader: the CGI environment (content type and boundary,
// content length, query string) and the request data a GET or POST run hands
// its handler, read through the body reader in pieces of varying size.
//
//   <flags><piece seed><content type>\n<content length>\n<query>\n<body>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/body_input.h"
#include "frame/cgic.h"
#include "frame/dispatchreq.h"
#include "frame/web_utils.h"
#include "fuzz/harness.h"

namespace {

bool g_get = false;

// What the frame promises every handler about its data.
void check_data(char* data) {
  if (!data) abort();
  const size_t length = strlen(data);
  if (g_get && length > 1023) abort();
  if (!g_get) {
    if (length > 30719) abort();
    size_t lines = 0;
    for (const char* p = data; *p; ++p) lines += *p == '\n';
    if (lines > 128) abort();
  }
}

const Route kRoutes[] = {{"/fzbody", check_data}};

void check_query_helpers(uint8_t flags) {
  char value[64];
  const int size = 1 + flags % static_cast<int>(sizeof value);
  if (cgi_get_query_param(cgiQueryString, "param:", value, size) == 0 &&
      strlen(value) >= static_cast<size_t>(size))
    abort();
  char name[64];
  if (cgi_sanitize_file_name(name, size, cgiQueryString) == 0 &&
      (strchr(name, '/') || strstr(name, "..") || strlen(name) >= static_cast<size_t>(size)))
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  fuzz::setup_process((*argv)[0]);
  RouteRegister(kRoutes, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  const uint8_t flags = in.u8();
  const uint8_t seed = in.u8();
  const std::string content_type(in.until('\n'));
  const std::string content_length(in.until('\n'));
  const std::string query(in.until('\n'));
  g_get = flags & 1;
  setenv("REQUEST_METHOD", g_get ? "GET" : "POST", 1);
  setenv("PATH_INFO", "/fzbody", 1);
  setenv("CONTENT_TYPE", content_type.c_str(), 1);
  setenv("CONTENT_LENGTH", content_length.c_str(), 1);
  setenv("QUERY_STRING", query.c_str(), 1);
  cgi_capture_environment();
  cgi_answer_reset();
  // The boundary lies inside the media type text it was cut from.
  if (*cgiMultipartBoundary && (cgiMultipartBoundary < cgiContentTypeData ||
                                cgiMultipartBoundary >= cgiContentTypeData + kCgiContentTypeSize))
    abort();

  cgi_body() = BodyInput::from_callback(fuzz::pieces_of(std::string(in.rest()), seed),
                                        cgi_declared_content_length());
  if (g_get)
    cgiDealGet();
  else
    cgiDealPost();
  check_query_helpers(flags >> 1);
  cgi_body().drain();
  if (!cgi_body().finished()) abort();
  fflush(stdout);
  return 0;
}
