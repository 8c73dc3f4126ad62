// Route table of the alarm module ("/6020"): recorder alarm outputs and
// inputs, camera alarm inputs and outputs, name lists.
#include "frame/dispatchreq.h"
#include "modules/alarm/alarm_handlers.h"

namespace {

// The order of these rows is the table's order.
constexpr Route kAlarmRoutes[] = {
    NVR_ROUTE("/6020", on_get_alarm_outs, "Lists the recorder's alarm outputs"),
    NVR_ROUTE("/6021", on_get_alarm_out, "Answers one alarm output with its schedule"),
    NVR_ROUTE("/6022", on_set_alarm_out,
              "Stores one alarm output and its schedule, with copies to other outputs"),
    NVR_ROUTE("/6060", on_get_alarm_ins, "Lists the recorder's alarm inputs"),
    NVR_ROUTE("/6061", on_get_alarm_in, "Answers one alarm input with its basic schedule"),
    NVR_ROUTE("/6062", on_set_alarm_in, "Stores one alarm input and its basic schedule"),
    NVR_ROUTE("/6063", on_set_alarm_in_basic, "Stores an alarm input's name, type and enable flag"),
    NVR_ROUTE("/6064", on_set_alarm_in_info, "Stores an alarm input without its schedule"),
    NVR_ROUTE("/6023", on_set_alarm_in_enable,
              "Tells the recorder whether an alarm input is enabled"),
    NVR_ROUTE("/6032", on_get_all_alarmout_names, "Lists the names of all alarm outputs"),
    NVR_ROUTE("/6024", on_get_camera_alarm_input,
              "Answers a camera's alarm inputs with their actions"),
    NVR_ROUTE("/6025", on_set_camera_alarm_input,
              "Stores a camera's alarm inputs and their actions"),
    NVR_ROUTE("/6026", on_get_nvr_alarm_input, "Answers a recorder alarm input with its actions"),
    NVR_ROUTE("/6027", on_set_nvr_alarm_input, "Stores a recorder alarm input and its actions"),
    NVR_ROUTE("/6028", on_get_camera_alarm_output, "Answers a camera's alarm outputs"),
    NVR_ROUTE("/6029", on_set_camera_alarm_output, "Stores a camera's alarm outputs"),
    NVR_ROUTE("/6033", on_set_camera_alarm_output_state,
              "Switches a camera's alarm output on or off"),
    NVR_ROUTE("/6034", on_get_all_alarmin_names, "Lists the names of all alarm inputs"),
};
static_assert(std::size(kAlarmRoutes) == 18);

}  // namespace

std::span<const Route> alarm_route_table() { return kAlarmRoutes; }
