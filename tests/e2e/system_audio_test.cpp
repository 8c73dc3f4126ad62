// Alarm audio files ("/6320" to "/6325") end to end: uploads through the
// multipart path, names in URL-alphabet Base64, and the simulated recorder
// keeping the files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "modules/system/system_wire.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

CgiResult post_fast(const DeviceRoot& root, const std::string& route, const std::string& body) {
  return run_cgi(root, json_post(route, body, true));
}

CgiResult upload(const DeviceRoot& root, const std::string& file_name, const std::string& content) {
  return run_cgi(root, file_post("/6321", file_name, content, "", "audio/wav"));
}

AlarmAudioFile record(int32_t id, int32_t in_use, const char* name) {
  AlarmAudioFile r{};
  r.id = id;
  r.enable = in_use;
  snprintf(r.name, sizeof r.name, "%s", name);
  return r;
}

void expect_audio_log(const SimMessage& message) {
  ASSERT_EQ(message.id, 3485);
  QvLogInfo log{};
  ASSERT_EQ(message.payload.size(), sizeof log);
  memcpy(&log, message.payload.data(), sizeof log);
  EXPECT_EQ(log.sub_type, 204);
  EXPECT_EQ(log.param_type, 925);
  EXPECT_EQ(log.chan_no, 0);
}

TEST(AudioFileList, ListsRecordsInUseWithDecodedNames) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(4012, 9012,
            CoreSim::bytes(record(0, 1, "YWxhcm0gMQ==")) +    // "alarm 1"
                CoreSim::bytes(record(1, 0, "dW51c2Vk")) +    // free slot
                CoreSim::bytes(record(2, 1, "not*base64")) +  // name left out
                CoreSim::bytes(record(3, 1, "w6lj")) +        // unpadded "éc"
                std::string(10, '\0'));                       // a partial record is ignored
  EXPECT_EQ(get(root, "/6320").out,
            kJsonHeader + R"({ "audioFileList": [ { "id": 0, "enable": 1, "name": "alarm 1" }, )"
                          R"({ "id": 2, "enable": 1 }, { "id": 3, "enable": 1, "name": "éc" } ], )"
                          R"("status": 0 })");
}

TEST(AudioFileList, NoRecordsOrNoReplyAnswersTheJsonError) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(4012, 9012, "");
  EXPECT_EQ(post_fast(root, "/6320", "").out, kJsonError);
  sim.never(4012);
  EXPECT_EQ(post_fast(root, "/6320", "").out, kJsonError);
}

TEST(AudioUpload, WavUploadIsRenamedToItsEncodedNameAlone) {
  DeviceRoot root;
  root.write_file("/tmp/other.wav", "another upload");
  EXPECT_EQ(upload(root, "C:\\sounds\\alarm.wav", "RIFF").out,
            kTextHeader + "CGI OK status:[0], data:[YWxhcm0ud2F2]");
  EXPECT_EQ(root.read_file("/tmp/YWxhcm0ud2F2"), "RIFF");
  EXPECT_FALSE(root.exists("/tmp/alarm.wav"));
  EXPECT_EQ(root.read_file("/tmp/other.wav"), "another upload");

  EXPECT_EQ(upload(root, "BELL.WAV", "RIFF2").out,
            kTextHeader + "CGI OK status:[0], data:[QkVMTC5XQVY=]");
  EXPECT_EQ(root.read_file("/tmp/QkVMTC5XQVY="), "RIFF2");

  // Shell characters in the name stay part of the one file name.
  EXPECT_EQ(upload(root, "it's $(x); a.wav", "RIFF3").out,
            kTextHeader + "CGI OK status:[0], data:[aXQncyAkKHgpOyBhLndhdg==]");
  EXPECT_EQ(root.read_file("/tmp/aXQncyAkKHgpOyBhLndhdg=="), "RIFF3");
  EXPECT_EQ(root.list("/tmp"), (std::vector<std::string>{"QkVMTC5XQVY=", "YWxhcm0ud2F2",
                                                         "aXQncyAkKHgpOyBhLndhdg==", "other.wav"}));
}

TEST(AudioUpload, OtherFilesAreRemovedAndRefused) {
  DeviceRoot root;
  EXPECT_EQ(upload(root, "alarm.mp3", "ID3").out, kTextHeader + "CGI ERROR status:[-1], data:[]");
  EXPECT_FALSE(root.exists("/tmp/alarm.mp3"));
  EXPECT_NE(root.read_file("/mnt/nand/cgi_log.txt")
                .find("dovrin upload_audio_file ret:[-1], pData:[" + root("/tmp/alarm.mp3") +
                      "], name:[]"),
            std::string::npos);

  // A name whose encoded form would pass 127 characters.
  EXPECT_EQ(upload(root, std::string(100, 'a') + ".wav", "RIFF").out,
            kTextHeader + "CGI ERROR status:[-1], data:[]");
  EXPECT_TRUE(root.list("/tmp").empty());
}

