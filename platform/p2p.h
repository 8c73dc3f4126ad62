// Client side of the P2P registration service: a TCP connection with a time
// limit, and the message layer the registration test speaks over it.
//
// Every message on the connection is sent in the size the service's RSA layer
// gives it (rsa_cal_ensize). This build has no key material of the service:
// its layer sends each message as it is, zero-padded to that size, and a
// receiver takes the leading bytes. The key file is created and selected so
// that the calls happen in the order the service expects.
#pragma once

#include <cstddef>
#include <cstdint>

// The time limit of every connect, send and receive of the client: 5 seconds,
// times NVR_TIME_SCALE when that is set.
int p2p_time_limit_ms();

// A TCP client socket, or -1.
int socket_create();
// Resolves `host` and connects to its first address on `port` within the
// time limit. 0, or -1 (not resolved, refused, timed out).
int socket_connect(int sock, const char* host, int port);
void socket_destroy(int sock);

// The key file of the session ("/tmp/p2p_cli.key" below the device root): 0 or -1.
int p2p_create_keyfile();
// Selects the key file for the socket's messages: 0 or -1.
int p2p_cli_switch_keyfile(int sock);

// Size on the wire of a message of `length` bytes: whole 256-byte RSA blocks
// of at most 245 bytes each.
int rsa_cal_ensize(int length);

// Sends `length` bytes as one message; `work` is the caller's buffer of
// `work_size` bytes (the encrypted form must fit). 0, or -1.
int p2p_send(int sock, const void* data, int length, uint8_t* work, int work_size);
// Receives one message of `wire_size` bytes and keeps its first `size` bytes
// in `out`. 0, or -1 (short, closed, timed out).
int p2p_recv(int sock, void* out, int size, int wire_size);
// Receives what the server sends next, at most `size` bytes: the number of
// bytes, or -1 when nothing came within the time limit.
int p2p_recv_some(int sock, void* out, int size);
