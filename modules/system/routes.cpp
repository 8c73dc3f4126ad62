// Route table of the users-and-system module ("/1000"), in the order of its
// routes: login, accounts, device log, maintenance, upgrade, system
// information, alarm audio, access, factory options.
#include "frame/dispatchreq.h"
#include "modules/system/system_handlers.h"

namespace {

// The order of these rows is the table's order.
// clang-format off
constexpr Route kSystemRoutes[] = {
NVR_ROUTE("/1000", on_user_login,
    "Logs a user in and answers the user's type, permissions and session"),
NVR_ROUTE("/1014", on_user_logout, "Logs the user out and records it in the operation log"),
NVR_ROUTE("/1018", on_user_login_from_mail,
    "Checks a login link from an e-mail and redirects the browser"),
NVR_ROUTE("/6070", on_get_user_list, "Lists the user accounts in use"),
NVR_ROUTE("/6071", on_add_new_user, "Adds a user account and answers its id"),
NVR_ROUTE("/6072", on_set_user_info, "Changes the given fields of a user account"),
NVR_ROUTE("/6073", on_del_user_info, "Deletes a user account"),
NVR_ROUTE("/6074", on_get_oem_user_list, "Lists the accounts of the branding database"),
NVR_ROUTE("/6075", on_modify_poe_camera_pwd,
    "Has the recorder apply the PoE camera password and answers its status"),
NVR_ROUTE("/6076", on_cgi_notify_daemon, "Tells the recorder that settings changed"),
NVR_ROUTE("/6077", on_cgi_set_user_info, "Announces a user account change to the recorder"),
NVR_ROUTE("/1024", on_clear_permission_update, "Clears the permission update mark"),
#include "modules/system/routes_devlog.inc"
#include "modules/system/routes_maintenance.inc"
#include "modules/system/routes_upgrade.inc"
NVR_ROUTE("/1009", on_get_system_info, "Answers the device information"),
NVR_ROUTE("/1020", on_get_system_info, "Answers the device information (second code)"),
NVR_ROUTE("/1012", on_set_system_info, "Sets the host name and device id"),
NVR_ROUTE("/6080", on_get_general_info, "Answers the display, audio and general settings"),
NVR_ROUTE("/6081", on_set_general_info, "Changes the display, audio and general settings"),
NVR_ROUTE("/1001", on_change_language, "Replaces the web pages' language list"),
NVR_ROUTE("/json", on_get_lang_section, "Answers one section of a language file"),
NVR_ROUTE("/1023", on_clear_qvfs_dbup, "Clears the log database upgrade mark"),
NVR_ROUTE("/6320", on_get_audio_file_list, "Lists the alarm audio files"),
NVR_ROUTE("/6321", on_upload_audio_file,
    "Takes an uploaded WAV file for an alarm sound", UploadKind::File),
NVR_ROUTE("/6322", on_add_audio_file,
    "Hands an uploaded audio file and its display name to the recorder"),
NVR_ROUTE("/6323", on_del_audio_files, "Deletes alarm audio files chosen by an id mask"),
NVR_ROUTE("/6324", on_rename_audio_file, "Renames an alarm audio file"),
NVR_ROUTE("/6325", on_send_audio_file_id, "Tells the recorder which audio file to use"),
NVR_ROUTE("/6300", on_get_access_filter, "Answers the address filter settings"),
NVR_ROUTE("/6301", on_set_access_filter, "Replaces the address filter settings"),
NVR_ROUTE("/1030", on_get_upnp_info, "Answers the UPnP port mapping and the local ports"),
NVR_ROUTE("/1031", on_set_upnp_info, "Changes the UPnP port mapping"),
NVR_ROUTE("/ipc", on_set_camera_ips, "Assigns IP addresses to camera channels"),
#include "modules/system/routes_factory.inc"
};
// clang-format on

}  // namespace

std::span<const Route> system_route_table() { return kSystemRoutes; }
