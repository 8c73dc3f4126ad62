// Details of operation-log entries.
//
// An entry (QvLogInfo, frame/ipc.h) carries a detail block of 512 bytes at
// offset 160 and its used size at offset 156. The block is:
//
//   OFFSET  SIZE      DESCRIPTION
//        0     4      detail kind (int32, little-endian): 102 disk format,
//                     107 image values, 111 camera change, ...
//        4     length the kind's data, as the caller gave it
//
// and the size field holds 4 + length. The data of one detail is at most
// kLogDetailDataMax bytes; bytes after the used size are zero.
#pragma once

#include <cstdint>
#include <string>

struct QvLogInfo;

constexpr int32_t kLogDetailBlockSize = 512;
constexpr int32_t kLogDetailDataMax = kLogDetailBlockSize - 4;

// Places a detail of `kind` into the record. -1 (record unchanged) for a null
// record, null data with a length, a negative length or more than
// kLogDetailDataMax bytes; else 0.
int32_t qvfs_log_pack_detail(QvLogInfo* record, int32_t kind, const void* data, int32_t length);

// Reads the detail of an entry back. -1 when the record has no detail or its
// size field is out of range (an entry from elsewhere), else 0.
int32_t qvfs_log_unpack_detail(const QvLogInfo& record, int32_t* kind, std::string* data);
