// Request and reply ids and wire records of the users-and-system routes that
// have no wire header of their own area (upgrade_wire.h, maintenance_wire.h,
// devlog_codec.h, sysinfo_records.h, access_records.h hold the others).
// Shared by the handlers and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb_actions.h"

// Login through a mailed link: char[...] token -> {int32 status}.
constexpr int32_t kReqLinkLogin = 3504;
constexpr int32_t kReplyLinkLogin = 8504;

// Accounts.
constexpr int32_t kReqPoePassword = 3265;  // no payload -> {int32 status}
constexpr int32_t kReplyPoePassword = 8265;
constexpr int32_t kReqNotifyDaemon = 3267;  // no payload, no reply
constexpr int32_t kReqUsersChanged = 3505;  // int32 account id, or nothing: reload all

// Host name, device id and displays (no replies; the host name's change is
// the network area's request 1702).
constexpr int32_t kReqDeviceId = 1705;         // int32 device id
constexpr int32_t kReqSetResolution = 1001;    // {int32 output (0 main, 1 sub), int32 code}
constexpr int32_t kReqSetAudio = 1002;         // {hdmiAudioOn, audioOutputOn, audioVolume}
constexpr int32_t kReqApplyResolution = 1015;  // no payload
constexpr int32_t kReqSubOutput = 1023;        // int32 sub output enabled

// Factory options.
constexpr int32_t kReqSetLanguage = 4000;  // int32 language

// Alarm audio files: the record and requests shared with the core daemon.
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
