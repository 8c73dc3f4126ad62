// The modules' route tables in the fixed order of the recorder (storage,
// status, video, cameras, record, network, playback, PTZ, system, general
// settings, alarm): the registrar and the route catalogue read this one list.
#include "frame/dispatchreq.h"

std::array<std::span<const Route>, kModuleCount> module_route_tables() {
  return {
      storage_route_table(), status_route_table(),  video_route_table(),    cameras_route_table(),
      record_route_table(),  network_route_table(), playback_route_table(), ptz_route_table(),
      system_route_table(),  general_route_table(), alarm_route_table(),
  };
}
