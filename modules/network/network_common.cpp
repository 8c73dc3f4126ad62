// The network module's reply table and the helpers its routes share.
#include <cstdio>
#include <cstring>
#include <limits>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "modules/network/network_wire.h"
#include "platform/device_path.h"
#include "platform/net.h"

namespace {

constexpr nvr::ReplyRow kNetworkReplies[] = {
    {kReplySetSystemTime, 1, on_set_systime_cb},
    {kReplySetDefaultRoute, sizeof(int32_t), on_cgi_set_default_route_cb},
    {kReplySetMulticast, sizeof(int32_t), on_cgi_set_multicast_cb},
    {kReplyP2pUnbind, 1, on_cgi_p2p_unbind_device_cb},
    {kReplyIpConflict, sizeof(int32_t), on_ip_conflict_cb},
    {kReplyIpConflictByDev, sizeof(int32_t), on_ip_conflict_cb},
    {kReplyDdnsStatus, sizeof(int32_t), on_get_ddns_status_cb},
    {kReplyCreateCert, 1, on_resp_create_cert},
    {kReplyCertInstalled, sizeof(int32_t), on_resp_install_cert},
    {kReplyTestEmail, sizeof(int32_t), on_test_email_cb},
    {kReplyEnableP2p, sizeof(int32_t), on_enable_p2p_cb},
    {kReplyDisableP2p, sizeof(int32_t), on_disable_p2p_cb},
    {kReplyP2pStatus, sizeof(P2pStatus), on_p2p_status_info_cb},
};

// The ports the PoE cameras of a recorder with `max_poe` PoE ports use.
bool in_poe_range(int32_t port, int32_t max_poe) {
  if (max_poe != 4 && max_poe != 8 && max_poe != 16) return false;
  return port >= 23001 && port <= 23000 + max_poe;
}

}  // namespace

void on_network_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kNetworkReplies, header, payload);
}

namespace netmod {

void notify_area(const char* area) {
  NetApplyText text{};
  snprintf(text.text, sizeof text.text, "%s", area);
  nvr::tell_daemon(kReqSettingsChanged, text);
}

void finish_area_change(int32_t stored, const char* area, int32_t log_param) {
  NetApplyText text{};
  snprintf(text.text, sizeof text.text, "%s", area);
  nvr::finish_change(stored, {kReqSettingsChanged, &text, sizeof text},
                     {kLogSubChangeSettings, log_param, 0});
}

void answer_missing_record(int kind) {
  cgi_error_to_webserver(kind);
  cgi_set_callback_done(1);
}

void copy_text_or_null(json_object* request, const char* key, char* buffer, size_t size) {
  json_object* value = nvr::json_get(request, key);
  if (value == nullptr) {
    snprintf(buffer, size, "%s", "(null)");
    return;
  }
  nvr::json_copy_text(value, buffer, size);
}

void record_from_json_or_null(const DbRecord& desc, json_object* request, void* record) {
  auto* bytes = static_cast<uint8_t*>(record);
  memset(record, 0, desc.size);
  db_record_from_json(desc, request, record);
  for (const DbField& field : desc.fields) {
    if (field.type != DbType::Text || field.json_key()[0] == '\0') continue;
    if (nvr::json_get(request, field.json_key()) == nullptr)
      snprintf(reinterpret_cast<char*>(bytes + field.offset), field.size, "%s", "(null)");
  }
}

int32_t int_or(json_object* request, const char* key, int32_t fallback) {
  int32_t value = fallback;
  nvr::json_read_int(request, key, &value);
  return value;
}

int store_param_number(const char* key, int64_t value) {
  char text[24];
  snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  if (check_param_key(nvr::qvdb_path(), key) != 0)
    return add_param_value(nvr::qvdb_path(), key, text);
  return set_param_value(nvr::qvdb_path(), key, text);
}

bool port_is_usable(int32_t port, int32_t stored) {
  if (port == stored) return true;
  const int32_t max_poe = get_param_int(nvr::qvdb_path(), "max_poe_num", 0);
  return !in_poe_range(port, max_poe) && is_port_use(port) == 0;
}

}  // namespace netmod
