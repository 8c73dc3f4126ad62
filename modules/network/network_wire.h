// Messages of the network area between this program and the core daemon:
// request and reply ids and the records they carry.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- interfaces, time, ports ----------------------------------------------------------
constexpr int32_t kReqSetSystemTime = 1701;      // NetApplyText: quoted manual time or ""
constexpr int32_t kReplySetSystemTime = 6701;    // any payload
constexpr int32_t kReqSystemTimeDone = 1711;     // no payload
constexpr int32_t kReqSettingsChanged = 1702;    // NetApplyText: the area ("network", ...)
constexpr int32_t kReqRestartNetwork = 1712;     // NetApplyText, all zero
constexpr int32_t kReqSetDefaultRoute = 1724;    // int32 interface
constexpr int32_t kReplySetDefaultRoute = 6724;  // int32 result
constexpr int32_t kReqSlaveClear = 3023;         // int32 "slaveClear"
constexpr int32_t kReqIpConflict = 3005;         // IpConflictQuery
constexpr int32_t kReplyIpConflict = 8005;       // int32: 0 free
constexpr int32_t kReqIpConflictByDev = 3006;    // IpConflictByDevQuery
constexpr int32_t kReplyIpConflictByDev = 8006;  // int32: 0 free
constexpr int32_t kReqPushMessage = 3617;        // PushEnableText
constexpr int32_t kReqChannelAccess = 3618;      // int32 "enableAccess"

// ---- services ------------------------------------------------------------------------
constexpr int32_t kReqSetMulticast = 1729;    // MulticastInfo
constexpr int32_t kReplySetMulticast = 6729;  // int32 result
constexpr int32_t kReqP2pUnbind = 2302;       // no payload
constexpr int32_t kReplyP2pUnbind = 7302;     // any payload
constexpr int32_t kReqDdnsStatus = 3309;      // no payload
constexpr int32_t kReplyDdnsStatus = 8309;    // int32 status
constexpr int32_t kReqTestEmail = 3409;       // NetApplyText "testmail"
constexpr int32_t kReplyTestEmail = 8409;     // int32: 0 sent
constexpr int32_t kReqEnableP2p = 3700;       // P2pInfo, or the server's text (test)
constexpr int32_t kReplyEnableP2p = 8700;     // int32 result
constexpr int32_t kReqDisableP2p = 3701;      // P2pInfo
constexpr int32_t kReplyDisableP2p = 8701;    // int32 result
constexpr int32_t kReqP2pStatus = 3702;       // no payload
constexpr int32_t kReplyP2pStatus = 8702;     // P2pStatus

// ---- HTTPS certificates --------------------------------------------------------------------
constexpr int32_t kReqCreateCert = 3316;       // SslCertRecord
constexpr int32_t kReplyCreateCert = 8316;     // any payload
constexpr int32_t kReqDeleteCertReq = 3317;    // no payload
constexpr int32_t kReqCertInstalled = 3318;    // no payload
constexpr int32_t kReplyCertInstalled = 8318;  // int32: 1 installed
constexpr int32_t kReqCertDeleted = 3320;      // no payload
constexpr int32_t kReqHttpsSwitch = 3322;      // int32 0 or 1

#pragma pack(push, 1)

// The 32-byte text of 1701, 1702, 1712 and 3409.
struct NetApplyText {
  char text[32];
};

//  OFFSET  SIZE  DESCRIPTION (request 3005)
//       0    20  IPv4 address text
struct IpConflictQuery {
  char ip[20];
};

//  OFFSET  SIZE  DESCRIPTION (request 3006)
//       0    16  interface name
//      16    16  IPv4 address text
struct IpConflictByDevQuery {
  char dev[16];
  char ip[16];
};

// The push switch text of 3617.
struct PushEnableText {
  char text[10];
};

//  OFFSET  SIZE  DESCRIPTION (multicast record, request 1729)
//       0     4  streaming on (0/1)                    "enable"
//       4    65  group address                         "ip"
//      69     3  padding
struct MulticastInfo {
  int32_t enable;
  char ip[65];
  uint8_t pad[3];
};

//  OFFSET  SIZE  DESCRIPTION (P2P record, requests 3700 and 3701)
//       0     4  service on (0/1)
//       4    32  kept by the core daemon
//      36   128  cloud account
//     164   128  register code
//     292   128  cloud server
//     420    64  device model
//     484     4  region
struct P2pInfo {
  int32_t enable;
  uint8_t reserved[32];
  char account[128];
  char register_code[128];
  char server[128];
  char model[64];
  int32_t region;
};

//  OFFSET  SIZE  DESCRIPTION (P2P status, reply 8702)
//       0     4  service on                   "enable"
//       4     4  connection status            "p2pstatus"
//       8    32  model                        "model"
//      40    64  camera-side id               "ipc"
//     104    64  cloud account                "cloudAccount"
//     168    64  cloud server                 "cloudServer"
//     232   128  register code                "registerCode"
//     360   128  company                      "company"
//     488   128  e-mail                       "email"
//     616   128  dealer                       "dealer"
//     744     4  region                       "region"
struct P2pStatus {
  int32_t enable;
  int32_t status;
  char model[32];
  char ipc[64];
  char cloud_account[64];
  char cloud_server[64];
  char register_code[128];
  char company[128];
  char email[128];
  char dealer[128];
  int32_t region;
};

