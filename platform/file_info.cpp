#include "platform/file_info.h"

#include <ctime>
#include <string>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace keelmend::platform {
namespace {

bool BreakDownUtc(std::int64_t seconds, std::tm& out) {
  const std::time_t t = static_cast<std::time_t>(seconds);
#if defined(_WIN32)
  return gmtime_s(&out, &t) == 0;
#else
  return gmtime_r(&t, &out) != nullptr;
#endif
}

bool BreakDownLocal(std::time_t t, std::tm& out) {
#if defined(_WIN32)
  return localtime_s(&out, &t) == 0;
#else
  return localtime_r(&t, &out) != nullptr;
#endif
}

// Seconds from 1970 of a calendar time read as UTC.
std::int64_t CalendarAsUtc(const std::tm& tm) {
  // Days from civil (proleptic Gregorian), after H. Hinnant's algorithm.
  std::int64_t y = tm.tm_year + 1900;
  const int m = tm.tm_mon + 1;
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + tm.tm_mday - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

bool WalkBelow(const std::filesystem::path& folder, const std::filesystem::path& relative,
               const FileVisitor& visit) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
    const auto status = it->symlink_status(ec);
    if (ec) {
      ec.clear();
      continue;
    }
    const std::filesystem::path inner = relative / it->path().filename();
    if (std::filesystem::is_directory(status)) {
      if (!WalkBelow(it->path(), inner, visit)) return false;
    } else if (std::filesystem::is_regular_file(status)) {
      if (!visit(it->path(), inner)) return false;
    }
  }
  return true;
}

bool IsHiddenName(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

std::uint32_t AttributesOf(bool folder, bool ownerWritable, const std::filesystem::path& path) {
  std::uint32_t attributes = folder ? kAttrFolder : kAttrArchive;
  if (!ownerWritable) attributes |= kAttrReadOnly;
  if (IsHiddenName(path)) attributes |= kAttrHidden;
  return attributes;
}

}  // namespace

#if defined(__linux__) && defined(STATX_BTIME)
std::optional<FileInfo> ReadFileInfo(const std::filesystem::path& path) {
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
    return std::nullopt;
  }
  FileInfo info;
  info.size = sx.stx_size;
  info.times.modified = sx.stx_mtime.tv_sec;
  info.times.accessed = sx.stx_atime.tv_sec;
  info.times.created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
  info.regular = S_ISREG(sx.stx_mode);
  info.attributes = AttributesOf(S_ISDIR(sx.stx_mode), (sx.stx_mode & S_IWUSR) != 0, path);
  return info;
}
#elif defined(__unix__) || defined(__APPLE__)
std::optional<FileInfo> ReadFileInfo(const std::filesystem::path& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  FileInfo info;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.times.modified = st.st_mtime;
  info.times.accessed = st.st_atime;
  info.times.created = st.st_mtime;
  info.regular = S_ISREG(st.st_mode);
  info.attributes = AttributesOf(S_ISDIR(st.st_mode), (st.st_mode & S_IWUSR) != 0, path);
  return info;
}
#else
std::optional<FileInfo> ReadFileInfo(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return std::nullopt;
  FileInfo info;
  info.regular = std::filesystem::is_regular_file(status);
  if (info.regular) info.size = std::filesystem::file_size(path, ec);
  const auto written = std::filesystem::last_write_time(path, ec);
  const auto system = std::chrono::clock_cast<std::chrono::system_clock>(written);
  info.times.modified =
      std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
  info.times.accessed = info.times.modified;
  info.times.created = info.times.modified;
  const bool writable =
      (status.permissions() & std::filesystem::perms::owner_write) != std::filesystem::perms::none;
  info.attributes = AttributesOf(std::filesystem::is_directory(status), writable, path);
  return info;
}
#endif

bool WalkFiles(const std::filesystem::path& folder, const FileVisitor& visit) {
  return WalkBelow(folder, {}, visit);
}

std::int64_t CurrentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!BreakDownLocal(now, local)) return 0;
  return CalendarAsUtc(local) - static_cast<std::int64_t>(now);
}

std::int64_t UtcToLocal(std::int64_t utc) { return utc + CurrentUtcOffset(); }

std::uint32_t ToDosDateTime(std::int64_t local) {
  constexpr std::uint32_t kEarliest = 0x00210000;  // 1980-01-01 00:00:00
  constexpr std::uint32_t kLatest = 0xFF9FBF7D;    // 2107-12-31 23:59:58
  std::tm tm{};
  if (!BreakDownUtc(local, tm)) return local < 0 ? kEarliest : kLatest;
  const int year = tm.tm_year + 1900;
  if (year < 1980) return kEarliest;
  if (year > 2107) return kLatest;
  const std::uint32_t date = static_cast<std::uint32_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  const std::uint32_t time = static_cast<std::uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return (date << 16) | time;
}

std::int32_t ToClampedUnixTime(std::int64_t local) {
  std::tm tm{};
  if (!BreakDownUtc(local, tm)) {
    // Far outside any calendar the C library handles: treat as the nearer end.
    BreakDownUtc(local < 0 ? 0 : 2145830400, tm);  // 1970-01-01 or 2037-12-31
  }
  if (tm.tm_year < 70) {
    tm.tm_year = 70;
    tm.tm_mon = 0;
    tm.tm_mday = 1;
  } else if (tm.tm_year > 137) {
    tm.tm_year = 137;
    tm.tm_mon = 11;
    tm.tm_mday = 31;
  }
  tm.tm_isdst = 0;
  tm.tm_wday = 0;
  tm.tm_yday = 0;
  const std::time_t t = std::mktime(&tm);
  return static_cast<std::int32_t>(t);
}

}  // namespace keelmend::platform
