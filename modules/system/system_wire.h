// Request and reply ids of the users-and-system routes that have no wire
// header of their own area (upgrade_wire.h, maintenance_wire.h,
// audio_records.h, devlog_codec.h, sysinfo_records.h, access_records.h hold
// the others). Shared by the handlers and the simulator.
#pragma once

#include <cstdint>

// Login through a mailed link: char[...] token -> {int32 status}.
constexpr int32_t kReqLinkLogin = 3504;
constexpr int32_t kReplyLinkLogin = 8504;

// Accounts.
constexpr int32_t kReqPoePassword = 3265;  // no payload -> {int32 status}
constexpr int32_t kReplyPoePassword = 8265;
constexpr int32_t kReqNotifyDaemon = 3267;  // no payload, no reply
constexpr int32_t kReqUsersChanged = 3505;  // int32 account id, or nothing: reload all

// Host name, device id and displays (no replies).
constexpr int32_t kReqConfigChanged = 1702;    // char[32]: which settings changed
constexpr int32_t kReqDeviceId = 1705;         // int32 device id
constexpr int32_t kReqSetResolution = 1001;    // {int32 output (0 main, 1 sub), int32 code}
constexpr int32_t kReqSetAudio = 1002;         // {hdmiAudioOn, audioOutputOn, audioVolume}
constexpr int32_t kReqApplyResolution = 1015;  // no payload
constexpr int32_t kReqSubOutput = 1023;        // int32 sub output enabled

// Factory options.
constexpr int32_t kReqSetLanguage = 4000;  // int32 language
