// The modules' route tables, registered before main() in the fixed order of
// the recorder (storage, status, video, cameras, record, network, playback,
// PTZ, system, general settings, alarm). One registrar keeps the order
// certain; modules not built into this program yet are absent from the list.
#include <array>

#include "frame/dispatchreq.h"

namespace {

std::array<std::span<const Route>, 11> module_tables() {
  return {
      storage_route_table(), status_route_table(),  video_route_table(),    cameras_route_table(),
      record_route_table(),  network_route_table(), playback_route_table(), ptz_route_table(),
      system_route_table(),  general_route_table(), alarm_route_table(),
  };
}

struct ModuleRegistrar {
  ModuleRegistrar() {
    for (auto table : module_tables())
      RouteRegister(table.data(), static_cast<int32_t>(table.size()));
  }
  ~ModuleRegistrar() {
    for (auto table : module_tables())
      RouteUnregister(table.data(), static_cast<int32_t>(table.size()));
  }
};

const ModuleRegistrar registrar;

}  // namespace
