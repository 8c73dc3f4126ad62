// Multipart uploads: the body parser, the form-entry list, and the request
// data that an upload hands to its route's handler.
#include "frame/multipart.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "frame/body_input.h"
#include "frame/cgic.h"
#include "frame/dispatchreq.h"
#include "platform/device_path.h"

cgiFormEntry* cgiFormEntryFirst = nullptr;

namespace {

constexpr size_t kLineSize = 1024;   // header lines and attribute values
constexpr size_t kValueStart = 256;  // first size of an in-memory value
// Field values are small (names, options); a larger one counts as out of memory.
constexpr size_t kValueLimit = 1u << 20;
constexpr size_t kRingSize = 1024;

enum ParseResult { kParseOk = 0, kParseNoMemory = 1, kParseNoTempFile = 2 };

// Body bytes (never more than CONTENT_LENGTH, see body_input.h) through a
// small buffer that also takes bytes pushed back.
class BodyReader {
 public:
  explicit BodyReader(BodyInput& body) : body_(body) {}

  int get() {
    if (pushed_) return pushback_[--pushed_];
    if (pos_ == filled_) {
      size_t got = body_.read(ring_, kRingSize);
      if (got == 0) return EOF;
      pos_ = 0;
      filled_ = got;
    }
    return ring_[pos_++];
  }

  // Pushes back bytes so that they are read again in their order.
  bool unget(const unsigned char* bytes, size_t count) {
    if (pushed_ + count > kRingSize) return false;
    for (size_t i = count; i > 0; --i) pushback_[pushed_++] = bytes[i - 1];
    return true;
  }

 private:
  BodyInput& body_;
  unsigned char ring_[kRingSize];
  size_t pos_ = 0;
  size_t filled_ = 0;
  unsigned char pushback_[kRingSize];
  size_t pushed_ = 0;
};

// Reads one line into out (at most kLineSize - 1 characters, the rest of a
// longer line is dropped); CR, LF or CR LF ends it. False at the end of input
// before any byte.
bool read_line(BodyReader& in, std::string& out) {
  out.clear();
  int c = in.get();
  if (c == EOF) return false;
  while (c != EOF && c != '\r' && c != '\n') {
    if (out.size() < kLineSize - 1) out += static_cast<char>(c);
    c = in.get();
  }
  if (c == '\r') {
    int next = in.get();
    if (next != '\n' && next != EOF) {
      unsigned char b = static_cast<unsigned char>(next);
      in.unget(&b, 1);
    }
  }
  return true;
}

char* dup_text(const std::string& text) { return strdup(text.c_str()); }

std::string unquote(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value.substr(0, kLineSize - 1);
}

struct PartHeaders {
  std::string disposition;
  std::string name;
  std::string file_name;
  std::string content_type;
};

// Content-Disposition: form-data; name="x"; filename="y"
void parse_disposition(const std::string& value, PartHeaders& headers) {
  size_t semicolon = value.find(';');
  headers.disposition = unquote(value.substr(0, semicolon));
  while (semicolon != std::string::npos) {
    size_t start = value.find_first_not_of(" \t", semicolon + 1);
    if (start == std::string::npos) break;
    size_t next = value.find(';', start);
    // A quoted value may hold ';'.
    size_t eq = value.find('=', start);
    if (eq != std::string::npos && (next == std::string::npos || eq < next) &&
        eq + 1 < value.size() && value[eq + 1] == '"') {
      size_t close = value.find('"', eq + 2);
      if (close != std::string::npos) next = value.find(';', close);
    }
    std::string attribute = value.substr(start, next == std::string::npos ? next : next - start);
    size_t attr_eq = attribute.find('=');
    if (attr_eq != std::string::npos) {
      std::string attr_name = attribute.substr(0, attr_eq);
      while (!attr_name.empty() && (attr_name.back() == ' ' || attr_name.back() == '\t'))
        attr_name.pop_back();
      std::string attr_value = unquote(attribute.substr(attr_eq + 1));
      if (strcasecmp(attr_name.c_str(), "name") == 0) headers.name = attr_value;
      if (strcasecmp(attr_name.c_str(), "filename") == 0) headers.file_name = attr_value;
    }
    semicolon = next;
  }
}

void read_part_headers(BodyReader& in, PartHeaders& headers) {
  std::string line;
  while (read_line(in, line) && !line.empty()) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    size_t value_start = line.find_first_not_of(" \t", colon + 1);
    std::string value = value_start == std::string::npos ? "" : line.substr(value_start);
    if (strcasecmp(name.c_str(), "Content-Disposition") == 0) parse_disposition(value, headers);
    if (strcasecmp(name.c_str(), "Content-Type") == 0) headers.content_type = value;
  }
}

