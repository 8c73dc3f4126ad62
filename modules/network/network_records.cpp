#include "modules/network/network_records.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DbField kTimeFields[] = {
    DB_FIELD(TimeInfo, ntp_enable, "ntpEnable", DbType::I32),
    DB_FIELD(TimeInfo, dst_enable, "dstEnable", DbType::I32),
    DB_FIELD(TimeInfo, time_zone, "timeZone", DbType::Text),
    DB_FIELD(TimeInfo, time_zone_name, "timeZoneName", DbType::Text),
    DB_FIELD(TimeInfo, ntp_server, "ntpServer", DbType::Text),
    DB_FIELD(TimeInfo, sync_enable, "syncEnable", DbType::I32),
    DB_FIELD(TimeInfo, sync_interval, "syncInterval", DbType::I32),
    DB_FIELD(TimeInfo, sync_pc, "syncPc", DbType::I32),
};

constexpr DbField kPppoeFields[] = {
    DB_FIELD(PppoeInfo, enable, "enable", DbType::I32),
    DB_FIELD(PppoeInfo, auto_connect, "autoConnect", DbType::I32),
    DB_FIELD(PppoeInfo, user_name, "userName", DbType::Text),
    DB_FIELD(PppoeInfo, password, "password", DbType::Text),
};

#define NET_IF_FIELDS(lan, sfx, enable_key, dns1_key, dns2_key)               \
  DB_FIELD(NetworkInfo, lan.enable, enable_key, DbType::I32),                 \
      DB_FIELD(NetworkInfo, lan.type, "networkType" sfx, DbType::I32),        \
      DB_FIELD(NetworkInfo, lan.ip, "ipAddr" sfx, DbType::Text),              \
      DB_FIELD(NetworkInfo, lan.netmask, "netmask" sfx, DbType::Text),        \
      DB_FIELD(NetworkInfo, lan.gateway, "gateway" sfx, DbType::Text),        \
      DB_FIELD(NetworkInfo, lan.dns1, dns1_key, DbType::Text),                \
      DB_FIELD(NetworkInfo, lan.dns2, dns2_key, DbType::Text),                \
      DB_FIELD(NetworkInfo, lan.mtu, "mtu" sfx, DbType::I32),                 \
      DB_FIELD(NetworkInfo, lan.ip6_type, "ip6networkType" sfx, DbType::I32), \
      DB_FIELD(NetworkInfo, lan.ip6_addr, "ip6Addr" sfx, DbType::Text),       \
      DB_FIELD(NetworkInfo, lan.ip6_prefix, "ip6netmask" sfx, DbType::Text),  \
      DB_FIELD(NetworkInfo, lan.ip6_gateway, "ip6gateway" sfx, DbType::Text)

constexpr DbField kNetworkFields[] = {
    DB_FIELD(NetworkInfo, mode, "mode", DbType::I32),
    DB_FIELD(NetworkInfo, host_name, "hostName", DbType::Text),
    DB_FIELD(NetworkInfo, primary_net, "primaryNet", DbType::I32),
    NET_IF_FIELDS(lan1, "", "enableNetwork1", "DNS1", "DNS2"),
    NET_IF_FIELDS(lan2, "2", "enableNetwork2", "DNS12", "DNS22"),
    DB_FIELD(NetworkInfo, default_route, "defaultRoute", DbType::I32),
};
#undef NET_IF_FIELDS

constexpr DbField kPortFields[] = {
    DB_FIELD(PortSettings, ssh_enable, "enableSsh", DbType::I32),
    DB_FIELD(PortSettings, ssh_port, "sshPort", DbType::I32),
    DB_FIELD(PortSettings, http_port, "httpPort", DbType::I32),
    DB_FIELD(PortSettings, https_port, "httpsPort", DbType::I32),
    DB_FIELD(PortSettings, rtsp_port, "rtspPort", DbType::I32),
    DB_FIELD(PortSettings, service_port, "servicePort", DbType::I32),
    DB_FIELD(PortSettings, enable_host_name, "enableHostName", DbType::I32),
    DB_FIELD(PortSettings, host_name, "hostName", DbType::Text),
};

