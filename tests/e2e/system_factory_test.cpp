// Factory option route "/vb.htm" end to end: the option list, the parameter
// and language options, neutral branding and the chip information record.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kDefaultChip = "QVN816A00H20E0000001S00000000001";
const std::string kChipFile = "/var/lib/chip/record";

CgiResult vb(const DeviceRoot& root, const std::string& query) {
  CgiRequest request;
  request.path_info = "/vb.htm";
  request.query = query;
  request.env["NVR_TIME_SCALE"] = "0.001";
  return run_cgi(root, request);
}

std::string text(const std::string& body) { return kTextHeader + body; }

std::string param(const DeviceRoot& root, const char* key) {
  char value[64] = {};
  get_param_value(db_of(root).c_str(), key, value, sizeof value, "<none>");
  return value;
}

// ---- the option list ---------------------------------------------------------------

TEST(FactoryOptions, SoftwareVersionWithAndWithoutValue) {
  DeviceRoot root;
  EXPECT_EQ(vb(root, "softversion").out, text("7x.7.0.9"));
  EXPECT_EQ(vb(root, "softversion=1").out, text("7x.7.0.9"));
  EXPECT_EQ(add_param_value(db_of(root).c_str(), "software_version", "8.1.2.3"), 0);
  EXPECT_EQ(vb(root, "softversion").out, text("8.1.2.3"));
}

TEST(FactoryOptions, SeveralOptionsAnswerInOrderAfterOneHeader) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(vb(root, "setlang=2&softversion=1").out, text("OK7x.7.0.9"));
  auto sent = sim.messages(4000);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].payload, CoreSim::bytes<int32_t>(2));
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);

  // An unknown option answers "ERROR" and ends the list; those before it ran.
  EXPECT_EQ(vb(root, "decode=4&bogus=1&hotplug=0").out, text("OKERROR"));
  EXPECT_EQ(param(root, "decode"), "4");
  EXPECT_EQ(param(root, "hdmihotplug"), "<none>");
}

TEST(FactoryOptions, MalformedListsAndUnknownNames) {
  DeviceRoot root;
  // The second option starts past position 64: nothing runs.
  const std::string past64 = "decode=" + std::string(57, '1') + "&softversion=1";
  EXPECT_EQ(vb(root, past64).out, text("PARAM ERROR"));
  EXPECT_EQ(param(root, "decode"), "<none>");
  EXPECT_EQ(vb(root, "version").out, text("PARAM ERROR"));  // no '=', not a bare option
  // "debug" is a bare option name without a command.
  EXPECT_EQ(vb(root, "debug").out, text("ERROR"));
  EXPECT_EQ(vb(root, "").out, text("ERROR"));
  EXPECT_EQ(vb(root, "SOFTVERSION=1").out, text("ERROR"));
  // "setdefault" does nothing and says nothing.
  EXPECT_EQ(vb(root, "setdefault=1").out, "");
}

TEST(FactoryOptions, DecodeAndHotplugStoreTheirParameters) {
  DeviceRoot root;
  EXPECT_EQ(vb(root, "decode=3&hotplug=0").out, text("OKOK"));
  EXPECT_EQ(param(root, "decode"), "3");
  EXPECT_EQ(param(root, "hdmihotplug"), "0");
  EXPECT_EQ(vb(root, "decode=5&hotplug=1").out, text("OKOK"));
  EXPECT_EQ(param(root, "decode"), "5");
  EXPECT_EQ(param(root, "hdmihotplug"), "1");
}

// ---- neutral branding ----------------------------------------------------------------

TEST(FactoryOptions, OemcleanRestoresNeutralBrandingAndMarksErasure) {
  DeviceRoot root;
  root.write_file("/mnt/nand2/logo.jpg_bk", "neutral logo");
  root.write_file("/mnt/nand2/gui.rcc_bk", "neutral gui");
  root.write_file("/mnt/nand2/oem_logo.jpg", "vendor logo");
  root.write_file("/opt/app/bin/logo.jpg", "vendor logo");
  root.write_file("/pack/index.html", "neutral pages");
  std::string pack =
      "tar -czf '" + root("/opt/app/www/web.tar.gz") + "' -C '" + root("/pack") + "' index.html";
  ASSERT_EQ(system(pack.c_str()), 0);
  EXPECT_EQ(add_param_value(db_of(root).c_str(), "oem_type", "2"), 0);

  EXPECT_EQ(vb(root, "oemclean").out, text("OK"));
  EXPECT_EQ(root.read_file("/opt/app/bin/logo.jpg"), "neutral logo");
  EXPECT_EQ(root.read_file("/opt/app/bin/gui.rcc"), "neutral gui");
  EXPECT_TRUE(root.list("/mnt/nand2").empty());
  EXPECT_EQ(root.read_file("/opt/app/www/index.html"), "neutral pages");
  for (const char* marker : {"eraseip", "eraseuser", "eraseall"})
    EXPECT_TRUE(root.exists(std::string("/mnt/nand/app/") + marker)) << marker;
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "oem_type", -1), 0);

  // Without backups the steps that can run still do.
  DeviceRoot bare;
  EXPECT_EQ(vb(bare, "oemclean=1").out, text("OK"));
  EXPECT_TRUE(bare.exists("/mnt/nand/app/eraseall"));
}

