// Recorder behaviour for the factory options.
#include <cstdint>
#include <cstring>
#include <fstream>

#include "modules/system/system_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

// 4000: the language of the local display, a number; kept for the next start.
void on_set_language(const sim::Message& request, sim::Peer&) {
  int32_t language = 0;
  if (request.payload.size() != sizeof language) return;
  memcpy(&language, request.payload.data(), sizeof language);
  std::ofstream(sim::state_path("language"), std::ios::trunc) << language << '\n';
}

sim::HandlerReg reg_4000(kReqSetLanguage, on_set_language);

}  // namespace
