// Core-daemon simulator: extension API for the recorder behaviour of each area.
//
// nvr-cored serves the message socket "<root>/var/run/qvsocket" the way the
// recorder's core daemon does. Every area adds what the daemon does for its
// request ids in a file of its own, tools/nvr-cored/sim_<area>.cpp:
//
//   namespace {
//   void on_get_disks(const sim::Message& request, sim::Peer& peer) {
//     DiskStatus disks[2] = {...};
//     peer.reply(8433, disks, sizeof disks);
//   }
//   sim::HandlerReg reg_3433(3433, on_get_disks);
//   }  // namespace
//
// A handler runs on the thread of the connection the request came on; it may
// reply any number of times (or not at all) and may block (a download sends
// many replies). Replies on one connection are written whole, one at a time.
// A scripted reply of a test (--script) for a request id replaces the handler.
// Files that the daemon reads or writes lie below its root: sim::dev_path().
// State that must survive a restart of the simulator goes under
// sim::state_path().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One message as received: sequence number, request id, flags (bit 0: the
// sender expects no reply), payload bytes.
struct Message {
  uint32_t seq;
  int32_t id;
  uint32_t flags;
  std::string payload;
};

constexpr uint32_t kFlagNoReply = 1;

class Peer {  // the connection a request came on
 public:
  virtual ~Peer() = default;
  // Sends one reply message (answering the request being handled: its
  // sequence number). Silently does nothing once the connection is gone.
  virtual void reply(int32_t reply_id, const void* data, size_t size) = 0;
  // False once the client has gone or the simulator is stopping: a handler
  // that sends many replies stops early.
  virtual bool connected() const = 0;

  void reply(int32_t reply_id, std::string_view payload) {
    reply(reply_id, payload.data(), payload.size());
  }
};

using Handler = void (*)(const Message& request, Peer& peer);

// Static registration of the recorder behaviour for one request id:
//   static sim::HandlerReg reg_3504(3504, on_link_token);
struct HandlerReg {
  HandlerReg(int32_t request_id, Handler handler);
};

// The simulator's root + device path ("/tmp/x" -> "<root>/tmp/x").
std::string dev_path(std::string_view device_path);
// <root>/var/lib/nvr-cored/<name>; the folder exists once the simulator runs.
std::string state_path(std::string_view name);

// The operation log received so far (requests 3485/3509), oldest first; each
// entry is the 680-byte record with "pts" set to the time it was received.
// Kept in state_path("oplog.bin"), so it survives a restart.
std::vector<std::string> operation_log();

// True once SIGTERM/SIGINT asked the simulator to stop.
bool stopping();

}  // namespace sim
