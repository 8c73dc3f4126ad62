// Route table of the status module ("/8000"): device status queries and the
// packet capture.
#include "frame/dispatchreq.h"
#include "modules/status/status.h"

namespace {

// The order of these rows is the table's order.
constexpr Route kStatusRoutes[] = {
    {"/8000", on_get_network_status},  {"/8001", on_get_network_speed},
    {"/8002", on_get_camera_status},   {"/8003", on_get_event_status},
    {"/8004", on_status_nothing},      {"/8005", on_start_packet_capture},
    {"/8006", on_stop_packet_capture}, {"/8007", on_download_packet_capture},
    {"/8008", on_get_usage_totals},    {"/8009", on_get_channel_support},
    {"/8010", on_get_disk_groups},     {"/8011", on_cgi_get_online_user_status},
};

}  // namespace

std::span<const Route> status_route_table() { return kStatusRoutes; }
