// Account notices: the PoE-camera password (3265) is applied to every PoE
// camera at once, which the simulator reports as done (status 0). The reload
// notices 3505 and 3267 need no reply.
#include <cstdint>

#include "modules/system/system_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

void on_poe_camera_password(const sim::Message&, sim::Peer& peer) {
  const int32_t status = 0;
  peer.reply(kReplyPoePassword, &status, sizeof status);
}

const sim::HandlerReg reg_3265(kReqPoePassword, on_poe_camera_password);

}  // namespace
