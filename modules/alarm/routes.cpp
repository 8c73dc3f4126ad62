// Route table of the alarm module ("/6020"): recorder alarm outputs and
// inputs, camera alarm inputs and outputs, name lists.
#include "frame/dispatchreq.h"
#include "modules/alarm/alarm_handlers.h"

namespace {

// The order of these rows is the table's order.
constexpr Route kAlarmRoutes[] = {
    {"/6020", on_get_alarm_outs},
    {"/6021", on_get_alarm_out},
    {"/6022", on_set_alarm_out},
    {"/6060", on_get_alarm_ins},
    {"/6061", on_get_alarm_in},
    {"/6062", on_set_alarm_in},
    {"/6063", on_set_alarm_in_basic},
    {"/6064", on_set_alarm_in_info},
    {"/6023", on_set_alarm_in_enable},
    {"/6032", on_get_all_alarmout_names},
    {"/6024", on_get_camera_alarm_input},
    {"/6025", on_set_camera_alarm_input},
    {"/6026", on_get_nvr_alarm_input},
    {"/6027", on_set_nvr_alarm_input},
    {"/6028", on_get_camera_alarm_output},
    {"/6029", on_set_camera_alarm_output},
    {"/6033", on_set_camera_alarm_output_state},
    {"/6034", on_get_all_alarmin_names},
};
static_assert(std::size(kAlarmRoutes) == 18);

}  // namespace

std::span<const Route> alarm_route_table() { return kAlarmRoutes; }
