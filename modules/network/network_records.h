// Settings records of the network area in the configuration database: time,
// PPPoE, interfaces, ports, push messages, DDNS, e-mail, P2P, SNMP, multicast
// and the subjects of the HTTPS certificates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/network/network_wire.h"
#include "platform/qvdb.h"

constexpr int kMaxNetChannels = 64;
constexpr int kEmailReceivers = 3;

#pragma pack(push, 1)
struct TimeInfo {
  int32_t ntp_enable;       // "ntpEnable"
  int32_t dst_enable;       // "dstEnable"
  char time_zone[32];       // "timeZone"
  char time_zone_name[32];  // "timeZoneName"
  char ntp_server[64];      // "ntpServer"
  int32_t sync_enable;      // "syncEnable"
  int32_t sync_interval;    // "syncInterval"
  int32_t sync_pc;          // "syncPc"
};

struct PppoeInfo {
  int32_t enable;        // "enable"
  int32_t auto_connect;  // "autoConnect"
  char user_name[64];    // "userName"
  char password[64];     // "password"
};

// The settings of one interface: the first (also the bonded one) or the second.
struct NetInterface {
  int32_t enable;        // "enableNetwork1" / "enableNetwork2"
  int32_t type;          // "networkType" / "networkType2": address assignment
  char ip[16];           // "ipAddr"
  char netmask[16];      // "netmask"
  char gateway[16];      // "gateway"
  char dns1[16];         // "DNS1" / "DNS12"
  char dns2[16];         // "DNS2" / "DNS22"
  int32_t mtu;           // "mtu"
  int32_t ip6_type;      // "ip6networkType": 0 static, 1 automatic, 2 router-advertised
  char ip6_addr[64];     // "ip6Addr"
  char ip6_prefix[16];   // "ip6netmask"
  char ip6_gateway[64];  // "ip6gateway"
};

struct NetworkInfo {
  int32_t mode;           // "mode": 0 separate, 1 and 2 bonded
  char host_name[64];     // "hostName"
  int32_t primary_net;    // "primaryNet" (mode 2)
  NetInterface lan1;      // first interface, or the bonded one
  NetInterface lan2;      // second interface (mode 0)
  int32_t default_route;  // "defaultRoute"
};

struct PortSettings {
  int32_t ssh_enable;        // "enableSsh"
  int32_t ssh_port;          // "sshPort"
  int32_t http_port;         // "httpPort"
  int32_t https_port;        // "httpsPort"
  int32_t rtsp_port;         // "rtspPort"
  int32_t service_port;      // "servicePort"
  int32_t enable_host_name;  // "enableHostName" (e-mail)
  char host_name[256];       // "hostName" (e-mail)
};

struct PushMsgEvent {
  int32_t channel;
  int32_t type;
};

struct DdnsInfo {
  int32_t enable;
  char domain[64];
  char user_name[32];
  char password[32];
  char host_name[128];
  char ddns_url[128];
  char free_dns_hash[128];
  int32_t update_freq;
  int32_t http_port;
  int32_t rtsp_port;
};

struct EmailReceiver {
  char address[65];
  char name[65];
};

struct EmailInfo {
  int32_t enable;
  char user_name[65];
  char password[65];
  char smtp_server[65];
  int32_t smtp_port;
  char sender_addr[65];
  char sender_name[65];
  int32_t enable_tls;  // 0 none, 1 TLS, 2 STARTTLS
  int32_t enable_attach;
  int32_t capture_interval;
  EmailReceiver receivers[kEmailReceivers];
};

struct SnmpInfo {
  int32_t v1_enable;
  int32_t v2c_enable;
  char write_community[64];
  char read_community[64];
  int32_t v3_enable;
  char read_security_name[64];
  int32_t read_level_security;
  int32_t read_auth_algorithm;
  char read_auth_password[64];
  int32_t read_pri_algorithm;
  char read_pri_password[64];
  char write_security_name[64];
  int32_t write_level_security;
  int32_t write_auth_algorithm;
  char write_auth_password[64];
  int32_t write_pri_algorithm;
  char write_pri_password[64];
  int32_t port;
};
#pragma pack(pop)

extern const DbRecord kTimeRecord;
extern const DbRecord kPppoeRecord;
extern const DbRecord kNetworkRecord;
extern const DbRecord kPortRecord;  // table "port", shared with the UPnP page
extern const DbRecord kPushMsgEventRecord;
extern const DbRecord kPushNvrEventRecord;
extern const DbRecord kDdnsRecord;
extern const DbRecord kEmailRecord;  // receivers out of JSON
extern const DbRecord kP2pRecord;
extern const DbRecord kSnmpRecord;
extern const DbRecord kMulticastRecord;
extern const DbRecord kSslParamsRecord;  // keyed by install type (0 or 2)

int read_time(const char* path, TimeInfo* record);
int write_time(const char* path, const TimeInfo* record);
int read_pppoe(const char* path, PppoeInfo* record);
int write_pppoe(const char* path, const PppoeInfo* record);
int read_network(const char* path, NetworkInfo* record);
int write_network(const char* path, const NetworkInfo* record);
// The stored mode, or -1 when nothing is stored.
int read_network_mode(const char* path);
int read_port(const char* path, PortSettings* record);
int write_port(const char* path, const PortSettings* record);
// Event types of every channel below `count` (0 where none is stored).
int read_push_msg_events(const char* path, int32_t* types, int count);
int write_push_msg_event(const char* path, const PushMsgEvent* event);
int read_push_msg_nvr_event(const char* path, char* text, int size);  // 65 bytes
int write_push_msg_nvr_event(const char* path, const char* text);
int read_ddns(const char* path, DdnsInfo* record);
int write_ddns(const char* path, const DdnsInfo* record);
int read_email(const char* path, EmailInfo* record);
int write_email(const char* path, const EmailInfo* record);
int read_p2p_info(const char* path, P2pInfo* record);
int write_p2p_info(const char* path, const P2pInfo* record);
int read_snmp(const char* path, SnmpInfo* record);
int write_snmp(const char* path, const SnmpInfo* record);
int read_multicast(const char* path, MulticastInfo* record);
int write_multicast(const char* path, const MulticastInfo* record);
int read_ssl_params(const char* path, SslCertRecord* record, int type);
int write_ssl_params(const char* path, const SslCertRecord* record);
