// Packet capture for network diagnosis: tcpdump in the background on one of
// the recorder's interfaces, stopped by the page or by the watchdog after
// 300 seconds, and the capture files handed out as a tar archive.
//
// Every request value is checked before it can reach a command: the
// interface is one the recorder reports, the peer an IPv4 or IPv6 address,
// the port a number 1..65535, and the folder one of the recorder's mounted
// storage folders ("/media/<name>"). The archive holds the files of the
// named capture only.
#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/toolkit_files.h"
#include "frame/web_utils.h"
#include "modules/status/status.h"
#include "modules/status/status_wire.h"
#include "platform/device_path.h"
#include "platform/shell.h"

namespace {

constexpr std::string_view kStorageRoot = "/media";  // where the recorder mounts its disks
constexpr std::string_view kWatchdog = "/www/webmonitor";
constexpr const char* kArchiveName = "packet.tar";
constexpr std::string_view kCapturePrefix = "rvpcap-";

struct CaptureRequest {
  char ip[64];
  char port[32];
  char nic[8];
  char mnt_path[128];
};
constexpr nvr::PolicyRow kCapturePolicy[] = {
    NVR_POLICY_TEXT(CaptureRequest, ip, "ip", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(CaptureRequest, port, "port", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(CaptureRequest, nic, "nic", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(CaptureRequest, mnt_path, "mntPath", nvr::Presence::kAbsentIsZero),
};

bool is_ip_address(const char* text) {
  unsigned char address[sizeof(in6_addr)];
  return inet_pton(AF_INET, text, address) == 1 || inet_pton(AF_INET6, text, address) == 1;
}

bool is_port(const char* text) {
  if (text[0] == '\0' || strlen(text) > 5) return false;
  for (const char* c = text; *c; ++c)
    if (!isdigit(static_cast<unsigned char>(*c))) return false;
  const int port = atoi(text);
  return port >= 1 && port <= 65535;
}

// The folder as the device path of one of the recorder's storage folders
// ("/media/<name>", a directory there that is not a link), or nothing.
std::optional<std::string> storage_folder(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  if (folder.size() <= kStorageRoot.size() + 1 ||
      folder.substr(0, kStorageRoot.size()) != kStorageRoot || folder[kStorageRoot.size()] != '/')
    return std::nullopt;
  std::string_view name = folder.substr(kStorageRoot.size() + 1);
  if (!nvr::is_plain_file_name(name) || name[0] == '-') return std::nullopt;
  struct stat st;
  if (lstat(nvr::dev_path(folder).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return std::string(folder);
}

// The interface of that name as the recorder reports it.
std::optional<NetIfStatus> device_interface(const char* nic) {
  if (nic[0] == '\0') return std::nullopt;
  std::optional<std::string> reply =
      nvr::fetch_reply(kReqNetworkStatus, nullptr, 0, kReplyNetworkStatus);
  if (!reply) return std::nullopt;
  for (size_t i = 0; i + sizeof(NetIfStatus) <= reply->size(); i += sizeof(NetIfStatus)) {
    NetIfStatus netif = nvr::record_at<NetIfStatus>(reply->data() + i, 0);
    if (strncmp(netif.ifname, nic, sizeof netif.ifname) == 0) return netif;
  }
  return std::nullopt;
}

std::string bounded(const char* text, size_t size) {
  return std::string(text, strnlen(text, size));
}

// "host <own v4> [|| host <own v6>] [&& host <peer>] [&& port <port>]"
std::string capture_filter(const NetIfStatus& netif, const CaptureRequest& request) {
  std::string filter = "host " + bounded(netif.ip_addr, sizeof netif.ip_addr);
  const std::string ip6 = bounded(netif.ip6address, sizeof netif.ip6address);
  if (!ip6.empty()) filter += " || host " + ip6;
  if (request.ip[0] != '\0') filter += " && host " + std::string(request.ip);
  if (request.port[0] != '\0') filter += " && port " + std::string(request.port);
  return filter;
}

std::string capture_name() { return nvr::local_time_text(time(nullptr), "rvpcap-%Y%m%d%H%M%S"); }

// A capture's name as "/8005" gives it: "rvpcap-" and 14 digits.
bool is_capture_name(std::string_view name) {
  if (name.size() != kCapturePrefix.size() + 14 ||
      name.substr(0, kCapturePrefix.size()) != kCapturePrefix)
    return false;
  for (char c : name.substr(kCapturePrefix.size()))
    if (!isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool regular_file(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Sends the archive as it is read, piece by piece.
void stream_archive(const std::string& path) {
  FILE* archive = fopen(path.c_str(), "rbe");
  if (archive == nullptr) return;
  printf("Content-Type:application/octet-stream\r\n");
  printf("Content-Disposition: attachment; filename= %s\r\n\r\n", kArchiveName);
  char piece[4095];
  size_t got;
  while ((got = fread(piece, 1, sizeof piece, archive)) > 0) fwrite(piece, 1, got, stdout);
  fclose(archive);
  fflush(stdout);
}

// "cd <folder>;tar -cf <archive> <files>": the ring's two files and the
// single file of a short capture, at most three.
nvr::ShellCommand pack_command(const std::string& dir, const std::string& archive,
                               const std::vector<std::string>& files) {
  switch (files.size()) {
    case 0:
      return nvr::ShellCommand("cd %s;tar -cf %s -T /dev/null > /dev/null", {dir, archive});
    case 1:
      return nvr::ShellCommand("cd %s;tar -cf %s %s > /dev/null", {dir, archive, files[0]});
    case 2:
      return nvr::ShellCommand("cd %s;tar -cf %s %s %s > /dev/null",
                               {dir, archive, files[0], files[1]});
    default:
      return nvr::ShellCommand("cd %s;tar -cf %s %s %s %s > /dev/null",
                               {dir, archive, files[0], files[1], files[2]});
  }
}

}  // namespace

// "/8005"
void on_start_packet_capture(char* data) {
  CaptureRequest request{};
  if (nvr::read_request(data, kCapturePolicy, &request) != 0) return;
  if (request.ip[0] != '\0' && !is_ip_address(request.ip)) return;
  if (request.port[0] != '\0' && !is_port(request.port)) return;
  std::optional<std::string> folder = storage_folder(request.mnt_path);
  if (!folder) return;
  std::optional<NetIfStatus> netif = device_interface(request.nic);
  if (!netif) return;

  const std::string name = capture_name();
  const std::string dir = nvr::dev_path(*folder);
  web_system(nvr::ShellCommand("killall tcpdump > /dev/null"));
  web_system(nvr::ShellCommand("killall webmonitor > /dev/null"));
  web_system(nvr::ShellCommand("/bin/rm  %s/rvpcap-* > /dev/null", {dir}));
  web_system(nvr::ShellCommand("tcpdump -i %s -s0 %s -W 2 -C 25 -w %s/%s > /dev/null &",
                               {request.nic, capture_filter(*netif, request), dir, name}));
  web_system(nvr::ShellCommand("%s tcpdump 300 > /dev/null &", {nvr::dev_path(kWatchdog)}));

  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "dirPath", *folder);
  nvr::json_add_string(answer.get(), "fileName", name);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/8006"
void on_stop_packet_capture(char*) {
  web_system(nvr::ShellCommand("killall tcpdump > /dev/null &"));
  cgi_writeback_webserver(kRespText, "OK");
}

// "/8007": "<folder>/<capture name>" as "/8005" answered them.
void on_download_packet_capture(char* data) {
  const std::string_view text = data ? data : "";
  const size_t slash = text.rfind('/');
  std::optional<std::string> folder =
      slash == std::string_view::npos ? std::nullopt : storage_folder(text.substr(0, slash));
  const std::string_view name = slash == std::string_view::npos ? "" : text.substr(slash + 1);
  if (!folder || !is_capture_name(name)) {
    cgi_error_to_webserver(kRespText);
    return;
  }

  const std::string dir = nvr::dev_path(*folder);
  std::vector<std::string> files;  // the capture's files, each ending in ".pcap"
  for (const char* ring : {"0", "1", ""}) {
    const std::string file = std::string(name) + ring;
    if (regular_file(dir + "/" + file + ".pcap")) {
      files.push_back(file + ".pcap");
    } else if (regular_file(dir + "/" + file)) {
      web_system(nvr::ShellCommand("/bin/mv %s %s.pcap", {dir + "/" + file, dir + "/" + file}));
      files.push_back(file + ".pcap");
    }
  }

  // The archive gets a name of the capture's own, so that nothing else in
  // the folder is overwritten or packed.
  const std::string archive = dir + "/" + std::string(name) + ".tar";
  web_system(pack_command(dir, archive, files));
  stream_archive(archive);

  unlink(archive.c_str());
  for (const std::string& file : files) unlink((dir + "/" + file).c_str());
}
