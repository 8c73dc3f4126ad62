// The request-reading layer: CGI environment, request bodies and uploads.
#pragma once

#include <cstdint>
#include <cstdio>

// Request strings, set once at start from the environment; never null.
extern const char* cgiServerSoftware;
extern const char* cgiServerName;
extern const char* cgiGatewayInterface;
extern const char* cgiServerProtocol;
extern const char* cgiServerPort;
extern const char* cgiRequestMethod;
extern const char* cgiPathInfo;
extern const char* cgiPathTranslated;
extern const char* cgiScriptName;
extern const char* cgiQueryString;
extern const char* cgiRemoteHost;
extern const char* cgiRemoteAddr;
extern const char* cgiAuthType;
extern const char* cgiRemoteUser;
extern const char* cgiRemoteIdent;
extern const char* cgiServerAddr;  // HTTP_HOST, possibly with ":port"
extern char* cgiContentType;       // the media type only, after parsing
extern const char* cgiMultipartBoundary;
extern int32_t cgiContentLength;
extern const char* cgiAccept;
extern const char* cgiUserAgent;
extern const char* cgiReferrer;
extern const char* cgiCookie;
extern FILE* cgiIn;
extern FILE* cgiOut;

constexpr int kCgiContentTypeSize = 1024;
extern char cgiContentTypeData[kCgiContentTypeSize];

// Reads the environment into the globals above and parses the content type.
void cgi_capture_environment();

// Runs one request: capture, read, dispatch, clean up. The program's main().
int cgi_main();

// CONTENT_LENGTH as sent, or -1 when absent or malformed.
int64_t cgi_declared_content_length();

void cgiDealGet();
void cgiDealPost();
void cgiDealUpload();

// Copies src to dst replacing every `from` by `to`; dst must be large enough.
void strrpl(char* dst, const char* src, const char* from, const char* to);

// Location and cookie headers (Part of the login redirects).
void cgiHeaderLocation(const char* url);
void cgiHeaderCookieSetString(const char* name, const char* value, int seconds_to_live,
                              const char* path, const char* domain);

// ---- multipart form entries -------------------------------------------------

struct cgiFormEntry {
  char* attr = nullptr;         // field name
  char* value = nullptr;        // content of a non-file part, "" for a file part
  int valueLength = 0;          // number of content bytes
  char* fileName = nullptr;     // filename attribute as sent
  char* contentType = nullptr;  // the part's Content-Type
  char* tfileName = nullptr;    // temporary file of a file part, "" otherwise
  cgiFormEntry* next = nullptr;
};

enum cgiFormResult : int {
  cgiFormSuccess = 0,
  cgiFormTruncated = 1,
  cgiFormNotFound = 4,
  cgiFormNoFileName = 8,
};

extern cgiFormEntry* cgiFormEntryFirst;

// 0 success, 1 out of memory, 2 temporary file could not be created.
int parse_multipart_body();
cgiFormEntry* find_form_entry(const char* name);
int cgiFormFileName(const char* name, char* buffer, int size);
// Removes every entry, and the temporary files still under their temporary name.
void cgi_free_form_entries();

int cgi_is_raw_upload_route(const char* code);
int cgi_get_query_param(const char* text, const char* key, char* buffer, int size);
int cgi_sanitize_file_name(char* buffer, int size, const char* name);