constexpr DbField kPushMsgEventFields[] = {
    DB_FIELD(PushMsgEvent, channel, "chnid", DbType::I32),
    DB_FIELD(PushMsgEvent, type, "type", DbType::I32),
};

struct PushNvrEvent {
  char text[65];
};
constexpr DbField kPushNvrEventFields[] = {
    DB_FIELD(PushNvrEvent, text, "pushNvrPos", DbType::Text),
};

constexpr DbField kDdnsFields[] = {
    DB_FIELD(DdnsInfo, enable, "enable", DbType::I32),
    DB_FIELD(DdnsInfo, domain, "domain", DbType::Text),
    DB_FIELD(DdnsInfo, user_name, "userName", DbType::Text),
    DB_FIELD(DdnsInfo, password, "password", DbType::Text),
    DB_FIELD(DdnsInfo, host_name, "hostName", DbType::Text),
    DB_FIELD(DdnsInfo, ddns_url, "ddnsurl", DbType::Text),
    DB_FIELD(DdnsInfo, free_dns_hash, "freeDNSHash", DbType::Text),
    DB_FIELD(DdnsInfo, update_freq, "updateFreq", DbType::I32),
    DB_FIELD(DdnsInfo, http_port, "http_port", DbType::I32),
    DB_FIELD(DdnsInfo, rtsp_port, "rtsp_port", DbType::I32),
};

