// The camera module end to end: channels, the pass-through table, discovery,
// streams and image schedules against the simulated daemon.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "frame/ipc.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "modules/cameras/passthrough.h"
#include "platform/qvdb.h"
#include "platform/qvfs_log.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kOk = kTextHeader + "OK";

template <class T>
std::string bytes_of(const T& value) {
  return CoreSim::bytes(value);
}

class CameraTest : public ::testing::Test {
 protected:
  CgiResult post(const std::string& route, const std::string& body) {
    return run_json(root, route, body, kFastScale.c_str());
  }
  CameraRecord camera(int32_t channel) {
    CameraRecord record{};
    read_camera(db_of(root).c_str(), &record, channel);
    return record;
  }
  DeviceRoot root;
  CoreSim sim{root};
};

// ---- channels -----------------------------------------------------------------------------

TEST_F(CameraTest, AddStoresTheChannelTellsTheDaemonAndLogsTheDetail) {
  const std::string add =
      R"({"id":2,"name":"Gate","enable":1,"camProtocol":1,"ipAddr":"192.0.2.40","managePort":8080,)"
      R"("userName":"admin","password":"pw1","transmitProtocol":3,"syncTime":1,"mainRtspPort":554,)"
      R"x("mainrtspurl":"rtsp://192.0.2.40/main","mac_addr":"(null)","poechannel":2,"otherPoe":1})x";
  EXPECT_EQ(post("/2004", add).out, kOk);
  const CameraRecord c = camera(2);
  EXPECT_STREQ(c.ipAddr, "192.0.2.40");
  EXPECT_EQ(c.managePort, 8080);
  EXPECT_EQ(c.camProtocol, 1);
  EXPECT_STREQ(c.password, "pw1");
  EXPECT_EQ(c.mainRtspPort, 554);
  EXPECT_STREQ(c.mainrtspurl, "rtsp://192.0.2.40/main");
  EXPECT_STREQ(c.mac_addr, "");
  EXPECT_EQ(c.poechannel, 2);
  EXPECT_EQ(c.httpsPort, 0);  // absent integers store 0
  expect_one_notice(sim, kReqChannelAdded, bytes_of(ChannelWord{2}));
  expect_one_notice(sim, kReqChannelPoe, bytes_of(ChannelPoe{2, 1}));
  const QvLogInfo log = expect_one_log(sim, 210, 901, 3);
  int32_t kind = 0;
  std::string detail;
  ASSERT_EQ(qvfs_log_unpack_detail(log, &kind, &detail), 0);
  EXPECT_EQ(kind, 111);
  ASSERT_EQ(detail.size(), sizeof(CameraChangeDetail));
  CameraChangeDetail d{};
  memcpy(&d, detail.data(), sizeof d);
  EXPECT_EQ(d.param_type, 901);
  EXPECT_STREQ(d.ip, "192.0.2.40");
  EXPECT_EQ(d.chan_no, 3);
  EXPECT_STREQ(d.protocol, "RTSP");
  EXPECT_STREQ(d.transmit, "RTSP Over HTTPS");
  EXPECT_EQ(d.sync_time, 1);

  // The next list shows the new camera; the name comes from the name record.
  const CgiResult list = get(root, "/2001");
  EXPECT_NE(list.out.find(R"("id": 2, "enable": 1, "name": "Gate", "ipAddr": "192.0.2.40")"),
            std::string::npos)
      << list.out;
}

TEST_F(CameraTest, AddRefusesWhatTheCheckRefuses) {
  const std::string base = R"("name":"x","transmitProtocol":0,"managePort":80)";
  for (const std::string& body :
       {R"({"id":64,"camProtocol":0,"ipAddr":"192.0.2.1",)" + base + "}",  // no 65th camera
        R"({"id":65,"camProtocol":0,"ipAddr":"192.0.2.1",)" + base + "}",
        R"({"id":1,"camProtocol":0,"ipAddr":"",)" + base + "}",
        R"({"id":1,"camProtocol":8,"ipAddr":"192.0.2.1",)" + base + "}",
        std::string(R"({"id":1,"camProtocol":0,"ipAddr":"192.0.2.1","name":"x","managePort":80})"),
        std::string("[1,2]"), std::string("{bad")}) {
    SCOPED_TRACE(body);
    EXPECT_EQ(post("/2004", body).out, kRefused);
  }
  EXPECT_TRUE(sim.messages(kReqChannelAdded).empty());
  // Protocol 7 needs no address.
  EXPECT_EQ(post("/2004", R"({"id":5,"name":"x","camProtocol":7,"transmitProtocol":0})").out, kOk);
}

