// Files whose names come from outside (a request, an upload, a marker file, a
// daemon reply, an archive entry): the one way to reach them. A name is taken
// only inside the folder it belongs to: a plain name (no '/', no ".."), no
// symbolic link anywhere on the way, a regular file. The descriptor is what
// the caller then reads, copies or checks, so the file cannot be swapped for
// another between the check and the use.
#pragma once

#include <fcntl.h>

#include <optional>
#include <string>
#include <string_view>

namespace nvr {

// Opens the plain file name `name` inside the real folder `folder` (a path the
// program itself built, not from outside). `flags` are the access flags
// (O_RDONLY, O_WRONLY...; O_CREAT is refused). A descriptor of a regular file,
// or -1.
int open_beneath(const std::string& folder, std::string_view name, int flags = O_RDONLY);

// The same for a name inside device folder `device_folder` ("/tmp").
int open_in_device_folder(std::string_view device_folder, std::string_view name,
                          int flags = O_RDONLY);

// A device path that arrived as data ("/tmp/x.tar"): the part after the folder
// when the path names a file directly in `device_folder`, without ".." or
// extra separators; nothing otherwise. Open the result with open_in_device_folder.
std::optional<std::string> name_in_device_folder(std::string_view device_folder,
                                                 std::string_view device_path);

// Removes the plain file name `name` from the device folder when it is a
// regular file (a link or folder of that name is left alone); 0 or -1.
int remove_in_device_folder(std::string_view device_folder, std::string_view name);

// Archives are unpacked into a fresh private folder, checked with this, and
// then moved into place with move_tree_into. True when everything below
// `folder` (a real path) is a regular file or a folder: no link, no device,
// no FIFO or socket.
bool tree_is_plain(const std::string& folder);

// Moves everything below the real folder `from` into the real folder `to`
// (same file system), replacing files of the same name. Nothing is written
// through a link at the target: a link where a folder is to be is replaced by
// the folder. 0, or -1 when something could not be moved.
int move_tree_into(const std::string& from, const std::string& to);

}  // namespace nvr
