// Answer tables, record lists and the small shapes the frame took over from
// the modules.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "frame/toolkit.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

#pragma pack(push, 1)
struct Reply {
  int32_t id;
  uint8_t flag;
  int64_t big;
  uint64_t mask;
  char name[8];  // may fill the field without a NUL
  int16_t level;
};
#pragma pack(pop)

constexpr DbField kReplyFields[] = {
    DB_FIELD(Reply, id, "id", DbType::I32),
    DB_FIELD_J(Reply, name, "name", DbType::Text, "label"),
};
constexpr DbRecord kReplyRecord{"reply", "id", sizeof(Reply), kReplyFields};

nvr::Json twice_id(const void* record) {
  return nvr::json_new_int(2 * static_cast<const Reply*>(record)->id);
}
nvr::Json two_keys(const void*) {
  nvr::Json keys = nvr::json_new_object();
  nvr::json_add_int(keys.get(), "x", 1);
  nvr::json_add_string(keys.get(), "y", "z");
  return keys;
}

constexpr nvr::AnswerRow kInner[] = {NVR_ANSWER_FIELD(Reply, level, "level")};
constexpr nvr::AnswerRow kEveryKind[] = {
    nvr::answer_fixed_text("host", ""),      NVR_ANSWER_FIELD(Reply, id, "id"),
    NVR_ANSWER_FIELD(Reply, flag, "flag"),   NVR_ANSWER_FIELD(Reply, big, "big"),
    NVR_ANSWER_FIELD(Reply, mask, "mask"),   NVR_ANSWER_FIELD(Reply, name, "name"),
    nvr::answer_fixed_int("fixed", -7),      nvr::answer_object("inner", kInner),
    nvr::answer_computed("twice", twice_id), nvr::answer_computed(nullptr, two_keys),
    nvr::answer_record(kReplyRecord),
};

Reply sample() {
  Reply r{};
  r.id = 21;
  r.flag = 200;
  r.big = int64_t{1} << 40;
  r.mask = UINT64_MAX;
  std::memcpy(r.name, "ABCDEFGH", 8);
  r.level = -3;
  return r;
}

TEST(AnswerTable, WritesEveryKindOfRowInRowOrder) {
  const Reply r = sample();
  nvr::Json answer = nvr::build_answer(kEveryKind, &r);
  EXPECT_STREQ(nvr::json_text(answer),
               "{ \"host\": \"\", \"id\": 21, \"flag\": 200, \"big\": 1099511627776, "
               "\"mask\": 18446744073709551615, \"name\": \"ABCDEFGH\", \"fixed\": -7, "
               "\"inner\": { \"level\": -3 }, \"twice\": 42, \"x\": 1, \"y\": \"z\", "
               "\"label\": \"ABCDEFGH\" }");
}

TEST(AnswerTable, MemberTypesBecomeTheirDescriptorTypes) {
  static_assert(nvr::answer_type_of<char[4]>() == DbType::Text);
  static_assert(nvr::answer_type_of<int8_t>() == DbType::I8);
  static_assert(nvr::answer_type_of<uint8_t>() == DbType::U8);
  static_assert(nvr::answer_type_of<int16_t>() == DbType::I16);
  static_assert(nvr::answer_type_of<uint16_t>() == DbType::U16);
  static_assert(nvr::answer_type_of<int32_t>() == DbType::I32);
  static_assert(nvr::answer_type_of<uint32_t>() == DbType::U32);
  static_assert(nvr::answer_type_of<int64_t>() == DbType::I64);
  static_assert(nvr::answer_type_of<uint64_t>() == DbType::U64);
  static_assert(nvr::answer_type_of<double>() == DbType::F64);
  // Field rows read only the record's bytes: a zeroed record gives zeros.
  const Reply zero{};
  nvr::Json answer = nvr::build_answer(kInner, &zero);
  EXPECT_STREQ(nvr::json_text(answer), "{ \"level\": 0 }");
}

constexpr nvr::AnswerRow kParams[] = {
    nvr::answer_param_int("count", "answer_count", 5),
    nvr::answer_param_text("label", "answer_label", 6, "none"),
    nvr::answer_param_number("small", "answer_small", "255"),
};

