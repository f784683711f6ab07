#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane::support {

// Who may read a replaced file (POSIX only; Windows keeps its default).
enum class FileAccess { Default, OwnerOnly };

// Replaces the file at `path` with exactly `bytes` by writing a temporary file in the same
// folder, flushing it and renaming it over the target, so a reader sees either the old or the
// new content, never a part. Only when that cannot work for an existing file (the folder
// refuses the temporary file or, with the sticky bit, the rename; or the file has other hard
// links that a rename would part from it) is the file truncated and written in place instead;
// never for FileAccess::OwnerOnly. On Windows a rename that a reader blocks is tried again for
// about 100 ms. A file the user may not write is not replaced; a symbolic link has the file it
// names replaced. Raises a file failure (kBadFileName for an empty name, kPathNotFound,
// kPermissionDenied, kDiskFull, ...) and leaves the old file as it was, with no temporary file
// left behind, when anything goes wrong before the file itself is written.
void replaceFile(const std::filesystem::path& path, std::string_view bytes,
                 FileAccess access = FileAccess::Default);

// Appends `bytes` to the file at `path`, creating it when missing; the file is opened and
// closed within the call. Raises a file failure when it cannot.
void appendFile(const std::filesystem::path& path, std::string_view bytes);

} // namespace quorvane::support