TEST_F(CameraTest, EditKeepsCredentialsForTypeOneAndDeleteResetsTheChannel) {
  ASSERT_EQ(post("/2004", R"({"id":3,"name":"A","camProtocol":0,"ipAddr":"192.0.2.5",)"
                          R"("managePort":80,"transmitProtocol":0,"userName":"u","password":"p",)"
                          R"("poechannel":4})")
                .out,
            kOk);
  PrivacyMask mask{};
  mask.chnid = 3;
  mask.areas[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(write_privacy_mask(db_of(root).c_str(), &mask), 0);
  sim.clear_messages();
  EXPECT_EQ(post("/2003", R"({"id":3,"type":1,"name":"B","camProtocol":0,"ipAddr":"192.0.2.6",)"
                          R"("managePort":81,"transmitProtocol":2,"userName":"v","password":"q"})")
                .out,
            kOk);
  CameraRecord c = camera(3);
  EXPECT_STREQ(c.userName, "u");
  EXPECT_STREQ(c.password, "p");
  EXPECT_STREQ(c.ipAddr, "192.0.2.6");
  EXPECT_EQ(c.poechannel, 4);  // an edit does not move the camera's port
  expect_one_notice(sim, kReqChannelChanged, bytes_of(ChannelWord{3}));
  EXPECT_TRUE(sim.messages(kReqChannelPoe).empty());
  expect_one_log(sim, 204, 903, 4);

  sim.clear_messages();
  EXPECT_EQ(get(root, "/2005", R"({"chnid":3})").out, kOk);
  c = camera(3);
  EXPECT_EQ(c.enable, 0);
  EXPECT_EQ(c.type, 1);
  EXPECT_STREQ(c.ipAddr, "");
  char name[128];
  read_osd_name(db_of(root).c_str(), name, sizeof name, 3);
  EXPECT_STREQ(name, "CAM4");
  PrivacyMask cleared{};
  read_privacy_mask(db_of(root).c_str(), &cleared, 3);
  EXPECT_EQ(cleared.areas[5].start_y, 0);
  expect_one_notice(sim, kReqChannelDeleted, bytes_of(ChannelWord{3}));
  expect_one_notice(sim, kReqChannelPoe, bytes_of(ChannelPoe{3, 0}));
  expect_one_log(sim, 211, 902, 4);
  EXPECT_EQ(get(root, "/2005", R"({"chnid":16})").out, kJsonError);
  EXPECT_EQ(get(root, "/2000", R"({"chnid":-1})").out, kJsonError);
}

TEST_F(CameraTest, ProtocolCatalogueRewritesProtocolTwoOnce) {
  const std::string path = db_of(root);
  const char* db = path.c_str();
  IpcProtocol p{2, "QVSF", 3, 1, 1};
  ASSERT_EQ(write_ipc_protocol(db, &p), 0);
  const std::string answer = get(root, "/2008").out;
  EXPECT_EQ(answer, kJsonHeader +
                        R"({ "protocols": [ { "id": 2, "name": "QVSF", "protocolFunction": 3, )"
                        R"("enable": 1, "display_model": 0, "models": [ ] } ] })");
  IpcProtocol stored{};
  int count = 0;
  read_ipc_protocols(db, &stored, 1, &count);
  EXPECT_EQ(stored.display_model, 0);
}

TEST_F(CameraTest, MotionStatusAndListSilence) {
  sim.reply(kReqMotionStatus, kReplyMotionStatus, bytes_of(MotionStatus{1}));
  EXPECT_EQ(get(root, "/2028").out,
            kJsonHeader + R"({ "Motion": "1)" + std::string(63, '0') + R"(" })");
  sim.never(kReqChannelList);
  EXPECT_EQ(post("/2001", "").out, kJsonError);
}

// ---- the pass-through table ------------------------------------------------------------------

TEST_F(CameraTest, EveryPassThroughRowAsksAnswersAndRefuses) {
  for (const cameras::PassThrough& row : cameras::pass_through_table()) {
    SCOPED_TRACE(row.route);
    sim.clear_messages();
    std::string body = R"({"chnid":1,"id":1,"groupid":1,"chan_id":1,"area_id":2,"stop":1})";
    CgiResult r = post(row.route, body);
    const auto sent = sim.messages(row.request_id);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].payload.size(), row.request->size);
    if (row.reply_id == 0) {
      EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
      EXPECT_EQ(r.out, row.done_text ? kTextHeader + row.done_text : kRefused);
      continue;
    }
    EXPECT_EQ(r.out.rfind("Content-type: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("CGI ERROR"), std::string::npos) << r.out;
    // No reply: the row's error answer.
    sim.never(row.request_id);
    r = post(row.route, body);
    EXPECT_EQ(r.out, row.silence == nvr::Silence::kText ? kTextError : kJsonError);
    // A reply without a record.
    sim.clear(row.request_id).reply(row.request_id, row.reply_id, "");
    if (row.reply != nullptr) {
      EXPECT_EQ(post(row.route, body).out, kJsonError);
    }
    sim.clear(row.request_id);
    // A channel out of range never reaches the daemon.
    if (row.channel_key != nullptr) {
      sim.clear_messages();
      const std::string bad =
          std::string("{\"") + row.channel_key + "\":" + std::to_string(row.channel_max + 1) + "}";
      EXPECT_EQ(post(row.route, bad).out, kJsonError);
      EXPECT_TRUE(sim.messages(row.request_id).empty());
    }
  }
}

TEST_F(CameraTest, PassThroughFillsMasksAndCopyTexts) {
  post("/2055", R"({"chnid":0,"channels":"0101","area":"x","zoom_number":3})");
  const auto tracking = sim.messages(kReqTrackingSet);
  ASSERT_EQ(tracking.size(), 1u);
  auto set = std::make_unique<TrackingSet>(record_of<TrackingSet>(tracking[0]));
  EXPECT_EQ(set->mask, 0b1011u);
  EXPECT_EQ(set->record.zoom_number, 3);
  EXPECT_STREQ(set->record.area, "x");

  post("/2059", R"({"chnid":5,"copy":"","watermark":"W"})");
  const auto watermark = sim.messages(kReqWatermarkSet);
  ASSERT_EQ(watermark.size(), 1u);
  const WatermarkSet w = record_of<WatermarkSet>(watermark[0]);
  EXPECT_EQ(std::string(w.copy, sizeof w.copy), std::string(5, '\0') + "1" + std::string(59, '\0'));
  EXPECT_STREQ(w.watermark, "W");

  post("/2064", R"({"chnid":70,"channels":"11"})");  // no bit past the mask
  const auto audio = sim.messages(kReqAudioSet);
  ASSERT_EQ(audio.size(), 1u);
  EXPECT_EQ(record_of<AudioSet>(audio[0]).mask, 0b11u);

  EXPECT_EQ(post("/2050", R"({"chan_id":1,"area_id":17})").out, kRefused);
  EXPECT_EQ(post("/2050", R"({"chan_id":1,"area_id":16})").out, kOk);
}

// ---- discovery -----------------------------------------------------------------------------

TEST_F(CameraTest, DiscoveryAnswersAndRecords) {
  sim.reply(kReqSearch, kReplySearch, "");
  EXPECT_EQ(post("/2006", R"({"protocol":0})").out,
            kJsonHeader + R"({ "resultString": "NO", "IPC": [ ] })");
  EXPECT_EQ(post("/2006", R"({"protocol":8})").out, kRefused);
  sim.clear(kReqSearch);
  CameraSearchResult found{};
  strcpy(found.ipAddr, "192.0.2.30");
  strcpy(found.name, "caf\xc3\xa9");
  sim.reply(kReqSearch, kReplySearch, bytes_of(found));
  const std::string answer = post("/2006", R"({"protocol":1})").out;
  EXPECT_NE(answer.find(R"("resultString": "OK")"), std::string::npos);
  EXPECT_NE(answer.find(R"("name": "", "snReal")"), std::string::npos) << answer;

  const std::string net = R"({"macAddr":"m","oldIpcAddr":"a","newIpcAddr":"b","netmask":"n",)"
                          R"("gateway":"g","primaryDNS":"d","username":"u","password":"p",)"
                          R"("protocol":0,"port":)";
  sim.reply(kReqIpcNetwork, kReplyIpcNetwork, bytes_of(ResultWord{2}));
  EXPECT_EQ(post("/2011", net + "65536}").out, kJsonHeader + R"({"resultString":"INVALID_USER"})");
  EXPECT_EQ(post("/2011", net + "65537}").out, kRefused);

  sim.reply(kReqCheckLogin, kReplyCheckLogin, bytes_of(ResultWord{4}));
  sim.reply(kReqTestLogin, kReplyTestLogin, bytes_of(ResultWord{5}));
  const std::string login = R"({"ipAddr":"192.0.2.9","managePort":0,"camProtocol":0})";
  EXPECT_EQ(post("/2015", login).out, kOk);
  EXPECT_EQ(post("/2014", login).out, kTextHeader + "BANDWIDTHERROR");
  EXPECT_EQ(record_of<LoginCheck>(sim.messages(kReqCheckLogin)[0]).managePort, 80);
  EXPECT_EQ(record_of<LoginTest>(sim.messages(kReqTestLogin)[0]).managePort, 0);

  // `cnt` beyond the array sends only what is there.
  EXPECT_EQ(post("/2032", R"({"cnt":5,"oIPCAddr":[{"macAddr":"m1","modifynum":7}]})").out, kOk);
  const auto batch = sim.messages(kReqIpcNetworkBatch);
  ASSERT_EQ(batch.size(), 1u);
  EXPECT_EQ(record_of<IpcNetworkBatch>(batch[0]).modifynum, 7);
}

// ---- streams and schedules ----------------------------------------------------------------------

TEST_F(CameraTest, StreamReadListsResolutionsAndTheWriteIsNotLogged) {
  StreamParams p{};
  p.stateCode = 3;
  sim.reply(kReqStreamGet, kReplyStreamGet, bytes_of(p));
  EXPECT_EQ(post("/2009", R"({"chnid":0})").out, kJsonHeader + R"({ "stateCode": 3 })");
  sim.clear(kReqStreamGet);
  p.stateCode = 0;
  p.mainLimits.res[0] = {1920, 1080};
  p.mainLimits.res[1] = {1280, 720};
  p.mainLimits.res[2] = {640, 0};
  p.mainLimits.res[3] = {320, 240};
  p.mainValues.cur = {800, 600};
  sim.reply(kReqStreamGet, kReplyStreamGet, bytes_of(p));
  const std::string answer = post("/2009", R"({"chnid":0})").out;
  EXPECT_NE(answer.find(R"("main": { "curRes": 0, "res": [ { "width": 1920, "height": 1080, )"
                        R"("name": "1920*1080" }, { "width": 1280, "height": 720, "name": )"
                        R"("1280*720" } ])"),
            std::string::npos)
      << answer;

  const std::string stream = R"({"id":4,"mainFramerate":25,"mainBitrate":4096,"subEnable":1,)"
                             R"("audioEnable":0,"mainResWidth":1920,"mainResHeight":1080})";
  EXPECT_EQ(post("/2010", stream).out, kJsonHeader + R"({ "res": "0000100000000000000000000000)"
                                                     R"(000000000000000000000000000000000000" })");
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());
  const StreamSet s = record_of<StreamSet>(sim.messages(kReqStreamSet)[0]);
  EXPECT_EQ(s.transmitProtocol, -1);
  EXPECT_EQ(s.reserved1[3], -1);

  sim.clear_messages();
  post("/2030", R"({"chans":[0,1,1]})");
  const StreamSet batch = record_of<StreamSet>(sim.messages(kReqStreamSet)[0]);
  EXPECT_EQ(std::string(batch.chans, 4), "0110");
  EXPECT_EQ(batch.videoTypeEnable, 1);
}