// Where the content of a part goes: a temporary file or a growing buffer.
class ContentSink {
 public:
  ~ContentSink() {
    if (file_) fclose(file_);
    free(buffer_);
  }

  ParseResult open_file(const std::string& folder, std::string& path) {
    path = folder + "/cgicXXXXXX";
    int fd = mkstemp(path.data());  // mode 0600
    if (fd < 0) {
      path.clear();
      return kParseNoTempFile;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
      close(fd);
      unlink(path.c_str());
      path.clear();
      return kParseNoTempFile;
    }
    return kParseOk;
  }

  ParseResult open_memory() {
    buffer_ = static_cast<char*>(malloc(kValueStart));
    capacity_ = kValueStart;
    return buffer_ ? kParseOk : kParseNoMemory;
  }

  // Content of a part that is passed over: counted, not kept.
  void open_discard() { discard_ = true; }

  bool put(const void* bytes, size_t count) {
    length_ += count;
    if (discard_) return true;
    if (file_) return fwrite(bytes, 1, count, file_) == count;
    if (length_ + 1 > capacity_) {
      size_t capacity = capacity_;
      while (length_ + 1 > capacity) capacity *= 2;
      if (capacity > kValueLimit) return false;
      char* grown = static_cast<char*>(realloc(buffer_, capacity));
      if (!grown) return false;
      buffer_ = grown;
      capacity_ = capacity;
    }
    memcpy(buffer_ + length_ - count, bytes, count);
    return true;
  }

  bool finish_file() {
    bool ok = fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }

  char* take_value() {
    buffer_[length_] = '\0';
    char* value = buffer_;
    buffer_ = nullptr;
    return value;
  }
  size_t length() const { return length_; }

 private:
  FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  size_t capacity_ = 0;
  size_t length_ = 0;
  bool discard_ = false;
};

// Copies content up to "\r\n--boundary" into the sink. The pattern starts
// with CR and holds no other CR, so a mismatch never needs more than the
// bytes just matched to be scanned again. Returns false when the sink fails.
bool copy_content(BodyReader& in, const std::string& delimiter, ContentSink& sink,
                  bool& found_boundary) {
  const auto* pattern = reinterpret_cast<const unsigned char*>(delimiter.data());
  size_t matched = 0;
  found_boundary = false;
  for (;;) {
    int c = in.get();
    if (c == EOF) return sink.put(pattern, matched);
    if (static_cast<unsigned char>(c) == pattern[matched]) {
      if (++matched == delimiter.size()) {
        found_boundary = true;
        return true;
      }
      continue;
    }
    if (matched == 0) {
      unsigned char byte = static_cast<unsigned char>(c);
      if (!sink.put(&byte, 1)) return false;
      continue;
    }
    // Write the first byte of the partial match, scan again after it.
    if (!sink.put(pattern, 1)) return false;
    unsigned char byte = static_cast<unsigned char>(c);
    in.unget(&byte, 1);
    in.unget(pattern + 1, matched - 1);
    matched = 0;
  }
}

void free_entry(cgiFormEntry* entry) {
  if (!entry) return;
  if (entry->tfileName && *entry->tfileName) unlink(entry->tfileName);
  free(entry->attr);
  free(entry->value);
  free(entry->fileName);
  free(entry->contentType);
  free(entry->tfileName);
  delete entry;
}

