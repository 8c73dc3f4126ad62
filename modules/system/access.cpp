// The address filter that decides which clients may reach the recorder, and
// the UPnP mapping of its web and RTSP ports.
#include "modules/network/network_records.h"
#include "modules/system/system_module.h"

namespace {

struct FilterSwitches {
  int32_t enable;
  int32_t type;
};
constexpr nvr::PolicyRow kFilterPolicy[] = {
    NVR_POLICY_LENIENT(FilterSwitches, enable, "filterEnable"),
    NVR_POLICY_LENIENT(FilterSwitches, type, "filterType"),
};
constexpr nvr::PolicyRow kFilterEntryPolicy[] = {
    NVR_POLICY_LENIENT(AccessFilterEntry, address_type, "address_type"),
    NVR_POLICY_TEXT(AccessFilterEntry, address, "address", nvr::Presence::kOptional),
};
constexpr nvr::PolicyRow kUpnpPolicy[] = {
    NVR_POLICY_LENIENT(UpnpInfo, enable, "enable"),
    NVR_POLICY_LENIENT(UpnpInfo, type, "type"),
    NVR_POLICY_LENIENT(UpnpInfo, external_http_port, "external_http_port"),
    NVR_POLICY_LENIENT(UpnpInfo, external_rtsp_port, "external_rtsp_port"),
};

// The UPnP record and the local ports the mapping points at (the port
// settings belong to the network settings).
struct UpnpAnswer {
  UpnpInfo upnp;
  PortSettings ports;
};
constexpr nvr::AnswerRow kUpnpAnswer[] = {
    nvr::answer_record(kUpnpRecord),
    NVR_ANSWER_FIELD(UpnpAnswer, ports.http_port, "http_port"),
    NVR_ANSWER_FIELD(UpnpAnswer, ports.rtsp_port, "rtsp_port"),
};

nvr::Json filter_list_json(const void*) {
  AccessFilterEntry entries[kMaxAccessFilters] = {};
  int count = 0;
  read_access_filter(nvr::qvdb_path(), entries, &count);
  return nvr::record_list_json(kAccessFilterRecord, entries, count);
}

constexpr nvr::AnswerRow kFilterAnswer[] = {
    nvr::answer_param_int("filterEnable", "access_filter_enable", 0),
    nvr::answer_param_int("filterType", "access_filter_type", 1),
    nvr::answer_computed("filterList", filter_list_json),
};

}  // namespace

// "/6300"
void on_get_access_filter(char*) { nvr::write_answer(kFilterAnswer); }

// "/6301"
void on_set_access_filter(char* data) {
  nvr::Json request = nvr::parse_request(data);
  FilterSwitches switches{};
  if (nvr::read_policy(request.get(), kFilterPolicy, &switches) != 0) return;
  const char* db = nvr::qvdb_path();
  int stored = set_param_int(db, "access_filter_enable", switches.enable) |
               set_param_int(db, "access_filter_type", switches.type);
  json_object* list = nvr::json_get(request.get(), "filterList");
  AccessFilterEntry entries[kMaxAccessFilters] = {};
  int count = 0;
  for (; count < kMaxAccessFilters && static_cast<size_t>(count) < nvr::json_array_size(list);
       ++count) {
    // An entry that is not an object stays empty, as its keys would be absent.
    (void)nvr::read_policy(nvr::json_at(list, static_cast<size_t>(count)), kFilterEntryPolicy,
                           &entries[count]);
  }
  // The list is not replaced when the switches could not be stored.
  if (stored == 0) stored = write_access_filter(db, entries, count);
  nvr::finish_change(stored, {kReqAccessFilterChanged}, {});
}

// "/1030"
void on_get_upnp_info(char*) {
  UpnpAnswer answer{};
  read_upnp(nvr::qvdb_path(), &answer.upnp);
  read_port(nvr::qvdb_path(), &answer.ports);
  nvr::write_answer(kUpnpAnswer, &answer);
}

// "/1031": the core daemon maps the ports and keeps the record itself.
void on_set_upnp_info(char* data) {
  UpnpInfo upnp{};
  read_upnp(nvr::qvdb_path(), &upnp);
  if (nvr::read_request(data, kUpnpPolicy, &upnp) != 0) return;

  nvr::finish_change(0, {kReqSetUpnp, &upnp, sizeof upnp}, {});
}
