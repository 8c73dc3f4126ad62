// The factory option commands: language, decoding parameters, neutral
// branding, the chip information record and the software version, and the
// option table that names them.
#include "modules/system/factory_options.h"
#include "modules/system/system_module.h"

namespace factory_option {

namespace {

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
constexpr size_t kChipRecordLength = 32;

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

const ChipField* field_of(std::span<const ChipField> fields, char letter) {
  for (const ChipField& field : fields)
    if (field.letter == letter) return &field;
  return nullptr;
}

// The record in the text that follows "Read old:" (its line end may follow):
// its first 32 characters, or nothing when the text is shorter.
std::optional<std::string> chip_record_from_text(std::string_view text) {
  if (text.size() < kChipRecordLength) return std::nullopt;
  std::string record(text.substr(0, kChipRecordLength));
  if (!is_record_text(record)) return std::nullopt;
  return record;
}

// The record after a "chipupdate" value, or nothing when the value is refused
// ("NG chipupdate"). Values of 21 to 31 characters are first padded with '0'
// to 32. A field edit needs the old record; the "QVN" form does not.
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

// The record after a "modelupdate" value: the value, padded with '0' to its
// field's length, replaces the field. Nothing when refused ("NG modelupdate").
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

constexpr int kChipInfoBufferSize = 64;
// cgi_writeback_webserver writes the body alone for a kind other than text or JSON.
constexpr int kRespBodyOnly = -1;

bool g_answered = false;

// The language request's reply carries nothing the option needs.
void on_factory_ipc_callback(void*, const void*, const void*) {}

// The record from the chip tool's text after "Read old:", or nothing.
std::optional<std::string> read_chip_record() {
  char text[kChipInfoBufferSize] = {};
  if (get_chip_info(text, sizeof text) != 0) return std::nullopt;
  return chip_record_from_text(text);
}

// The tool's report is dropped: standard output is the response of the run.
bool write_chip_record(const std::string& record) {
  return web_system(nvr::ShellCommand("qvchip_update %s > /dev/null", {record})) == 0;
}

// Runs a device command that prepares neutral branding. A step that fails
// (a backup that is not there) does not stop the others.
void run_step(const nvr::ShellCommand& command) { web_system(command); }

void setlang(const HttpOption& option) {
  // A decimal number; one past int32 reads as the nearest bound.
  int32_t language = static_cast<int32_t>(
      std::clamp<long>(strtol(option.value, nullptr, 10), INT32_MIN, INT32_MAX));
  cgi_send_notice(on_factory_ipc_callback, kReqSetLanguage, &language, sizeof language);
  answer("OK");
}

void setdefault(const HttpOption&) {}

void decode(const HttpOption& option) {
  answer(set_param_value(nvr::qvdb_path(), "decode", option.value) == 0 ? "OK" : "ERROR");
}

void hotplug(const HttpOption& option) {
  answer(set_param_value(nvr::qvdb_path(), "hdmihotplug", option.value) == 0 ? "OK" : "ERROR");
}

void oemclean(const HttpOption&) {
  const std::string nand2 = nvr::dev_path(nvr::devpath::kNand2);
  const std::string app_bin = nvr::dev_path(nvr::devpath::kAppBin);
  const std::string web_root = nvr::dev_path(nvr::devpath::kWebRoot);
  const std::string nand_app = nvr::dev_path(nvr::devpath::kNandApp);
  // The neutral logo and GUI resources are kept as backups in /mnt/nand2; the
  // rest of /mnt/nand2 is OEM data.
  run_step(nvr::ShellCommand("cp %s/%s %s/logo.jpg > /dev/null", {nand2, "logo.jpg_bk", app_bin}));
  run_step(nvr::ShellCommand("cp %s/%s %s/gui.rcc > /dev/null", {nand2, "gui.rcc_bk", app_bin}));
  run_step(nvr::ShellCommand("rm %s/* > /dev/null", {nand2}));
  run_step(
      nvr::ShellCommand("tar -zxvf %s/%s -C %s/ > /dev/null", {web_root, "web.tar.gz", web_root}));
  // Markers that the recorder acts on at its next start.
  run_step(nvr::ShellCommand("touch %s/%s", {nand_app, "eraseip"}));
  run_step(nvr::ShellCommand("touch %s/%s", {nand_app, "eraseuser"}));
  const bool stored = set_param_int(nvr::qvdb_path(), "oem_type", 0) == 0;
  run_step(nvr::ShellCommand("touch %s/%s", {nand_app, "eraseall"}));
  run_step(nvr::ShellCommand("sync"));
  answer(stored ? "OK" : "ERROR");
}

void paratest(const HttpOption& option) {
  if (strcmp(option.value, "chipinfo") != 0) return answer("Param ERROR");
  char text[kChipInfoBufferSize] = {};
  if (get_chip_info(text, sizeof text) != 0) return answer("ERROR");
  // The line end that follows the 32-character record.
  text[kChipRecordLength] = '\r';
  answer(("OK chipinfo=" + std::string(text) + "\n").c_str());
}

void chipupdate(const HttpOption& option) {
  std::optional<std::string> record = chip_update_record(read_chip_record(), option.value);
  answer(record && write_chip_record(*record) ? "OK chipupdate" : "NG chipupdate");
}

void modelupdate(const HttpOption& option) {
  std::optional<std::string> record = model_update_record(read_chip_record(), option.value);
  answer(record && write_chip_record(*record) ? "OK modelupdate" : "NG modelupdate");
}

void softversion(const HttpOption&) {
  char version[64] = {};
  get_param_value(nvr::qvdb_path(), "software_version", version, sizeof version, "7x.7.0.9");
  answer(version);
}

// The option table; the links chain the rows into their buckets for one run.
HttpOptionEntry g_option_table[] = {
    {"setlang", setlang, nullptr},         {"setdefault", setdefault, nullptr},
    {"decode", decode, nullptr},           {"hotplug", hotplug, nullptr},
    {"oemclean", oemclean, nullptr},       {"paratest", paratest, nullptr},
    {"chipupdate", chipupdate, nullptr},   {"modelupdate", modelupdate, nullptr},
    {"softversion", softversion, nullptr},
};

}  // namespace

void answer(const char* text) {
  cgi_writeback_webserver(g_answered ? kRespBodyOnly : kRespText, text);
  g_answered = true;
}

std::span<HttpOptionEntry> option_table() { return g_option_table; }

}  // namespace factory_option
