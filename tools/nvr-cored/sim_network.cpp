// Recorder behaviour for the network area: the clock, interfaces and ports
// are the host's own and are left alone; the services keep what they were
// sent in the configuration database; certificates are made and checked with
// the openssl program.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "modules/network/network_records.h"
#include "modules/network/network_wire.h"
#include "platform/device_path.h"
#include "tools/nvr-cored/sim.h"

extern char** environ;

namespace {

std::string db() { return sim::dev_path(nvr::devpath::kQvdb); }
std::string ssl(const std::string& tail) { return sim::dev_path("/mnt/nand/ssl" + tail); }

void reply_int(sim::Peer& peer, int32_t reply_id, int32_t value) {
  peer.reply(reply_id, &value, sizeof value);
}

// Runs a program (no shell) and returns its exit status; `out` gets what it
// printed on standard output.
int run(const std::vector<std::string>& args, std::string* out = nullptr) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", 0, 0);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  std::string text;
  char buffer[512];
  ssize_t got = 0;
  while ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  close(pipe_fds[0]);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <size_t N>
void put(char (&field)[N], const std::string& text) {
  snprintf(field, N, "%s", text.c_str());
}

std::string field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

// ---- time, interfaces, ports ---------------------------------------------------------

// 1701: the simulator does not set the host's clock.
void on_set_time(const sim::Message&, sim::Peer& peer) { reply_int(peer, kReplySetSystemTime, 0); }
void on_default_route(const sim::Message&, sim::Peer& peer) {
  reply_int(peer, kReplySetDefaultRoute, 0);
}

// 3005 / 3006: an address is taken when one of the host's interfaces has it.
bool address_in_use(const std::string& address) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool used = false;
  for (ifaddrs* a = list; a && !used; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof text);
    used = address == text;
  }
  freeifaddrs(list);
  return used;
}
void on_ip_conflict(const sim::Message& request, sim::Peer& peer) {
  IpConflictQuery query{};
  memcpy(&query, request.payload.data(), std::min(request.payload.size(), sizeof query));
  reply_int(peer, kReplyIpConflict, address_in_use(field(query.ip, sizeof query.ip)) ? 1 : 0);
}
void on_ip_conflict_by_dev(const sim::Message& request, sim::Peer& peer) {
  IpConflictByDevQuery query{};
  memcpy(&query, request.payload.data(), std::min(request.payload.size(), sizeof query));
  reply_int(peer, kReplyIpConflictByDev, address_in_use(field(query.ip, sizeof query.ip)) ? 1 : 0);
}

// ---- services -------------------------------------------------------------------------

void on_multicast(const sim::Message& request, sim::Peer& peer) {
  reply_int(peer, kReplySetMulticast, request.payload.size() == sizeof(MulticastInfo) ? 0 : -1);
}

void on_ddns_status(const sim::Message&, sim::Peer& peer) {
  DdnsInfo ddns{};
  read_ddns(db().c_str(), &ddns);
  reply_int(peer, kReplyDdnsStatus, ddns.enable != 0 && ddns.domain[0] ? 1 : 0);
}

// 3409: no mail leaves the machine; a complete account counts as sent.
void on_test_mail(const sim::Message&, sim::Peer& peer) {
  EmailInfo email{};
  read_email(db().c_str(), &email);
  const bool complete =
      email.smtp_server[0] && email.smtp_port > 0 && email.receivers[0].address[0];
  reply_int(peer, kReplyTestEmail, complete ? 0 : 1);
}

// 3700: the recorder registers with the cloud and keeps the record it gets.
void on_enable_p2p(const sim::Message& request, sim::Peer& peer) {
  if (request.payload.size() != sizeof(P2pInfo)) return;  // the server's text of a test
  P2pInfo sent{};
  memcpy(&sent, request.payload.data(), sizeof sent);
  P2pInfo record{};
  read_p2p_info(db().c_str(), &record);
  record.enable = sent.enable;
  record.region = sent.region;
  if (!record.account[0]) put(record.account, "demo@nvr-cloud.net");
  if (!record.register_code[0]) put(record.register_code, "VR32324S-0173-DEMO");
  if (!record.server[0]) put(record.server, "p2p.nvr-cloud.net");
  if (!record.model[0]) put(record.model, "VR-3232-4S");
  reply_int(peer, kReplyEnableP2p, write_p2p_info(db().c_str(), &record) == 0 ? 0 : 3);
}
void on_disable_p2p(const sim::Message&, sim::Peer& peer) { reply_int(peer, kReplyDisableP2p, 0); }

void on_p2p_status(const sim::Message&, sim::Peer& peer) {
  P2pInfo record{};
  read_p2p_info(db().c_str(), &record);
  P2pStatus status{};
  status.enable = record.enable;
  status.status = record.enable ? 1 : 0;
  put(status.model, field(record.model, sizeof record.model));
  put(status.ipc, "");
  put(status.cloud_account, field(record.account, sizeof record.account));
  put(status.cloud_server, field(record.server, sizeof record.server));
  put(status.register_code, field(record.register_code, sizeof record.register_code));
  put(status.company, "Demo Security");
  put(status.email, "support@nvr-cloud.net");
  put(status.dealer, "Demo dealer");
  status.region = record.region;
  peer.reply(kReplyP2pStatus, &status, sizeof status);
}

void on_p2p_unbind(const sim::Message&, sim::Peer& peer) {
  P2pInfo record{};
  read_p2p_info(db().c_str(), &record);
  memset(record.account, 0, sizeof record.account);
  write_p2p_info(db().c_str(), &record);
  reply_int(peer, kReplyP2pUnbind, 0);
}

