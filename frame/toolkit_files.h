// Files that travel between the browser and the device: the uploaded file a
// route is handed, downloads of device files, small marker files and files
// written fresh. Names and paths that come from outside stay in their folder
// (platform/safe_path.h); these tools only put the steps every file route
// repeats in one place.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace nvr {

// ---- uploads -----------------------------------------------------------------------------

// The real path of the uploaded file the frame handed over (by its real or
// its device path): a regular file directly in "/tmp". Nothing for any other
// path, so a request cannot name a device file instead of an upload.
std::optional<std::string> uploaded_file(std::string_view path);

// Upload routes get "<path>" or "<path> & <query>" as request data: the
// uploaded file of the part before " & " (as uploaded_file), and the query.
std::optional<std::string> uploaded_file_of(const char* data);
std::string_view upload_query(const char* data);

// ---- downloads ---------------------------------------------------------------------------

// Claims the run's answer and writes the two header lines of a download named
// `file_name`; false (nothing written) when the run has answered already.
bool begin_download(std::string_view file_name);

// `seconds` since the epoch as local time in the strftime `format` (the time
// stamp in a download's file name, "%Y%m%d%H%M%S"); "" for a time the C
// library cannot convert. At most 127 characters.
std::string local_time_text(int64_t seconds, const char* format);

// What becomes of a file sent once that the browser did not get whole.
enum class Unsent : uint8_t {
  kRemove,  // removed all the same (nothing is kept for another try)
  kKeep,    // kept for another try
};

// Sends the regular file that `device_path` (a path from outside) names
// directly in `device_folder` as a download named after the path's last part,
// then removes it: a file that is sent once. False when nothing was sent: a
// path outside the folder, a link, no such file, or a run that has answered
// already.
bool send_device_file_once(std::string_view device_folder, std::string_view device_path,
                           Unsent unsent);

// ---- small files ---------------------------------------------------------------------------

// True when something exists at the device path (below the device root).
bool device_file_exists(std::string_view device_path);

// The text of the marker file that `device_path` names directly in
// `device_folder`: at most `limit` bytes, up to the first NUL, without the
// line ends at its end. Empty when there is no such regular file.
std::string read_device_marker(std::string_view device_folder, std::string_view device_path,
                               size_t limit);

// A stream that closes itself.
struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The regular file `name` directly in device folder `device_folder`, opened
// for reading without following a link and without leaving the folder (see
// open_in_device_folder); null when refused or missing.
File read_device_folder_file(std::string_view device_folder, std::string_view name);

// Writes `bytes` to the real path `path` as a new file of `mode`: whatever
// lies under that name (a file, a link) is removed first and never written
// through. False when the file could not be written whole.
bool write_new_file(const std::string& path, std::string_view bytes, mode_t mode = 0600);

}  // namespace nvr
