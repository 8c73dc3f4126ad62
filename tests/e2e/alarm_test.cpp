// The alarm table end to end: recorder outputs with copies, recorder inputs
// (basic routes and the action dialog), camera alarm inputs and outputs
// against the simulated recorder, manual output switching, name lists.
#include <gtest/gtest.h>

#include <string>

#include "frame/ipc.h"
#include "modules/alarm/alarm_records.h"
#include "modules/alarm/alarm_wire.h"
#include "platform/qvdb_schedule.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kOk = kTextHeader + "OK";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

AlarmIn stored_input(const DeviceRoot& root, int32_t id) {
  AlarmIn record{};
  db_read(db_of(root).c_str(), kAlarmInRecord, &record, id);
  return record;
}
AlarmOut stored_output(const DeviceRoot& root, int32_t id) {
  AlarmOut record{};
  db_read(db_of(root).c_str(), kAlarmOutRecord, &record, id);
  return record;
}

TEST(AlarmOutputs, StoreCopyAndLogWithTheMask) {
  DeviceRoot root;
  CoreSim sim(root);
  // Copying to itself only: nothing copied, one notice, the log names bit 1.
  ASSERT_EQ(run_json(root, "/6022",
                     R"({"alarmId":1,"name":"siren","type":1,"enable":1,)"
                     R"("durationTime":10,"copyCnt":2,"copyChn":[1,1]})")
                .out,
            kOk);
  expect_one_notice(sim, 1405, CoreSim::bytes<int32_t>(1));
  const auto logs = sim.messages(3509);
  ASSERT_EQ(logs.size(), 1u);
  const QvLogInfoMask log = record_of<QvLogInfoMask>(logs[0]);
  EXPECT_EQ(+log.channel_mask, 1u << 1);
  EXPECT_EQ(+log.info.chan_no, 2);
  EXPECT_EQ(+log.info.param_type, 911);

  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6022",
                     R"({"alarmId":1,"dialog":{"effective":[[["00:00","01:00",1]]]},)"
                     R"("copyCnt":3,"copyChn":[3,4,-1]})")
                .out,
            kOk);
  EXPECT_EQ(sim.messages(1405).size(), 2u);  // its own, then output 3
  EXPECT_EQ(+stored_output(root, 3).durationTime, 10);
  EXPECT_STREQ(stored_output(root, 3).name, "");  // the name is not copied
  EXPECT_EQ(+record_of<QvLogInfoMask>(sim.messages(3509)[0]).channel_mask, (1u << 1) | (1u << 3));
  EXPECT_NE(run_json(root, "/6021", R"({"alarmId":3})").out.find(R"("endTime": "01:00")"),
            std::string::npos);
  EXPECT_EQ(run_json(root, "/6021", R"({"alarmId":4})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6022", R"({"alarmId":4})").out, kTextError);
  EXPECT_EQ(
      run_json(root, "/6020", "").out.substr(0, kJsonHeader.size() + 70),
      kJsonHeader + R"([ { "id": 0, "name": "", "type": 0, "enable": 0, "durationTime": 0 }, )");
}

TEST(AlarmInputs, BasicRoutesKeepTheActionSettings) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(
      run_json(root, "/6027", R"({"alarmId":2,"dialog":{"ptz_interval":9,"email_interval":4}})")
          .out,
      kOk);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6062",
                     R"({"alarm":{"id":2,"enable":1,"name":"door","type":1,)"
                     R"("triChannels":"1010","triAlarms":2,"interval":3},)"
                     R"("schedule":[[["08:00","09:00"]]]})")
                .out,
            kOk);
  expect_one_notice(sim, 1404, CoreSim::bytes<int32_t>(2));
  expect_one_log(sim, 204, 910, 3);
  const AlarmIn input = stored_input(root, 2);
  EXPECT_EQ(+input.ptz_interval, 9);
  EXPECT_EQ(+input.email_interval, 4);
  EXPECT_EQ(+input.tri_channel_mask, 5u);
  const std::string one = run_json(root, "/6061", "2", nullptr, "GET").out;
  EXPECT_EQ(
      one.rfind(kJsonHeader + R"({ "alarm": { "id": 2, "enable": 1, "name": "door", "type": 1, )"
                              R"("triChannels": "1010", "triAlarms": 2, "interval": 3, )"
                              R"("triSnapshot": "" }, "schedule": [ [ { "startTime": "08:00", )"
                              R"("endTime": "09:00", "actionType": 6 }, { "startTime": "", )"
                              R"("endTime": "", "actionType": 6 })",
                0),
      0u)
      << one;
  // "/6064": enable is checked, not stored.
  EXPECT_EQ(run_json(root, "/6064",
                     R"({"alarm":{"id":2,"enable":3,"type":0,"triChannels":"",)"
                     R"("triAlarms":0,"interval":0}})")
                .out,
            kRefused);
  ASSERT_EQ(run_json(root, "/6064",
                     R"({"alarm":{"id":2,"enable":2,"name":"hall","type":0,)"
                     R"("triChannels":"","triAlarms":0,"interval":0}})")
                .out,
            kOk);
  EXPECT_EQ(+stored_input(root, 2).enable, 1);
  EXPECT_STREQ(stored_input(root, 2).name, "hall");
  EXPECT_EQ(run_json(root, "/6062",
                     R"({"alarm":{"id":16,"enable":1,"type":1,"triChannels":"",)"
                     R"("triAlarms":0,"interval":0}})")
                .out,
            kRefused);
  ASSERT_EQ(
      run_json(root, "/6063", R"({"alarm":{"camId":2,"name":"gate","type":1,"enable":0}})").out,
      kOk);
  EXPECT_EQ(run_json(root, "/6063", R"({"alarm":{"camId":2147483647,"name":"x"}})").out, kRefused);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6023", R"({"id":4,"enable":1})").out, kOk);
  expect_one_notice(sim, 1409, CoreSim::bytes(AlarmInEnable{4, 1}));
  expect_one_log(sim, 204, 911, 5);
  EXPECT_NE(run_json(root, "/6034", "").out.find(R"("nvr": [ "", "", "gate", "")"),
            std::string::npos);
}

