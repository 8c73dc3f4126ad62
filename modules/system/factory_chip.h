// The chip information record: 32 characters that the platform's chip tool
// reads ("qvchip_update -r 32" prints "Read old:<record>") and rewrites
// ("qvchip_update <record>"). The factory options edit one field of it at a
// time, in two forms.
//
//  POSITION  chipupdate value        modelupdate value (letter included)
//   0..2     "QVN..." replaces all   -
//   2..8     -                       'N' + up to 6 characters
//   3..8     'N' + 6 characters      -
//   9..10    'H' + 2 characters      -
//   9..11    -                       'H' + up to 2 characters
//  12..18    'E' + 7 characters      -
//  12..19    -                       'E' + up to 7 characters
//  20..30    'S' + 11 characters     -
//  20..31    -                       'S' + up to 11 characters
#pragma once

#include <optional>
#include <string>
#include <string_view>

constexpr size_t kChipRecordLength = 32;

// The record in the text that follows "Read old:" (its line end may follow):
// its first 32 characters, or nothing when the text is shorter.
std::optional<std::string> chip_record_from_text(std::string_view text);

// The record after a "chipupdate" value, or nothing when the value is refused
// ("NG chipupdate"). Values of 21 to 31 characters are first padded with '0'
// to 32. A field edit needs the old record; the "QVN" form does not.
std::optional<std::string> chip_update_record(const std::optional<std::string>& record,
                                              std::string_view value);

// The record after a "modelupdate" value: the value, padded with '0' to its
// field's length, replaces the field. Nothing when refused ("NG modelupdate").
std::optional<std::string> model_update_record(const std::optional<std::string>& record,
                                               std::string_view value);
