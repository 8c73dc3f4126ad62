// End-to-end test support: a fresh device root per test and runs of the
// built nvr-cgi as a CGI process.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace nvr::test {

std::string build_dir();   // NVR_BUILD_DIR
std::string source_dir();  // NVR_SOURCE_DIR

// A temporary device root with the standard folders, removed on destruction.
class DeviceRoot {
 public:
  DeviceRoot();
  ~DeviceRoot();
  DeviceRoot(const DeviceRoot&) = delete;
  DeviceRoot& operator=(const DeviceRoot&) = delete;

  const std::string& path() const { return path_; }
  // Real path of a device path ("/tmp/x" -> "<root>/tmp/x").
  std::string operator()(const std::string& device_path) const { return path_ + device_path; }

  void write_file(const std::string& device_path, const std::string& content) const;
  std::string read_file(const std::string& device_path) const;  // "" when missing
  bool exists(const std::string& device_path) const;
  // File names in a device folder, sorted.
  std::vector<std::string> list(const std::string& device_folder) const;

 private:
  std::string path_;
};

struct CgiRequest {
  std::string method = "GET";
  std::string path_info;
  std::string query;
  std::string content_type;
  std::string body;
  std::string cookie;
  std::string remote_addr = "127.0.0.1";
  std::string host = "127.0.0.1";
  bool content_length_from_body = true;  // else set content_length
  std::string content_length;
  std::map<std::string, std::string> env;  // extra or overriding variables
  double timeout_seconds = 30;
  bool keep_input_open = false;  // the client keeps its side open after the body
};

struct CgiResult {
  int exit_status = -1;  // exit code, or 128 + signal
  std::string out;       // exact stdout bytes
  std::string err;
  bool stdin_fully_read = true;  // false when the program left body bytes unread
};

// Runs build/nvr-cgi with a clean CGI environment: NVR_ROOT = root,
// PATH = <build>/platform-bin first, then the system's.
CgiResult run_cgi(const DeviceRoot& root, const CgiRequest& request);

// Convenience forms.
CgiResult get(const DeviceRoot& root, const std::string& route, const std::string& query = "",
              const std::string& cookie = "");
CgiResult post_json(const DeviceRoot& root, const std::string& route, const std::string& body,
                    const std::string& cookie = "");

inline const std::string kTextHeader = "Content-type: text/plain\r\n\r\n";
inline const std::string kJsonHeader = "Content-type: application/json\r\n\r\n";
// What a run that wrote nothing answers: a request the program refused, and a
// route code nobody registered.
inline const std::string kRefused = "Status: 400 Bad Request\r\n\r\n";
inline const std::string kNoRoute = "Status: 404 Not Found\r\n\r\n";

}  // namespace nvr::test
