// File information for archive headers: sizes, times, attributes, the walk
// over a folder, and the time conversions (UTC to local, DOS date and time,
// clamped Unix time).
#include "platform/file_info.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace keelmend::platform {
namespace {

// Seconds from 1970 of a calendar date read as UTC.
std::int64_t Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<std::int64_t>(timegm(&tm));
}

std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return (static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day) << 16) |
         static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
}

void UseTimeZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

class FileInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTimeZone("UTC");
    char pattern[] = "/tmp/keelmend-fileinfo-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    UseTimeZone("UTC");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path Make(const std::string& relative, const std::string& content = "x") {
    const fs::path path = dir_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  fs::path dir_;
};

TEST_F(FileInfoTest, ReadsSizeAndTimes) {
  const fs::path path = Make("data.bin", std::string(1234, 'd'));
  const timespec times[2] = {{1600000000, 0}, {1500000000, 0}};  // access, modification
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const auto info = ReadFileInfo(path);
  ASSERT_TRUE(info.has_value());
  EXPECT_TRUE(info->regular);
  EXPECT_EQ(info->size, 1234u);
  EXPECT_EQ(info->times.modified, 1500000000);
  EXPECT_EQ(info->times.accessed, 1600000000);
  struct statx sx {};
  ASSERT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx), 0);
  const std::int64_t expectedCreated = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : 1500000000;
  EXPECT_EQ(info->times.created, expectedCreated);
}

TEST_F(FileInfoTest, AttributesStandInForTheMissingPosixOnes) {
  const struct {
    const char* name;
    bool folder, readOnly;
    std::uint32_t attributes;
  } cases[] = {
      {"plain.txt", false, false, kAttrArchive},
      {"locked.txt", false, true, kAttrArchive | kAttrReadOnly},
      {".hidden", false, false, kAttrArchive | kAttrHidden},
      {".locked-hidden", false, true, kAttrArchive | kAttrHidden | kAttrReadOnly},
      {"folder", true, false, kAttrFolder},
      {".git", true, false, kAttrFolder | kAttrHidden},
  };
  for (const auto& c : cases) {
    const fs::path path = dir_ / c.name;
    if (c.folder) {
      fs::create_directory(path);
    } else {
      Make(c.name);
    }
    if (c.readOnly) fs::permissions(path, fs::perms::owner_write, fs::perm_options::remove);
    const auto info = ReadFileInfo(path);
    ASSERT_TRUE(info.has_value()) << c.name;
    EXPECT_EQ(info->attributes, c.attributes) << c.name;
    EXPECT_EQ(info->regular, !c.folder) << c.name;
    EXPECT_EQ(info->attributes & kAttrSystem, 0u);
  }
  EXPECT_FALSE(ReadFileInfo(dir_ / "missing").has_value());
}

TEST_F(FileInfoTest, WalkIsDepthFirstSkipsLinksAndCanStop) {
  Make("top.txt");
  Make("a/b/c/deep.txt");
  Make("a/mid.txt");
  Make("z/w.txt");
  Make("z/c/v.txt");
  fs::create_directories(dir_ / "empty");
  const fs::path outside = dir_.string() + "-outside";
  fs::create_directories(outside);
  std::ofstream(outside / "secret.txt") << "s";
  fs::create_directory_symlink(outside, dir_ / "linked-folder");
  fs::create_symlink(outside / "secret.txt", dir_ / "linked-file.txt");

  std::vector<std::string> seen;
  EXPECT_TRUE(WalkFiles(dir_, [&](const fs::path& file, const fs::path& relative) {
    EXPECT_EQ(file, dir_ / relative);
    seen.push_back(relative.generic_string());
    return true;
  }));
  fs::remove_all(outside);
  std::vector<std::string> sorted = seen;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"a/b/c/deep.txt", "a/mid.txt", "top.txt", "z/c/v.txt", "z/w.txt"}));
  // Depth first: the files below "a" come one after the other, and so do
  // those below "z", whatever the enumeration order; a level-by-level walk
  // would split one of the two.
  for (const char* folder : {"a/", "z/"}) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      if (seen[i].rfind(folder, 0) == 0) at.push_back(i);
    }
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[1] - at[0], 1u) << folder;
  }

  int visits = 0;
  EXPECT_FALSE(WalkFiles(dir_, [&](const fs::path&, const fs::path&) { return ++visits < 2; }));
  EXPECT_EQ(visits, 2);
  EXPECT_TRUE(WalkFiles(dir_ / "no-such-folder", [](const fs::path&, const fs::path&) { return false; }));
}

TEST(TimeConversionTest, DosDateAndTimeWithTheirRangeEnds) {
  const struct {
    const char* what;
    std::int64_t local;
    std::uint32_t dos;
  } cases[] = {
      {"first DOS second", Utc(1980, 1, 1), Dos(1980, 1, 1, 0, 0, 0)},
      {"odd seconds round down", Utc(2023, 11, 14, 22, 13, 21), Dos(2023, 11, 14, 22, 13, 20)},
      {"leap day", Utc(2024, 2, 29, 23, 59, 59), Dos(2024, 2, 29, 23, 59, 58)},
      {"last DOS second", Utc(2107, 12, 31, 23, 59, 59), Dos(2107, 12, 31, 23, 59, 58)},
      {"before 1980", Utc(1979, 12, 31, 23, 59, 59), Dos(1980, 1, 1, 0, 0, 0)},
      {"before 1970", -86400, Dos(1980, 1, 1, 0, 0, 0)},
      {"after 2107", Utc(2108, 1, 1), Dos(2107, 12, 31, 23, 59, 58)},
  };
  for (const auto& c : cases) EXPECT_EQ(ToDosDateTime(c.local), c.dos) << c.what;
}

TEST(TimeConversionTest, UnixTimeIsClampedTo1970Through2037KeepingTheTimeOfDay) {
  UseTimeZone("UTC");
  const struct {
    const char* what;
    std::int64_t local;
    std::int64_t unix;
  } cases[] = {
      {"inside the range", Utc(2023, 11, 14, 22, 13, 20), Utc(2023, 11, 14, 22, 13, 20)},
      {"before 1970", Utc(1965, 6, 1, 8, 30, 0), Utc(1970, 1, 1, 8, 30, 0)},
      {"after 2037", Utc(2040, 6, 1, 12, 0, 5), Utc(2037, 12, 31, 12, 0, 5)},
      {"last day of 2037", Utc(2037, 12, 31, 23, 59, 59), Utc(2037, 12, 31, 23, 59, 59)},
  };
  for (const auto& c : cases) EXPECT_EQ(ToClampedUnixTime(c.local), c.unix) << c.what;
}

TEST(TimeConversionTest, LocalTimeUsesTheCurrentOffsetAndUnixTimeIgnoresDaylightSaving) {
  UseTimeZone("XYZ-5");  // five hours east of UTC, no daylight saving
  EXPECT_EQ(CurrentUtcOffset(), 5 * 3600);
  EXPECT_EQ(UtcToLocal(Utc(2023, 1, 1)), Utc(2023, 1, 1, 5, 0, 0));
  EXPECT_EQ(ToClampedUnixTime(Utc(2023, 1, 1, 5, 0, 0)), Utc(2023, 1, 1));

  // One hour east, daylight saving in summer: a summer calendar time is still
  // read as standard time.
  UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(ToClampedUnixTime(Utc(2023, 7, 1, 12, 0, 0)), Utc(2023, 7, 1, 11, 0, 0));
  UseTimeZone("UTC");
  EXPECT_EQ(CurrentUtcOffset(), 0);
}

}  // namespace
}  // namespace keelmend::platform
