// System information and display: the recorder describes itself (3400) and
// takes the display, audio and host settings the pages change. The model is a
// 32-channel recorder with four disk bays, two HDMI/VGA outputs and two
// network ports; counts set in the configuration database take precedence.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/web_utils.h"
#include "modules/system/sysinfo_records.h"
#include "modules/system/system_wire.h"
#include "platform/qvdb.h"
#include "tools/nvr-cored/sim.h"

namespace {

std::string db_path() { return sim::dev_path("/mnt/nand/app/qvdb.db"); }

std::string param_text(const char* key, const char* default_value) {
  char text[64] = "";
  get_param_value(db_path().c_str(), key, text, sizeof text, default_value);
  return text;
}

void copy_text(char* field, size_t size, const std::string& text) {
  snprintf(field, size, "%s", text.c_str());
}

void on_system_info(const sim::Message&, sim::Peer& peer) {
  const std::string db = db_path();
  DeviceInfo info{};
  info.device_id = atoi(param_text("deviceid", "255").c_str());
  info.max_cameras = get_param_int(db.c_str(), "max_cameras", 32);
  info.max_sensors = get_param_int(db.c_str(), "alarm_in", 16);
  info.max_alarms = get_param_int(db.c_str(), "alarm_out", 4);
  info.max_audio_out = 1;
  info.display_count = 2;
  info.rs485_count = 1;
  info.network_ports = 2;
  info.oem_version = get_param_int(db.c_str(), "oem_type", 0);
  info.ddns = 1;
  std::string model = param_text("model", "");
  if (model.empty()) model = "VR-3232-4S";
  copy_text(info.serial, sizeof info.serial, "VR32324S20240611000173");
  copy_text(info.prefix, sizeof info.prefix, "VR");
  copy_text(info.model, sizeof info.model, model);
  copy_text(info.software, sizeof info.software, param_text("software_version", "7x.7.0.9"));
  copy_text(info.hardware, sizeof info.hardware, param_text("hardware_version", "V1.1"));
  char eth0[18] = "";
  get_mac_addr(eth0, nullptr);
  copy_text(info.mac, sizeof info.mac, eth0);
  info.talk_support = 1;
  peer.reply(kReplySystemInfo, &info, sizeof info);
}

// The recorder switches the sub output and keeps the new state.
void on_sub_output(const sim::Message& request, sim::Peer&) {
  int32_t enable = 0;
  if (request.payload.size() != sizeof enable) return;
  memcpy(&enable, request.payload.data(), sizeof enable);
  const std::string db = db_path();
  DisplayInfo display{};
  read_display(db.c_str(), &display);
  display.sub_enable = enable != 0 ? 1 : 0;
  if (write_display(db.c_str(), &display) != 0)
    fprintf(stderr, "nvr-cored: display record not stored\n");
}

const sim::HandlerReg reg_3400(kReqSystemInfo, on_system_info);
const sim::HandlerReg reg_1023(kReqSubOutput, on_sub_output);
// The other notices of these pages (1001 and 1015 output resolution, 1002
// audio, 1705 device id, 1702 changed settings, 1703 restart) take effect on
// hardware and services the simulator does not have; the settings themselves
// are already stored, so they need no behaviour here.

}  // namespace