// Skips to the first boundary line; false when there is none.
bool skip_to_first_boundary(BodyReader& in, const std::string& boundary_line) {
  std::string line;
  while (read_line(in, line))
    if (line == boundary_line) return true;
  return false;
}

ParseResult parse_part(BodyReader& in, const std::string& delimiter, const std::string& temp_folder,
                       cgiFormEntry** tail) {
  PartHeaders headers;
  read_part_headers(in, headers);
  bool to_file = !headers.file_name.empty();
  bool skip = strcasecmp(headers.disposition.c_str(), "form-data") != 0;

  ContentSink sink;
  std::string temp_path;
  ParseResult opened = kParseOk;
  if (skip)
    opened = kParseOk;
  else if (to_file)
    opened = sink.open_file(temp_folder, temp_path);
  else
    opened = sink.open_memory();
  if (opened != kParseOk) return opened;

  bool found_boundary = false;
  // A skipped part is never held, whatever its size.
  if (skip) sink.open_discard();
  bool copied = copy_content(in, delimiter, sink, found_boundary);
  if (skip) {
    // A part that is not form data is passed over whole.
    if (found_boundary) {
      unsigned char after[2];
      int a = in.get(), b = a == EOF ? EOF : in.get();
      after[0] = static_cast<unsigned char>(a);
      after[1] = static_cast<unsigned char>(b);
      if (b != EOF && !(a == '\r' && b == '\n')) in.unget(after, 2);
    }
    return copied ? kParseOk : kParseNoMemory;
  }
  if (to_file && !sink.finish_file()) copied = false;
  if (!copied) {
    if (!temp_path.empty()) unlink(temp_path.c_str());
    return to_file ? kParseNoTempFile : kParseNoMemory;
  }

  auto* entry = new (std::nothrow) cgiFormEntry;
  if (!entry) {
    if (!temp_path.empty()) unlink(temp_path.c_str());
    return kParseNoMemory;
  }
  entry->attr = dup_text(headers.name);
  entry->fileName = dup_text(headers.file_name);
  entry->contentType = dup_text(headers.content_type);
  entry->tfileName = dup_text(temp_path);
  entry->valueLength = static_cast<int>(sink.length());
  entry->value = to_file ? strdup("") : sink.take_value();
  if (!entry->attr || !entry->fileName || !entry->contentType || !entry->tfileName ||
      !entry->value) {
    free_entry(entry);
    return kParseNoMemory;
  }
  *tail = entry;

  if (found_boundary) {
    // "--" closes the body (left for the part loop to see); CR LF is eaten.
    int a = in.get();
    int b = a == EOF ? EOF : in.get();
    if (b != EOF && !(a == '\r' && b == '\n')) {
      unsigned char after[2] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b)};
      in.unget(after, 2);
    }
  }
  return kParseOk;
}

}  // namespace

FormEntries& FormEntries::operator=(FormEntries&& other) noexcept {
  if (this != &other) {
    clear();
    first_ = other.release();
  }
  return *this;
}

cgiFormEntry* FormEntries::find(const char* name) const {
  if (!name) return nullptr;
  for (cgiFormEntry* entry = first_; entry; entry = entry->next)
    if (strcmp(entry->attr, name) == 0) return entry;
  return nullptr;
}

cgiFormEntry* FormEntries::release() {
  cgiFormEntry* first = first_;
  first_ = nullptr;
  return first;
}

void FormEntries::clear() {
  cgiFormEntry* entry = release();
  while (entry) {
    cgiFormEntry* next = entry->next;
    free_entry(entry);
    entry = next;
  }
}

