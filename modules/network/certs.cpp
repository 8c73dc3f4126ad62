// The web server's HTTPS certificate: a self-signed certificate or a signing
// request made by the daemon, an uploaded certificate moved into place, their
// subjects, and the HTTPS switch.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/toolkit_files.h"
#include "frame/web_utils.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "platform/device_path.h"
#include "platform/net.h"
#include "platform/qvstd.h"
#include "platform/shell.h"

namespace {

constexpr char kCert[] = "/mnt/nand/ssl/ssl_cert.pem";
constexpr char kCertSave[] = "/mnt/nand/ssl/ssl_cert_save.pem";
constexpr char kKey[] = "/mnt/nand/ssl/ssl_key.pem";
constexpr char kCsrDir[] = "/mnt/nand/ssl/tmp";
constexpr char kCsrName[] = "ssl_cert.csr";
constexpr char kCaDir[] = "/mnt/nand/ssl/demoCA";

std::string ssl(std::string_view tail) {
  return nvr::dev_path(std::string(nvr::devpath::kSsl) + std::string(tail));
}

bool cert_exists() { return qv_check_file_exist(nvr::dev_path(kCert).c_str()) == 0; }

std::optional<std::string> csr_file() { return nvr::regular_file_in_folder(kCsrDir, kCsrName); }

int https_enable() { return get_param_int(nvr::qvdb_path(), "httpsenable", 0); }

// A subject text reaches the daemon's signing tools: printable characters
// that cannot end a subject field or a quoted word.
bool is_subject_text(const char* text) {
  for (; *text; ++text) {
    const unsigned char c = static_cast<unsigned char>(*text);
    if (!isprint(c) || strchr("/\\\"'`$;&|<>", c)) return false;
  }
  return true;
}

void copy_field(json_object* request, const char* key, char* field, size_t size) {
  nvr::json_copy_string(request, key, field, size);
}

void add_text(json_object* answer, const char* key, const char* field, size_t size) {
  nvr::json_add(answer, key, nvr::json_new_string_bounded(field, size));
}

// The uploaded file of a route taking one: its real path in "/tmp".
std::optional<std::string> upload_of(const char* data) { return nvr::uploaded_file_of(data); }

// The platform tool sees the file first; then it is moved into place.
void install_upload(const std::string& upload, const char* device_path) {
  web_system(nvr::ShellCommand("qvprofile -i %s", {upload}));
  web_system(nvr::ShellCommand("mv %s %s", {upload, nvr::dev_path(device_path)}));
}

}  // namespace

void config_ssl_environment() {
  const std::string ca = nvr::dev_path(kCaDir);
  web_system(nvr::ShellCommand("rm -rf %s", {ca}));
  web_system(nvr::ShellCommand("mkdir %s", {ca}));
  web_system(nvr::ShellCommand("mkdir -p %s", {ca + "/newcerts"}));
  web_system(nvr::ShellCommand("touch %s", {ca + "/index.txt"}));
  web_system(nvr::ShellCommand("touch %s", {ca + "/serial"}));
  web_system(nvr::ShellCommand("echo 01 > %s", {ca + "/serial"}));
  // The workspace is opened to the signing tools; the key and certificates
  // beside it keep their own modes.
  qv_system(nvr::ShellCommand("chmod 777 -R %s", {ca}));
  nvr::scaled_pause_ms(1000);
}

void on_resp_create_cert(uint32_t, const void*) { nvr::answer_text("OK"); }

// "/7080"
void on_create_https_cert(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  SslCertRecord record{};
  record.install_type = netmod::int_or(r, "InstallType");
  copy_field(r, "Country", record.country, sizeof record.country);
  copy_field(r, "CommonName", record.common_name, sizeof record.common_name);
  copy_field(r, "Password", record.password, sizeof record.password);
  copy_field(r, "Province", record.province, sizeof record.province);
  copy_field(r, "Region", record.region, sizeof record.region);
  copy_field(r, "Organization", record.organization, sizeof record.organization);
  copy_field(r, "Company", record.company, sizeof record.company);
  copy_field(r, "Email", record.email, sizeof record.email);
  if (record.install_type == 0) {
    record.validity = netmod::int_or(r, "Validity");
    copy_field(r, "startTime", record.start_time, sizeof record.start_time);
    copy_field(r, "endTime", record.end_time, sizeof record.end_time);
  }
  for (const char* text :
       {record.country, record.common_name, record.password, record.province, record.region,
        record.organization, record.company, record.email, record.start_time, record.end_time})
    if (!is_subject_text(text)) return;
  config_ssl_environment();
  nvr::ask_or_answer(on_network_ipc_callback, kReqCreateCert, record, nvr::Silence::kText);
}