#define EMAIL_RECEIVER_FIELDS(i)                                                        \
  DB_FIELD_J(EmailInfo, receivers[i].address, "receiver" #i "_addr", DbType::Text, ""), \
      DB_FIELD_J(EmailInfo, receivers[i].name, "receiver" #i "_name", DbType::Text, "")

constexpr DbField kEmailFields[] = {
    DB_FIELD(EmailInfo, enable, "enable", DbType::I32),
    DB_FIELD(EmailInfo, user_name, "userName", DbType::Text),
    DB_FIELD(EmailInfo, password, "password", DbType::Text),
    DB_FIELD(EmailInfo, smtp_server, "smtpServer", DbType::Text),
    DB_FIELD(EmailInfo, smtp_port, "smtpPort", DbType::I32),
    DB_FIELD(EmailInfo, sender_addr, "senderAddr", DbType::Text),
    DB_FIELD(EmailInfo, sender_name, "senderName", DbType::Text),
    DB_FIELD(EmailInfo, enable_tls, "enableTls", DbType::I32),
    DB_FIELD(EmailInfo, enable_attach, "enableAttach", DbType::I32),
    DB_FIELD(EmailInfo, capture_interval, "captureInterval", DbType::I32),
    EMAIL_RECEIVER_FIELDS(0),
    EMAIL_RECEIVER_FIELDS(1),
    EMAIL_RECEIVER_FIELDS(2),
};
#undef EMAIL_RECEIVER_FIELDS
static_assert(kEmailReceivers == 3);

constexpr DbField kP2pFields[] = {
    DB_FIELD(P2pInfo, enable, "enable", DbType::I32),
    DB_FIELD(P2pInfo, account, "account", DbType::Text),
    DB_FIELD(P2pInfo, register_code, "register_code", DbType::Text),
    DB_FIELD(P2pInfo, server, "server", DbType::Text),
    DB_FIELD(P2pInfo, model, "model", DbType::Text),
    DB_FIELD(P2pInfo, region, "region", DbType::I32),
};

constexpr DbField kSnmpFields[] = {
    DB_FIELD(SnmpInfo, v1_enable, "v1_enable", DbType::I32),
    DB_FIELD(SnmpInfo, v2c_enable, "v2c_enable", DbType::I32),
    DB_FIELD(SnmpInfo, write_community, "write_community", DbType::Text),
    DB_FIELD(SnmpInfo, read_community, "read_community", DbType::Text),
    DB_FIELD(SnmpInfo, v3_enable, "v3_enable", DbType::I32),
    DB_FIELD(SnmpInfo, read_security_name, "read_security_name", DbType::Text),
    DB_FIELD(SnmpInfo, read_level_security, "read_level_security", DbType::I32),
    DB_FIELD(SnmpInfo, read_auth_algorithm, "read_auth_algorithm", DbType::I32),
    DB_FIELD(SnmpInfo, read_auth_password, "read_auth_password", DbType::Text),
    DB_FIELD(SnmpInfo, read_pri_algorithm, "read_pri_algorithm", DbType::I32),
    DB_FIELD(SnmpInfo, read_pri_password, "read_pri_password", DbType::Text),
    DB_FIELD(SnmpInfo, write_security_name, "write_security_name", DbType::Text),
    DB_FIELD(SnmpInfo, write_level_security, "write_level_security", DbType::I32),
    DB_FIELD(SnmpInfo, write_auth_algorithm, "write_auth_algorithm", DbType::I32),
    DB_FIELD(SnmpInfo, write_auth_password, "write_auth_password", DbType::Text),
    DB_FIELD(SnmpInfo, write_pri_algorithm, "write_pri_algorithm", DbType::I32),
    DB_FIELD(SnmpInfo, write_pri_password, "write_pri_password", DbType::Text),
    DB_FIELD(SnmpInfo, port, "port", DbType::I32),
};

constexpr DbField kMulticastFields[] = {
    DB_FIELD(MulticastInfo, enable, "enable", DbType::I32),
    DB_FIELD(MulticastInfo, ip, "ip", DbType::Text),
};

constexpr DbField kSslParamsFields[] = {
    DB_FIELD(SslCertRecord, install_type, "type", DbType::I32),
    DB_FIELD(SslCertRecord, country, "country", DbType::Text),
    DB_FIELD(SslCertRecord, common_name, "common_name", DbType::Text),
    DB_FIELD(SslCertRecord, validity, "validity", DbType::I32),
    DB_FIELD(SslCertRecord, province, "province", DbType::Text),
    DB_FIELD(SslCertRecord, region, "region", DbType::Text),
    DB_FIELD(SslCertRecord, organization, "organization", DbType::Text),
    DB_FIELD(SslCertRecord, company, "company", DbType::Text),
    DB_FIELD(SslCertRecord, email, "email", DbType::Text),
    DB_FIELD(SslCertRecord, dates, "dates", DbType::Text),
};

}  // namespace

const DbRecord kTimeRecord{"time", nullptr, sizeof(TimeInfo), kTimeFields};
const DbRecord kPppoeRecord{"pppoe", nullptr, sizeof(PppoeInfo), kPppoeFields};
const DbRecord kNetworkRecord{"network", nullptr, sizeof(NetworkInfo), kNetworkFields};
const DbRecord kPortRecord{"port", nullptr, sizeof(PortSettings), kPortFields};
const DbRecord kPushMsgEventRecord{"push_msg_event", "chnid", sizeof(PushMsgEvent),
                                   kPushMsgEventFields};
const DbRecord kPushNvrEventRecord{"push_msg_nvr_event", nullptr, sizeof(PushNvrEvent),
                                   kPushNvrEventFields};
const DbRecord kDdnsRecord{"ddns", nullptr, sizeof(DdnsInfo), kDdnsFields};
const DbRecord kEmailRecord{"email", nullptr, sizeof(EmailInfo), kEmailFields};
const DbRecord kP2pRecord{"p2p", nullptr, sizeof(P2pInfo), kP2pFields};
const DbRecord kSnmpRecord{"snmp", nullptr, sizeof(SnmpInfo), kSnmpFields};
const DbRecord kMulticastRecord{"multicast", nullptr, sizeof(MulticastInfo), kMulticastFields};
const DbRecord kSslParamsRecord{"ssl_params", "type", sizeof(SslCertRecord), kSslParamsFields};

int read_time(const char* path, TimeInfo* r) { return db_read(path, kTimeRecord, r, 0); }
int write_time(const char* path, const TimeInfo* r) { return db_write(path, kTimeRecord, r); }
int read_pppoe(const char* path, PppoeInfo* r) { return db_read(path, kPppoeRecord, r, 0); }
int write_pppoe(const char* path, const PppoeInfo* r) { return db_write(path, kPppoeRecord, r); }
int read_network(const char* path, NetworkInfo* r) { return db_read(path, kNetworkRecord, r, 0); }
int write_network(const char* path, const NetworkInfo* r) {
  return db_write(path, kNetworkRecord, r);
}

int read_network_mode(const char* path) {
  NetworkInfo network{};
  network.mode = -1;
  read_network(path, &network);
  return network.mode;
}

int read_port(const char* path, PortSettings* r) { return db_read(path, kPortRecord, r, 0); }
int write_port(const char* path, const PortSettings* r) { return db_write(path, kPortRecord, r); }

int read_push_msg_events(const char* path, int32_t* types, int count) {
  if (types == nullptr || count < 0 || count > kMaxNetChannels) return -1;
  memset(types, 0, sizeof(int32_t) * static_cast<size_t>(count));
  PushMsgEvent events[kMaxNetChannels] = {};
  int stored = 0;
  int result = db_read_all(path, kPushMsgEventRecord, events, kMaxNetChannels, &stored);
  for (int i = 0; i < stored; ++i)
    if (events[i].channel >= 0 && events[i].channel < count)
      types[events[i].channel] = events[i].type;
  return result;
}

int write_push_msg_event(const char* path, const PushMsgEvent* event) {
  if (event == nullptr || event->channel < 0 || event->channel >= kMaxNetChannels) return -1;
  return db_write(path, kPushMsgEventRecord, event);
}

int read_push_msg_nvr_event(const char* path, char* text, int size) {
  if (text == nullptr || size <= 0) return -1;
  PushNvrEvent event{};
  int result = db_read(path, kPushNvrEventRecord, &event, 0);
  snprintf(text, static_cast<size_t>(size), "%s", event.text);
  return result;
}

int write_push_msg_nvr_event(const char* path, const char* text) {
  PushNvrEvent event{};
  snprintf(event.text, sizeof event.text, "%s", text ? text : "");
  return db_write(path, kPushNvrEventRecord, &event);
}

int read_ddns(const char* path, DdnsInfo* r) { return db_read(path, kDdnsRecord, r, 0); }
int write_ddns(const char* path, const DdnsInfo* r) { return db_write(path, kDdnsRecord, r); }
int read_email(const char* path, EmailInfo* r) { return db_read(path, kEmailRecord, r, 0); }
int write_email(const char* path, const EmailInfo* r) { return db_write(path, kEmailRecord, r); }
int read_p2p_info(const char* path, P2pInfo* r) { return db_read(path, kP2pRecord, r, 0); }
int write_p2p_info(const char* path, const P2pInfo* r) { return db_write(path, kP2pRecord, r); }
int read_snmp(const char* path, SnmpInfo* r) { return db_read(path, kSnmpRecord, r, 0); }
int write_snmp(const char* path, const SnmpInfo* r) { return db_write(path, kSnmpRecord, r); }
int read_multicast(const char* path, MulticastInfo* r) {
  return db_read(path, kMulticastRecord, r, 0);
}
int write_multicast(const char* path, const MulticastInfo* r) {
  return db_write(path, kMulticastRecord, r);
}
int read_ssl_params(const char* path, SslCertRecord* r, int type) {
  return db_read(path, kSslParamsRecord, r, type);
}
int write_ssl_params(const char* path, const SslCertRecord* r) {
  return db_write(path, kSslParamsRecord, r);
}
