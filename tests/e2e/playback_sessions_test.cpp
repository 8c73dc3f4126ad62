// Live view and playback session control end to end: searches, starts,
// steering, live streams, image values and the channel log routes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "frame/oplog_codes.h"
#include "modules/playback/playback_wire.h"
#include "platform/qvdb.h"
#include "platform/qvfs_log.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

std::vector<int32_t> requests_of(const std::vector<SimMessage>& messages) {
  std::vector<int32_t> ids;
  for (const auto& m : messages)
    if (m.id != kReqOperationLog) ids.push_back(m.id);
  return ids;
}

std::string json(const std::string& body) { return kJsonHeader + body; }
std::string text(const std::string& body) { return kTextHeader + body; }
const std::string kCgiError = "{status:\"CGI ERROR\"}";

CgiResult run_number(const DeviceRoot& root, const std::string& route, const std::string& body,
                     std::map<std::string, std::string> env = {}) {
  CgiRequest request;
  request.method = "POST";
  request.path_info = route;
  request.content_type = "application/json";
  request.body = body;
  request.env = std::move(env);
  request.env["NVR_TIME_SCALE"] = kFastScale;
  return run_cgi(root, request);
}

class PlaybackTest : public ::testing::Test {
 protected:
  DeviceRoot root;
  CoreSim sim{root};
};

// ---- searches ------------------------------------------------------------------------------

TEST_F(PlaybackTest, SearchClosesTheOldSessionFirstAndBoundsTheChannelCharacters) {
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_cameras", 16), 0);
  const std::string body =
      R"({"channelId":3,"sid":5,"streamType":1,"time":"2024-01-02 00:00:00","endTime":"2024-01-02 23:59:59"})";
  CgiResult r = run_json(root, "/4000", body);
  EXPECT_EQ(requests_of(sim.messages()),
            (std::vector<int32_t>{kReqCloseSessions, kReqCloseSession, kReqSearchRecords}));
  const auto close = record_of<SessionList>(sim.messages(kReqCloseSessions)[0]);
  EXPECT_EQ(close.sessions[0], 5);
  EXPECT_EQ(close.count, 1);
  EXPECT_EQ(sim.messages(kReqCloseSession)[0].payload, CoreSim::bytes<int32_t>(5));
  const auto search = record_of<SearchRequest>(sim.messages(kReqSearchRecords)[0]);
  EXPECT_EQ(std::string(search.channels, 64), "0001000000000000" + std::string(48, '\0'));
  EXPECT_EQ(search.one, 1);
  EXPECT_EQ(search.sub_stream, 1);
  EXPECT_EQ(search.minus_one[0], -1);
  EXPECT_EQ(search.minus_one[1], -1);
  EXPECT_STREQ(search.start_time, "2024-01-02 00:00:00");
  EXPECT_STREQ(search.end_time, "2024-01-02 23:59:59");
  EXPECT_EQ(
      r.out,
      json(
          R"({ "status": "OK", "camId": 3, "sectionNum": 2, "sid": 103, "section": [ )"
          R"({ "startTime": "2024-01-02 00:00:00", "endTime": "2024-01-02 23:59:59", "recordType": 0, "lock": 0 }, )"
          R"({ "startTime": "2024-01-02 00:00:00", "endTime": "2024-01-02 23:59:59", "recordType": 1, "lock": 0 } ] })"));

  // No old session: only the search. More channels than 64: 64 characters.
  sim.clear_messages();
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_cameras", 100), 0);
  sim.reply(kReqSearchRecords, kReplySearch, "");
  r = run_json(root, "/4000",
               R"({"channelId":63,"sid":-1,"streamType":0,"time":"a","endTime":"b"})");
  EXPECT_EQ(r.out, json(R"({ "status": "NO MATCHES" })"));
  EXPECT_EQ(requests_of(sim.messages()), std::vector<int32_t>{kReqSearchRecords});
  const auto wide = record_of<SearchRequest>(sim.messages(kReqSearchRecords)[0]);
  EXPECT_EQ(std::string(wide.channels, 64), std::string(63, '0') + "1");

  // A key missing: nothing sent, nothing answered.
  sim.clear_messages();
  r = run_json(root, "/4000", R"({"channelId":1,"sid":-1,"streamType":0,"time":"a"})");
  EXPECT_EQ(r.out, kRefused);
  EXPECT_TRUE(sim.messages().empty());

  // A page of a search: 20 bytes {sid, page, 0...}.
  r = run_json(root, "/4023", R"({"sid":103,"page":2})");
  EXPECT_EQ(sim.messages(kReqSearchPage)[0].payload,
            CoreSim::bytes<int32_t>(103) + CoreSim::bytes<int32_t>(2) + std::string(12, '\0'));
  EXPECT_NE(r.out.find(R"("camId": 3, "sectionNum": 2)"), std::string::npos) << r.out;
}