MultipartParse parse_multipart(BodyInput& body, std::string_view boundary_text,
                               const std::string& temp_folder) {
  MultipartParse parse;
  const std::string boundary(boundary_text);
  if (boundary.empty()) return parse;
  BodyReader in(body);
  if (!skip_to_first_boundary(in, "--" + boundary)) return parse;

  const std::string delimiter = "\r\n--" + boundary;
  cgiFormEntry* first = nullptr;
  cgiFormEntry** tail = &first;
  for (;;) {
    unsigned char start[2];
    int a = in.get();
    int b = a == EOF ? EOF : in.get();
    if (b == EOF || (a == '-' && b == '-')) break;
    start[0] = static_cast<unsigned char>(a);
    start[1] = static_cast<unsigned char>(b);
    in.unget(start, 2);
    ParseResult result = parse_part(in, delimiter, temp_folder, tail);
    if (result != kParseOk) {
      // Nothing of a failed upload stays behind in /tmp.
      FormEntries failed(first);
      parse.result = result;
      return parse;
    }
    if (*tail) tail = &(*tail)->next;
  }
  parse.entries = FormEntries(first);
  return parse;
}

int parse_multipart_body() {
  cgi_free_form_entries();
  // A length of 0 is an empty body; none at all (a server that de-chunks and
  // passes no length) reads to the end of input.
  if (cgi_declared_content_length() == 0) return kParseOk;
  MultipartParse parse = parse_multipart(cgi_body(), cgiMultipartBoundary, nvr::dev_path("/tmp"));
  cgiFormEntryFirst = parse.entries.release();
  return parse.result;
}

void cgi_free_form_entries() {
  FormEntries entries(cgiFormEntryFirst);
  cgiFormEntryFirst = nullptr;
}

cgiFormEntry* find_form_entry(const char* name) {
  if (!name) return nullptr;
  for (cgiFormEntry* entry = cgiFormEntryFirst; entry; entry = entry->next)
    if (strcmp(entry->attr, name) == 0) return entry;
  return nullptr;
}

int cgiFormFileName(const char* name, char* buffer, int size) {
  cgiFormEntry* entry = find_form_entry(name);
  if (!entry) {
    if (buffer && size > 0) buffer[0] = '\0';
    return cgiFormNotFound;
  }
  if (!buffer || size <= 0) return cgiFormTruncated;
  size_t length = strlen(entry->fileName);
  snprintf(buffer, static_cast<size_t>(size), "%s", entry->fileName);
  if (length >= static_cast<size_t>(size)) return cgiFormTruncated;
  if (length == 0) return cgiFormNoFileName;
  return cgiFormSuccess;
}

int cgi_is_raw_upload_route(const char* code) {
  if (!code) return 0;
  const UploadKind kind = route_upload_kind(code);
  return kind == UploadKind::Raw || kind == UploadKind::RawUnread;
}

int cgi_get_query_param(const char* text, const char* key, char* buffer, int size) {
  if (!text || !*text || !key || !*key || !buffer || size <= 0) return -1;
  const char* found = strstr(text, key);
  if (!found) return -1;
  const char* value = found + strlen(key);
  size_t length = strcspn(value, "&");
  if (length > static_cast<size_t>(size - 1)) length = static_cast<size_t>(size - 1);
  memcpy(buffer, value, length);
  buffer[length] = '\0';
  return 0;
}

int cgi_sanitize_file_name(char* buffer, int size, const char* name) {
  if (!buffer || size <= 0) return -1;
  buffer[0] = '\0';
  if (!name || !*name || strlen(name) >= static_cast<size_t>(size) || strstr(name, "..")) return -1;
  size_t out = 0;
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32 || c == '/' || c == '\\') continue;
    buffer[out++] = static_cast<char>(c);
  }
  buffer[out] = '\0';
  // Dropping separators and control characters may join dots ("..\x01." or
  // "./."): the name is refused when the result holds "..", as the input would be.
  if (out == 0 || strstr(buffer, "..")) {
    buffer[0] = '\0';
    return -1;
  }
  return 0;
}