// ---- chip information ----------------------------------------------------------------

TEST(FactoryOptions, ParatestReportsTheChipRecord) {
  DeviceRoot root;
  EXPECT_EQ(vb(root, "paratest=chipinfo").out, text("OK chipinfo=" + kDefaultChip + "\r\n"));
  EXPECT_EQ(vb(root, "paratest=1").out, text("Param ERROR"));
  EXPECT_FALSE(root.exists("/tmp/chipinfo.txt"));

  // A chip tool that prints no record.
  root.write_file("/fakebin/qvchip_update", "#!/bin/sh\necho 'no chip'\n");
  chmod(root("/fakebin/qvchip_update").c_str(), 0755);
  CgiRequest request;
  request.path_info = "/vb.htm";
  request.query = "paratest=chipinfo";
  request.env["PATH"] = root("/fakebin") + ":" + build_dir() + "/platform-bin:/usr/bin:/bin";
  EXPECT_EQ(run_cgi(root, request).out, text("ERROR"));
}

TEST(FactoryOptions, ChipupdateRewritesOneFieldOrTheWholeRecord) {
  DeviceRoot root;
  struct Step {
    std::string value;
    std::string answer;
    std::string record;
  };
  const Step steps[] = {
      {"N123456", "OK chipupdate", "QVN123456H20E0000001S00000000001"},
      {"H77", "OK chipupdate",
       "QVN12345677"
       "0E0000001S00000000001"},
      {"E7654321", "OK chipupdate",
       "QVN12345677"
       "07654321"
       "1S00000000001"},
      {"Sabcdefghijk", "OK chipupdate",
       "QVN12345677"
       "07654321"
       "1abcdefghijk1"},
      // 25 characters: padded with seven '0'.
      {"QVN1234567890123456789012", "OK chipupdate", "QVN12345678901234567890120000000"},
      {"X123456", "NG chipupdate", "QVN12345678901234567890120000000"},
      {"N12", "NG chipupdate", "QVN12345678901234567890120000000"},
      {"QVN123", "NG chipupdate", "QVN12345678901234567890120000000"},
      {std::string(33, 'Q'), "NG chipupdate", "QVN12345678901234567890120000000"},
      {"", "NG chipupdate", "QVN12345678901234567890120000000"},
      // Shell characters stay characters of the record.
      {"N;:>z;#", "OK chipupdate",
       "QVN;:>z;#"
       "78901234567890120000000"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.value);
    EXPECT_EQ(vb(root, "chipupdate=" + step.value).out, text(step.answer));
    EXPECT_EQ(root.read_file(kChipFile), step.record);
  }
}

TEST(FactoryOptions, ModelupdateWritesPaddedFieldsWithTheirLetter) {
  DeviceRoot root;
  struct Step {
    std::string value;
    std::string answer;
    std::string record;
  };
  const Step steps[] = {
      {"N816B", "OK modelupdate", "QVN816B00H20E0000001S00000000001"},
      {"H3", "OK modelupdate", "QVN816B00H30E0000001S00000000001"},
      {"E12", "OK modelupdate", "QVN816B00H30E1200000S00000000001"},
      {"S999", "OK modelupdate", "QVN816B00H30E1200000S99900000000"},
      {"S1234567890123", "NG modelupdate", "QVN816B00H30E1200000S99900000000"},
      {"Z1", "NG modelupdate", "QVN816B00H30E1200000S99900000000"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.value);
    EXPECT_EQ(vb(root, "modelupdate=" + step.value).out, text(step.answer));
    EXPECT_EQ(root.read_file(kChipFile), step.record);
  }
}

TEST(FactoryOptions, FieldEditsNeedARecordThatCouldBeRead) {
  DeviceRoot root;
  root.write_file("/fakebin/qvchip_update",
                  "#!/bin/sh\n[ \"$1\" = -r ] && exit 1\necho \"$1\" > \"$NVR_ROOT/written\"\n");
  chmod(root("/fakebin/qvchip_update").c_str(), 0755);
  CgiRequest request;
  request.path_info = "/vb.htm";
  request.env["PATH"] = root("/fakebin") + ":" + build_dir() + "/platform-bin:/usr/bin:/bin";
  request.query = "chipupdate=N123456";
  EXPECT_EQ(run_cgi(root, request).out, text("NG chipupdate"));
  request.query = "modelupdate=N1";
  EXPECT_EQ(run_cgi(root, request).out, text("NG modelupdate"));
  EXPECT_FALSE(root.exists("/written"));
  // A whole record does not depend on the old one.
  request.query = "chipupdate=QVN1234567890123456789012";
  EXPECT_EQ(run_cgi(root, request).out, text("OK chipupdate"));
  EXPECT_EQ(root.read_file("/written"), "QVN12345678901234567890120000000\n");
}

}  // namespace
}  // namespace nvr::test
