// Network helpers of the platform: interface addresses, IPv6 addresses and
// gateways, and whether a TCP port is taken. They read the kernel's view
// (ioctl on an inet socket, "/proc/net/if_inet6", "/proc/net/ipv6_route",
// "/proc/net/tcp" and "/proc/net/tcp6") of the network namespace the process
// runs in.
#pragma once

// The IPv4 address of interface `name` into buffer[size] ("192.168.1.10").
// 0, or -1 when the interface has none (the buffer is left alone).
int net_get_ifaddr(const char* name, char* buffer, int size);

// An IPv6 address of interface `name` and its prefix length as decimal text.
// `global_only` nonzero takes only an address of global scope; 0 the first
// address of any scope. 0, or -1 when the interface has none such (buffers
// left alone).
int net_get_ipv6_ifaddr(int global_only, const char* name, char* address, int address_size,
                        char* prefix, int prefix_size);

// The IPv6 gateway of interface `name`: with `any_route` 0 the next hop of its
// default route (::/0), else the next hop of any route through a router.
// 0, or -1 when there is none (buffer left alone).
int net_get_ipv6_gateway2(int any_route, const char* name, char* buffer, int size);

// 1 when interface `name` has an IPv6 address of global scope, else 0.
int net_is_haveipv6(const char* name);

// 1 when a TCP socket listens on `port` (IPv4 or IPv6, any address), 0 when
// none does, -1 for a port outside 1..65535.
int is_port_use(int port);

// `milliseconds` times NVR_TIME_SCALE when that is set (tests shrink the
// waits of the network helpers with it); at least 1.
int net_scaled_ms(int milliseconds);
