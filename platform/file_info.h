// What the archive writer needs to know about a file on disk: its size, its
// three times, and the attribute bits an archive entry records; plus the
// time conversions of the entry headers (UTC to local, local to DOS date and
// time, local to a clamped 32-bit Unix time).
//
// Attributes on POSIX, where the bits do not exist as such:
//   read-only  the owner write permission bit is clear
//   hidden     the file name starts with "."
//   archive    always set for anything that is not a folder
//   system     never set
//   folder     the path is a folder
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace keelmend::platform {

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrFolder = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// Times are seconds since 1970-01-01 00:00:00 UTC.
struct FileTimes {
  std::int64_t modified = 0;
  std::int64_t accessed = 0;
  // The birth time where the file system records it (statx on Linux);
  // otherwise the modification time.
  std::int64_t created = 0;
};

struct FileInfo {
  std::uint64_t size = 0;
  FileTimes times;
  std::uint32_t attributes = 0;  // kAttr... bits
  bool regular = false;          // an ordinary file (not a folder, device, pipe)
};

// Information about `path`, following a symbolic link to its target.
// Nothing when the path does not exist or cannot be examined.
std::optional<FileInfo> ReadFileInfo(const std::filesystem::path& path);

// Visits every ordinary file below `folder`: depth first, entries in the
// order the directory enumeration returns them (never sorted), a sub-folder
// at the point where the enumeration meets it. Symbolic links are neither
// followed nor visited; pipes, devices and sockets are not visited; what
// cannot be read is passed over. `visit` gets the file's path and its path
// relative to `folder`, and returns false to end the walk. Returns false when
// `visit` ended it.
using FileVisitor =
    std::function<bool(const std::filesystem::path& file, const std::filesystem::path& relative)>;
bool WalkFiles(const std::filesystem::path& folder, const FileVisitor& visit);

// Seconds to add to a UTC time to get local time, as of now (the offset of
// the moment of the call, not of any particular date).
std::int64_t CurrentUtcOffset();

// `utc` shifted by CurrentUtcOffset(); the result is a local calendar time
// counted as if it were UTC.
std::int64_t UtcToLocal(std::int64_t utc);

// The DOS date (high 16 bits) and time (low 16 bits, two-second steps) of a
// local calendar time counted as seconds from 1970. DOS dates run from 1980
// to 2107: an earlier time gives 1980-01-01 00:00:00, a later one
// 2107-12-31 23:59:58.
std::uint32_t ToDosDateTime(std::int64_t local);

// A local calendar time (counted as seconds from 1970) turned back into a
// Unix time by the C library's local-time conversion with daylight saving
// taken as off, after clamping its year to 1970..2037 (an earlier time
// becomes 1 January 1970, a later one 31 December 2037, at the same time of
// day).
std::int32_t ToClampedUnixTime(std::int64_t local);

}  // namespace keelmend::platform
