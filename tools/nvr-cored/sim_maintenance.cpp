// Restart, restore and diagnostics.
//
// A restart (1703) takes the recorder's service down for a moment: the ready
// file "/tmp/qvcore" goes away and comes back, which the web pages watch
// through "/1005". Restore (3311, then 3410) and the notices of changed
// retention (2102) and reboot settings (1718) need no reply. A diagnostic
// export (3528) writes a package into the folder it names, keeping
// "/tmp/tmp_diagnostic" while it works, and replies 8528 with the package's
// device path.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "frame/ipc.h"
#include "modules/system/maintenance_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr int kRestartMilliseconds = 2000;

void write_text(const std::string& path, const std::string& text) {
  if (FILE* file = fopen(path.c_str(), "w")) {
    fputs(text.c_str(), file);
    fclose(file);
  }
}

void on_restart(const sim::Message&, sim::Peer&) {
  const std::string ready = sim::dev_path(kCoreReadyFile);
  unlink(ready.c_str());
  std::thread([ready] {
    std::this_thread::sleep_for(std::chrono::milliseconds(kRestartMilliseconds));
    if (!sim::stopping()) write_text(ready, "1\n");
  }).detach();
}

std::string time_stamp() {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char text[32];
  strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
  return text;
}

// The package: a readable summary of what the simulated recorder knows.
std::string diagnosis_text() {
  std::string text = "diagnostic package\ncreated " + time_stamp() + "\n";
  text += "operation log entries: " + std::to_string(sim::operation_log().size()) + "\n";
  return text;
}

void reply_diagnosis(sim::Peer& peer, int32_t status, const std::string& device_path) {
  DiagnosisReplyHead head{};
  head.status = status;
  std::string payload(reinterpret_cast<const char*>(&head), sizeof head);
  payload += device_path;
  payload += '\0';
  peer.reply(kReplyDiagnosis, payload);
}

void on_diagnosis(const sim::Message& request, sim::Peer& peer) {
  static std::atomic<int> serial{0};
  DiagnosisRequest folder{};
  memcpy(&folder, request.payload.data(), std::min(request.payload.size(), sizeof folder));
  const std::string directory(folder.directory, strnlen(folder.directory, sizeof folder.directory));
  struct stat st {};
  if (directory.empty() || directory[0] != '/' ||
      stat(sim::dev_path(directory).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    reply_diagnosis(peer, -1, "");
    return;
  }
  const std::string marker = sim::dev_path(kDiagnosisMarker);
  write_text(marker, "");
  const std::string package =
      directory + "/diagnosis_" + time_stamp() + "_" + std::to_string(serial.fetch_add(1)) + ".txt";
  write_text(sim::dev_path(package), diagnosis_text());
  unlink(marker.c_str());
  reply_diagnosis(peer, 0, package);
}

const sim::HandlerReg reg_1703(kReqRestart, on_restart);
const sim::HandlerReg reg_3528(kReqDiagnosis, on_diagnosis);

}  // namespace
