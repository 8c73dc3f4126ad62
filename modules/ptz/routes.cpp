// Route table of the PTZ module ("/5000"), in the order of its routes.
#include "frame/dispatchreq.h"
#include "modules/ptz/ptz_handlers.h"

namespace {

constexpr Route kPtzRoutes[] = {
    NVR_ROUTE("/5000", on_send_ptz_cmd, "Moves a PTZ camera (pan, tilt, zoom, focus) or stops it"),
    NVR_ROUTE("/5001", on_preset_op, "Saves, calls or deletes a PTZ preset"),
    NVR_ROUTE("/6050", on_get_ptzport_info, "Answers a channel's PTZ serial port settings"),
    NVR_ROUTE("/6051", on_set_ptzport_info,
              "Stores the PTZ serial port settings of one or more channels"),
    NVR_ROUTE("/6052", on_get_ptzsupport_info, "Answers whether a camera supports PTZ"),
    NVR_ROUTE("/6053", on_get_ptz_speed, "Answers a camera's PTZ speeds"),
    NVR_ROUTE("/6054", on_set_ptz_speed, "Stores a camera's PTZ speeds"),
    NVR_ROUTE("/6056", on_set_fish_ptz_tour_set, "Stores a fisheye camera's PTZ tour path"),
    NVR_ROUTE("/6055", on_set_ptz_tour_set, "Stores a PTZ tour path of presets"),
    NVR_ROUTE("/6057", on_set_ptz_tour_clear, "Clears a PTZ tour"),
    NVR_ROUTE("/5002", on_set_ptz_tour_run, "Starts a PTZ tour"),
    NVR_ROUTE("/5003", on_set_ptz_tour_stop, "Stops a PTZ tour"),
    NVR_ROUTE("/5004", on_set_ptz_pattern, "Records, stops, runs or clears a PTZ pattern"),
    NVR_ROUTE("/5005", on_get_ptz_info,
              "Answers a camera's PTZ state: presets, tours and patterns"),
    NVR_ROUTE("/5006", on_set_ptz_preset_call, "Calls a PTZ preset or the home position"),
    NVR_ROUTE("/5007", on_set_ptz_zomm, "Zooms a camera to a position at a speed"),
    NVR_ROUTE("/5008", on_set_ipc_speed, "Sets a camera's PTZ speed through the camera"),
    NVR_ROUTE("/5009", on_cgi_set_ptz_control,
              "Sends a PTZ command to the camera and answers its result"),
    NVR_ROUTE("/5010", on_cgi_get_led_status, "Answers the state of a camera's light"),
    NVR_ROUTE("/5011", on_cgi_get_ptz_basic, "Answers a camera's basic PTZ settings"),
    NVR_ROUTE("/5012", on_cgi_set_ptz_basic, "Stores a camera's basic PTZ settings"),
};

}  // namespace

std::span<const Route> ptz_route_table() { return kPtzRoutes; }
