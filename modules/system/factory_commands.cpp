// The factory option commands: language, decoding parameters, neutral
// branding, the chip information record and the software version.
#include "modules/system/factory_commands.h"

#include <cstdlib>

#include "frame/toolkit.h"
#include "modules/system/factory_chip.h"
#include "modules/system/system_wire.h"

namespace factory_option {

namespace {

constexpr int kChipInfoBufferSize = 64;
// cgi_writeback_webserver writes the body alone for a kind other than text or JSON.
constexpr int kRespBodyOnly = -1;

bool g_answered = false;

// The language request's reply carries nothing the option needs.
void on_factory_ipc_callback(void*, const void*, const void*) {}

int32_t decimal_value(const char* text) {
  long value = strtol(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

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

}  // namespace

void answer(const char* text) {
  cgi_writeback_webserver(g_answered ? kRespBodyOnly : kRespText, text);
  g_answered = true;
}

void setlang(const HttpOption& option) {
  int32_t language = decimal_value(option.value);
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
  if (strcmp(option.value, "chipinfo") != 0) {
    answer("Param ERROR");
    return;
  }
  char text[kChipInfoBufferSize] = {};
  if (get_chip_info(text, sizeof text) != 0) {
    answer("ERROR");
    return;
  }
  // The line end that follows the 32-character record.
  text[kChipRecordLength] = '\r';
  char reply[kChipInfoBufferSize + 32];
  snprintf(reply, sizeof reply, "OK chipinfo=%s\n", text);
  answer(reply);
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

}  // namespace factory_option
