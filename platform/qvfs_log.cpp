#include "platform/qvfs_log.h"

#include <cstring>

#include "frame/ipc.h"

static_assert(sizeof(QvLogInfo::detail) == kLogDetailBlockSize);

int32_t qvfs_log_pack_detail(QvLogInfo* record, int32_t kind, const void* data, int32_t length) {
  if (!record || length < 0 || length > kLogDetailDataMax || (length > 0 && !data)) return -1;
  std::memset(record->detail, 0, sizeof record->detail);
  for (int i = 0; i < 4; ++i)
    record->detail[i] = static_cast<uint8_t>(static_cast<uint32_t>(kind) >> (8 * i));
  if (length > 0) std::memcpy(record->detail + 4, data, static_cast<size_t>(length));
  record->detail_size = 4 + length;
  return 0;
}

int32_t qvfs_log_unpack_detail(const QvLogInfo& record, int32_t* kind, std::string* data) {
  int32_t size = record.detail_size;
  if (size < 4 || size > kLogDetailBlockSize) return -1;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(record.detail[i]) << (8 * i);
  if (kind) *kind = static_cast<int32_t>(value);
  if (data) data->assign(reinterpret_cast<const char*>(record.detail) + 4, size - 4);
  return 0;
}
