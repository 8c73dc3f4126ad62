// OEM branding packages: a zip archive, AES-encrypted for the web
// (platform/qvcrypt.h) and sent as Base64 text, installed into "/mnt/nand2".
#include "modules/system/system_module.h"
#include "platform/qvcrypt.h"
#include "platform/qvstd.h"
#include "platform/safe_path.h"

namespace {

constexpr std::string_view kOemZip = "/tmp/oem.zip";
constexpr std::string_view kOemInstalledMarker = "/mnt/nand2/oem_upload";

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
  std::unique_ptr<char, decltype(&free)> text(qv_get_file_data(path.c_str(), &length), &free);
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

// Unpacks the archive over "/mnt/nand2": tested whole, refused when it holds
// links or device entries, unpacked into a fresh private folder beside the
// target, checked again there, then moved into place without following any
// link already in "/mnt/nand2".
bool install_archive(const std::string& archive) {
  const std::string zip = nvr::dev_path(kOemZip);
  // A link or file left under the archive's name is removed, never written through.
  if (!nvr::write_new_file(zip, archive)) {
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
  const std::optional<std::string> key = package_key(nvr::upload_query(data));
  const std::optional<std::string> package = nvr::uploaded_file_of(data);
  std::optional<std::string> archive;
  if (key && package) archive = open_package(*package, *key);
  if (!archive) return nvr::answer_with(kRespText, "ERROR");
  web_system(nvr::ShellCommand("rm %s", {*package}));
  if (!install_archive(*archive)) return nvr::answer_with(kRespText, "ERROR");
  qv_system(nvr::ShellCommand("touch %s", {nvr::dev_path(kOemInstalledMarker)}));
  cgi_writeback_webserver(kRespText, "OK");
}
