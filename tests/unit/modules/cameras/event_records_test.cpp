// The camera event records: every descriptor field lies inside its record
// without overlapping another, texts keep their bounds through JSON, and the
// face configuration layout takes its keys in record order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/json.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"

namespace {

TEST(CameraEventRecords, FieldsStayInsideTheirRecordAndDoNotOverlap) {
  for (const DbRecord* record : {&kPeoplecntSettingRecord, &kPosSettingRecord, &kReportBackupRecord,
                                 &kPeoplecntEventRecord, &kActionEventRecord, &kFaceConfigLayout}) {
    SCOPED_TRACE(record->table);
    std::vector<int> owner(record->size, -1);
    for (size_t f = 0; f < record->fields.size(); ++f) {
      const DbField& field = record->fields[f];
      ASSERT_LE(field.offset + field.size, record->size) << field.column;
      for (uint32_t b = field.offset; b < field.offset + field.size; ++b) {
        EXPECT_EQ(owner[b], -1) << field.column << " overlaps";
        owner[b] = static_cast<int>(f);
      }
    }
  }
}

TEST(CameraEventRecords, FaceLayoutTakesItsKeysInRecordOrder) {
  // Each field's offset grows with its place in the key list.
  uint32_t last = 0;
  for (const DbField& field : kFaceConfigLayout.fields) {
    EXPECT_GE(field.offset, last) << field.column;
    last = field.offset;
  }
  nvr::Json request = nvr::json_parse(
      R"({"chnId":2,"detection_polygonX":[9,8,7,6,5,4,3,2,1,0,1,2,3,4,5,6,7,8,9,10,11,12],)"
      R"("httpUser":"viewer","captureModeArray":[3],"captureQuality":4})");
  FaceConfig config{};
  db_record_from_json(kFaceConfigLayout, request.get(), &config);
  EXPECT_EQ(config.chnId, 2);
  EXPECT_EQ(config.detection_polygonX[0], 9);
  EXPECT_EQ(config.detection_polygonX[19], 10);  // no more than 20 points
  EXPECT_EQ(config.detection_polygonY[0], 0);
  EXPECT_STREQ(config.httpUser, "viewer");
  EXPECT_EQ(config.captureModeArray[0], 3);
  EXPECT_EQ(config.captureQuality, 4);
}

TEST(CameraEventRecords, TextsAreCutToTheirFields) {
  const std::string long_text(200, 'x');
  nvr::Json request = nvr::json_parse("{\"name\":\"" + long_text + "\",\"liveview_green_tips\":\"" +
                                      long_text + "\",\"tri_channels\":\"" + long_text + "\"}");
  PeoplecntSetting group{};
  memset(group.reserved, 0x5a, sizeof group.reserved);
  db_record_from_json(kPeoplecntSettingRecord, request.get(), &group);
  EXPECT_EQ(strlen(group.name), 63u);
  EXPECT_EQ(strlen(group.tri_channels), 64u);
  EXPECT_EQ(strlen(group.liveview_green_tips), 127u);
  EXPECT_EQ(group.reserved[0], 0x5a);  // the red tips did not run over
}

}  // namespace
