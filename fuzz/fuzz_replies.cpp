// Every daemon reply decoder: fuzzed replies handed to the reply table of
// each module that serves their id, as the client hands them over (header,
// payload of exactly the size the header gives).
//
//   (<reply id: 4 bytes LE><payload size: 2 bytes LE><payload>)*
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "frame/ipc.h"
#include "frame/web_utils.h"
#include "fuzz/harness.h"
#include "platform/qvsocket.h"

namespace {

// The tables holding `id`; when none does, the table and id of row
// `id` counted over every table, so that every input reaches a decoder.
struct Target {
  std::span<const nvr::ReplyRow> table;
  int32_t id;
};
std::vector<Target> targets_for(int32_t id) {
  const auto& tables = fuzz::reply_tables();
  std::vector<Target> found;
  size_t rows = 0;
  for (auto table : tables) {
    rows += table.size();
    for (const nvr::ReplyRow& row : table)
      if (row.reply_id == id) {
        found.push_back({table, id});
        break;
      }
  }
  if (!found.empty() || rows == 0) return found;
  size_t index = static_cast<uint32_t>(id) % rows;
  for (auto table : tables) {
    if (index < table.size()) return {{table, table[index].reply_id}};
    index -= table.size();
  }
  return found;
}

void deliver(std::span<const nvr::ReplyRow> table, int32_t id, std::string_view payload) {
  qvsock::FrameHeader frame{1, id, 0, static_cast<uint32_t>(payload.size())};
  qvsock::HeaderBytes header = qvsock::encode_header(frame);
  // Exactly the bytes that arrived: a read past them is seen.
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[payload.size() + 1]);
  memcpy(bytes.get(), payload.data(), payload.size());
  nvr::dispatch_reply(table, header.data(), bytes.get());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  fuzz::setup_process((*argv)[0]);
  fuzz::start_daemon();
  if (fuzz::reply_tables().empty()) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  // A callback that asks the daemon in turn meets silence.
  fuzz::script_replies({});
  cgi_answer_reset();
  g_callback_done.store(0);
  for (int replies = 0; replies < 8 && in.left() >= 4; ++replies) {
    const int32_t id = static_cast<int32_t>(in.u32());
    const std::string_view payload = in.take(in.u16());
    for (const auto& target : targets_for(id)) {
      // Each module's decoder sees the reply as the first of its run.
      if (replies == 0) {
        cgi_answer_reset();
        g_callback_done.store(0);
      }
      deliver(target.table, target.id, payload);
    }
  }
  fflush(stdout);
  return 0;
}
