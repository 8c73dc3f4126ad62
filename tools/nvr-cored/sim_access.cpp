// Recorder behaviour for the access filter and UPnP requests.
#include <cstring>
#include <string>

#include "modules/system/access_records.h"
#include "platform/device_path.h"
#include "tools/nvr-cored/sim.h"

namespace {

// 1722 (the filter settings changed) needs no handler: the recorder reloads
// them from the configuration database when a client connects.

// 3720: the recorder keeps the UPnP record and maps the ports. There is no
// router here: a mapping that is switched on counts as made (state 1).
void on_set_upnp(const sim::Message& request, sim::Peer&) {
  if (request.payload.size() != sizeof(UpnpInfo)) return;
  UpnpInfo upnp{};
  memcpy(&upnp, request.payload.data(), sizeof upnp);
  const int32_t state = upnp.enable != 0 ? 1 : 0;
  upnp.http_status = upnp.external_http_port > 0 ? state : 0;
  upnp.rtsp_status = upnp.external_rtsp_port > 0 ? state : 0;
  const std::string db = sim::dev_path(nvr::devpath::kQvdb);
  if (write_upnp(db.c_str(), &upnp) != 0) fprintf(stderr, "nvr-cored: upnp record not stored\n");
}

sim::HandlerReg reg_3720(kReqSetUpnp, on_set_upnp);

}  // namespace