// "/7081": without a certificate HTTPS cannot be on.
void on_get_cert_info(char*) {
  nvr::Json answer = nvr::json_new_object();
  if (!cert_exists()) {
    // Best effort: the answer says "enable":0 either way, and the next read
    // tries again.
    if (https_enable() != 0) (void)set_param_int(nvr::qvdb_path(), "httpsenable", 0);
    nvr::json_add_int(answer.get(), "enable", 0);
    nvr::json_add_string(answer.get(), "checkfile", "NOFILE");
    cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
    return;
  }
  nvr::json_add_int(answer.get(), "enable", https_enable());
  SslCertRecord subject{};
  read_ssl_params(nvr::qvdb_path(), &subject, 0);
  nvr::json_add_string(answer.get(), "checkfile", "OK");
  add_text(answer.get(), "country", subject.country, sizeof subject.country);
  add_text(answer.get(), "common_name", subject.common_name, sizeof subject.common_name);
  add_text(answer.get(), "email", subject.email, sizeof subject.email);
  add_text(answer.get(), "dates", subject.dates, sizeof subject.dates);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7082"
void on_download_cert_req(char*) {
  const std::optional<std::string> csr = csr_file();
  const int fd = csr ? open(csr->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW) : -1;
  if (fd < 0) {
    cgi_writeback_webserver(kRespText, "NotFile");
    return;
  }
  if (!cgi_claim_answer()) {  // the run has answered already
    close(fd);
    return;
  }
  printf("Content-Type:application/octet-stream\r\n");
  printf("Content-Disposition: attachment; filename= %s\r\n\r\n", kCsrName);
  char buffer[4095];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof buffer)) > 0)
    fwrite(buffer, 1, static_cast<size_t>(got), stdout);
  close(fd);
  fflush(stdout);
}

// "/7083"
void on_delete_cert_req(char*) {
  nvr::tell_daemon(kReqDeleteCertReq, nullptr, 0);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_resp_install_cert(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespText);
  nvr::answer_text(nvr::record_at<int32_t>(records, 0) == 1 ? "OK" : "Error");
}

// "/7084": the previous certificate is kept beside the new one; the daemon
// checks the new one and answers.
void on_install_cert(char* data) {
  const std::optional<std::string> upload = upload_of(data);
  if (!upload) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  web_system(nvr::ShellCommand("qvprofile -i %s", {*upload}));
  if (cert_exists())
    web_system(nvr::ShellCommand("cp %s %s", {nvr::dev_path(kCert), nvr::dev_path(kCertSave)}));
  web_system(nvr::ShellCommand("mv %s %s", {*upload, nvr::dev_path(kCert)}));
  nvr::ask_or_answer(on_network_ipc_callback, kReqCertInstalled, nullptr, 0, nvr::Silence::kText);
}

void on_install_key(char* path) {
  const std::optional<std::string> upload = upload_of(path);
  if (!upload) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  install_upload(*upload, kKey);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/7085"
void on_delete_cert(char*) {
  if (set_param_int(nvr::qvdb_path(), "httpsenable", 0) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  web_system(nvr::ShellCommand("/bin/rm -rf %s", {nvr::dev_path(kCert)}));
  web_system(nvr::ShellCommand("/bin/rm -rf %s", {ssl("/ssl_cert.csr")}));
  SslCertRecord blank{};
  blank.install_type = 0;
  snprintf(blank.country, sizeof blank.country, " ");
  snprintf(blank.common_name, sizeof blank.common_name, " ");
  snprintf(blank.email, sizeof blank.email, " ");
  snprintf(blank.dates, sizeof blank.dates, " ");
  write_ssl_params(nvr::qvdb_path(), &blank);
  nvr::tell_daemon(kReqCertDeleted, nullptr, 0);
  nvr::tell_daemon(kReqHttpsSwitch, int32_t{0});
  cgi_writeback_webserver(kRespText, "OK");
}

// "/7086"
void on_set_https_enable(char* data) {
  nvr::Json request = nvr::parse_request(data);
  const int32_t enable = netmod::int_or(request.get(), "httpsenable") != 0 ? 1 : 0;
  if (enable != 0 && !cert_exists()) {
    cgi_writeback_webserver(kRespText, "NOFILE");
    return;
  }
  if (set_param_int(nvr::qvdb_path(), "httpsenable", enable) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::tell_daemon(kReqHttpsSwitch, enable);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/7087"
void on_get_https_enable(char*) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "enable", https_enable());
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7089"
void on_get_cert_req_info(char*) {
  nvr::Json answer = nvr::json_new_object();
  if (!csr_file()) {
    nvr::json_add_string(answer.get(), "checkfile", "NOFILE");
    cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
    return;
  }
  SslCertRecord subject{};
  read_ssl_params(nvr::qvdb_path(), &subject, 2);
  nvr::json_add_string(answer.get(), "checkfile", "OK");
  add_text(answer.get(), "country_req", subject.country, sizeof subject.country);
  add_text(answer.get(), "common_name_req", subject.common_name, sizeof subject.common_name);
  add_text(answer.get(), "email_req", subject.email, sizeof subject.email);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}
