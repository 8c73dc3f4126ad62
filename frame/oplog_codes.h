// Codes of operation-log entries: the sub type (what was done) and the
// parameter type (which settings it concerned).
#pragma once

#include <cstdint>

constexpr int64_t kLogSubRestart = 200;
constexpr int64_t kLogSubLogin = 201;
constexpr int64_t kLogSubLogout = 202;
constexpr int64_t kLogSubUpgrade = 203;
constexpr int64_t kLogSubChangeSettings = 204;
constexpr int64_t kLogSubExport = 213;
constexpr int64_t kLogSubImport = 214;
constexpr int64_t kLogSubRestore = 215;
constexpr int64_t kLogSubChannelEvent = 205;
constexpr int64_t kLogSubStartLive = 208;
constexpr int64_t kLogSubPlayback = 209;  // playback start and recording download
constexpr int64_t kLogSubImageParam = 217;
constexpr int64_t kLogSubChannelUserEvent = 227;

constexpr int32_t kLogDetailImage = 107;  // five image values in percent

constexpr int32_t kLogParamNone = 900;
constexpr int32_t kLogParamGeneral = 913;
constexpr int32_t kLogParamUserAdded = 921;
constexpr int32_t kLogParamUserDeleted = 922;
constexpr int32_t kLogParamAudioFile = 925;

// Recording and PTZ.
constexpr int64_t kLogSubPtz = 206;
constexpr int32_t kLogParamPtzSettings = 904;
constexpr int32_t kLogParamRecordMode = 905;
constexpr int32_t kLogParamRecordParams = 906;
constexpr int32_t kLogParamRecordSchedule = 907;
constexpr int32_t kLogParamHoliday = 920;
