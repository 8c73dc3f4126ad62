// The device log: search (3495), export (3494) and one entry's detail (3488)
// over the operation log the simulator has received (sim::operation_log()).
//
// Search and export select by time range, main type (1: every type), sub
// types (10: every sub type) and channel mask (none, or "searchNoChn" set:
// every channel; entries without a camera channel always match). Newest
// entries come first; a search page holds 100 entries. The export writes its
// file below the simulator's root at a device path under /tmp/log and names
// that device path in its reply.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "modules/system/devlog_codec.h"
#include "platform/qvfs_log.h"
#include "platform/qvfs_trans.h"
#include "tools/nvr-cored/sim.h"

namespace {

bool matches(const QvLogInfo& entry, const LogSearchRequest& selection) {
  if (entry.pts < selection.start_time || entry.pts > selection.end_time) return false;
  if (selection.main_type != 1 && entry.main_type != selection.main_type) return false;
  int32_t sub_count = std::min(selection.sub_type_count, kLogMaxSubTypes);
  bool any_sub = sub_count <= 0;
  for (int32_t i = 0; i < sub_count && !any_sub; ++i)
    any_sub = selection.sub_types[i] == kLogSubTypeAll || selection.sub_types[i] == entry.sub_type;
  if (!any_sub) return false;
  bool camera_channel = entry.chan_no >= 1 && entry.chan_no <= 64 &&
                        !log_channo_is_disk(entry.main_type, entry.sub_type);
  if (selection.channel_mask == 0 || selection.no_channel != 0 || !camera_channel) return true;
  return (selection.channel_mask >> (entry.chan_no - 1)) & 1;
}

// Selected entries, newest first.
std::vector<QvLogInfo> select_entries(const LogSearchRequest& selection) {
  std::vector<std::string> log = sim::operation_log();
  std::vector<QvLogInfo> selected;
  for (auto it = log.rbegin(); it != log.rend(); ++it) {
    QvLogInfo entry;
    memcpy(&entry, it->data(), sizeof entry);
    if (matches(entry, selection)) selected.push_back(entry);
  }
  return selected;
}

bool read_selection(const sim::Message& request, LogSearchRequest* selection) {
  if (request.payload.size() < sizeof *selection) return false;
  memcpy(selection, request.payload.data(), sizeof *selection);
  return true;
}

template <class T>
T field_at(const std::string& data, size_t offset) {
  T value{};
  if (offset + sizeof value <= data.size()) memcpy(&value, data.data() + offset, sizeof value);
  return value;
}

std::string text_at(const std::string& data, size_t offset, size_t size) {
  if (offset >= data.size()) return "";
  size = std::min(size, data.size() - offset);
  return std::string(data.data() + offset, strnlen(data.data() + offset, size));
}

// The detail of an entry as the log pages show it.
std::string detail_text(const QvLogInfo& entry) {
  int32_t kind = 0;
  std::string data;
  if (qvfs_log_unpack_detail(entry, &kind, &data) != 0) return "";
  char text[512];
  switch (kind) {
    case 101:  // network disk added or deleted
    case 110:  // network disk edited
      snprintf(text, sizeof text, "Protocol: %s, address: %s, directory: %s",
               text_at(data, 0, 16).c_str(), text_at(data, 16, 64).c_str(),
               text_at(data, 80, 128).c_str());
      break;
    case 102:  // disk format
      snprintf(text, sizeof text, "Disk %d formatted: %s", field_at<int32_t>(data, 64),
               field_at<int32_t>(data, 68) == 1 ? "success" : "failure");
      break;
    case 107:  // camera image values in percent
      snprintf(text, sizeof text,
               "Brightness %d%%, contrast %d%%, saturation %d%%, sharpness %d%%, "
               "noise reduction %d%%",
               field_at<int32_t>(data, 0), field_at<int32_t>(data, 4), field_at<int32_t>(data, 8),
               field_at<int32_t>(data, 12), field_at<int32_t>(data, 16));
      break;
    case 111:  // camera change
      snprintf(text, sizeof text, "Camera %s, port %d, channel %d, protocol %s",
               text_at(data, 4, 64).c_str(), field_at<int32_t>(data, 68),
               field_at<int32_t>(data, 72), text_at(data, 140, 16).c_str());
      break;
    default:
      snprintf(text, sizeof text, "Detail %d (%zu bytes)", kind, data.size());
      break;
  }
  return text;
}

void on_log_search(const sim::Message& request, sim::Peer& peer) {
  LogSearchRequest selection;
  if (!read_selection(request, &selection)) return;
  std::vector<QvLogInfo> selected = select_entries(selection);
  int64_t page = selection.page < 1 ? 1 : selection.page;
  size_t first = static_cast<size_t>(page - 1) * kLogEntriesPerBlock;
  auto block = std::make_unique<LogSearchBlock>();  // 68 KB, zero-filled
  block->count = static_cast<int32_t>(selected.size());
  for (size_t i = first; i < selected.size() && block->num < kLogEntriesPerBlock; ++i)
    block->entries[block->num++] = selected[i];
  peer.reply(kRplLogSearch, block.get(), sizeof *block);
}

void on_log_export(const sim::Message& request, sim::Peer& peer) {
  LogSearchRequest selection;
  if (!read_selection(request, &selection)) return;
  std::vector<QvLogInfo> selected = select_entries(selection);

  static std::atomic<int> exports{0};
  LogExportItem item{};
  item.value = static_cast<int32_t>(selected.size());
  snprintf(item.path, sizeof item.path, "/tmp/log/export_%d.dat", ++exports);
  std::error_code ec;
  std::filesystem::create_directories(sim::dev_path("/tmp/log"), ec);
  std::ofstream file(sim::dev_path(item.path), std::ios::binary | std::ios::trunc);
  int32_t count = item.value;
  file.write(reinterpret_cast<const char*>(&count), sizeof count);
  for (const QvLogInfo& entry : selected) {
    std::string detail = detail_text(entry);
    detail.resize(kLogExportDetailSize, '\0');
    file.write(reinterpret_cast<const char*>(&entry), sizeof entry);
    file.write(detail.data(), static_cast<std::streamsize>(detail.size()));
  }
  file.close();
  peer.reply(kRplLogExport, &item, sizeof item);
}

void on_log_detail(const sim::Message& request, sim::Peer& peer) {
  if (request.payload.size() < sizeof(QvLogInfo)) return;
  QvLogInfo entry;
  memcpy(&entry, request.payload.data(), sizeof entry);
  std::string text = detail_text(entry);
  peer.reply(kRplLogDetail, text.data(), text.size() + 1);
}

const sim::HandlerReg reg_3495(kReqLogSearch, on_log_search);
const sim::HandlerReg reg_3494(kReqLogExport, on_log_export);
const sim::HandlerReg reg_3488(kReqLogDetail, on_log_detail);

}  // namespace
