// Route table of the record module ("/6030"), in the order of its routes.
#include "frame/dispatchreq.h"
#include "modules/record/record_handlers.h"

namespace {

constexpr Route kRecordRoutes[] = {
    NVR_ROUTE("/6030", on_get_holiday_info, "Answers the holiday list"),
    NVR_ROUTE("/6031", on_set_holiday_info, "Stores the holiday list"),
    NVR_ROUTE("/6040", on_get_record_info, "Answers one channel's recording schedule"),
    NVR_ROUTE("/6041", on_set_record_info, "Stores a channel's recording schedule"),
    NVR_ROUTE("/6042", on_get_record_mode, "Lists the record mode of every channel"),
    NVR_ROUTE("/6043", on_set_record_mode, "Stores the record modes of the channels"),
    NVR_ROUTE("/6044", on_get_record_param,
              "Answers one channel's recording parameters (pre- and post-record, audio)"),
    NVR_ROUTE("/6045", on_set_record_param,
              "Stores a channel's recording parameters, with copies to other channels"),
    NVR_ROUTE("/6046", on_get_anr_support,
              "Answers whether a channel supports recording gap filling from the camera"),
    NVR_ROUTE("/6047", on_get_record_stream_info,
              "Answers the stream used for recording and its size"),
};

}  // namespace

std::span<const Route> record_route_table() { return kRecordRoutes; }