TEST(AudioAdd, RefusesUploadNamesOutsideTmpAndMovesNothing) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/mnt/nand/keep.wav", "keep");
  root.write_file("/tmp/sub/x.wav", "keep");
  for (const char* body :
       {R"({"uploadName":"../mnt/nand/keep.wav","name":"a"})",
        R"({"uploadName":"sub/x.wav","name":"a"})", R"({"uploadName":"..","name":"a"})",
        R"({"uploadName":"missing","name":"a"})", R"({"uploadName":"sub","name":"a"})",
        R"({"name":"a"})", "{oops"}) {
    EXPECT_EQ(post_fast(root, "/6322", body).out, kJsonError) << body;
  }
  EXPECT_EQ(root.read_file("/mnt/nand/keep.wav"), "keep");
  EXPECT_EQ(root.read_file("/tmp/sub/x.wav"), "keep");
  EXPECT_EQ(root.list("/tmp"), (std::vector<std::string>{"qvcore", "sub"}));
  EXPECT_TRUE(sim.messages().empty());
}

TEST(AudioFiles, UploadAddListRenameSelectDelete) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(upload(root, "siren.wav", "RIFFsiren").out,
            kTextHeader + "CGI OK status:[0], data:[c2lyZW4ud2F2]");

  // Handed to the recorder under its display name.
  EXPECT_EQ(post_json(root, "/6322", R"({"uploadName":"c2lyZW4ud2F2","name":"Siren"})").out,
            kJsonHeader + R"({ "status": 0 })");
  auto sent = sim.messages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].id, 4013);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
  std::string name = "U2lyZW4=";
  name.resize(kAudioNameSize, '\0');
  EXPECT_EQ(sent[0].payload, name);
  expect_audio_log(sent[1]);
  EXPECT_FALSE(root.exists("/tmp/c2lyZW4ud2F2"));
  EXPECT_FALSE(root.exists("/tmp/U2lyZW4="));  // taken over by the recorder

  EXPECT_EQ(get(root, "/6320").out,
            kJsonHeader + R"({ "audioFileList": [ { "id": 0, "enable": 1, "name": "Siren" } ], )"
                          R"("status": 0 })");

  sim.clear_messages();
  EXPECT_EQ(post_json(root, "/6324", R"({"id":0,"name":"Fire bell"})").out,
            kJsonHeader + R"({ "status": 0 })");
  sent = sim.messages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].id, 4015);
  AlarmAudioFile renamed{};
  ASSERT_EQ(sent[0].payload.size(), sizeof renamed);
  memcpy(&renamed, sent[0].payload.data(), sizeof renamed);
  EXPECT_EQ(renamed.id, 0);
  EXPECT_EQ(renamed.enable, 1);
  EXPECT_STREQ(renamed.name, "RmlyZSBiZWxs");
  expect_audio_log(sent[1]);
  EXPECT_NE(get(root, "/6320").out.find(R"("name": "Fire bell")"), std::string::npos);

  // A preview of a file: answered, not logged.
  sim.clear_messages();
  EXPECT_EQ(post_json(root, "/6325", R"({"id":0})").out, kJsonHeader + R"({ "status": 0 })");
  EXPECT_EQ(post_json(root, "/6325", R"({"id":4})").out, kJsonHeader + R"({ "status": -1 })");
  sent = sim.messages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].id, 4016);
  EXPECT_EQ(sent[0].payload, CoreSim::bytes<int32_t>(0));

  // Masks without any of files 0..9 are refused before the recorder is asked.
  sim.clear_messages();
  EXPECT_EQ(post_json(root, "/6323", R"({"idMask":1024})").out, kJsonError);
  EXPECT_EQ(post_json(root, "/6323", R"({"idMask":0})").out, kJsonError);
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_EQ(post_json(root, "/6323", R"({"idMask":1025})").out, kJsonHeader + R"({ "status": 0 })");
  sent = sim.messages();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].payload, CoreSim::bytes<int32_t>(1025));
  expect_audio_log(sent[1]);
  EXPECT_EQ(get(root, "/6320").out, kJsonHeader + R"({ "audioFileList": [ ], "status": 0 })");
}

TEST(AudioFiles, UnansweredChangesAreErrorsWithoutLog) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/tmp/up.wav", "RIFF");
  sim.never(4013).never(4014).never(4015).never(4016);
  EXPECT_EQ(post_fast(root, "/6322", R"({"uploadName":"up.wav","name":"x"})").out, kJsonError);
  EXPECT_EQ(post_fast(root, "/6323", R"({"idMask":1})").out, kJsonError);
  EXPECT_EQ(post_fast(root, "/6324", R"({"id":1,"name":"y"})").out, kJsonError);
  EXPECT_EQ(post_fast(root, "/6325", R"({"id":1})").out, kJsonError);
  for (const auto& m : sim.messages()) EXPECT_NE(m.id, 3485);
  for (const char* route : {"/6323", "/6324", "/6325"})
    EXPECT_EQ(post_fast(root, route, "nope").out, kJsonError) << route;
  EXPECT_EQ(post_fast(root, "/6324", R"({"id":1})").out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
