// Wire layouts of the pass-through records as descriptors: the field order,
// offsets and JSON keys of each request and reply record. Not stored (no
// table); the pass-through and its tests read them.
#pragma once

#include "modules/cameras/cameras_wire.h"
#include "platform/qvdb.h"

namespace cameras {

using WT = DbType;

#define WIRE_RECORD(name, Struct, ...)                     \
  inline constexpr DbField name##Fields[] = {__VA_ARGS__}; \
  inline constexpr DbRecord name { nullptr, nullptr, sizeof(Struct), name##Fields }

WIRE_RECORD(kChannelWordLayout, ChannelWord, DB_FIELD(ChannelWord, chnid, "chnid", WT::I32));
WIRE_RECORD(kIdWordLayout, ChannelWord, DB_FIELD_J(ChannelWord, chnid, "id", WT::I32, "id"));
WIRE_RECORD(kGroupWordLayout, ChannelWord,
            DB_FIELD_J(ChannelWord, chnid, "groupid", WT::I32, "groupid"));
WIRE_RECORD(kStopWordLayout, ChannelWord, DB_FIELD_J(ChannelWord, chnid, "stop", WT::I32, "stop"));
WIRE_RECORD(kResultLayout, ResultWord, DB_FIELD(ResultWord, res, "res", WT::I32));
WIRE_RECORD(kTypeLayout, ResultWord, DB_FIELD_J(ResultWord, res, "type", WT::I32, "type"));

WIRE_RECORD(kTrackingLayout, TrackingRecord, DB_FIELD(TrackingRecord, chnid, "chnid", WT::I32),
            DB_FIELD(TrackingRecord, enable, "enable", WT::I32),
            DB_FIELD(TrackingRecord, show, "show", WT::I32),
            DB_FIELD(TrackingRecord, sensitivity, "sensitivity", WT::I32),
            DB_FIELD(TrackingRecord, time, "time", WT::I32),
            DB_FIELD(TrackingRecord, manual_tracking, "manual_tracking", WT::I32),
            DB_FIELD(TrackingRecord, zoom_mode, "zoom_mode", WT::I32),
            DB_FIELD(TrackingRecord, zoom_number, "zoom_number", WT::I32),
            DB_FIELD_J(TrackingRecord, schedule, "schedule", WT::Blob, ""),
            DB_FIELD(TrackingRecord, area, "area", WT::Text),
            DB_FIELD(TrackingRecord, humanVehicleSupport, "humanVehicleSupport", WT::I32),
            DB_FIELD(TrackingRecord, trackingObject, "trackingObject", WT::I32),
            DB_FIELD(TrackingRecord, reportMotion, "reportMotion", WT::I32));
// Request 3375: the tracking record after the mask (the fill hook sets mask and schedule).
WIRE_RECORD(kTrackingSetLayout, TrackingSet, DB_FIELD_J(TrackingSet, mask, "mask", WT::U64, ""),
            DB_FIELD(TrackingSet, record.chnid, "chnid", WT::I32),
            DB_FIELD(TrackingSet, record.enable, "enable", WT::I32),
            DB_FIELD(TrackingSet, record.show, "show", WT::I32),
            DB_FIELD(TrackingSet, record.sensitivity, "sensitivity", WT::I32),
            DB_FIELD(TrackingSet, record.time, "time", WT::I32),
            DB_FIELD(TrackingSet, record.manual_tracking, "manual_tracking", WT::I32),
            DB_FIELD(TrackingSet, record.zoom_mode, "zoom_mode", WT::I32),
            DB_FIELD(TrackingSet, record.zoom_number, "zoom_number", WT::I32),
            DB_FIELD(TrackingSet, record.area, "area", WT::Text),
            DB_FIELD(TrackingSet, record.humanVehicleSupport, "humanVehicleSupport", WT::I32),
            DB_FIELD(TrackingSet, record.trackingObject, "trackingObject", WT::I32),
            DB_FIELD(TrackingSet, record.reportMotion, "reportMotion", WT::I32));

WIRE_RECORD(kChannelModelLayout, ChannelModel, DB_FIELD(ChannelModel, chnid, "chnid", WT::I32),
            DB_FIELD(ChannelModel, ipaddr, "ipaddr", WT::Text),
            DB_FIELD(ChannelModel, model, "model", WT::Text),
            DB_FIELD(ChannelModel, fwversion, "fwversion", WT::Text));

WIRE_RECORD(kWatermarkLayout, WatermarkReply, DB_FIELD(WatermarkReply, chnid, "chnid", WT::I32),
            DB_FIELD(WatermarkReply, enable, "enable", WT::I32),
            DB_FIELD(WatermarkReply, watermark, "watermark", WT::Text));
WIRE_RECORD(kWatermarkSetLayout, WatermarkSet, DB_FIELD(WatermarkSet, chnid, "chnid", WT::I32),
            DB_FIELD(WatermarkSet, enable, "enable", WT::I32),
            DB_FIELD(WatermarkSet, watermark, "watermark", WT::Text),
            DB_FIELD(WatermarkSet, copy, "copy", WT::Text));

WIRE_RECORD(kEventStreamQueryLayout, EventStreamQuery,
            DB_FIELD(EventStreamQuery, chnid, "chnid", WT::I32),
            DB_FIELD(EventStreamQuery, fisheyeType, "fisheyeType", WT::I32));
WIRE_RECORD(kEventStreamLayout, EventStream, DB_FIELD(EventStream, chnid, "chnid", WT::I32),
            DB_FIELD(EventStream, enable, "enable", WT::I32),
            DB_FIELD(EventStream, framerate, "framerate", WT::I32),
            DB_FIELD(EventStream, bitrate, "bitrate", WT::I32),
            DB_FIELD(EventStream, iframeinterval, "iframeinterval", WT::I32));

WIRE_RECORD(kLprNightModeLayout, LprNightMode, DB_FIELD(LprNightMode, chnid, "chnid", WT::I32),
            DB_FIELD(LprNightMode, nightMode, "nightMode", WT::I32));

WIRE_RECORD(kAudioSetLayout, AudioSet, DB_FIELD_J(AudioSet, mask, "mask", WT::U64, ""),
            DB_FIELD(AudioSet, chnid, "chnid", WT::I32),
            DB_FIELD(AudioSet, audioEnable, "audioEnable", WT::I32),
            DB_FIELD(AudioSet, audioMode, "audioMode", WT::I32),
            DB_FIELD(AudioSet, denoise, "denoise", WT::I32),
            DB_FIELD(AudioSet, encoding, "encoding", WT::I32),
            DB_FIELD(AudioSet, sampleRate, "sampleRate", WT::I32),
            DB_FIELD(AudioSet, inputGain, "inputGain", WT::I32),
            DB_FIELD(AudioSet, inputMode, "inputMode", WT::I32),
            DB_FIELD(AudioSet, audioGainControl, "audioGainControl", WT::I32),
            DB_FIELD(AudioSet, outputVolume, "outputVolume", WT::I32),
            DB_FIELD(AudioSet, audioBitrate, "audioBitrate", WT::I32),
            DB_FIELD(AudioSet, speakerVol, "speakerVol", WT::I32),
            DB_FIELD(AudioSet, twoWaySpeakerVol, "twoWaySpeakerVol", WT::I32),
            DB_FIELD(AudioSet, twoWayOutVol, "twoWayOutVol", WT::I32));
// The configuration block of reply 8371, in the keys the pages read.
WIRE_RECORD(kAudioConfigLayout, AudioConfig, DB_FIELD(AudioConfig, chnid, "chnid", WT::I32),
            DB_FIELD(AudioConfig, audioEnable, "audioEnable", WT::I32),
            DB_FIELD(AudioConfig, audioMode, "audioMode", WT::I32),
            DB_FIELD(AudioConfig, denoise, "denoise", WT::I32),
            DB_FIELD(AudioConfig, encoding, "encoding", WT::I32),
            DB_FIELD(AudioConfig, sampleRate, "sampleRate", WT::I32),
            DB_FIELD(AudioConfig, inputGain, "inputGain", WT::I32),
            DB_FIELD(AudioConfig, inputMode, "inputMode", WT::I32),
            DB_FIELD(AudioConfig, audioGainControl, "audioGainControl", WT::I32),
            DB_FIELD(AudioConfig, outputVolume, "outputVolume", WT::I32),
            DB_FIELD(AudioConfig, audioBitrate, "audioBitrate", WT::I32));
WIRE_RECORD(kAudioInfoLayout, AudioInfo, DB_FIELD(AudioInfo, res, "res", WT::I32),
            DB_FIELD(AudioInfo, support, "support", WT::I32),
            DB_FIELD(AudioInfo, supportMode, "supportMode", WT::I32),
            DB_FIELD(AudioInfo, supportInputMode, "supportInputMode", WT::I32));

WIRE_RECORD(kSystemCapsLayout, SystemCaps, DB_FIELD(SystemCaps, res, "res", WT::I32),
            DB_FIELD(SystemCaps, audioSupport, "audioSupport", WT::I32),
            DB_FIELD(SystemCaps, audioSupportMode, "audioSupportMode", WT::I32),
            DB_FIELD(SystemCaps, audioLineInputSupport, "audioLineInputSupport", WT::I32),
            DB_FIELD(SystemCaps, systemSpeakerSupport, "systemSpeakerSupport", WT::I32),
            DB_FIELD(SystemCaps, systemManualSpeedSupport, "systemManualSpeedSupport", WT::I32),
            DB_FIELD(SystemCaps, systemAutoTrackingSupport, "systemAutoTrackingSupport", WT::I32));

WIRE_RECORD(kCustomParamQueryLayout, CustomParamQuery,
            DB_FIELD(CustomParamQuery, chnid, "chnid", WT::I32),
            DB_FIELD(CustomParamQuery, url, "url", WT::Text));
WIRE_RECORD(kCustomParamLayout, CustomParamReply, DB_FIELD(CustomParamReply, res, "res", WT::I32),
            DB_FIELD(CustomParamReply, chnid, "chnid", WT::I32),
            DB_FIELD(CustomParamReply, data, "data", WT::Text));

// Image enhancement read (reply 8221): the block's read keys in record order.
WIRE_RECORD(kEnhancementLayout, EnhancementReply,
            DB_FIELD_J(EnhancementReply, chnid, "id", WT::I32, "id"),
            DB_FIELD(EnhancementReply, block.smartir, "smartir", WT::I32),
            DB_FIELD(EnhancementReply, block.whiteblance, "whiteblance", WT::I32),
            DB_FIELD(EnhancementReply, block.focusmode, "focusmode", WT::I32),
            DB_FIELD(EnhancementReply, block.antiblurry, "antiblurry", WT::I32),
            DB_FIELD(EnhancementReply, block.wdrenable, "wdrenable", WT::I32),
            DB_FIELD(EnhancementReply, block.wdrlevel, "wdrlevel", WT::I32),
            DB_FIELD(EnhancementReply, block.wdrstarthour, "wdrstarthour", WT::I32),
            DB_FIELD(EnhancementReply, block.wdrstartminute, "wdrstartminute", WT::I32),
            DB_FIELD(EnhancementReply, block.wdrstophour, "wdrstophour", WT::I32),
            DB_FIELD(EnhancementReply, block.wdrstopminute, "wdrstopminute", WT::I32),
            DB_FIELD(EnhancementReply, block.regiontype, "regiontype", WT::I32),
            DB_FIELD(EnhancementReply, block.hlcmode, "hlcmode", WT::I32),
            DB_FIELD(EnhancementReply, block.exclude, "exclude", WT::I32),
            DB_FIELD(EnhancementReply, block.exposemode, "exposemode", WT::I32),
            DB_FIELD(EnhancementReply, block.exposeregion, "exposeregion", WT::Text),
            DB_FIELD(EnhancementReply, block.imageschemode, "imageschemode", WT::I32),
            DB_FIELD(EnhancementReply, block.hlcday, "hlcday", WT::I32),
            DB_FIELD(EnhancementReply, block.hlcnight, "hlcnight", WT::I32),
            DB_FIELD(EnhancementReply, block.redgain, "redgain", WT::I32),
            DB_FIELD(EnhancementReply, block.bluegain, "bluegain", WT::I32),
            DB_FIELD(EnhancementReply, block.defogmode, "defogmode", WT::I32),
            DB_FIELD(EnhancementReply, block.defoglevel, "defoglevel", WT::I32),
            DB_FIELD(EnhancementReply, block.dismode, "dismode", WT::I32),
            DB_FIELD(EnhancementReply, block.exposetime, "exposetime", WT::I32),
            DB_FIELD(EnhancementReply, block.exposegain, "exposegain", WT::I32),
            DB_FIELD(EnhancementReply, block.aflevel, "wdraflevel", WT::I32),
            DB_FIELD(EnhancementReply, block.hlclevel, "hlclevel", WT::I32),
            DB_FIELD(EnhancementReply, block.exposurectrl, "exposurectrl", WT::I32),
            DB_FIELD(EnhancementReply, block.enblur, "enblur", WT::I32),
            DB_FIELD(EnhancementReply, block.deblur, "deblur", WT::I32),
            DB_FIELD(EnhancementReply, block.sdkversion, "sdkversion", WT::Text),
            DB_FIELD(EnhancementReply, block.lensType, "lensType", WT::I32),
            DB_FIELD(EnhancementReply, block.reduceVideoStuttering, "reduceVideoStuttering",
                     WT::I32));

// Image display read (reply 8223).
WIRE_RECORD(kDisplayLayout, DisplayRecord, DB_FIELD_J(DisplayRecord, chnid, "id", WT::I32, "id"),
            DB_FIELD(DisplayRecord, fields.colorkiller, "colorkiller", WT::I32),
            DB_FIELD(DisplayRecord, fields.modestarthour, "modestarthour", WT::I32),
            DB_FIELD(DisplayRecord, fields.modestartminute, "modestartminute", WT::I32),
            DB_FIELD(DisplayRecord, fields.modestophour, "modestophour", WT::I32),
            DB_FIELD(DisplayRecord, fields.modestopminute, "modestopminute", WT::I32),
            DB_FIELD(DisplayRecord, fields.exposurectrl, "exposurectrl", WT::I32),
            DB_FIELD(DisplayRecord, fields.lighttype, "lighttype", WT::I32),
            DB_FIELD(DisplayRecord, fields.mirctrl, "mirctrl", WT::I32),
            DB_FIELD(DisplayRecord, fields.localdisplay, "localdisplay", WT::I32),
            DB_FIELD(DisplayRecord, fields.ircutaddaytonight, "ircutaddaytonight", WT::I32),
            DB_FIELD(DisplayRecord, fields.ircutadnighttoday, "ircutadnighttoday", WT::I32),
            DB_FIELD(DisplayRecord, fields.corridormode, "corridormode", WT::I32),
            DB_FIELD(DisplayRecord, fields.imagerotation, "imagerotation", WT::I32),
            DB_FIELD(DisplayRecord, fields.smartIRType, "smartIRType", WT::I32),
            DB_FIELD(DisplayRecord, fields.nearIRLevel, "nearIRLevel", WT::I32),
            DB_FIELD(DisplayRecord, fields.farIRLevel, "farIRLevel", WT::I32),
            DB_FIELD(DisplayRecord, fields.midIRLevel, "midIRLevel", WT::I32),
            DB_FIELD(DisplayRecord, fields.lencorrect, "lencorrect", WT::I32),
            DB_FIELD(DisplayRecord, fields.smartIrMath, "smartIrMath", WT::I32),
            DB_FIELD(DisplayRecord, fields.smartIrLimit, "smartIrLimit", WT::I32),
            DB_FIELD(DisplayRecord, fields.chipninterface, "chipninterface", WT::Text),
            DB_FIELD(DisplayRecord, fields.nearSmartirValue, "nearSmartirValue", WT::I32),
            DB_FIELD(DisplayRecord, fields.farSmartirValue, "farSmartirValue", WT::I32),
            DB_FIELD(DisplayRecord, fields.midSmartirValue, "midSmartirValue", WT::I32),
            DB_FIELD(DisplayRecord, fields.lenCorrectType, "lenCorrectType", WT::I32),
            DB_FIELD(DisplayRecord, fields.fovadjust, "fovadjust", WT::I32),
            DB_FIELD(DisplayRecord, fields.sensortype, "sensortype", WT::Text),
            DB_FIELD(DisplayRecord, fields.productmodel, "productmodel", WT::Text),
            DB_FIELD(DisplayRecord, fields.softversion, "softversion", WT::Text),
            DB_FIELD(DisplayRecord, fields.smokeddomecover, "smokeddomecover", WT::I32),
            DB_FIELD(DisplayRecord, fields.whiteLedLevel, "smartwhitestrength", WT::I32),
            DB_FIELD(DisplayRecord, fields.dnRefocus, "dnRefocus", WT::I32),
            DB_FIELD(DisplayRecord, fields.sdkversion, "sdkversion", WT::Text),
            DB_FIELD(DisplayRecord, fields.structuretype, "structuretype", WT::I32),
            DB_FIELD(DisplayRecord, fields.keepCorrectAspectRatio, "keepCorrectAspectRatio",
                     WT::I32),
            DB_FIELD(DisplayRecord, fields.dayNightSens, "dayNightSens", WT::I32),
            DB_FIELD(DisplayRecord, fields.nightDaySens, "nightDaySens", WT::I32),
            DB_FIELD(DisplayRecord, fields.zoomLimit, "zoomLimit", WT::I32));

// Common parameter read (request 3225) and its reply 8225.
WIRE_RECORD(kCommonRequestLayout, CommonRequest,
            DB_FIELD_J(CommonRequest, chnid, "id", WT::I32, "id"),
            DB_FIELD(CommonRequest, block.pagename, "pagename", WT::Text),
            DB_FIELD(CommonRequest, block.httpname, "httpname", WT::Text),
            DB_FIELD(CommonRequest, block.key, "key", WT::Text),
            DB_FIELD(CommonRequest, block.value, "value", WT::Text));
WIRE_RECORD(kCommonReplyLayout, CommonReply, DB_FIELD_J(CommonReply, chnid, "id", WT::I32, "id"),
            DB_FIELD(CommonReply, block.pagename, "pagename", WT::Text),
            DB_FIELD(CommonReply, block.httpname, "httpname", WT::Text),
            DB_FIELD(CommonReply, block.key, "key", WT::Text),
            DB_FIELD(CommonReply, block.value, "value", WT::Text));

// Image periods, areas, schedules and camera motion: the channel the request names.
WIRE_RECORD(kImageAreaDeleteLayout, ImageAreaDelete,
            DB_FIELD(ImageAreaDelete, chan_id, "chan_id", WT::I32),
            DB_FIELD(ImageAreaDelete, area_id, "area_id", WT::I32));
WIRE_RECORD(kImagePeriodsLayout, ImagePeriods, DB_FIELD(ImagePeriods, chnid, "chnid", WT::I32));
WIRE_RECORD(kImageAreasLayout, ImageAreas, DB_FIELD(ImageAreas, enable, "enable", WT::I32),
            DB_FIELD(ImageAreas, sdkversion, "sdkversion", WT::Text));
WIRE_RECORD(kImageScheduleLayout, ImageSchedule, DB_FIELD(ImageSchedule, chnid, "chnid", WT::I32));
WIRE_RECORD(kImageScheduleExpLayout, ImageScheduleExp,
            DB_FIELD(ImageScheduleExp, chnid, "chnid", WT::I32));
WIRE_RECORD(kIpcMotionLayout, IpcMotion, DB_FIELD(IpcMotion, chnid, "chnid", WT::I32),
            DB_FIELD(IpcMotion, enable, "enable", WT::I32),
            DB_FIELD(IpcMotion, sensitivity, "sensitivity", WT::I32),
            DB_FIELD(IpcMotion, minsize, "minsize", WT::I32),
            DB_FIELD(IpcMotion, mintime, "mintime", WT::I32),
            DB_FIELD(IpcMotion, adaptability, "adaptability", WT::I32),
            DB_FIELD(IpcMotion, map_mask, "map_mask", WT::Text),
            DB_FIELD_J(IpcMotion, effective, "effective", WT::Blob, ""),
            DB_FIELD(IpcMotion, isNtPlatform, "isNtPlatform", WT::I32));
WIRE_RECORD(kEventInfoLayout, EventInfoQuery, DB_FIELD(EventInfoQuery, chnid, "chnid", WT::I32),
            DB_FIELD(EventInfoQuery, mainType, "mainType", WT::I32),
            DB_FIELD(EventInfoQuery, subType, "subType", WT::I32),
            DB_FIELD(EventInfoQuery, time, "time", WT::Text));

#undef WIRE_RECORD

}  // namespace cameras
