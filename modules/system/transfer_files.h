// Files that travel through the browser: uploads handed over by the frame,
// downloads of device files (exported configuration, diagnostic packages).
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The two header lines of a download named after the part of `device_path`
// after its last '/'; false (nothing written) when the run has answered already.
bool write_download_headers(std::string_view device_path);

// The real path of the uploaded file the frame handed over (by its real or
// its device path): a regular file directly in "/tmp". Nothing for any other
// path, so a request cannot name a device file instead of an upload.
std::optional<std::string> uploaded_file(std::string_view path);
