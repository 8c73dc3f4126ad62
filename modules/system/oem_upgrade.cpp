// OEM branding packages: a zip archive, AES-encrypted for the web
// (platform/qvcrypt.h) and sent as Base64 text, installed into "/mnt/nand2".
#include <memory>

#include "modules/system/system_module.h"
#include "platform/qvcrypt.h"
#include "platform/qvstd.h"
#include "platform/safe_path.h"

namespace {

constexpr std::string_view kOemZip = "/tmp/oem.zip";
constexpr std::string_view kOemInstalledMarker = "/mnt/nand2/oem_upload";

struct FreeDeleter {
  void operator()(void* p) const { free(p); }
};

// The package key: what follows "aes=" in the query, up to '&', at most 32
// characters.
std::optional<std::string> package_key(std::string_view query) {
  const size_t found = query.find("aes=");
  if (found == std::string_view::npos) return std::nullopt;
  std::string_view key = query.substr(found + 4);
  key = key.substr(0, key.find('&'));
  return std::string(key.substr(0, kWebAesKeyText));
}

// The archive inside the package file, or nothing when it is not Base64 or
// the key does not open it.
std::optional<std::string> open_package(const std::string& path, const std::string& key) {
  int32_t length = 0;
  std::unique_ptr<char, FreeDeleter> text(qv_get_file_data(path.c_str(), &length));
  if (!text || length <= 0) return std::nullopt;
  std::unique_ptr<unsigned char[]> sealed(new unsigned char[static_cast<size_t>(length)]);
  const int sealed_length = qv_base64_decode(text.get(), length, sealed.get(), length);
  if (sealed_length <= 0) return std::nullopt;
  std::string archive(static_cast<size_t>(sealed_length), '\0');
  const int plain_length = aesDecryWeb(
      sealed.get(), key.c_str(), reinterpret_cast<unsigned char*>(archive.data()), sealed_length);
  if (plain_length <= 0) return std::nullopt;
  archive.resize(static_cast<size_t>(plain_length));
  return archive;
}

// Writes the archive to "/tmp/oem.zip" as a new file (a link or file left
// under that name is removed first, never written through).
bool write_archive(const std::string& zip, const std::string& archive) {
  unlink(zip.c_str());
  int fd = open(zip.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < archive.size()) {
    ssize_t n = write(fd, archive.data() + done, archive.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == archive.size();
}

// Unpacks the archive over "/mnt/nand2": tested whole, refused when it holds
// links or device entries, unpacked into a fresh private folder beside the
// target, checked again there, then moved into place without following any
// link already in "/mnt/nand2".
bool install_archive(const std::string& archive) {
  const std::string zip = nvr::dev_path(kOemZip);
  if (!write_archive(zip, archive)) {
    unlink(zip.c_str());
    return false;
  }
  const std::string nand2 = nvr::dev_path(nvr::devpath::kNand2);
  std::string stage = nand2 + "/.oem-XXXXXX";
  bool installed = false;
  // unzip reports damage on its standard output, which is the answer's.
  if (web_system(nvr::ShellCommand("unzip -qq -t %s >&2", {zip})) == 0 &&
      web_system(nvr::ShellCommand("unzip -Z %s | grep -q '^[lbcps][-r]'", {zip})) != 0 &&
      mkdtemp(stage.data()) != nullptr) {
    installed = web_system(nvr::ShellCommand("unzip -qq -o %s -d %s >&2", {zip, stage})) == 0 &&
                nvr::tree_is_plain(stage) && nvr::move_tree_into(stage, nand2) == 0;
    web_system(nvr::ShellCommand("rm -rf %s", {stage}));
  }
  web_system(nvr::ShellCommand("rm %s", {zip}));
  return installed;
}

}  // namespace

// "/oem": the request data is the package's temporary path, " & " and the
// query string, which carries "aes=" and the key.
void on_upload_oem(char* data) {
  if (data == nullptr) return;
  const std::string_view request(data);
  const size_t split = request.find(" & ");
  const std::string_view package_path = request.substr(0, split);
  const std::string_view query =
      split == std::string_view::npos ? std::string_view() : request.substr(split + 3);

  const std::optional<std::string> key = package_key(query);
  const std::optional<std::string> package = uploaded_file(package_path);
  std::optional<std::string> archive;
  if (key && package) archive = open_package(*package, *key);
  if (!archive) return nvr::answer_with(kRespText, "ERROR");
  web_system(nvr::ShellCommand("rm %s", {*package}));
  if (!install_archive(*archive)) return nvr::answer_with(kRespText, "ERROR");
  qv_system(nvr::ShellCommand("touch %s", {nvr::dev_path(kOemInstalledMarker)}));
  cgi_writeback_webserver(kRespText, "OK");
}
