// Alarm audio files: the recorder keeps up to ten files, ids 0..9. An added
// file is taken over from "/tmp" into the daemon's own store (state folder
// "audio"); its record, with the encoded name the web pages gave it, goes to
// the configuration database's alarm audio table, where the event actions
// find the files in use.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "modules/system/system_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"
#include "tools/nvr-cored/sim.h"

namespace {

namespace fs = std::filesystem;

using AudioTable = std::array<AlarmAudioFile, kMaxAudioFiles>;

std::mutex g_audio_mutex;

std::string db_path() { return sim::dev_path("/mnt/nand/app/qvdb.db"); }
std::string store_path(int id) { return sim::state_path("audio/" + std::to_string(id) + ".wav"); }

// All ten places, free ones with their id and in use 0.
AudioTable load_table() {
  AudioTable table{};
  for (int i = 0; i < kMaxAudioFiles; ++i) table[i].id = i;
  int count = 0;
  read_alarm_audio_file(db_path().c_str(), table.data(), &count);
  return table;
}

void reply_status(sim::Peer& peer, int32_t reply_id, int32_t status) {
  peer.reply(reply_id, &status, sizeof status);
}

bool in_use(const AudioTable& table, int32_t id) {
  return id >= 0 && id < kMaxAudioFiles && table[id].enable == 1;
}

// The whole table, free places included, so that an empty list is answered too.
void on_list(const sim::Message&, sim::Peer& peer) {
  std::lock_guard lock(g_audio_mutex);
  const AudioTable table = load_table();
  peer.reply(kReplyAudioFileList, table.data(), sizeof table);
}

// Takes "/tmp/<encoded name>" into the store under the first free id.
int32_t add_file(const std::string& name) {
  if (!nvr::is_plain_file_name(name)) return -1;
  const AudioTable table = load_table();
  int id = 0;
  while (id < kMaxAudioFiles && table[id].enable == 1) ++id;
  if (id == kMaxAudioFiles) return -1;
  std::error_code ec;
  const std::string upload = sim::dev_path("/tmp/" + name);
  if (!fs::is_regular_file(fs::symlink_status(upload, ec))) return -1;
  fs::create_directories(sim::state_path("audio"), ec);
  fs::copy_file(upload, store_path(id), fs::copy_options::overwrite_existing, ec);
  if (ec) return -1;
  fs::remove(upload, ec);
  AlarmAudioFile record{id, 1, {}};
  snprintf(record.name, sizeof record.name, "%s", name.c_str());
  return write_alarm_audio_file(db_path().c_str(), &record) == 0 ? 0 : -1;
}

void on_add(const sim::Message& request, sim::Peer& peer) {
  std::lock_guard lock(g_audio_mutex);
  const std::string& payload = request.payload;
  if (payload.size() != kAudioNameSize) return reply_status(peer, kReplyAudioFileAdd, -1);
  reply_status(peer, kReplyAudioFileAdd, add_file(std::string(payload.c_str())));
}

void on_delete(const sim::Message& request, sim::Peer& peer) {
  std::lock_guard lock(g_audio_mutex);
  int32_t mask = 0;
  if (request.payload.size() != sizeof mask) return reply_status(peer, kReplyAudioFileDelete, -1);
  memcpy(&mask, request.payload.data(), sizeof mask);
  for (int id = 0; id < kMaxAudioFiles; ++id) {
    if ((mask & (1 << id)) == 0) continue;
    std::error_code ec;
    fs::remove(store_path(id), ec);
    if (delete_alarm_audio_file(db_path().c_str(), id) != 0)
      fprintf(stderr, "nvr-cored: audio file %d not deleted\n", id);
  }
  reply_status(peer, kReplyAudioFileDelete, 0);
}

void on_rename(const sim::Message& request, sim::Peer& peer) {
  std::lock_guard lock(g_audio_mutex);
  AlarmAudioFile record{};
  if (request.payload.size() != sizeof record) return reply_status(peer, kReplyAudioFileRename, -1);
  memcpy(&record, request.payload.data(), sizeof record);
  record.name[sizeof record.name - 1] = '\0';
  if (!in_use(load_table(), record.id) || record.name[0] == '\0')
    return reply_status(peer, kReplyAudioFileRename, -1);
  record.enable = 1;
  reply_status(peer, kReplyAudioFileRename,
               write_alarm_audio_file(db_path().c_str(), &record) == 0 ? 0 : -1);
}

// The pages send the file to play as a preview.
void on_select(const sim::Message& request, sim::Peer& peer) {
  std::lock_guard lock(g_audio_mutex);
  int32_t id = -1;
  if (request.payload.size() == sizeof id) memcpy(&id, request.payload.data(), sizeof id);
  reply_status(peer, kReplyAudioFileSelect, in_use(load_table(), id) ? 0 : -1);
}

const sim::HandlerReg reg_4012(kReqAudioFileList, on_list);
const sim::HandlerReg reg_4013(kReqAudioFileAdd, on_add);
const sim::HandlerReg reg_4014(kReqAudioFileDelete, on_delete);
const sim::HandlerReg reg_4015(kReqAudioFileRename, on_rename);
const sim::HandlerReg reg_4016(kReqAudioFileSelect, on_select);

}  // namespace