TEST_F(CameraTest, ImageWritesFillOnlyWhatTheyName) {
  EXPECT_EQ(post("/2038", R"({"channel":2,"id":3,"enable":1,"colorMode":2})").out, kOk);
  const ImagePeriods periods = record_of<ImagePeriods>(sim.messages(kReqImagePeriodSet)[0]);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(periods.periods[i].changed, i == 3 ? 1 : 0);
  EXPECT_EQ(periods.periods[3].colorMode, 2);
  EXPECT_EQ(post("/2038", R"({"channel":64,"id":0})").out, kJsonError);
  EXPECT_EQ(post("/2038", R"({"channel":1,"id":20})").out, kJsonError);

  EXPECT_EQ(post("/2042", R"({"channel":1,"schedule":[[["08:00","12:00",1]]]})").out, kOk);
  auto schedule = std::make_unique<ImageSchedule>(
      record_of<ImageSchedule>(sim.messages(kReqImageScheduleSet)[0]));
  EXPECT_STREQ(schedule->block.days[0].slots[0].endTime, "12:00");
  EXPECT_EQ(schedule->block.days[0].slots[0].actionType, 1);
  EXPECT_STREQ(schedule->block.days[1].slots[0].startTime, "");

  EXPECT_EQ(post("/2048", R"({"channel":1,"exposure":[{"exposureTime":5,"gainLevel":6}]})").out,
            kOk);
  EXPECT_EQ(post("/2049", R"({"channel":1})").out,
            kJsonHeader + R"({ "exposure": [ { "exposureTime": 5, "gainLevel": 6 } ] })");
}

}  // namespace
}  // namespace nvr::test
