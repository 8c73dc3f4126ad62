// Route table of live view and playback ("/4000"), in the order of its rows.
#include "frame/dispatchreq.h"
#include "modules/playback/playback_handlers.h"

namespace {

// clang-format off
constexpr Route kPlaybackRoutes[] = {
    {"/4000", on_search_record_section},
    {"/4001", on_start_playback},
    {"/4002", on_get_playback_time},
    {"/4003", on_stop_playback},
    {"/4004", on_pause_playback},
    {"/4005", on_resume_playback},
    {"/4006", on_step_foward_playback},
    {"/4007", on_fastforward_playback},
    {"/4008", on_slowforward_playback},
    {"/4009", on_jump_playback},
    {"/4010", on_start_live},
    {"/4011", on_stop_live},
    {"/3000", on_get_image_param},
    {"/3001", on_set_image_param},
    {"/3002", on_reset_image_param},
    {"/4012", on_stop_all_live},
    {"/4013", on_download_playback},
    {"/4014", on_log_channel_event},
    {"/4015", on_check_channel},
    {"/4016", on_check_channel2},
    {"/4017", on_log_channel_user_event},
    {"/4018", on_get_stream_address},
    {"/4019", on_get_download_state},
    {"/4020", on_start_playback_by_mask},
    {"/3003", on_step_playback_batch},
    {"/4022", on_set_speed_playback},
    {"/4023", on_get_search_page},
    {"/4021", on_get_external_port},
    {"/4024", on_log_start_live},
    {"/4027", on_cancel_download},
    {"/4025", on_set_playback_stream},
    {"/4026", on_get_playback_stream_state},
    {"/3004", on_get_daemon_busy},
};
// clang-format on
static_assert(std::size(kPlaybackRoutes) == 33);

}  // namespace

std::span<const Route> playback_route_table() { return kPlaybackRoutes; }
