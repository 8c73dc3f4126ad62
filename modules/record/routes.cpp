// Route table of the record module ("/6030"), in the order of its routes.
#include "frame/dispatchreq.h"
#include "modules/record/record_handlers.h"

namespace {

constexpr Route kRecordRoutes[] = {
    {"/6030", on_get_holiday_info}, {"/6031", on_set_holiday_info},
    {"/6040", on_get_record_info},  {"/6041", on_set_record_info},
    {"/6042", on_get_record_mode},  {"/6043", on_set_record_mode},
    {"/6044", on_get_record_param}, {"/6045", on_set_record_param},
    {"/6046", on_get_anr_support},  {"/6047", on_get_record_stream_info},
};

}  // namespace

std::span<const Route> record_route_table() { return kRecordRoutes; }