namespace {

// "upload_<time>" or "upload_<time><extension>" for a name that cannot be
// used; `attempt` > 0 adds "_<attempt>" after the time.
void fallback_file_name(char* buffer, size_t size, const char* base_name, int attempt) {
  long now = static_cast<long>(time(nullptr));
  char stem[64];
  if (attempt > 0)
    snprintf(stem, sizeof stem, "upload_%ld_%d", now, attempt);
  else
    snprintf(stem, sizeof stem, "upload_%ld", now);
  const char* dot = strrchr(base_name, '.');
  if (dot && strlen(dot) < 32) {
    char extension[32];
    size_t out = 0;
    for (const char* p = dot; *p; ++p) {
      unsigned char c = static_cast<unsigned char>(*p);
      // '&' never: the handler's data is "<path> & <param>".
      if (c >= 32 && c != '/' && c != '\\' && c != '&') extension[out++] = *p;
    }
    extension[out] = '\0';
    snprintf(buffer, size, "%s%s", stem, extension);
  } else {
    snprintf(buffer, size, "%s", stem);
  }
}

const char* base_name_of(const char* file_name) {
  const char* base = file_name;
  for (const char* p = file_name; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

// Gives the temporary file its safe name in "/tmp/" without ever replacing a
// file (or following a link) that is there: a dot name or a name already
// taken gets a fresh fallback name. The new path, or "" when none worked.
std::string move_to_safe_name(const char* temp_path, const char* base_name) {
  char safe_name[128];
  // A name holding " &" would cut the handler's "<path> & <param>" data in
  // the wrong place (" & " inside, or " &" at the end meeting the separator):
  // the handler would take another file of "/tmp" for the upload.
  bool usable = cgi_sanitize_file_name(safe_name, sizeof safe_name, base_name) == 0 &&
                safe_name[0] != '.' && !strstr(safe_name, " &");
  for (int attempt = 0, fallbacks = 0; attempt < 100; ++attempt) {
    if (!usable) fallback_file_name(safe_name, sizeof safe_name, base_name, fallbacks++);
    std::string target = nvr::dev_path("/tmp/") + safe_name;
    if (renameat2(AT_FDCWD, temp_path, AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
      return target;
    if (errno != EEXIST) return "";
    usable = false;
  }
  return "";
}

void dispatch_with_file(const char* code, cgiFormEntry* entry, const char* file_name) {
  constexpr size_t kDataSize = 1088;
  char data[kDataSize];
  std::string target = move_to_safe_name(entry->tfileName, base_name_of(file_name));
  if (target.empty()) return;  // nothing to hand over: no answer
  // The entry no longer owns a temporary file: the handler disposes of it.
  entry->tfileName[0] = '\0';
  int written = snprintf(data, sizeof data, "%s", target.c_str());
  const char* param = strstr(cgiQueryString, "param:");
  if (param && written >= 0 && static_cast<size_t>(written) < sizeof data) {
    param += 6;
    int length = static_cast<int>(strcspn(param, "&"));
    if (length > 255) length = 255;
    snprintf(data + written, sizeof data - static_cast<size_t>(written), " & %.*s", length, param);
  }
  DispatchWebReq(code, data);
}

}  // namespace

void cgiDealUpload() {
  char code[128];
  snprintf(code, sizeof code, "%s", cgiPathInfo);
  if (!*code) return;

  constexpr size_t kDataSize = 1088;
  char data[kDataSize];
  const UploadKind kind = route_upload_kind(code);
  if (kind == UploadKind::Raw || kind == UploadKind::RawUnread) {
    snprintf(data, sizeof data, "%s & %s", "temp", cgiQueryString);
    DispatchWebReq(code, data);
    return;
  }

  char file_name[128];
  if (cgiFormFileName("file", file_name, sizeof file_name) != cgiFormSuccess) return;
  cgiFormEntry* entry = find_form_entry("file");
  if (!entry->tfileName || !*entry->tfileName) return;

  switch (kind) {
    case UploadKind::Temp:
      snprintf(data, sizeof data, "%s & %s", entry->tfileName, cgiQueryString);
      DispatchWebReq(code, data);
      return;
    case UploadKind::File:
      dispatch_with_file(code, entry, file_name);
      return;
    default:
      // The route takes no file: the upload stays under its temporary name and
      // is removed at the end of the run; the handler gets the query string.
      snprintf(data, sizeof data, "%s", cgiQueryString);
      DispatchWebReq(code, data);
      return;
  }
}