TEST(AlarmInputs, DialogDisarmingAndCopies) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6027", R"({"alarmId":0,"linkageAction":3})").out, kOk);
  Disarming disarming{};
  db_read(db_of(root).c_str(), kDisarmingRecord, &disarming, 0);
  EXPECT_EQ(+disarming.linkageAction, 3);
  ASSERT_EQ(run_json(root, "/6027", R"({"alarmId":3,"linkageAction":5})").out, kOk);
  db_read(db_of(root).c_str(), kDisarmingRecord, &disarming, 0);
  EXPECT_EQ(+disarming.linkageAction, 3);

  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6027",
                     R"({"alarmId":3,"alarmType":1,"dialog":{"interval":7,"triChannels":"01",)"
                     R"("triSnapshot":"1","effective":[[["02:00","03:00",1]]]},)"
                     R"("copyCnt":3,"copyChn":[5,3,16]})")
                .out,
            kOk);
  expect_one_notice(sim, 1415, CoreSim::bytes<uint64_t>((1u << 3) | (1u << 5)));
  EXPECT_TRUE(sim.messages(3485).empty());
  EXPECT_EQ(+stored_input(root, 3).interval_type, 2);
  EXPECT_EQ(+stored_input(root, 5).interval, 7);
  EXPECT_EQ(+stored_input(root, 5).type, 1);
  EXPECT_STREQ(stored_input(root, 5).triSnapshot, "1");
  EXPECT_STREQ(stored_input(root, 5).triChannels, "");  // the trigger channels are not copied
  const std::string answer = run_json(root, "/6026", R"({"alarmId":5})").out;
  EXPECT_EQ(
      answer.rfind(kJsonHeader + R"({ "alarmId": 5, "name": "", "alarmType": 1, "enable": 0, )"
                                 R"("triAlarms": 0, "interval": 7,)",
                   0),
      0u)
      << answer;
  EXPECT_NE(answer.find(R"("endTime": "03:00")"), std::string::npos);
  EXPECT_EQ(run_json(root, "/6026", R"({"alarmId":16})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6027", "[]").out, kJsonError);
}

TEST(CameraAlarms, InputsOutputsAndManualSwitching) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6025",
                     R"({"chnid":2,"alarmCnt":6,"copyCnt":1,"copyChn":[9],)"
                     R"("dialog":[{"alarmId":1,"interval":5,"triChannels":"11"}],)"
                     R"("alarm":[{"alarmEnable":1,"alarmType":0,"alarmName":"a"},)"
                     R"({"alarmEnable":0,"alarmType":1,"alarmName":"b"}]})")
                .out,
            kOk);
  const CameraAlarmInSet set = record_of<CameraAlarmInSet>(sim.messages(3325)[0]);
  EXPECT_EQ(+set.mask, (1u << 2) | (1u << 9));
  EXPECT_EQ(+set.entries[1].type, 1);
  expect_one_notice(sim, 1417, CoreSim::bytes<uint64_t>((1u << 2) | (1u << 9)));
  const std::string inputs = run_json(root, "/6024", R"({"chnid":2})").out;
  EXPECT_EQ(
      inputs.rfind(kJsonHeader + R"({ "chnid": 2, "alarmCnt": 4, "alarm": [ { "alarmEnable": 1, )"
                                 R"("alarmType": 0, "alarmStatus": 0, "alarmName": "a", )",
                   0),
      0u)
      << inputs;
  EXPECT_NE(inputs.find(R"("alarmName": "b", "effective")"), std::string::npos);
  EXPECT_NE(inputs.find(R"("interval": 5)"), std::string::npos);
  EXPECT_NE(run_json(root, "/6024", R"({"chnid":9})").out.find(R"("triChannels": "11")"),
            std::string::npos);

  ASSERT_EQ(run_json(root, "/6029",
                     R"({"chnid":2,"alarmCnt":2,"alarm":[{"alarmType":1,)"
                     R"("alarmName":"horn","delayTime":30}]})")
                .out,
            kOk);
  ASSERT_EQ(run_json(root, "/6033", R"({"chnid":2,"alarmId":0,"state":1})").out, kOk);
  EXPECT_EQ(run_json(root, "/6033", "{oops").out, kTextError);
  const std::string outputs = run_json(root, "/6028", R"({"chnid":2})").out;
  EXPECT_EQ(
      outputs.rfind(kJsonHeader + R"({ "chnid": 2, "alarmCnt": 2, "alarm": [ { "alarmType": 1, )"
                                  R"("alarmStatus": 1, "alarmName": "horn", "delayTime": 30, )",
                    0),
      0u)
      << outputs;
  EXPECT_NE(run_json(root, "/6032", "").out.find(R"([ "horn", "" ])"), std::string::npos);

  EXPECT_EQ(run_json(root, "/6024", R"({"chnid":64})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6025", R"({"chnid":1})").out, kJsonError);
  sim.never(3296);
  EXPECT_EQ(run_json(root, "/6028", R"({"chnid":1})", kFastScale.c_str()).out, kJsonError);
  sim.reply(3298, 8298, std::string(55, '\0'));
  EXPECT_EQ(run_json(root, "/6024", R"({"chnid":1})", kFastScale.c_str()).out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
