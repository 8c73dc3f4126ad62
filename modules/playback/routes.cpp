// Route table of live view and playback ("/4000"), in the order of its rows.
#include "frame/dispatchreq.h"
#include "modules/playback/playback_handlers.h"

namespace {

// clang-format off
constexpr Route kPlaybackRoutes[] = {
    NVR_ROUTE("/4000", on_search_record_section,
        "Searches one channel's recordings in a time span"),
    NVR_ROUTE("/4001", on_start_playback, "Opens a playback session and answers its stream"),
    NVR_ROUTE("/4002", on_get_playback_time, "Answers a playback session's current position"),
    NVR_ROUTE("/4003", on_stop_playback, "Stops playback sessions"),
    NVR_ROUTE("/4004", on_pause_playback, "Pauses playback sessions"),
    NVR_ROUTE("/4005", on_resume_playback, "Resumes paused playback sessions"),
    NVR_ROUTE("/4006", on_step_foward_playback, "Steps playback sessions forward by one frame"),
    NVR_ROUTE("/4007", on_fastforward_playback, "Plays sessions fast forward"),
    NVR_ROUTE("/4008", on_slowforward_playback, "Plays sessions slowly forward"),
    NVR_ROUTE("/4009", on_jump_playback, "Moves playback sessions to a time"),
    NVR_ROUTE("/4010", on_start_live, "Starts a live stream and answers its address"),
    NVR_ROUTE("/4011", on_stop_live, "Stops a live stream"),
    NVR_ROUTE("/3000", on_get_image_param, "Answers a channel's live image parameters"),
    NVR_ROUTE("/3001", on_set_image_param, "Stores a channel's live image parameters"),
    NVR_ROUTE("/3002", on_reset_image_param,
        "Resets a channel's live image parameters to their defaults"),
    NVR_ROUTE("/4012", on_stop_all_live, "Stops every live stream"),
    NVR_ROUTE("/4013", on_download_playback, "Downloads a recording as an AVI file"),
    NVR_ROUTE("/4014", on_log_channel_event, "Records a channel event in the operation log"),
    NVR_ROUTE("/4015", on_check_channel, "Answers whether a channel number is valid"),
    NVR_ROUTE("/4016", on_check_channel2,
        "Answers whether a channel number is valid (second form)"),
    NVR_ROUTE("/4017", on_log_channel_user_event,
        "Records a user's channel event in the operation log"),
    NVR_ROUTE("/4018", on_get_stream_address, "Answers the address of the streams"),
    NVR_ROUTE("/4019", on_get_download_state, "Answers whether a recording download is running"),
    NVR_ROUTE("/4020", on_start_playback_by_mask,
        "Opens playback of several channels chosen by mask"),
    NVR_ROUTE("/3003", on_step_playback_batch, "Steps several playback sessions at once"),
    NVR_ROUTE("/4022", on_set_speed_playback, "Sets the speed of playback sessions"),
    NVR_ROUTE("/4023", on_get_search_page, "Answers one page of a recording search"),
    NVR_ROUTE("/4021", on_get_external_port, "Answers the recorder's external ports"),
    NVR_ROUTE("/4024", on_log_start_live, "Records the start of live view in the operation log"),
    NVR_ROUTE("/4027", on_cancel_download, "Cancels a running recording download"),
    NVR_ROUTE("/4025", on_set_playback_stream, "Switches a playback session's stream"),
    NVR_ROUTE("/4026", on_get_playback_stream_state, "Answers a playback session's stream state"),
    NVR_ROUTE("/3004", on_get_daemon_busy, "Answers whether the recorder is busy with a download"),
};
// clang-format on
static_assert(std::size(kPlaybackRoutes) == 33);

}  // namespace

std::span<const Route> playback_route_table() { return kPlaybackRoutes; }