//  OFFSET  SIZE  DESCRIPTION (registration block of the P2P server test)
//       0    24  MAC text of the first interface
//      24    32  device name
//      56    64  serial number
//     120   128  cloud account     (stored P2P record)
//     248   128  register code
//     376   128  cloud server
//     504    64  device model
struct P2pRegistration {
  char mac[24];
  char device_name[32];
  char serial[64];
  char account[128];
  char register_code[128];
  char server[128];
  char model[64];
};

// The header that precedes every message to and from the P2P server: eight
// int64 values; the fourth of a reply is its status.
struct P2pHeader {
  int64_t value[8];
};

//  OFFSET  SIZE  DESCRIPTION (certificate record: request 3316, and the stored
//                             subject of the installed certificate (type 0)
//                             or of the signing request (type 2))
//       0     4  install type: 0 self-signed, other signing request
//       4     3  country code                  "Country"
//       7    64  common name                   "CommonName"
//      71     1  padding
//      72     4  validity in days (type 0)     "Validity"
//      76    16  key password                  "Password"
//      92    64  province                      "Province"
//     156    64  region                        "Region"
//     220    64  organization                  "Organization"
//     284    64  company                       "Company"
//     348    64  e-mail                        "Email"
//     412   256  reserved
//     668   128  validity dates (stored subject only)
//     796    64  reserved
//     860    16  start time (type 0)           "startTime"
//     876    16  end time (type 0)             "endTime"
struct SslCertRecord {
  int32_t install_type;
  char country[3];
  char common_name[64];
  uint8_t pad0;
  int32_t validity;
  char password[16];
  char province[64];
  char region[64];
  char organization[64];
  char company[64];
  char email[64];
  uint8_t reserved0[256];
  char dates[128];
  uint8_t reserved1[64];
  char start_time[16];
  char end_time[16];
};

#pragma pack(pop)

static_assert(sizeof(NetApplyText) == 32);
static_assert(sizeof(IpConflictQuery) == 20);
static_assert(sizeof(IpConflictByDevQuery) == 32);
static_assert(offsetof(IpConflictByDevQuery, ip) == 16);
static_assert(sizeof(PushEnableText) == 10);
static_assert(sizeof(MulticastInfo) == 72);
static_assert(offsetof(MulticastInfo, ip) == 4);
static_assert(sizeof(P2pInfo) == 488);
static_assert(offsetof(P2pInfo, account) == 36);
static_assert(offsetof(P2pInfo, register_code) == 164);
static_assert(offsetof(P2pInfo, server) == 292);
static_assert(offsetof(P2pInfo, model) == 420);
static_assert(offsetof(P2pInfo, region) == 484);
static_assert(sizeof(P2pStatus) == 748);
static_assert(offsetof(P2pStatus, status) == 4);
static_assert(offsetof(P2pStatus, model) == 8);
static_assert(offsetof(P2pStatus, ipc) == 40);
static_assert(offsetof(P2pStatus, cloud_account) == 104);
static_assert(offsetof(P2pStatus, cloud_server) == 168);
static_assert(offsetof(P2pStatus, register_code) == 232);
static_assert(offsetof(P2pStatus, company) == 360);
static_assert(offsetof(P2pStatus, email) == 488);
static_assert(offsetof(P2pStatus, dealer) == 616);
static_assert(offsetof(P2pStatus, region) == 744);
static_assert(sizeof(P2pRegistration) == 568);
static_assert(offsetof(P2pRegistration, device_name) == 24);
static_assert(offsetof(P2pRegistration, serial) == 56);
static_assert(offsetof(P2pRegistration, account) == 120);
static_assert(offsetof(P2pRegistration, register_code) == 248);
static_assert(offsetof(P2pRegistration, server) == 376);
static_assert(offsetof(P2pRegistration, model) == 504);
static_assert(sizeof(P2pHeader) == 64);
static_assert(sizeof(SslCertRecord) == 892);
static_assert(offsetof(SslCertRecord, country) == 4);
static_assert(offsetof(SslCertRecord, common_name) == 7);
static_assert(offsetof(SslCertRecord, validity) == 72);
static_assert(offsetof(SslCertRecord, password) == 76);
static_assert(offsetof(SslCertRecord, province) == 92);
static_assert(offsetof(SslCertRecord, region) == 156);
static_assert(offsetof(SslCertRecord, organization) == 220);
static_assert(offsetof(SslCertRecord, company) == 284);
static_assert(offsetof(SslCertRecord, email) == 348);
static_assert(offsetof(SslCertRecord, dates) == 668);
static_assert(offsetof(SslCertRecord, start_time) == 860);
static_assert(offsetof(SslCertRecord, end_time) == 876);

// The P2P registration server: its host is a deployment setting (parameter
// "p2p_server_host"); its port is fixed.
constexpr int kP2pServerPort = 9999;
