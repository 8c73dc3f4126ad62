// Route table of the video-and-events module ("/6000"), in the order of its
// families: motion and its actions, video loss and alarm-input actions (the
// smart events, licence plates and snapshots follow as further families, each
// one more include in its place), then the on-screen display, privacy masks,
// exceptions and camera-side alarms.
#include "frame/dispatchreq.h"
#include "modules/video/video_handlers.h"

namespace {

// The order of these rows is the table's order.
// clang-format off
constexpr Route kVideoRoutes[] = {
#include "modules/video/routes_motion.inc"
#include "modules/video/routes_videoloss.inc"
#include "modules/video/routes_vca.inc"
#include "modules/video/routes_anpr.inc"
#include "modules/video/routes_snapshot.inc"
#include "modules/video/routes_osd.inc"
};
// clang-format on

}  // namespace

std::span<const Route> video_route_table() { return kVideoRoutes; }
