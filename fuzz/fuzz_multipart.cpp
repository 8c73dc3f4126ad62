// The multipart parser and the upload hand-over: a body read in pieces of
// varying size, its entry list checked, then the "file" entry handed to an
// upload route as the frame does (its safe name in "/tmp/", never outside).
//
//   <piece seed><boundary>\n<query>\n<body>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/cgic.h"
#include "frame/dispatchreq.h"
#include "frame/multipart.h"
#include "frame/web_utils.h"
#include "fuzz/harness.h"

namespace {

std::string g_tmp;

// The frame's data for a File route: "<path>" or "<path> & <param>"; the
// path is a plain file directly in the root's /tmp, which the handler removes.
void take_upload(char* data) {
  std::string text(data);
  std::string path = text.substr(0, text.find(" & "));
  if (path.compare(0, g_tmp.size(), g_tmp) != 0) abort();
  const std::string name = path.substr(g_tmp.size());
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") abort();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) abort();
  unlink(path.c_str());
}

void ignore_data(char*) {}

const Route kRoutes[] = {{"/fzfile", take_upload, UploadKind::File},
                         {"/fztemp", ignore_data, UploadKind::Temp},
                         {"/fznone", ignore_data}};

void check_entries(const FormEntries& entries) {
  for (cgiFormEntry* entry = entries.first(); entry; entry = entry->next) {
    if (!entry->attr || !entry->value || !entry->fileName || !entry->contentType ||
        !entry->tfileName || entry->valueLength < 0)
      abort();
    if (*entry->tfileName) {
      struct stat st;
      if (stat(entry->tfileName, &st) != 0 || st.st_size != entry->valueLength ||
          (st.st_mode & 0777) != 0600)
        abort();
    } else if (entry->value[entry->valueLength] != '\0') {
      abort();
    }
  }
}

// Nothing of a run stays in the root's /tmp.
void check_tmp_is_empty() {
  DIR* dir = opendir(g_tmp.c_str());
  if (!dir) abort();
  while (dirent* item = readdir(dir))
    if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0) abort();
  closedir(dir);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  fuzz::setup_process((*argv)[0]);
  g_tmp = fuzz::root() + "/tmp/";
  RouteRegister(kRoutes, 3);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  const uint8_t seed = in.u8();
  const std::string boundary(in.until('\n'));
  const std::string query(in.until('\n'));
  BodyInput body = BodyInput::from_callback(fuzz::pieces_of(std::string(in.rest()), seed), -1);
  MultipartParse parse = parse_multipart(body, boundary, fuzz::root() + "/tmp");
  if (parse.result != 0 && parse.entries.first()) abort();
  check_entries(parse.entries);

  // The hand-over to each kind of upload route.
  static const char* const kCodes[] = {"/fzfile", "/fztemp", "/fznone"};
  cgiPathInfo = kCodes[seed % 3];
  cgiQueryString = query.c_str();
  cgiFormEntryFirst = parse.entries.release();
  cgi_answer_reset();
  cgiDealUpload();
  cgi_free_form_entries();
  cgiQueryString = "";
  fflush(stdout);
  check_tmp_is_empty();
  return 0;
}
