// Route table of the camera module ("/2001"), in the order of its routes:
// channels, streams and image, camera-side functions, discovery, image
// periods and schedules. Pass-through routes are rows of the pass-through
// table (passthrough.cpp) and appear here by code.
#include "frame/dispatchreq.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/passthrough.h"

namespace {

// clang-format off
constexpr Route kCameraRoutes[] = {
    // channels
    {"/2001", on_get_ipc_list},
    {"/2003", on_edit_ipc},
    {"/2004", on_add_ipc},
    {"/2005", on_delete_ipc},
    {"/2007", on_get_ipc_list2},
    {"/2008", on_get_ipc_protocols},
    {"/2000", on_get_ipc_info},
    {"/2012", on_get_ipc_names},
    {"/2016", on_get_poe_password},
    {"/2017", on_set_ipc_user},
    {"/2018", on_get_max_poe_num},
    PASS_THROUGH("/2025"),  // on_web_get_ipc_model_type
    {"/2028", on_web_get_motion_status},
    {"/2029", on_web_get_channels_model},
    {"/2031", on_set_ipc_transmit},
    // streams and image
    {"/2009", on_get_ipc_stream},
    {"/2010", on_set_ipc_stream},
    {"/2030", on_set_ipc_stream_batch},
    PASS_THROUGH("/2019"),  // on_get_ipc_ipcimage_enhancement
    {"/2020", on_set_ipc_ipcimage_enhancement},
    PASS_THROUGH("/2021"),  // on_get_ipc_ipcimage_display
    {"/2022", on_set_ipc_ipcimage_display},
    PASS_THROUGH("/2023"),  // on_get_ipc_common_param
    {"/2024", on_set_ipc_common_param},
    // camera-side functions
    {"/2013", on_get_month_record},
    {"/2026", on_web_sendto_qt_cmd},
    {"/2027", on_web_get_chip_code},
    {"/2035", on_get_effective_schedules},
    {"/2036", on_set_effective_schedules},
    PASS_THROUGH("/2054"),  // on_cgi_get_auto_tracking_status
    PASS_THROUGH("/2055"),  // on_cgi_set_auto_tracking_status
    PASS_THROUGH("/2056"),  // on_cgi_get_ptz_support
    PASS_THROUGH("/2057"),  // on_cgi_get_ipc_type
    PASS_THROUGH("/2058"),  // on_cgi_get_watermark
    PASS_THROUGH("/2059"),  // on_cgi_set_watermark
    PASS_THROUGH("/2060"),  // on_cgi_get_ipc_event_stream
    PASS_THROUGH("/2061"),  // on_cgi_set_ipc_event_stream
    PASS_THROUGH("/2062"),  // on_cgi_get_ipc_lpr_night_mode
    PASS_THROUGH("/2063"),  // on_cgi_get_ipc_audio_info
    PASS_THROUGH("/2064"),  // on_cgi_set_ipc_audio_info
    PASS_THROUGH("/2065"),  // on_cgi_get_ipc_system_info
    {"/2066", on_cgi_get_peoplecnt_settings},
    {"/2067", on_cgi_set_peoplecnt_settings},
    PASS_THROUGH("/2068"),  // on_cgi_get_ipc_custom_param
    {"/2069", on_cgi_get_peoplecnt_action},
    {"/2070", on_cgi_set_peoplecnt_action},
    PASS_THROUGH("/2071"),  // on_cgi_set_peoplecnt_db_reset
    PASS_THROUGH("/2072"),  // on_cgi_set_peoplecnt_liveview_reset
    {"/2073", on_cgi_get_pos_info},
    {"/2074", on_cgi_set_pos_info},
    {"/2075", on_cgi_get_report_auto_backup},
    {"/2076", on_cgi_set_report_auto_backup},
    {"/2077", on_cgi_set_face_config},
    {"/2078", on_cgi_upgrade_ipc_by_file},
    {"/2079", on_cgi_get_ipc_upgrade_status, UploadKind::Raw},
    {"/2080", on_cgi_upgrade_ipc_firmware},
    PASS_THROUGH("/2081"),  // on_cgi_stop_ipc_upgrade
    {"/2082", on_cgi_check_request},
    // discovery and camera network
    {"/2006", on_search_ipc},
    {"/2011", on_set_ipc_network},
    {"/2014", on_test_ipc_connect},
    {"/2015", on_check_ipc_connect},
    {"/2032", on_set_ipc_network_batch},
    {"/2033", on_get_ipc_network_batch_result},
    {"/2034", on_get_ipv6_support},
    // image periods, areas, schedules, camera motion
    PASS_THROUGH("/2037"),  // on_get_ipc_image_period
    {"/2038", on_set_ipc_image_period},
    {"/2047", on_set_ipc_image_period_batch},
    PASS_THROUGH("/2039"),  // on_get_ipc_image_area
    {"/2040", on_set_ipc_image_area},
    PASS_THROUGH("/2050"),  // on_del_ipc_image_area
    PASS_THROUGH("/2041"),  // on_get_ipc_image_schedule
    PASS_THROUGH("/2043"),
    PASS_THROUGH("/2045"),
    {"/2042", on_set_ipc_image_schedule},
    {"/2044", on_set_ipc_image_schedule_exp},
    {"/2046", on_set_ipc_image_schedule3},
    {"/2048", on_set_exposure},
    {"/2049", on_get_exposure},
    PASS_THROUGH("/2051"),  // on_get_ipc_motion
    {"/2052", on_set_ipc_motion},
    PASS_THROUGH("/2053"),  // on_get_ipc_event_info
};
// clang-format on

}  // namespace

std::span<const Route> cameras_route_table() { return kCameraRoutes; }
