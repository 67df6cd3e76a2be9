// platform/temp_paths: the user's temporary directory and temporary files.
#include "platform/temp_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "support/zip_fixture.h"

namespace keelmend::platform {
namespace {

TEST(UserTempDirectory, TakesTmpdirWhenSet) {
  test::TempDir dir;
  test::ScopedEnv env("TMPDIR", dir.path().string());
  EXPECT_EQ(UserTempDirectory(), dir.path());
  ErrorCode error = -1;
  EXPECT_TRUE(EnsureUserTempDirectory(&error));
  EXPECT_EQ(error, 0);
}

TEST(UserTempDirectory, EmptyTmpdirMeansThePerUserDefault) {
  test::ScopedEnv env("TMPDIR", "");
  EXPECT_EQ(UserTempDirectory(),
            std::filesystem::path("/tmp") / ("keelmend-" + std::to_string(::geteuid())));
  ErrorCode error = 0;
  ASSERT_TRUE(EnsureUserTempDirectory(&error)) << ErrorText(error);
  struct stat info {};
  ASSERT_EQ(::lstat(UserTempDirectory().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 077, 0u);
  EXPECT_EQ(info.st_uid, ::geteuid());
}

TEST(UserTempDirectory, TmpdirThatIsNotAFolderFails) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "file", "x");
  test::ScopedEnv env("TMPDIR", (dir / "file").string());
  ErrorCode error = 0;
  EXPECT_FALSE(EnsureUserTempDirectory(&error));
  EXPECT_EQ(error, ENOTDIR);
}

TEST(CheckPrivateFolder, Cases) {
  test::TempDir dir;
  ErrorCode error = 0;
  EXPECT_TRUE(CheckPrivateFolder(dir.path(), &error));
  EXPECT_FALSE(CheckPrivateFolder(dir / "missing", &error));
  EXPECT_EQ(error, ENOENT);
  test::WriteFileBytes(dir / "file", "x");
  EXPECT_FALSE(CheckPrivateFolder(dir / "file", &error));
  EXPECT_EQ(error, ENOTDIR);
  std::filesystem::create_directory_symlink(dir.path(), dir / "link");
  EXPECT_FALSE(CheckPrivateFolder(dir / "link", &error));
  EXPECT_EQ(error, ELOOP);
}

TEST(CreatePrivateFolder, TightensAnOpenFolderOfOurs) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "open");
  ::chmod((dir / "open").c_str(), 0777);
  ErrorCode error = 0;
  EXPECT_TRUE(CreatePrivateFolder(dir / "open", &error));
  struct stat info {};
  ::lstat((dir / "open").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(CreateTempFileNextTo, UniqueFilesInTheTargetsFolder) {
  test::TempDir dir;
  std::set<std::filesystem::path> seen;
  for (int i = 0; i < 20; ++i) {
    OutputFile file;
    std::filesystem::path temp;
    ErrorCode error = 0;
    ASSERT_TRUE(CreateTempFileNextTo(dir / "target.xml", file, temp, &error));
    EXPECT_EQ(temp.parent_path(), dir.path());
    EXPECT_TRUE(seen.insert(temp).second);
    EXPECT_TRUE(file.Write("abc", 3, &error));
    EXPECT_TRUE(file.Close(&error));
    EXPECT_EQ(test::ReadFileBytes(temp), "abc");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "target.xml"));
}

TEST(CreateTempFileNextTo, LongTargetNameStillFits) {
  test::TempDir dir;
  OutputFile file;
  std::filesystem::path temp;
  ErrorCode error = 0;
  ASSERT_TRUE(CreateTempFileNextTo(dir / std::string(255, 'n'), file, temp, &error))
      << ErrorText(error);
  EXPECT_LE(temp.filename().native().size(), 255u);
}

TEST(CreateTempFileNextTo, MissingFolderFails) {
  test::TempDir dir;
  OutputFile file;
  std::filesystem::path temp;
  ErrorCode error = 0;
  EXPECT_FALSE(CreateTempFileNextTo(dir / "no" / "target", file, temp, &error));
  EXPECT_EQ(error, ENOENT);
}

TEST(ErrorText, SystemMessages) {
  EXPECT_EQ(ErrorText(ENOENT), "No such file or directory");
  EXPECT_FALSE(ErrorText(EACCES).empty());
  EXPECT_FALSE(ErrorText(99999).empty());
}

TEST(InputFile, ReadsAtPositionsAndReportsEnd) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "f", "0123456789");
  InputFile file;
  ErrorCode error = 0;
  ASSERT_TRUE(file.Open(dir / "f", &error));
  EXPECT_EQ(file.Size(), 10u);
  char buf[8] = {};
  EXPECT_EQ(file.ReadAt(3, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_EQ(file.ReadAt(8, buf, 8), 2);
  EXPECT_EQ(file.ReadAt(10, buf, 8), 0);
  EXPECT_EQ(file.ReadAt(1ull << 40, buf, 8), 0);
  InputFile second;
  EXPECT_FALSE(second.Open(dir / "f", &error));  // exclusive
  EXPECT_TRUE(second.Open(dir / "f", &error, /*exclusive=*/false));
}

}  // namespace
}  // namespace keelmend::platform
