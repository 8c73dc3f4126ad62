#include "modules/system/factory_chip.h"

#include <algorithm>

namespace {

struct ChipField {
  char letter;
  size_t position;  // first record position written
  size_t length;    // characters written
};

// chipupdate: the characters after the letter go to the field.
constexpr ChipField kChipFields[] = {{'N', 3, 6}, {'H', 9, 2}, {'E', 12, 7}, {'S', 20, 11}};
// modelupdate: the padded value, letter included, is the field.
constexpr ChipField kModelFields[] = {{'N', 2, 7}, {'H', 9, 3}, {'E', 12, 8}, {'S', 20, 12}};

// The record is read back line by line, so only visible characters may enter it.
bool is_record_text(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c <= '~'; });
}

template <size_t N>
const ChipField* field_of(const ChipField (&fields)[N], char letter) {
  for (const ChipField& field : fields)
    if (field.letter == letter) return &field;
  return nullptr;
}

}  // namespace

std::optional<std::string> chip_record_from_text(std::string_view text) {
  if (text.size() < kChipRecordLength) return std::nullopt;
  std::string record(text.substr(0, kChipRecordLength));
  if (!is_record_text(record)) return std::nullopt;
  return record;
}

std::optional<std::string> chip_update_record(const std::optional<std::string>& record,
                                              std::string_view value) {
  std::string padded(value);
  if (padded.size() > 20 && padded.size() < kChipRecordLength)
    padded.resize(kChipRecordLength, '0');
  if (padded.empty() || padded.size() > kChipRecordLength || !is_record_text(padded))
    return std::nullopt;
  if (padded.starts_with("QVN")) {
    // A whole record only: a shorter one would cut the chip's record.
    if (padded.size() != kChipRecordLength) return std::nullopt;
    return padded;
  }
  const ChipField* field = field_of(kChipFields, padded[0]);
  // A value must carry the whole field, and there must be a record to edit.
  if (field == nullptr || padded.size() < 1 + field->length || !record) return std::nullopt;
  std::string updated = *record;
  updated.replace(field->position, field->length, padded, 1, field->length);
  return updated;
}

std::optional<std::string> model_update_record(const std::optional<std::string>& record,
                                               std::string_view value) {
  if (value.empty() || !is_record_text(value)) return std::nullopt;
  const ChipField* field = field_of(kModelFields, value[0]);
  if (field == nullptr || value.size() > field->length || !record) return std::nullopt;
  std::string padded(value);
  padded.resize(field->length, '0');
  std::string updated = *record;
  updated.replace(field->position, field->length, padded);
  return updated;
}
