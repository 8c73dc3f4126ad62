// Network services: dynamic DNS, the alarm e-mail account, SNMP, multicast
// streaming and the channel access setting.
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/network/net_checks.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "platform/device_path.h"

namespace {

using netcheck::Kind;

constexpr netcheck::Rule kDdnsRules[] = {
    {"domain", Kind::kHostName},
    {"hostName", Kind::kHostName},
    {"http", Kind::kPort},
    {"rtsp", Kind::kPort},
};
constexpr netcheck::Rule kEmailRules[] = {
    {"smtpServer", Kind::kHostOrAddress},
    {"smtpPort", Kind::kPort},
    {"hostName", Kind::kHostName},
};
constexpr netcheck::Rule kSnmpRules[] = {{"port", Kind::kPort}};
constexpr netcheck::Rule kMulticastRules[] = {{"ip", Kind::kMulticast}};

void answer_record(const DbRecord& desc, const void* record) {
  nvr::Json answer(db_record_to_json(desc, record));
  if (answer) cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

int32_t first_int(uint32_t count, const void* records) {
  return count ? nvr::record_at<int32_t>(records, 0) : 0;
}

}  // namespace

// "/7020"
void on_get_ddns_info(char*) {
  DdnsInfo ddns{};
  read_ddns(nvr::qvdb_path(), &ddns);
  char mac[18] = "";
  get_mac_addr(mac, nullptr);
  nvr::Json answer(db_record_to_json(kDdnsRecord, &ddns));
  if (!answer) return;
  nvr::json_add_string(answer.get(), "mac", mac);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7021": a new record from the request alone.
void on_set_ddns_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t enable = 0;
  int32_t update_freq = 0;
  if (!request || !nvr::json_read_int(request.get(), "enable", &enable, 0, 1) ||
      !nvr::json_read_int(request.get(), "updateFreq", &update_freq, 0, INT32_MAX) ||
      netcheck::check_fields(request.get(), kDdnsRules) != 0)
    return;
  DdnsInfo ddns{};
  netmod::record_from_json_or_null(kDdnsRecord, request.get(), &ddns);
  ddns.http_port = netmod::int_or(request.get(), "http");
  ddns.rtsp_port = netmod::int_or(request.get(), "rtsp");
  netmod::finish_area_change(write_ddns(nvr::qvdb_path(), &ddns), "ddns", netmod::kLogParamDdns);
}

void on_get_ddns_status_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespJson);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "status", first_int(count, records));
  nvr::answer_json(answer);
}

// "/7094"
void on_get_ddns_status(char*) {
  nvr::ask_or_answer(on_network_ipc_callback, kReqDdnsStatus, nullptr, 0, nvr::Silence::kJson);
}

// "/7030"
void on_get_email_info(char*) {
  EmailInfo email{};
  PortSettings ports{};
  read_email(nvr::qvdb_path(), &email);
  read_port(nvr::qvdb_path(), &ports);
  nvr::Json answer(db_record_to_json(kEmailRecord, &email));
  if (!answer) return;
  nvr::json_add_int(answer.get(), "enableHostName", ports.enable_host_name);
  nvr::json_add(answer.get(), "hostName",
                nvr::json_new_string_bounded(ports.host_name, sizeof ports.host_name));
  nvr::Json receivers = nvr::json_new_array();
  for (const EmailReceiver& receiver : email.receivers) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add(item.get(), "receiverAddr",
                  nvr::json_new_string_bounded(receiver.address, sizeof receiver.address));
    nvr::json_add(item.get(), "receiverName",
                  nvr::json_new_string_bounded(receiver.name, sizeof receiver.name));
    nvr::json_append(receivers.get(), std::move(item));
  }
  nvr::json_add(answer.get(), "receivers", std::move(receivers));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7031": the account texts are at most 64 characters; the host name goes