// ---- certificates ----------------------------------------------------------------------

std::string subject_of(const SslCertRecord& r) {
  std::string subject;
  auto add = [&](const char* key, const char* text, size_t size) {
    const std::string value = field(text, size);
    if (value.empty() || value.find('/') != std::string::npos) return;
    subject.append("/").append(key).append("=").append(value);
  };
  if (strnlen(r.country, sizeof r.country) == 2) add("C", r.country, sizeof r.country);
  add("ST", r.province, sizeof r.province);
  add("L", r.region, sizeof r.region);
  add("O", r.organization, sizeof r.organization);
  add("OU", r.company, sizeof r.company);
  add("CN", r.common_name, sizeof r.common_name);
  add("emailAddress", r.email, sizeof r.email);
  return subject.empty() ? "/CN=nvr" : subject;
}

// The subject and dates of a certificate file as the stored record shows them.
bool describe_cert(const std::string& path, SslCertRecord* record) {
  std::string text;
  if (run({"openssl", "x509", "-in", path, "-noout", "-subject", "-dates", "-nameopt", "RFC2253"},
          &text) != 0)
    return false;
  std::string dates;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind("subject=", 0) == 0) {
      std::string rest = line.substr(8);
      size_t p = 0;
      while (p <= rest.size()) {
        size_t q = rest.find(',', p);
        if (q == std::string::npos) q = rest.size();
        std::string part = rest.substr(p, q - p);
        while (!part.empty() && part[0] == ' ') part.erase(0, 1);
        if (part.rfind("C=", 0) == 0) put(record->country, part.substr(2));
        if (part.rfind("CN=", 0) == 0) put(record->common_name, part.substr(3));
        if (part.rfind("emailAddress=", 0) == 0) put(record->email, part.substr(13));
        p = q + 1;
      }
    } else if (line.rfind("notBefore=", 0) == 0 || line.rfind("notAfter=", 0) == 0) {
      dates += (dates.empty() ? "" : "; ") + line;
    }
    start = end + 1;
  }
  put(record->dates, dates);
  return true;
}

// 3316: a key and a self-signed certificate, or a key and a signing request.
void on_create_cert(const sim::Message& request, sim::Peer& peer) {
  if (request.payload.size() != sizeof(SslCertRecord)) return;
  SslCertRecord sent{};
  memcpy(&sent, request.payload.data(), sizeof sent);
  const std::string subject = subject_of(sent);
  int status = -1;
  SslCertRecord stored = sent;
  memset(stored.password, 0, sizeof stored.password);
  if (sent.install_type == 0) {
    const int days = sent.validity > 0 ? sent.validity : 365;
    status = run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                  ssl("/ssl_key.pem"), "-out", ssl("/ssl_cert.pem"), "-days", std::to_string(days),
                  "-subj", subject});
    if (status == 0) describe_cert(ssl("/ssl_cert.pem"), &stored);
    stored.install_type = 0;
  } else {
    run({"mkdir", "-p", ssl("/tmp")});
    status = run({"openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout",
                  ssl("/tmp/ssl_key_req.pem"), "-out", ssl("/tmp/ssl_cert.csr"), "-subj", subject});
    stored.install_type = 2;
  }
  if (status == 0) write_ssl_params(db().c_str(), &stored);
  reply_int(peer, kReplyCreateCert, status == 0 ? 0 : -1);
}

void on_delete_cert_req(const sim::Message&, sim::Peer&) {
  unlink(ssl("/tmp/ssl_cert.csr").c_str());
  unlink(ssl("/tmp/ssl_key_req.pem").c_str());
}

// 3318: the installed file must be a certificate; otherwise the previous one
// is put back.
void on_cert_installed(const sim::Message&, sim::Peer& peer) {
  SslCertRecord subject{};
  subject.install_type = 0;
  if (describe_cert(ssl("/ssl_cert.pem"), &subject)) {
    write_ssl_params(db().c_str(), &subject);
    reply_int(peer, kReplyCertInstalled, 1);
    return;
  }
  if (access(ssl("/ssl_cert_save.pem").c_str(), F_OK) == 0)
    rename(ssl("/ssl_cert_save.pem").c_str(), ssl("/ssl_cert.pem").c_str());
  else
    unlink(ssl("/ssl_cert.pem").c_str());
  reply_int(peer, kReplyCertInstalled, 0);
}

sim::HandlerReg reg_1701(kReqSetSystemTime, on_set_time);
sim::HandlerReg reg_1724(kReqSetDefaultRoute, on_default_route);
sim::HandlerReg reg_3005(kReqIpConflict, on_ip_conflict);
sim::HandlerReg reg_3006(kReqIpConflictByDev, on_ip_conflict_by_dev);
sim::HandlerReg reg_1729(kReqSetMulticast, on_multicast);
sim::HandlerReg reg_3309(kReqDdnsStatus, on_ddns_status);
sim::HandlerReg reg_3409(kReqTestEmail, on_test_mail);
sim::HandlerReg reg_3700(kReqEnableP2p, on_enable_p2p);
sim::HandlerReg reg_3701(kReqDisableP2p, on_disable_p2p);
sim::HandlerReg reg_3702(kReqP2pStatus, on_p2p_status);
sim::HandlerReg reg_2302(kReqP2pUnbind, on_p2p_unbind);
sim::HandlerReg reg_3316(kReqCreateCert, on_create_cert);
sim::HandlerReg reg_3317(kReqDeleteCertReq, on_delete_cert_req);
sim::HandlerReg reg_3318(kReqCertInstalled, on_cert_installed);

}  // namespace
