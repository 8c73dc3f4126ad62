// Alarm audio files: the record and requests shared with the core daemon.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb_actions.h"

constexpr int32_t kReqAudioFileList = 4012;    // no payload           -> 9012 records
constexpr int32_t kReqAudioFileAdd = 4013;     // char[128] name       -> 9013 {int32 status}
constexpr int32_t kReqAudioFileDelete = 4014;  // int32 id mask        -> 9014 {int32 status}
constexpr int32_t kReqAudioFileRename = 4015;  // AudioFileInfo        -> 9015 {int32 status}
constexpr int32_t kReqAudioFileSelect = 4016;  // int32 id             -> 9016 {int32 status}
constexpr int32_t kReplyAudioFileList = 9012;
constexpr int32_t kReplyAudioFileAdd = 9013;
constexpr int32_t kReplyAudioFileDelete = 9014;
constexpr int32_t kReplyAudioFileRename = 9015;
constexpr int32_t kReplyAudioFileSelect = 9016;

// The event actions use audio files 0..9: bit n of an id mask is file n.
constexpr int kMaxAudioFiles = 10;
constexpr int32_t kAudioFileIdMask = (1 << kMaxAudioFiles) - 1;

// An encoded name: URL-alphabet Base64 of the display name, at most 127
// characters, also the file's name in "/tmp" while the daemon takes it over.
constexpr size_t kAudioNameSize = sizeof(AlarmAudioFile::name);

//  OFFSET  SIZE  DESCRIPTION (AlarmAudioFile, the record of the daemon's list)
//       0     4  file id
//       4     4  in use (1)
//       8   128  encoded name, NUL-terminated
static_assert(sizeof(AlarmAudioFile) == 136);
static_assert(offsetof(AlarmAudioFile, enable) == 4);
static_assert(offsetof(AlarmAudioFile, name) == 8);
static_assert(kMaxAudioFiles == kAlarmAudioFiles);