// with the port settings.
void on_set_email_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  json_object* r = request.get();
  int32_t value = 0;
  if (!request || !nvr::json_read_int(r, "smtpPort", &value, 0, INT32_MAX) ||
      !nvr::json_read_int(r, "enableTls", &value, 0, 2) ||
      !nvr::json_read_int(r, "enableAttach", &value, 0, 1) ||
      !nvr::json_read_int(r, "captureInterval", &value, 0, INT32_MAX) ||
      netcheck::check_fields(r, kEmailRules) != 0)
    return;
  EmailInfo email{};
  read_email(nvr::qvdb_path(), &email);
  email.enable = netmod::int_or(r, "enable");
  netmod::copy_text_or_null(r, "userName", email.user_name, 65);
  netmod::copy_text_or_null(r, "password", email.password, 65);
  netmod::copy_text_or_null(r, "smtpServer", email.smtp_server, 65);
  email.smtp_port = netmod::int_or(r, "smtpPort");
  email.enable_tls = netmod::int_or(r, "enableTls");
  email.enable_attach = netmod::int_or(r, "enableAttach");
  email.capture_interval = netmod::int_or(r, "captureInterval");
  netmod::copy_text_or_null(r, "senderName", email.sender_name, sizeof email.sender_name);
  netmod::copy_text_or_null(r, "senderAddr", email.sender_addr, sizeof email.sender_addr);
  json_object* receivers = nvr::json_get(r, "receivers");
  for (size_t i = 0; i < kEmailReceivers; ++i) {
    json_object* item = nvr::json_at(receivers, i);
    netmod::copy_text_or_null(item, "receiverName", email.receivers[i].name,
                              sizeof email.receivers[i].name);
    netmod::copy_text_or_null(item, "receiverAddr", email.receivers[i].address,
                              sizeof email.receivers[i].address);
  }
  PortSettings ports{};
  read_port(nvr::qvdb_path(), &ports);
  ports.enable_host_name = netmod::int_or(r, "enableHostName");
  netmod::copy_text_or_null(r, "hostName", ports.host_name, sizeof ports.host_name);

  DbBatch batch(nvr::qvdb_path());
  write_email(nvr::qvdb_path(), &email);
  write_port(nvr::qvdb_path(), &ports);
  netmod::finish_area_change(batch.commit(), "mail", netmod::kLogParamEmail);
}

void on_test_email_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespText);
  nvr::answer_text(first_int(count, records) == 0 ? "OK" : "ERROR");
}

// "/7032": the daemon sends a mail with the stored account.
void on_test_email(char*) {
  NetApplyText text{};
  snprintf(text.text, sizeof text.text, "%s", "testmail");
  nvr::ask_or_answer(on_network_ipc_callback, kReqTestEmail, text, nvr::Silence::kText);
}

// "/7090"
void on_get_snmp_info(char*) {
  SnmpInfo snmp{};
  PortSettings ports{};
  read_snmp(nvr::qvdb_path(), &snmp);
  read_port(nvr::qvdb_path(), &ports);
  nvr::Json answer(db_record_to_json(kSnmpRecord, &snmp));
  if (!answer) return;
  nvr::json_add_int(answer.get(), "sshPort", ports.ssh_port);
  nvr::json_add_int(answer.get(), "httpPort", ports.http_port);
  nvr::json_add_int(answer.get(), "rtspPort", ports.rtsp_port);
  nvr::json_add_int(answer.get(), "httpsPort", ports.https_port);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7091": the agent's port is tested like the service ports; no log record.
void on_set_snmp_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || netcheck::check_fields(request.get(), kSnmpRules) != 0) return;
  SnmpInfo snmp{};
  read_snmp(nvr::qvdb_path(), &snmp);
  const int32_t port = netmod::int_or(request.get(), "port");
  if (!netmod::port_is_usable(port, snmp.port)) {
    cgi_writeback_webserver(kRespText, "POE_Port_Error");
    return;
  }
  netmod::record_from_json_or_null(kSnmpRecord, request.get(), &snmp);
  if (write_snmp(nvr::qvdb_path(), &snmp) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  netmod::notify_area("snmp");
  cgi_writeback_webserver(kRespText, "OK");
}

// "/7092"
void on_get_access_info(char*) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "access", get_param_int(nvr::qvdb_path(), "ch_access", 0));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7033"
void on_cgi_get_multicast(char*) {
  MulticastInfo multicast{};
  read_multicast(nvr::qvdb_path(), &multicast);
  answer_record(kMulticastRecord, &multicast);
}

void on_cgi_set_multicast_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespJson);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", first_int(count, records));
  nvr::answer_json(answer);
}

// "/7034"
void on_cgi_set_multicast(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || netcheck::check_fields(request.get(), kMulticastRules) != 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  MulticastInfo multicast{};
  read_multicast(nvr::qvdb_path(), &multicast);
  nvr::json_read_int(request.get(), "enable", &multicast.enable);
  nvr::json_copy_string(request.get(), "ip", multicast.ip, sizeof multicast.ip);
  if (write_multicast(nvr::qvdb_path(), &multicast) != 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_network_ipc_callback, kReqSetMulticast, multicast, nvr::Silence::kJson);
}
