// The device's operation log: requests 3485 (one record) and 3509 (a record
// and a channel mask) add an entry; the log search reads them back through
// sim::operation_log(). Kept in a file of the simulator's state so that it
// survives a restart.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>

#include "frame/ipc.h"
#include "platform/qvsocket.h"
#include "tools/nvr-cored/sim.h"

namespace sim {

namespace {

std::mutex g_log_mutex;

std::string log_file() { return state_path("oplog.bin"); }

void on_operation_log(const Message& request, Peer&) {
  // Both requests start with the 680-byte record; anything shorter is not one.
  if (request.payload.size() < sizeof(QvLogInfo)) return;
  QvLogInfo record;
  std::memcpy(&record, request.payload.data(), sizeof record);
  record.pts = static_cast<int64_t>(time(nullptr));
  std::lock_guard lock(g_log_mutex);
  int fd = ::open(log_file().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  qvsock::write_all(fd, &record, sizeof record);
  ::close(fd);
}

HandlerReg reg_3485(kReqOperationLog, on_operation_log);
HandlerReg reg_3509(kReqOperationLogMask, on_operation_log);

}  // namespace

std::vector<std::string> operation_log() {
  std::lock_guard lock(g_log_mutex);
  std::ifstream in(log_file(), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string all = bytes.str();
  std::vector<std::string> records;
  for (size_t at = 0; at + sizeof(QvLogInfo) <= all.size(); at += sizeof(QvLogInfo))
    records.push_back(all.substr(at, sizeof(QvLogInfo)));
  return records;
}

}  // namespace sim
