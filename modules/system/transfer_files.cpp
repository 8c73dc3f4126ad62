#include "modules/system/transfer_files.h"

#include "frame/toolkit.h"

bool write_download_headers(std::string_view device_path) {
  if (!cgi_claim_answer()) return false;
  const size_t slash = device_path.rfind('/');
  const std::string name(slash == std::string_view::npos ? device_path
                                                         : device_path.substr(slash + 1));
  fputs("Content-Type:application/octet-stream\r\n", stdout);
  fprintf(stdout, "Content-Disposition: attachment; filename= %s\r\n\r\n", name.c_str());
  return true;
}

std::optional<std::string> uploaded_file(std::string_view path) {
  const std::string& root = nvr::device_root();
  if (!root.empty() && path.size() > root.size() && path.substr(0, root.size()) == root &&
      path[root.size()] == '/')
    path.remove_prefix(root.size());
  return nvr::device_file_in_folder(nvr::devpath::kTmp, path);
}
