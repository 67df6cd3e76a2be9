// platform/entry_names: salvaged names as confined relative paths.
#include "platform/entry_names.h"

#include <gtest/gtest.h>

namespace keelmend::platform {
namespace {

std::string Rel(std::string_view name) {
  const EntryPath p = EntryNameToRelativePath(name);
  return p.status == EntryNameStatus::kOk ? p.relative.generic_string() : "<not a file name>";
}

TEST(EntryNames, ConversionTable) {
  EXPECT_EQ(Rel("content.xml"), "content.xml");
  EXPECT_EQ(Rel("META-INF\\manifest.xml"), "META-INF/manifest.xml");
  EXPECT_EQ(Rel("Thumbnails/thumbnail.png"), "Thumbnails/thumbnail.png");
  EXPECT_EQ(Rel("a\\b/c.xml"), "a/b/c.xml");
  EXPECT_EQ(Rel("C:\\x\\y.xml"), "C/x/y.xml");           // colons removed
  EXPECT_EQ(Rel("a:b:c.txt"), "abc.txt");
  EXPECT_EQ(Rel("..\\..\\evil.txt"), "evil.txt");        // never above the folder
  EXPECT_EQ(Rel("../x/../../y"), "x/y");
  EXPECT_EQ(Rel("/etc/passwd"), "etc/passwd");           // absolute made relative
  EXPECT_EQ(Rel("\\\\server\\share\\f"), "server/share/f");
  EXPECT_EQ(Rel("a//b\\\\c"), "a/b/c");                  // empty components dropped
  EXPECT_EQ(Rel("./a/./b"), "a/b");
  EXPECT_EQ(Rel(".:./x"), "x");                          // ".." made by removing a colon
  EXPECT_EQ(Rel("..."), "...");                          // a valid name on Linux
  EXPECT_EQ(Rel("caf\xC3\xA9.txt"), "caf\xC3\xA9.txt");  // bytes kept
  EXPECT_EQ(Rel("\xE9t\xE9"), "\xE9t\xE9");
}

TEST(EntryNames, NotFileNames) {
  EXPECT_EQ(Rel(""), "<not a file name>");
  EXPECT_EQ(Rel(".."), "<not a file name>");
  EXPECT_EQ(Rel("/"), "<not a file name>");
  EXPECT_EQ(Rel("C:"), "C");  // a drive letter alone becomes the file "C"
  EXPECT_EQ(Rel(":"), "<not a file name>");
  EXPECT_EQ(Rel("folder/"), "<not a file name>");
  EXPECT_EQ(Rel("folder\\"), "<not a file name>");
  EXPECT_EQ(Rel(std::string("a\0b", 3)), "<not a file name>");
  EXPECT_EQ(Rel(std::string(256, 'x')), "<not a file name>");
  EXPECT_EQ(Rel(std::string(255, 'x')), std::string(255, 'x'));
  EXPECT_FALSE(EntryNameToRelativePath("..").problem.empty());
}

TEST(EntryNames, SeparatorFlag) {
  EXPECT_TRUE(EntryNameToRelativePath("a\\b").hadSeparator);
  EXPECT_TRUE(EntryNameToRelativePath("a/b").hadSeparator);
  EXPECT_FALSE(EntryNameToRelativePath("ab").hadSeparator);
}

TEST(EntryNames, ConfinedPathsStayBelow) {
  const std::filesystem::path folder = "/tmp/work/db.odb0";
  for (const char* name : {"../../x", "/abs", "C:\\win", "a/../../b", "..\\..\\..\\etc\\passwd"}) {
    const EntryPath p = EntryNameToRelativePath(name);
    ASSERT_EQ(p.status, EntryNameStatus::kOk) << name;
    EXPECT_TRUE(IsBelowFolder(folder, ConfinedPath(folder, p.relative))) << name;
  }
  EXPECT_FALSE(IsBelowFolder(folder, "/tmp/work/db.odb0/../x"));
  EXPECT_FALSE(IsBelowFolder(folder, folder));
  EXPECT_FALSE(IsBelowFolder(folder, "/tmp/work/db.odb01/x"));
}

TEST(EntryNames, BackToEntryNames) {
  EXPECT_EQ(RelativePathToEntryName("META-INF/manifest.xml"), "META-INF/manifest.xml");
  EXPECT_EQ(RelativePathToEntryName("./a/b"), "a/b");
  EXPECT_EQ(RelativePathToEntryName("content.xml"), "content.xml");
  const EntryPath p = EntryNameToRelativePath("Thumbnails\\thumbnail.png");
  EXPECT_EQ(RelativePathToEntryName(p.relative), "Thumbnails/thumbnail.png");
}

TEST(EntryNames, DisplayText) {
  EXPECT_EQ(EntryNameForDisplay("caf\xC3\xA9"), "caf\xC3\xA9");    // valid UTF-8 kept
  EXPECT_EQ(EntryNameForDisplay("caf\xE9"), "caf\xC3\xA9");        // Latin-1 widened
  EXPECT_EQ(EntryNameForDisplay("\xC3"), "\xC3\x83");              // cut sequence
  EXPECT_EQ(EntryNameForDisplay("a\\b"), "a\\b");
}

}  // namespace
}  // namespace keelmend::platform
