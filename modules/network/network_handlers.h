// Handlers of the network module ("/7000"), its reply callbacks and the
// module's shared helpers.
#pragma once

#include <json-c/json.h>

#include <cstdint>

#include "platform/qvdb.h"

// ---- routes -------------------------------------------------------------------------
void on_get_time_info(char* data);
void on_set_time_info(char* data);
void on_get_pppoe_info(char* data);
void on_set_pppoe_info(char* data);
void on_get_network_info(char* data);
void on_set_network_info(char* data);
void on_restart_network(char* data);
void on_get_network_mode(char* data);
void on_get_port_info(char* data);
void on_get_poe_max(char* data);
void on_set_port_info(char* data);
void on_ip_conflict(char* data);
void on_ip_conflict_by_dev(char* data);
void on_get_mac0(char* data);
void on_cgi_set_default_route(char* data);

void on_get_ddns_info(char* data);
void on_set_ddns_info(char* data);
void on_get_email_info(char* data);
void on_set_email_info(char* data);
void on_get_p2p_info(char* data);
void on_set_p2p_info(char* data);
void on_test_p2p(char* data);
void on_test_email(char* data);
void on_get_snmp_info(char* data);
void on_set_snmp_info(char* data);
void on_get_access_info(char* data);
void on_get_ddns_status(char* data);
void on_cgi_p2p_unbind_device(char* data);
void on_cgi_get_multicast(char* data);
void on_cgi_set_multicast(char* data);

void on_create_https_cert(char* data);
void on_get_cert_info(char* data);
void on_download_cert_req(char* data);
void on_delete_cert_req(char* data);
void on_install_cert(char* data);
void on_delete_cert(char* data);
void on_set_https_enable(char* data);
void on_get_https_enable(char* data);
void on_get_cert_req_info(char* data);

// Installs an uploaded private key (no route of this program reaches it).
void on_install_key(char* path);
// Prepares the signing workspace "/mnt/nand/ssl/demoCA".
void config_ssl_environment();

// ---- replies ------------------------------------------------------------------------
void on_network_ipc_callback(void* context, const void* header, const void* payload);

void on_set_systime_cb(uint32_t count, const void* records);
void on_cgi_set_default_route_cb(uint32_t count, const void* records);
void on_ip_conflict_cb(uint32_t count, const void* records);
void on_cgi_set_multicast_cb(uint32_t count, const void* records);
void on_cgi_p2p_unbind_device_cb(uint32_t count, const void* records);
void on_get_ddns_status_cb(uint32_t count, const void* records);
void on_test_email_cb(uint32_t count, const void* records);
void on_enable_p2p_cb(uint32_t count, const void* records);
void on_disable_p2p_cb(uint32_t count, const void* records);
void on_p2p_status_info_cb(uint32_t count, const void* records);
void on_resp_create_cert(uint32_t count, const void* records);
void on_resp_install_cert(uint32_t count, const void* records);

// ---- shared helpers ---------------------------------------------------------------------
namespace netmod {

// Log codes of the network pages.
constexpr int64_t kLogSubNetTime = 225;
constexpr int32_t kLogParamNetwork = 914;
constexpr int32_t kLogParamPppoe = 915;
constexpr int32_t kLogParamDdns = 916;
constexpr int32_t kLogParamEmail = 917;
constexpr int32_t kLogParamPorts = 918;
constexpr int32_t kLogMainException = 32;
constexpr int64_t kLogSubIpConflict = 406;

// Tells the daemon that settings area `area` ("network", "pppoe", ...) changed.
void notify_area(const char* area);

// The tail of a change of settings area `area`: a failed write answers
// "CGI ERROR"; else request 1702 with the area, the operation-log record
// (sub type 204, `log_param`) and "OK".
void finish_area_change(int32_t stored, const char* area, int32_t log_param);

// An empty reply of a request that expects one int32: the route's error
// answer at once rather than a wait for a reply that will not come.
void answer_missing_record(int kind);

// Copies string member `key` bounded into buffer[size]; an absent key gives
// "(null)", what the recorder has always stored for a text it was not sent;
// another JSON type gives the empty text.
void copy_text_or_null(json_object* request, const char* key, char* buffer, size_t size);
// Every field of `desc` from `request`: texts as copy_text_or_null, integers
// read wide and clamped, absent integers 0. The record is not read first.
void record_from_json_or_null(const DbRecord& desc, json_object* request, void* record);

// Member `key` as an int32 (absent or not an integer: `fallback`).
int32_t int_or(json_object* request, const char* key, int32_t fallback = 0);

// The integer parameter `key`, stored as decimal text (created when missing).
int store_param_number(const char* key, int64_t value);

// A service port may be kept as stored, or moved to one that is outside the
// ports the PoE cameras use and that no socket listens on.
bool port_is_usable(int32_t port, int32_t stored);

}  // namespace netmod
