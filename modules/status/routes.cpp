// Route table of the status module ("/8000"): device status queries and the
// packet capture.
#include "frame/dispatchreq.h"
#include "modules/status/status.h"

namespace {

// The order of these rows is the table's order.
constexpr Route kStatusRoutes[] = {
    NVR_ROUTE("/8000", on_get_network_status,
              "Lists the network interfaces with their addresses and link state"),
    NVR_ROUTE("/8001", on_get_network_speed, "Answers the traffic of every network interface"),
    NVR_ROUTE("/8002", on_get_camera_status,
              "Answers the state of every camera channel and its streams"),
    NVR_ROUTE("/8003", on_get_event_status,
              "Answers the event, alarm and counting state of every channel and alarm port"),
    NVR_ROUTE("/8004", on_status_nothing, "Does nothing and answers nothing"),
    NVR_ROUTE("/8005", on_start_packet_capture,
              "Starts a packet capture and answers its folder and file name"),
    NVR_ROUTE("/8006", on_stop_packet_capture, "Stops every packet capture"),
    NVR_ROUTE("/8007", on_download_packet_capture,
              "Sends the packet capture files as one tar archive"),
    NVR_ROUTE("/8008", on_get_usage_totals, "Answers the total, free and used storage"),
    NVR_ROUTE("/8009", on_get_channel_support, "Answers each channel's support and type flags"),
    NVR_ROUTE("/8010", on_get_disk_groups, "Answers which disk group each channel records to"),
    NVR_ROUTE("/8011", on_cgi_get_online_user_status, "Lists the users logged in"),
};

}  // namespace

std::span<const Route> status_route_table() { return kStatusRoutes; }