// ---- starts ------------------------------------------------------------------------------

TEST_F(PlaybackTest, StartAsksForTheSourceOnlyAfterTheDaemonAccepted) {
  const std::string body =
      R"({"channelId":2,"sid":102,"playTime":"2024-01-02 00:10:00","startTime":"2024-01-02 00:00:00","endTime":"2024-01-02 01:00:00"})";
  CgiResult r = run_json(root, "/4001", body);
  EXPECT_EQ(
      r.out,
      json(R"({ "sessionId": 102, "sourcePath": "\/playback\/session102", "port": 554, )"
           R"("status": "OK", "realPlayTime": "2024-01-02 00:10:00", "external_port": 10554, )"
           R"("external_http_port": 10080, "ddns_port": 20554, "ddns_http_port": 20080 })"));
  const auto start = record_of<PlaybackStartRequest>(sim.messages(kReqStartPlayback)[0]);
  EXPECT_EQ(start.channel, 2);
  EXPECT_EQ(start.session, 102);
  EXPECT_STREQ(start.play_time, "2024-01-02 00:10:00");
  EXPECT_EQ(sim.messages(kReqPlaybackSource)[0].payload, CoreSim::bytes<int32_t>(102));
  expect_one_log(sim, kLogSubPlayback, kLogParamNone, 3);

  // Refused: no second request, no log record.
  sim.clear_messages();
  sim.reply(kReqStartPlayback, kReplyStartPlayback, CoreSim::bytes<int32_t>(-1));
  r = run_json(root, "/4001", body, kFastScale.c_str());
  EXPECT_EQ(r.out, json(kCgiError));
  EXPECT_EQ(requests_of(sim.messages()), std::vector<int32_t>{kReqStartPlayback});
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());

  // No answer at all: the same.
  sim.clear_messages();
  sim.clear(kReqStartPlayback).never(kReqStartPlayback);
  r = run_json(root, "/4001", body, kFastScale.c_str());
  EXPECT_EQ(r.out, json(kCgiError));
  EXPECT_TRUE(sim.messages(kReqPlaybackSource).empty());

  // The channel is checked: 16 is not one of this module's.
  sim.clear_messages();
  r = run_json(root, "/4001",
               R"({"channelId":16,"sid":1,"playTime":"a","startTime":"b","endTime":"c"})");
  EXPECT_EQ(r.out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

TEST_F(PlaybackTest, StartByMaskReportsTheDaemonsPlayTime) {
  std::string body = R"({"playTime":"2024-01-02 03:04:05")";
  for (int i = 0; i < 8; ++i) body += ",\"mask" + std::to_string(i) + "\":" + std::to_string(i + 1);
  body += "}";
  MaskedStartReply reply{};
  reply.session = 77;
  std::strcpy(reply.real_play_time, "2024-01-02 03:04:00");
  sim.reply(kReqStartPlaybackMask, kReplyStartPlaybackMask, CoreSim::bytes(reply));
  CgiResult r = run_json(root, "/4020", body);
  EXPECT_NE(r.out.find(R"("sessionId": 77)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"("realPlayTime": "2024-01-02 03:04:00")"), std::string::npos) << r.out;
  const auto sent = record_of<MaskedStartRequest>(sim.messages(kReqStartPlaybackMask)[0]);
  EXPECT_GT(sent.play_seconds, 0);
  EXPECT_EQ(sent.masks[7], 8);
  EXPECT_EQ(sim.messages(kReqPlaybackSource)[0].payload, CoreSim::bytes<int32_t>(77));
  expect_one_log(sim, kLogSubPlayback, kLogParamNone, 0);

  // The failure flag refuses; a play time that is no time sends nothing.
  sim.clear_messages();
  reply.failed = 1;
  sim.clear(kReqStartPlaybackMask)
      .reply(kReqStartPlaybackMask, kReplyStartPlaybackMask, CoreSim::bytes(reply));
  EXPECT_EQ(run_json(root, "/4020", body).out, json(kCgiError));
  EXPECT_TRUE(sim.messages(kReqPlaybackSource).empty());
  sim.clear_messages();
  std::string bad = body;
  bad.replace(bad.find("2024-01-02 03:04:05"), 19, "yesterday");
  EXPECT_EQ(run_json(root, "/4020", bad).out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

// ---- steering: every notice route, one row each -------------------------------------------------

struct NoticeRow {
  const char* route;
  const char* body;
  int32_t request_id;
  std::string payload;
};

SessionList list_of(std::initializer_list<int32_t> ids, int32_t count) {
  SessionList list{};
  int i = 0;
  for (int32_t id : ids) list.sessions[i++] = id;
  list.count = count;
  return list;
}

TEST_F(PlaybackTest, SteeringRoutesTellTheDaemonTheirRecordsAndAnswerOk) {
  SessionList fast = list_of({7, 8}, 2);
  fast.speeds[0] = 4;
  fast.speeds[1] = 8;
  SpeedRequest slow{};
  slow.speed = -2;
  slow.sessions[0] = 9;
  slow.count = 1;
  SpeedRequest single{};
  single.speed = 2;
  single.single = 1;
  single.sessions[0] = 5;
  single.count = 1;
  SpeedRequest pair{};
  pair.speed = 2;
  pair.sessions[0] = 5;
  pair.sessions[1] = 6;
  pair.count = 2;
  SessionList batch = list_of({1, 2, 3}, 0);
  const std::vector<NoticeRow> rows = {
      {"/4004", R"({"num":2,"sid":[3,4,99]})", kReqPausePlayback,
       CoreSim::bytes(list_of({3, 4}, 2))},
      {"/4006", R"({"num":1,"sid":[3]})", kReqStepPlayback, CoreSim::bytes(list_of({3}, 1))},
      {"/3003", R"({"sessionId":[1,2,3]})", kReqStepBatch, CoreSim::bytes(batch)},
      {"/4005", R"({"sid":3,"direction":1})", kReqResumePlayback,
       CoreSim::bytes(ResumeRequest{3, 1})},
      {"/4007", R"({"chind":0,"num":2,"sessionId":[7,8],"speed":[4,8]})", kReqFastForward,
       CoreSim::bytes(fast)},
      {"/4008", R"({"chind":[9],"num":1,"speed":-2})", kReqSlowForward, CoreSim::bytes(slow)},
      {"/4022", R"({"num":1,"sid":[5],"speed":2})", kReqSetSpeed, CoreSim::bytes(single)},
      {"/4022", R"({"num":2,"sid":[5,6],"speed":2})", kReqSetSpeed, CoreSim::bytes(pair)},
      {"/4011", R"({"id":4,"streamType":1,"streamFrom":1})", kReqStopLive,
       CoreSim::bytes(LiveStartRequest{4, 1, 0})},
      {"/4012", "", kReqStopAllLive, ""},
  };
  for (const NoticeRow& row : rows) {
    SCOPED_TRACE(std::string(row.route) + " " + row.body);
    sim.clear_messages();
    EXPECT_EQ(run_json(root, row.route, row.body).out, text("OK"));
    expect_one_notice(sim, row.request_id, row.payload);
  }
  // "chind" negative refuses both speed routes.
  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/4007", R"({"chind":-1,"num":1,"sessionId":[1],"speed":[2]})").out,
            kRefused);
  EXPECT_EQ(run_json(root, "/4008", R"({"chind":-1,"num":1,"speed":2})").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

TEST_F(PlaybackTest, StopClosesEachSessionAndTakesAtMost64) {
  std::string ids;
  for (int i = 0; i < 70; ++i) ids += (i ? "," : "") + std::to_string(i == 1 ? -1 : i);
  CgiResult r = run_json(root, "/4003", R"({"close":1,"num":70,"sid":[)" + ids + "]}");
  EXPECT_EQ(r.out, text("OK"));
  const auto closes = sim.messages(kReqCloseSession);
  ASSERT_EQ(closes.size(), 63u);  // 64 slots, one of them -1
  EXPECT_EQ(closes.back().payload, CoreSim::bytes<int32_t>(63));
  const auto stop = record_of<SessionList>(sim.messages(kReqStopPlayback)[0]);
  EXPECT_EQ(stop.count, 64);
  EXPECT_EQ(stop.sessions[1], -1);
  EXPECT_EQ(stop.sessions[63], 63);
  EXPECT_EQ(sim.messages(kReqCloseSessions)[0].payload, sim.messages(kReqStopPlayback)[0].payload);

  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/4003", R"({"close":0,"num":1,"sid":[4]})").out, text("OK"));
  EXPECT_EQ(requests_of(sim.messages()),
            (std::vector<int32_t>{kReqCloseSession, kReqStopPlayback}));
}

// ---- waiting routes --------------------------------------------------------------------------

TEST_F(PlaybackTest, JumpPositionAndStreamStateAnswers) {
  EXPECT_EQ(run_json(root, "/4009", R"({"jumpTime":"x","sid":[],"chnid":[],"num":0})").out,
            json(kCgiError));
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_EQ(run_json(root, "/4009",
                     R"({"jumpTime":"2024-01-02 00:30:00","sid":[5,6],"chnid":[1,2],"num":2})")
                .out,
            json(R"({ "status": "OK" })"));
  const auto jump = record_of<JumpRequest>(sim.messages(kReqJumpPlayback)[0]);
  EXPECT_EQ(jump.count, 2);
  EXPECT_EQ(jump.sessions[1], 6);
  EXPECT_EQ(jump.channels[1], 2);
  EXPECT_STREQ(jump.jump_time, "2024-01-02 00:30:00");
  sim.reply(kReqJumpPlayback, kReplyJump, CoreSim::bytes<int32_t>(3));
  EXPECT_EQ(run_json(root, "/4009", R"({"jumpTime":"t","sid":[5],"chnid":[1],"num":1})").out,
            json(R"({ "status": "ERROR" })"));

  sim.reply(kReqPlayPosition, kReplyPlayPosition, CoreSim::bytes<int64_t>(0));
  EXPECT_EQ(run_number(root, "/4002", "12").out, json(kCgiError));
  EXPECT_EQ(sim.messages(kReqPlayPosition)[0].payload, CoreSim::bytes<int32_t>(12));
  sim.clear(kReqPlayPosition)
      .reply(kReqPlayPosition, kReplyPlayPosition, CoreSim::bytes<int64_t>(1704164645));
  EXPECT_EQ(run_number(root, "/4002", "12", {{"TZ", "UTC"}}).out,
            json(R"({ "status": "OK", "curPlayTime": "2024-01-02 03:04:05" })"));

  EXPECT_EQ(
      run_json(root, "/4025",
               R"({"ch":1,"sid":2,"trancodingmode":1,"framesize":3,"bitrate":512,"framerate":15})")
          .out,
      json(R"({ "ch": 1, "sid": 2, "state": 0, "status": "OK" })"));
  EXPECT_EQ(sim.messages(kReqSetPlaybackStream)[0].payload,
            CoreSim::bytes(PlaybackStreamParam{1, 2, 1, 3, 512, 15}));
  EXPECT_EQ(run_json(root, "/4026", R"({"ch":1,"sid":2})").out,
            json(R"({ "ch": 1, "sid": 2, "state": 1 })"));
  EXPECT_EQ(run_json(root, "/4025", "not json").out, json(kCgiError));
  EXPECT_EQ(run_json(root, "/4026", "").out, json(kCgiError));

  EXPECT_EQ(run_json(root, "/4021", "").out,
            json(R"({ "upnp_extern_port": 10554, "ddns_extern_port": 20554 })"));
  sim.reply(kReqDaemonBusy, kReplyDaemonBusy, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(run_json(root, "/3004", "").out, json(R"({ "status": "BUSY" })"));
  sim.clear(kReqDaemonBusy);
  EXPECT_EQ(run_json(root, "/3004", "").out, json(R"({ "status": "OK" })"));
}

// Every route that waits answers the JSON error when the daemon stays silent,
// and also at once when its reply holds no whole record.
TEST_F(PlaybackTest, EveryWaitingRouteAnswersTheErrorWhenNothingUsableCame) {
  struct Row {
    const char* route;
    const char* body;
    int32_t request_id;
    int32_t reply_id;
  };
  const Row rows[] = {
      {"/4000", R"({"channelId":1,"sid":-1,"streamType":0,"time":"a","endTime":"b"})",
       kReqSearchRecords, 0},
      {"/4023", R"({"sid":1,"page":1})", kReqSearchPage, 0},
      {"/4002", "5", kReqPlayPosition, kReplyPlayPosition},
      {"/4009", R"({"jumpTime":"t","sid":[1],"chnid":[1],"num":1})", kReqJumpPlayback, kReplyJump},
      {"/4010", R"({"id":1,"streamType":0,"streamFrom":0})", kReqStartLive, kReplyStartLive},
      {"/3000", R"({"chnid":1})", kReqGetImageParam, kReplyImageParam},
      {"/4018", "", kReqStreamAddress, kReplyStreamAddress},
      {"/4021", "", kReqExternalPorts, kReplyExternalPorts},
      {"/4025", R"({"ch":1})", kReqSetPlaybackStream, kReplyPlaybackStream},
      {"/4026", R"({"ch":1})", kReqPlaybackStreamState, kReplyPlaybackStreamState},
      {"/3004", "", kReqDaemonBusy, kReplyDaemonBusy},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.route);
    sim.never(row.request_id);
    EXPECT_EQ(run_json(root, row.route, row.body, kFastScale.c_str()).out, json(kCgiError));
    sim.clear(row.request_id);
    if (row.reply_id == 0) continue;  // an empty search is "NO MATCHES"
    sim.reply(row.request_id, row.reply_id, "abc");
    CgiRequest request;  // full time scale: the answer must not wait
    request.method = "POST";
    request.path_info = row.route;
    request.content_type = "application/json";
    request.body = row.body;
    request.timeout_seconds = 5;
    EXPECT_EQ(run_cgi(root, request).out, json(kCgiError));
    sim.clear(row.request_id);
  }
  // The source request of a start as well.
  sim.reply(kReqPlaybackSource, kReplyPlaybackSource, "");
  EXPECT_EQ(run_json(root, "/4001",
                     R"({"channelId":1,"sid":1,"playTime":"p","startTime":"s","endTime":"e"})")
                .out,
            json(kCgiError));
}

// ---- live view and image values -----------------------------------------------------------------

TEST_F(PlaybackTest, LiveStartAnswersTheStreamAndLogsFromTheReply) {
  CgiResult r = run_json(root, "/4010", R"({"id":5,"streamType":1,"streamFrom":1})");
  EXPECT_EQ(
      r.out,
      json(
          R"({ "status": "OK", "port": 554, "direct": 0, "rtspAddr": "rtsp:\/\/127.0.0.1:554\/live\/ch5\/sub", "resPath": "\/live\/ch5\/sub" })"));
  EXPECT_EQ(sim.messages(kReqStartLive)[0].payload, CoreSim::bytes(LiveStartRequest{5, 1, 1}));
  expect_one_log(sim, kLogSubStartLive, kLogParamNone, 6);

  LiveStartReply failed{};
  failed.result = -3;
  sim.reply(kReqStartLive, kReplyStartLive, CoreSim::bytes(failed));
  EXPECT_EQ(run_json(root, "/4010", R"({"id":5,"streamType":0,"streamFrom":0})").out,
            json(R"({ "status": "ERROR" })"));
  sim.clear_messages();
  for (const char* bad :
       {R"({"id":16,"streamType":0,"streamFrom":0})", R"({"id":1,"streamType":2,"streamFrom":0})",
        R"({"id":1,"streamType":0})"}) {
    EXPECT_EQ(run_json(root, "/4010", bad).out, kRefused) << bad;
    EXPECT_EQ(run_json(root, "/4011", bad).out, kRefused) << bad;
  }
  EXPECT_TRUE(sim.messages().empty());

  CgiResult addresses = run_json(root, "/4018", "");
  EXPECT_NE(addresses.out.find(
                R"({ "rtspaddr": [ { "ipc": { "main": "rtsp:\/\/192.168.1.101:554\/main")"),
            std::string::npos)
      << addresses.out;
  EXPECT_NE(
      addresses.out.find(
          R"("subResPath": "\/live\/ch3\/sub", "subExternalHttpPort": 10080, "subDDNSHttpPort": 20080 } } ] })"),
      std::string::npos)
      << addresses.out;
}

TEST_F(PlaybackTest, ImageValuesAreCheckedStoredLoggedInPercentAndReset) {
  EXPECT_EQ(run_json(root, "/3001", R"({"id":1,"brightness":256,"contrast":1,"saturation":1})").out,
            kRefused);
  EXPECT_TRUE(sim.messages().empty());
  CgiResult r = run_json(
      root, "/3001",
      R"({"id":2,"brightness":128,"contrast":255,"saturation":0,"Sharpness":300,"NoiseReduction":64,"i2ddnr":1})");
  EXPECT_EQ(r.out, text("OK"));
  expect_one_notice(sim, kReqSetImageParam, CoreSim::bytes(ImageParam{2, 128, 255, 0, 300, 64, 1}));
  expect_one_log(sim, kLogSubImageParam, kLogParamNone, 3);
  const QvLogInfo log = record_of<QvLogInfo>(sim.messages(kReqOperationLog)[0]);
  int32_t kind = 0;
  std::string detail;
  ASSERT_EQ(qvfs_log_unpack_detail(log, &kind, &detail), 0);
  EXPECT_EQ(kind, kLogDetailImage);
  int32_t percent[5];
  ASSERT_EQ(detail.size(), sizeof percent);
  std::memcpy(percent, detail.data(), sizeof percent);
  EXPECT_EQ(std::vector<int32_t>(percent, percent + 5),
            (std::vector<int32_t>{50, 100, 0, 118, 25}));

  EXPECT_EQ(
      run_json(root, "/3000", R"({"chnid":2})").out,
      json(
          R"({ "status": "OK", "brightness": 128, "contrast": 255, "saturation": 0, "Sharpness": 300, )"
          R"("NoiseReduction": 64, "i2ddnr": 1, "supportLpr": 0, "isNtPlatform": 0, "isPanoramaStitch": 0 })"));
  sim.clear_messages();
  EXPECT_EQ(
      run_number(root, "/3002", "2").out,
      json(
          R"({ "ChannelId": 2, "Brightness": 128, "Contrast": 128, "Saturation": 128, "Sharpness": 128, "NoiseReduction": 128 })"));
  expect_one_notice(sim, kReqSetImageParam,
                    CoreSim::bytes(ImageParam{2, 128, 128, 128, 128, 128, 0}));
  EXPECT_EQ(run_number(root, "/3002", "16").out, kRefused);
  EXPECT_EQ(run_json(root, "/3000", R"({"chnid":16})").out, kRefused);
}

TEST_F(PlaybackTest, ChannelLogAndCheckRoutes) {
  struct Row {
    const char* route;
    int64_t sub_type;
  };
  for (const Row& row : {Row{"/4024", kLogSubStartLive}, Row{"/4014", kLogSubChannelEvent},
                         Row{"/4017", kLogSubChannelUserEvent}}) {
    SCOPED_TRACE(row.route);
    sim.clear_messages();
    EXPECT_EQ(run_number(root, row.route, "15", {{"REMOTE_USER", "operator"}}).out, text("OK"));
    expect_one_log(sim, row.sub_type, kLogParamNone, 16);
    const QvLogInfo log = record_of<QvLogInfo>(sim.messages(kReqOperationLog)[0]);
    if (row.sub_type == kLogSubChannelUserEvent) {
      EXPECT_STREQ(log.user, "operator");
    }
    sim.clear_messages();
    EXPECT_EQ(run_number(root, row.route, "16").out, kRefused);
    EXPECT_EQ(run_number(root, row.route, "-1").out, kRefused);
    EXPECT_TRUE(sim.messages().empty());
  }
  for (const char* route : {"/4015", "/4016"}) {
    EXPECT_EQ(run_number(root, route, "0").out, text("OK"));
    EXPECT_EQ(run_number(root, route, "15").out, text("OK"));
    EXPECT_EQ(run_number(root, route, "16").out, kRefused);
  }
}

}  // namespace
}  // namespace nvr::test
