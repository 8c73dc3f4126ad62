// Licence plates end to end: the mode's action object and dialog, the plate
// lists in the plate database, and the camera's support, state and wildcards.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "modules/video/vca_records.h"
#include "modules/video/video_wire.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kOk = kTextHeader + "OK";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

bool has_prefix(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

std::string anpr_db(const DeviceRoot& root) { return root("/mnt/nand/app/anpr.db"); }

std::vector<AnprListEntry> plates(const DeviceRoot& root) {
  std::vector<AnprListEntry> rows(64);
  int count = 0;
  db_read_rows(anpr_db(root).c_str(), kAnprListRecord, rows.data(), 64, &count, {});
  rows.resize(static_cast<size_t>(count));
  return rows;
}
std::string listed(const DeviceRoot& root) {
  std::string out;
  for (const AnprListEntry& e : plates(root)) out += std::string(e.type) + ":" + e.plate + " ";
  return out;
}

TEST(AnprModes, ActionObjectPerModeAndDialog) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6180",
                     R"({"chnid":2,"mode":1,"enable":1,"dialog":{"interval":4,"triChannels":"1",)"
                     R"("white":[[["05:00","06:00",1]]]}})")
                .out,
            kOk);
  expect_one_notice(sim, 1416, CoreSim::bytes(AnprModeNotice{2, 1}));
  AnprEventInfo record{};
  ASSERT_EQ(read_anpr_event(db_of(root).c_str(), &record, 2, 1), 0);
  EXPECT_EQ(+record.enable, 1);
  EXPECT_EQ(+record.interval, 4);
  EXPECT_EQ(read_anpr_event(db_of(root).c_str(), &record, 2, 0), -1);  // another mode's
  const std::string answer = run_json(root, "/6179", R"({"chnid":2,"mode":1})").out;
  EXPECT_TRUE(has_prefix(answer, kJsonHeader + R"({ "chnid": 2, "mode": 1, "enable": 1, )"))
      << answer;
  EXPECT_NE(answer.find(R"("startTime": "05:00")"), std::string::npos) << answer;
  EXPECT_NE(answer.find(R"("ptzParams")"), std::string::npos);
  // Mode -1: the arming schedule alone; the visitor tables for -1 and 2.
  ASSERT_EQ(run_json(root, "/6180",
                     R"({"chnid":2,"mode":-1,"dialog":{"effective":[[["07:00","08:00",1]]]}})")
                .out,
            kOk);
  const std::string any = run_json(root, "/6179", R"({"chnid":2,"mode":-1})").out;
  EXPECT_TRUE(has_prefix(any, kJsonHeader + R"({ "chnid": 2, "mode": -1, "effective": [)")) << any;
  EXPECT_EQ(any.find("enable"), std::string::npos);
  EXPECT_NE(any.find(R"("startTime": "07:00")"), std::string::npos);
  EXPECT_STREQ(anpr_source(2).white, "lpr_vistor_whiteled_esche");
  EXPECT_STREQ(anpr_source(-1).http_params, "lpr_visitor_mode_http_notification_params");
  EXPECT_STREQ(anpr_source(0).warning_light_params, "lpr_black_warning_light_params");
  sim.clear_messages();
  for (const char* bad : {R"({"chnid":2,"mode":3})", R"({"chnid":64,"mode":0})", "", "x"}) {
    EXPECT_EQ(run_json(root, "/6179", bad).out, kJsonError) << bad;
    EXPECT_EQ(run_json(root, "/6180", bad).out, kJsonError) << bad;
  }
  EXPECT_TRUE(sim.messages().empty());
}

