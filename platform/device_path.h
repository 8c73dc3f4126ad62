// Device paths below the device root.
//
// On the recorder every file lives at its absolute path ("/mnt/nand/app/qvdb.db").
// Elsewhere (the demo, the tests) NVR_ROOT names a folder that stands in for "/":
// every device path the program opens, creates, removes, or writes into a
// command text goes through dev_path(). Nothing else spells a device folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvr {

// The root prefix: NVR_ROOT, or "" when unset or empty. Read once per run.
const std::string& device_root();

// root + device_path; device_path is absolute ("/tmp/x").
std::string dev_path(std::string_view device_path);

// Device folders and files the frame and several modules share.
namespace devpath {
inline constexpr std::string_view kTmp = "/tmp";
inline constexpr std::string_view kNand = "/mnt/nand";
inline constexpr std::string_view kNandApp = "/mnt/nand/app";
inline constexpr std::string_view kNand2 = "/mnt/nand2";
inline constexpr std::string_view kQvdb = "/mnt/nand/app/qvdb.db";
inline constexpr std::string_view kAnprDb = "/mnt/nand/app/anpr.db";
inline constexpr std::string_view kOemDb = "/mnt/nand2/oem.db";
inline constexpr std::string_view kDebugLog = "/mnt/nand/cgi_log.txt";
inline constexpr std::string_view kSocket = "/var/run/qvsocket";
inline constexpr std::string_view kShm = "/dev/shm";
inline constexpr std::string_view kWebRoot = "/opt/app/www";
inline constexpr std::string_view kLangDir = "/opt/app/www/webfile/json";
inline constexpr std::string_view kAppBin = "/opt/app/bin";
inline constexpr std::string_view kSsl = "/mnt/nand/ssl";
}  // namespace devpath

// The configuration database files as real paths (root applied), NUL-terminated
// for the database calls that take a path.
const char* qvdb_path();
const char* anpr_db_path();
const char* oem_db_path();

// True for a single path component that cannot leave its folder: not empty,
// no '/', no '\\', no "..", no control characters.
bool is_plain_file_name(std::string_view name);

// The real path of `name` inside device folder `folder`, when `name` is a plain
// file name and the file there is a regular file that is not a symbolic link.
std::optional<std::string> regular_file_in_folder(std::string_view folder, std::string_view name);

// A device path that arrived as data (a request value, a marker file, a daemon
// reply): its real path when it names a regular file (not a symbolic link) that
// lies directly in device folder `folder`; nothing otherwise.
std::optional<std::string> device_file_in_folder(std::string_view folder,
                                                 std::string_view device_path);

}  // namespace nvr
