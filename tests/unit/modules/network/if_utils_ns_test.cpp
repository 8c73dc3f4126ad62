// Interface utilities and platform network helpers on interfaces of their
// own: each test runs in a child process in a fresh network namespace with a
// veth pair, never on the machine's interfaces.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "modules/network/if_utils.h"
#include "platform/net.h"

namespace {

// Runs `body` in a child inside a new network namespace; what it returns is
// the list of failures ("" when all held). Skips when namespaces are not
// allowed here.
void in_namespace(const std::function<std::string()>& body) {
  if (system("command -v ip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ip program";
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(fds[0]);
    std::string result;
    if (unshare(CLONE_NEWNET) != 0)
      result = "SKIP";
    else
      result = body();
    ssize_t ignored = write(fds[1], result.data(), result.size());
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buffer[512];
  ssize_t got = 0;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
    report.append(buffer, static_cast<size_t>(got));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (report == "SKIP") GTEST_SKIP() << "network namespaces are not allowed here";
  EXPECT_EQ(report, "");
}

#define NS_EXPECT(cond) \
  if (!(cond)) failures += std::string(#cond) + " (line " + std::to_string(__LINE__) + ")\n"

bool sh(const char* command) { return system(command) == 0; }

bool make_veth_pair() {
  return sh(
      "ip link set lo up && ip link add v0 type veth peer name v1 && "
      "ip addr add 10.9.0.1/24 brd + dev v0 && ip addr add 10.9.0.2/24 dev v1 && "
      "ip link set v0 up && ip link set v1 up && ip route add default via 10.9.0.254 dev v0 && "
      "ip -6 addr add 2001:db8::1/64 dev v0 nodad && "
      "ip -6 route add default via 2001:db8::fe dev v0");
}

TEST(IfUtilsNamespace, ConfigurationAddressesAndCounts) {
  in_namespace([] {
    std::string failures;
    if (!make_veth_pair()) return std::string("could not set up the veth pair\n");
    NS_EXPECT(if_get_netcount() == 2);
    IfNetConf conf{};
    NS_EXPECT(if_get_netconf("v0", &conf) == 0);
    NS_EXPECT(std::string(conf.ip) == "10.9.0.1");
    NS_EXPECT(std::string(conf.netmask) == "255.255.255.0");
    NS_EXPECT(std::string(conf.broadcast) == "10.9.0.255");
    NS_EXPECT(std::string(conf.gateway) == "10.9.0.254");
    NS_EXPECT(conf.up == 1);
    NS_EXPECT(conf.mtu == 1500);
    NS_EXPECT(strlen(conf.mac) == 17);
    NS_EXPECT(if_get_netconf(nullptr, &conf) == -1);

    char address[32] = "0.0.0.0";
    NS_EXPECT(net_get_ifaddr("v0", address, sizeof address) == 0);
    NS_EXPECT(std::string(address) == "10.9.0.1");
    char untouched[32] = "0.0.0.0";
    NS_EXPECT(net_get_ifaddr("ppp0", untouched, sizeof untouched) == -1);
    NS_EXPECT(std::string(untouched) == "0.0.0.0");

    char v6[64] = "";
    char prefix[16] = "";
    NS_EXPECT(net_get_ipv6_ifaddr(1, "v0", v6, sizeof v6, prefix, sizeof prefix) == 0);
    NS_EXPECT(std::string(v6) == "2001:db8::1");
    NS_EXPECT(std::string(prefix) == "64");
    NS_EXPECT(net_is_haveipv6("v0") == 1);
    char gateway[64] = "";
    NS_EXPECT(net_get_ipv6_gateway2(0, "v0", gateway, sizeof gateway) == 0);
    NS_EXPECT(std::string(gateway) == "2001:db8::fe");
    NS_EXPECT(net_get_ipv6_gateway2(0, "lo", gateway, sizeof gateway) == -1);
    return failures;
  });
}

TEST(IfUtilsNamespace, AddressCheckAndPortsInUse) {
  in_namespace([] {
    std::string failures;
    if (!make_veth_pair()) return std::string("could not set up the veth pair\n");
    NS_EXPECT(if_ip_check("v0", "10.9.0.1") == 1);  // its own, nothing sent
    // Nobody has .77: the ARP request goes out and the wait (2 s) runs out.
    NS_EXPECT(if_ip_check("v0", "10.9.0.77") == 0);
    NS_EXPECT(if_ip_check("v0", "not an address") == -1);
    NS_EXPECT(if_ip_check("nosuch0", "10.9.0.2") == -1);

    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(8443);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    NS_EXPECT(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
    NS_EXPECT(is_port_use(8443) == 0);  // bound, not listening
    listen(fd, 1);
    NS_EXPECT(is_port_use(8443) == 1);
    NS_EXPECT(is_port_use(8444) == 0);
    NS_EXPECT(is_port_use(0) == -1);
    close(fd);
    return failures;
  });
}

TEST(IfUtilsNamespace, SpeedIsBytesPerSecondSinceTheLastCall) {
  in_namespace([] {
    std::string failures;
    if (!sh("ip link set lo up")) return std::string("could not bring lo up\n");
    uint64_t rx = 1;
    uint64_t tx = 1;
    NS_EXPECT(if_get_speed("lo", &rx, &tx) == 0);
    NS_EXPECT(rx == 0 && tx == 0);  // the first sample
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(9);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char data[1000] = {};
    for (int i = 0; i < 100; ++i)
      sendto(fd, data, sizeof data, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    close(fd);
    usleep(100000);
    NS_EXPECT(if_get_speed("lo", &rx, &tx) == 0);
    // 100 kB in about 0.1 s: well above 100 kB/s, below 10 MB/s.
    NS_EXPECT(tx > 100000 && tx < 10000000);
    NS_EXPECT(rx == tx);  // loopback receives what it sends
    NS_EXPECT(if_get_speed("nosuch0", &rx, &tx) == -1);
    NS_EXPECT(if_get_speed("", &rx, &tx) == -1);
    // Five interfaces fit; lo already has a slot, so four more names can
    // never be found here: the table itself is not exhausted by failures.
    NS_EXPECT(if_get_speed("lo", &rx, &tx) == 0);
    return failures;
  });
}

}  // namespace