TEST(AnprPlates, AddDeleteUpdateOneRowPerPlate) {
  DeviceRoot root;
  CoreSim sim(root);
  // Three announced, two given: two stored; plates URL-decoded.
  EXPECT_EQ(
      run_json(root, "/6184", R"({"cnt":3,"plate":[["black","AB%201"],["white","X'; DROP"]]})").out,
      kJsonHeader + R"({ "count": 2 })");
  EXPECT_EQ(listed(root), "black:AB 1 white:X'; DROP ");
  // Adding a stored plate again replaces its entry.
  EXPECT_EQ(run_json(root, "/6184", R"({"cnt":1,"plate":[["white","AB 1"]]})").out,
            kJsonHeader + R"({ "count": 1 })");
  EXPECT_EQ(listed(root), "white:X'; DROP white:AB 1 ");
  // Update: the old plate goes first; a new plate already stored is replaced.
  ASSERT_EQ(run_json(root, "/6185", R"({"cnt":1,"plate":[["AB%201","black","X'; DROP"]]})").out,
            kOk);
  EXPECT_EQ(listed(root), "black:X'; DROP ");
  ASSERT_EQ(run_json(root, "/6185", R"({"cnt":2,"plate":[["none","white","NEW1"]]})").out, kOk);
  EXPECT_EQ(listed(root), "black:X'; DROP white:NEW1 ");
  ASSERT_EQ(run_json(root, "/6183", R"({"cnt":1,"plate":["X'%3B DROP","NEW1"]})").out, kOk);
  EXPECT_EQ(listed(root), "white:NEW1 ");
  // Counts and data.
  EXPECT_EQ(run_json(root, "/6183", R"({"cnt":0,"plate":["NEW1"]})").out, kTextError);
  EXPECT_EQ(run_json(root, "/6183", R"({"cnt":10001,"plate":["NEW1"]})").out, kTextError);
  EXPECT_EQ(run_json(root, "/6183", "").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6184", R"({"cnt":2,"plate":[]})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6184", "x").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6185", "").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6185", "x").out, kTextError);
  EXPECT_EQ(listed(root), "white:NEW1 ");
}

TEST(AnprCamera, SupportStateAndWildcards) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(run_json(root, "/6186", R"({"chnid":3})").out,
            kJsonHeader + R"({ "chnid": 3, "vca_support": 1, "vca_version": 2 })");
  EXPECT_EQ(run_json(root, "/6189", R"({"chnid":3})").out,
            kJsonHeader + R"({ "chnid": 3, "state": 1, "zoomNumber": 3 })");
  std::string set = R"({"chnid":3,"filter":1,"maxPlateCharNum":9,"wildcards":[)";
  for (int i = 0; i < 10; ++i)
    set += std::string(i ? "," : "") + R"({"enable":1,"cr_count":)" + std::to_string(i) +
           R"(,"format":"0123456789abcdefXYZ"})";
  set += "]}";
  ASSERT_EQ(run_json(root, "/6191", set).out, kOk);
  const AnprWildcards sent = record_of<AnprWildcards>(sim.messages(1208).at(0));
  EXPECT_EQ(sent.cr_count[8], 8);
  EXPECT_STREQ(sent.format[8], "0123456789abcde");  // cut at 15
  EXPECT_EQ(+sent.maxPlateCharNum, 9);
  const std::string answer = run_json(root, "/6190", R"({"chnid":3})").out;
  EXPECT_TRUE(has_prefix(answer, kJsonHeader +
                                     R"({ "chnid": 3, "filter": 1, "maxPlateCharNum": 9, )"
                                     R"("wildcards": [ { "enable": 1, "cr_count": 0, )"
                                     R"("format": "0123456789abcde" })"))
      << answer;
  for (const char* route : {"/6186", "/6189", "/6190", "/6191"}) {
    EXPECT_EQ(run_json(root, route, R"({"chnid":64})").out, kJsonError) << route;
    EXPECT_EQ(run_json(root, route, "").out, kJsonError) << route;
  }
  sim.never(1215);
  EXPECT_EQ(run_json(root, "/6189", R"({"chnid":3})", "0.001").out, kJsonError);
}

TEST(AnprSettingsRoutes, KeyByKeyBothWays) {
  DeviceRoot root;
  CoreSim sim(root);
  const char* request =
      R"({"chnid":4,"enable":1,"post_http_url":"http://x","confidence":70,"region":["A","B"],)"
      R"("cur_area":"B","in_night_mode":1,"vehiclecolorEnable":1,)"
      R"("roi":[{"name":"r","startX":1,"endY":4}],"preset":[[],[{"name":"p","endy":8}]],)"
      R"("aitype":12,"jsonSupport":1,"normalPolygons":[{"name":"n","polygonX":"1,2"}],)"
      R"("dialog":{"interval":6},"formatData":{"filter":1,"wildcards":[{"format":"AA"}]}})";
  ASSERT_EQ(run_json(root, "/6182", request).out, kOk);
  const SimMessage wild = sim.messages(1208).at(0);
  EXPECT_EQ(wild.flags & 1, 1u);  // told, not asked
  EXPECT_STREQ(record_of<AnprWildcards>(wild).format[0], "AA");
  const SimMessage sent = sim.messages(3290).at(0);
  ASSERT_EQ(sent.payload.size(), sizeof(AnprSettings));
  auto settings = std::make_unique<AnprSettings>();
  memcpy(settings.get(), sent.payload.data(), sizeof(AnprSettings));
  EXPECT_EQ(settings->chnid, 4);
  EXPECT_STREQ(settings->region[1], "B");
  EXPECT_EQ(settings->in_night_mode, 0);  // answered only
  EXPECT_EQ(settings->roi[0].endY, 4);
  EXPECT_EQ(settings->preset[1][0].endY, 8);
  EXPECT_STREQ(settings->normalPolygons[0].polygonX, "1,2");
  AnprEventInfo event{};
  ASSERT_EQ(read_anpr_event(db_of(root).c_str(), &event, 4, kAnprModeAny), 0);
  EXPECT_EQ(+event.interval, 6);
  // The camera's answer, key by key; polygons only for its own plate cameras.
  settings->in_night_mode = 1;
  sim.reply(3289, 8289, CoreSim::bytes(*settings));
  std::string answer = run_json(root, "/6181", R"({"chnid":4})").out;
  EXPECT_TRUE(
      has_prefix(answer, kJsonHeader + R"({ "chnid": 4, "enable": 1, "resolution_width": 0,)"))
      << answer;
  EXPECT_NE(answer.find(R"("confidence": 70, "region": [ "A", "B", "",)"), std::string::npos);
  EXPECT_NE(answer.find(R"("cur_area": "B", "in_night_mode": 1, "platecolorEnable": 0,)"),
            std::string::npos);
  EXPECT_NE(answer.find(R"({ "name": "p", "startX": 0, "startY": 0, "endX": 0, "endy": 8 })"),
            std::string::npos);
  EXPECT_NE(answer.find(R"("normalPolygons": [ { "name": "n", "polygonX": "1,2",)"),
            std::string::npos);
  EXPECT_NE(answer.find(R"("aitype": 12 })"), std::string::npos);
  settings->aitype = 3;
  sim.clear_all().reply(3289, 8289, CoreSim::bytes(*settings));
  answer = run_json(root, "/6181", R"({"chnid":4})").out;
  EXPECT_EQ(answer.find("normalPolygons"), std::string::npos);
  for (const char* bad : {R"({"chnid":64})", "", "x"}) {
    EXPECT_EQ(run_json(root, "/6182", bad).out, kJsonError) << bad;
    EXPECT_EQ(run_json(root, "/6181", bad).out, kJsonError) << bad;
  }
  sim.reply(3290, 8290, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(run_json(root, "/6182", R"({"chnid":1})").out, kTextHeader + "FAILED");
}

}  // namespace
}  // namespace nvr::test
