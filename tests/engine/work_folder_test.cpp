// Work root, work folder names, clearing.
#include "engine/work_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/temp_paths.h"
#include "support/zip_fixture.h"

namespace keelmend {
namespace {

// Each test gets its own temporary directory through $TMPDIR.
class WorkFolderTest : public ::testing::Test {
 protected:
  test::TempDir tmp_{"keelmend-workroot"};
  test::ScopedEnv env_{"TMPDIR", tmp_.path().string()};
};

TEST_F(WorkFolderTest, RootIsTempDirectoryPlusBsTmp) {
  EXPECT_EQ(GetWorkRoot(), tmp_.path() / "BsTmp");
  EXPECT_FALSE(std::filesystem::exists(GetWorkRoot()));  // named, not created
}

TEST(WorkFolderRoot, DefaultsToPrivateFolderBelowTmp) {
  const char* saved = std::getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  ::unsetenv("TMPDIR");
  EXPECT_EQ(GetWorkRoot(),
            std::filesystem::path("/tmp") / ("keelmend-" + std::to_string(::geteuid())) / "BsTmp");
  if (saved) ::setenv("TMPDIR", keep.c_str(), 1);
}

TEST(WorkFolderName, NamingTable) {
  EXPECT_EQ(WorkFolderName("C:\\x\\a.b.odb", 3), "a.b.odb3");
  EXPECT_EQ(WorkFolderName("C:\\data\\sales.odb", 0), "sales.odb0");
  EXPECT_EQ(WorkFolderName("C:\\Data\\Sales.odb", 12), "Sales.odb12");
  EXPECT_EQ(WorkFolderName("/home/u/db.odb", 0), "db.odb0");
  EXPECT_EQ(WorkFolderName("/srv/other/db.odb", 1), "db.odb1");
  EXPECT_EQ(WorkFolderName("/mixed\\dir/last.odb", 7), "last.odb7");
  EXPECT_EQ(WorkFolderName("C:/x\\y.odb", 2), "y.odb2");
  EXPECT_EQ(WorkFolderName("plain.odb", 5), "plain.odb5");
  EXPECT_EQ(WorkFolderName("/ends/with/", 4), "4");
  EXPECT_EQ(WorkFolderName("", 0), "0");
}

TEST_F(WorkFolderTest, WorkFolderPathIsBelowTheRoot) {
  EXPECT_EQ(WorkFolderPath("/a/db.odb", 0), tmp_.path() / "BsTmp" / "db.odb0");
  EXPECT_NE(WorkFolderPath("/a/db.odb", 0), WorkFolderPath("/b/db.odb", 1));
}

TEST_F(WorkFolderTest, CreateWorkRootAndFolder) {
  platform::ErrorCode error = -1;
  EXPECT_TRUE(CreateWorkRoot(&error));
  EXPECT_EQ(error, 0);
  struct stat info {};
  ASSERT_EQ(::lstat(GetWorkRoot().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(CreateWorkRoot(&error));  // an existing root is fine
  std::filesystem::path folder;
  EXPECT_TRUE(CreateWorkFolder("/x/sales.odb", 0, &folder, &error));
  EXPECT_EQ(folder, GetWorkRoot() / "sales.odb0");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(CreateWorkFolder("/x/sales.odb", 0, &folder, &error));
}

TEST_F(WorkFolderTest, SymlinkPlantedOnTheRootIsRefusedAndNotFollowed) {
  test::TempDir elsewhere{"keelmend-elsewhere"};
  test::WriteFileBytes(elsewhere / "precious.txt", "keep");
  std::filesystem::create_symlink(elsewhere.path(), GetWorkRoot());
  platform::ErrorCode error = 0;
  EXPECT_FALSE(CreateWorkRoot(&error));
  EXPECT_EQ(error, ELOOP);
  EXPECT_FALSE(CreateWorkFolder("/x/a.odb", 0, nullptr, &error));
  EXPECT_FALSE(std::filesystem::exists(elsewhere / "a.odb0"));
  ClearWorkRoot();
  EXPECT_EQ(test::ReadFileBytes(elsewhere / "precious.txt"), "keep");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(GetWorkRoot())));
}

TEST_F(WorkFolderTest, RootOwnedBySomeoneElseIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the folder away";
  std::filesystem::create_directory(GetWorkRoot());
  ASSERT_EQ(::chown(GetWorkRoot().c_str(), 12345, 12345), 0);
  platform::ErrorCode error = 0;
  EXPECT_FALSE(CreateWorkRoot(&error));
  EXPECT_EQ(error, EPERM);
}

TEST_F(WorkFolderTest, RootThatIsAFileIsRefused) {
  test::WriteFileBytes(GetWorkRoot(), "not a folder");
  platform::ErrorCode error = 0;
  EXPECT_FALSE(CreateWorkRoot(&error));
  EXPECT_EQ(error, ENOTDIR);
}

TEST_F(WorkFolderTest, ClearWorkRootWithoutRootDoesNothing) {
  ClearWorkRoot();
  EXPECT_FALSE(std::filesystem::exists(GetWorkRoot()));
  EXPECT_TRUE(std::filesystem::exists(tmp_.path()));
}

TEST_F(WorkFolderTest, ClearWorkRootRemovesEverything) {
  ASSERT_TRUE(CreateWorkFolder("/a/db.odb", 0));
  ASSERT_TRUE(CreateWorkFolder("/b/db.odb", 1));
  const auto f0 = WorkFolderPath("/a/db.odb", 0);
  std::filesystem::create_directories(f0 / "META-INF");
  std::filesystem::create_directories(f0 / "empty" / "deeper" / "deepest");
  test::WriteFileBytes(f0 / "content.xml", "x");
  test::WriteFileBytes(f0 / "META-INF" / "manifest.xml", "m");
  test::WriteFileBytes(WorkFolderPath("/b/db.odb", 1) / "mimetype", "y");
  ClearWorkRoot();
  EXPECT_FALSE(std::filesystem::exists(GetWorkRoot()));
  EXPECT_TRUE(std::filesystem::exists(tmp_.path()));
}

TEST_F(WorkFolderTest, ClearFolderContentsKeepsTheFolderAndRemovesEmptySubfolders) {
  ASSERT_TRUE(CreateWorkFolder("/a/db.odb", 0));
  const auto f = WorkFolderPath("/a/db.odb", 0);
  std::filesystem::create_directories(f / "e1" / "e2");
  std::filesystem::create_directories(f / "Thumbnails");
  test::WriteFileBytes(f / "Thumbnails" / "thumbnail.png", "png");
  ClearFolderContents(f);
  EXPECT_TRUE(std::filesystem::is_directory(f));
  EXPECT_TRUE(std::filesystem::is_empty(f));
}

TEST_F(WorkFolderTest, SymlinkInsideAWorkFolderIsRemovedItselfNotItsTarget) {
  test::TempDir elsewhere{"keelmend-target"};
  test::WriteFileBytes(elsewhere / "precious.txt", "keep");
  ASSERT_TRUE(CreateWorkFolder("/a/db.odb", 0));
  const auto f = WorkFolderPath("/a/db.odb", 0);
  std::filesystem::create_directory_symlink(elsewhere.path(), f / "linked-dir");
  std::filesystem::create_symlink(elsewhere / "precious.txt", f / "linked-file");
  ClearWorkRoot();
  EXPECT_FALSE(std::filesystem::exists(GetWorkRoot()));
  EXPECT_EQ(test::ReadFileBytes(elsewhere / "precious.txt"), "keep");
}

TEST_F(WorkFolderTest, ReadOnlyFileIsDeletedOnPosix) {
  // Decision (see work_folder.h): POSIX deletion depends on the folder, so a
  // read-only file does not survive as it would on Windows.
  ASSERT_TRUE(CreateWorkFolder("/a/db.odb", 0));
  const auto file = WorkFolderPath("/a/db.odb", 0) / "ro.txt";
  test::WriteFileBytes(file, "ro");
  ::chmod(file.c_str(), 0444);
  ClearWorkRoot();
  EXPECT_FALSE(std::filesystem::exists(GetWorkRoot()));
}

TEST_F(WorkFolderTest, WhatCannotBeDeletedStaysSilently) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may delete anything";
  ASSERT_TRUE(CreateWorkFolder("/a/db.odb", 0));
  const auto locked = WorkFolderPath("/a/db.odb", 0) / "locked";
  std::filesystem::create_directory(locked);
  test::WriteFileBytes(locked / "kept.txt", "k");
  ::chmod(locked.c_str(), 0500);
  ClearWorkRoot();
  EXPECT_TRUE(std::filesystem::exists(locked / "kept.txt"));
  ::chmod(locked.c_str(), 0700);
}

TEST_F(WorkFolderTest, ClearFolderContentsOnMissingOrLinkedFolderDoesNothing) {
  ClearFolderContents(tmp_ / "missing");
  test::TempDir elsewhere{"keelmend-target2"};
  test::WriteFileBytes(elsewhere / "precious.txt", "keep");
  std::filesystem::create_directory_symlink(elsewhere.path(), tmp_ / "link");
  ClearFolderContents(tmp_ / "link");
  EXPECT_EQ(test::ReadFileBytes(elsewhere / "precious.txt"), "keep");
}

TEST_F(WorkFolderTest, AfterClearingTheRootIsNamedButAbsentUntilRecreated) {
  ASSERT_TRUE(CreateWorkRoot());
  ClearWorkRoot();
  EXPECT_EQ(GetWorkRoot(), tmp_.path() / "BsTmp");
  EXPECT_FALSE(std::filesystem::exists(GetWorkRoot()));
  ASSERT_TRUE(CreateWorkRoot());
  EXPECT_TRUE(std::filesystem::is_directory(GetWorkRoot()));
}

}  // namespace
}  // namespace keelmend