TEST(AnswerTable, ParametersWithTheirDefaultsBoundsAndNumbers) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  EXPECT_STREQ(nvr::json_text(nvr::build_answer(kParams)),
               "{ \"count\": 5, \"label\": \"none\", \"small\": 255 }");
  const char* db = nvr::qvdb_path();
  ASSERT_EQ(set_param_int(db, "answer_count", 12), 0);
  ASSERT_EQ(set_param_value(db, "answer_label", "longer than five"), 0);
  ASSERT_EQ(set_param_value(db, "answer_small", "12345678"), 0);
  // A text is cut to its bound less one; a number text is read from its
  // first seven characters.
  EXPECT_STREQ(nvr::json_text(nvr::build_answer(kParams)),
               "{ \"count\": 12, \"label\": \"longe\", \"small\": 1234567 }");
  ASSERT_EQ(set_param_value(db, "answer_small", "x"), 0);
  EXPECT_STREQ(nvr::json_text(nvr::build_answer(kParams)),
               "{ \"count\": 12, \"label\": \"longe\", \"small\": 0 }");
}

TEST(AnswerTable, StoredRecordAnswerReadsOverAZeroedRecord) {
  if (!qvdb_test::fresh_qvdb()) return;
  // Nothing stored: the descriptor's keys with zero values.
  testing::internal::CaptureStdout();
  cgi_answer_reset();
  nvr::write_stored_record(kReplyRecord, 3);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("{ \"id\": 0, \"label\": \"\" }"), std::string::npos) << out;
  Reply r = sample();
  r.id = 3;
  ASSERT_EQ(db_write(nvr::qvdb_path(), kReplyRecord, &r), 0);
  testing::internal::CaptureStdout();
  cgi_answer_reset();
  nvr::write_stored_record(kReplyRecord, 3);
  out = testing::internal::GetCapturedStdout();
  // Stored texts keep at most size - 1 characters.
  EXPECT_NE(out.find("{ \"id\": 3, \"label\": \"ABCDEFG\" }"), std::string::npos) << out;
}

TEST(RecordList, BothWaysAndBounded) {
  Reply list[3] = {sample(), sample(), sample()};
  list[1].id = 22;
  EXPECT_STREQ(
      nvr::json_text(nvr::record_list_json(kReplyRecord, list, 2)),
      "[ { \"id\": 21, \"label\": \"ABCDEFGH\" }, { \"id\": 22, \"label\": \"ABCDEFGH\" } ]");
  EXPECT_STREQ(nvr::json_text(nvr::record_list_json(kReplyRecord, list, 0)), "[ ]");

  nvr::Json array = nvr::json_parse(R"([{"id": 1}, {"label": "q"}, {"id": 3}])");
  Reply read[3] = {};
  read[2].id = 99;
  nvr::record_list_from_json(kReplyRecord, array.get(), read, 2);  // the third is not reached
  EXPECT_EQ(+read[0].id, 1);
  EXPECT_STREQ(read[1].name, "q");
  EXPECT_EQ(+read[2].id, 99);
  // Not an array, or no room: nothing changes.
  nvr::Json object = nvr::json_parse(R"({"id": 5})");
  nvr::record_list_from_json(kReplyRecord, object.get(), read, 3);
  nvr::record_list_from_json(kReplyRecord, array.get(), read, -1);
  EXPECT_EQ(+read[0].id, 1);
}

TEST(FieldJson, PartsOfARecordAndMergedKeys) {
  const Reply r = sample();
  nvr::Json part = nvr::fields_to_json(kReplyFields, &r, sizeof r);
  EXPECT_STREQ(nvr::json_text(part), "{ \"id\": 21, \"label\": \"ABCDEFGH\" }");
  Reply back{};
  nvr::Json request = nvr::json_parse(R"({"id": 4, "label": "abc", "other": 1})");
  nvr::fields_from_json(kReplyFields, request.get(), &back, sizeof back);
  EXPECT_EQ(+back.id, 4);
  EXPECT_STREQ(back.name, "abc");

  nvr::Json into = nvr::json_new_object();
  nvr::json_add_int(into.get(), "first", 0);
  nvr::merge_json_keys(into.get(), part);
  nvr::merge_json_keys(into.get(), nvr::Json());  // nothing to merge
  nvr::merge_json_keys(into.get(), nvr::json_new_int(3));
  EXPECT_STREQ(nvr::json_text(into), "{ \"first\": 0, \"id\": 21, \"label\": \"ABCDEFGH\" }");
}

TEST(Decimal, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(nvr::parse_decimal("\t42\n"), 42);
  EXPECT_EQ(nvr::parse_decimal("-9223372036854775808"), INT64_MIN);
  for (const char* bad : {"", "+", "4 2", "9223372036854775808", "42abc"})
    EXPECT_FALSE(nvr::parse_decimal(bad).has_value()) << bad;
}

}  // namespace
