// The folder packer: an ODF package with mimetype first, stored and without
// extra field, the other files sorted by name, and an earlier archive
// replaced only by a complete new one.
#include "engine/folder_packer.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace keelmend {
namespace {

constexpr std::int64_t kFixedTime = 1700000000;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

unsigned U16At(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return U16At(b, at) | (static_cast<std::uint32_t>(U16At(b, at + 2)) << 16);
}

// The entries as their local headers follow one another from the start of
// the archive (the writer never uses data descriptors).
struct LocalEntry {
  std::string name;
  unsigned method, extraLength;
  std::string storedData;  // the data when stored
};

std::vector<LocalEntry> ReadLocalEntries(const Bytes& b) {
  std::vector<LocalEntry> entries;
  std::size_t at = 0;
  while (at + 30 <= b.size() && U32At(b, at) == 0x04034B50u) {
    LocalEntry e;
    e.method = U16At(b, at + 8);
    const std::uint32_t size = U32At(b, at + 18);
    const unsigned nameLength = U16At(b, at + 26);
    e.extraLength = U16At(b, at + 28);
    const std::size_t name = at + 30;
    const std::size_t data = name + nameLength + e.extraLength;
    e.name.assign(b.begin() + static_cast<std::ptrdiff_t>(name),
                  b.begin() + static_cast<std::ptrdiff_t>(name + nameLength));
    if (e.method == 0) {
      e.storedData.assign(b.begin() + static_cast<std::ptrdiff_t>(data),
                          b.begin() + static_cast<std::ptrdiff_t>(data + size));
    }
    entries.push_back(e);
    at = data + size;
  }
  return entries;
}

std::vector<std::string> Names(const std::vector<LocalEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

std::string RunCommand(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return output;
  std::array<char, 4096> chunk{};
  while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) output.append(chunk.data(), n);
  const int rc = pclose(pipe);
  if (status) *status = rc;
  return output;
}

bool HaveProgram(const std::string& name) {
  int status = -1;
  RunCommand("command -v " + name, &status);
  return status == 0;
}

class FolderPackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    char pattern[] = "/tmp/keelmend-packer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    work_ = dir_ / "work";
    out_ = dir_ / "out";
    fs::create_directories(work_);
    fs::create_directories(out_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void Put(const std::string& relative, const std::string& content) {
    const fs::path path = work_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    Stamp(path);
  }
  static void Stamp(const fs::path& path) {
    const timespec times[2] = {{kFixedTime, 0}, {kFixedTime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  // Reading a file may move its access time, which the entries record: set
  // all times back before a packing that must repeat an earlier one.
  void StampAll() const {
    for (const auto& e : fs::recursive_directory_iterator(work_)) {
      if (e.is_regular_file()) Stamp(e.path());
    }
  }
  // Files of the destination folder other than `keep`: left-over temporaries.
  std::vector<std::string> Leftovers(const fs::path& keep) const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(out_)) {
      if (e.path() != keep) found.push_back(e.path().filename().string());
    }
    return found;
  }
  fs::path dir_, work_, out_;
  FolderPacker packer_;
};

TEST_F(FolderPackerTest, MimetypeComesFirstStoredWithoutExtraThenNamesSorted) {
  Put("content.xml", "<office:document-content/>");
  Put("mimetype", "application/vnd.oasis.opendocument.base");
  Put("Thumbnails/thumbnail.png", "png");
  Put("a/b/c/deep.txt", "three levels down");
  Put("settings.xml", "<settings/>");
  Put(".hidden", "packed like any other");
  fs::create_directories(work_ / "Empty" / "Inner");
  const fs::path archive = out_ / "VANTRELREP_db.odb";

  const PackResult result = packer_.PackFolder(work_, archive);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.entries, 6u);
  EXPECT_TRUE(result.skipped.empty());

  const auto entries = ReadLocalEntries(ReadAll(archive));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"mimetype", ".hidden", "Thumbnails/thumbnail.png",
                                                      "a/b/c/deep.txt", "content.xml", "settings.xml"}));
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].method, 0u);
  EXPECT_EQ(entries[0].extraLength, 0u);
  EXPECT_EQ(entries[0].storedData, "application/vnd.oasis.opendocument.base");
  for (std::size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].method, 8u) << entries[i].name;
    EXPECT_EQ(entries[i].extraLength, 17u) << entries[i].name;
  }
  if (HaveProgram("file")) {
    EXPECT_NE(RunCommand("file -b '" + archive.string() + "'").find("OpenDocument Database"), std::string::npos);
  }
  if (HaveProgram("python3")) {
    EXPECT_EQ(RunCommand("python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).testzip())' '" +
                         archive.string() + "'"),
              "None\n");
  }
}

TEST_F(FolderPackerTest, WritesTheDatabaseMimetypeWhenTheFolderHasNone) {
  Put("content.xml", "<office:document-content/>");
  const fs::path archive = out_ / "db.odb";
  ASSERT_TRUE(packer_.PackFolder(work_, archive).ok);
  const auto entries = ReadLocalEntries(ReadAll(archive));
  ASSERT_EQ(Names(entries), (std::vector<std::string>{"mimetype", "content.xml"}));
  EXPECT_EQ(entries[0].method, 0u);
  EXPECT_EQ(entries[0].extraLength, 0u);
  EXPECT_EQ(entries[0].storedData, kOdfDatabaseMimetype);
}

TEST_F(FolderPackerTest, EmptyFolderGivesAPackageWithOnlyItsMimetype) {
  const fs::path archive = out_ / "empty.odb";
  const PackResult result = packer_.PackFolder(work_, archive);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.entries, 1u);
  EXPECT_EQ(Names(ReadLocalEntries(ReadAll(archive))), std::vector<std::string>{"mimetype"});
}

TEST_F(FolderPackerTest, PackingTwiceGivesTheSameBytesAndReplacesTheEarlierArchive) {
  Put("content.xml", "<office:document-content/>");
  Put("database/script", "CREATE TABLE T(ID INT)");
  Put("database/properties", "version=1.8.0");
  Put("META-INF/manifest.xml", "<manifest:manifest/>");
  const fs::path first = out_ / "first.odb";
  const fs::path second = out_ / "second.odb";
  std::ofstream(second) << "an earlier archive of that name";
  ASSERT_TRUE(packer_.PackFolder(work_, first).ok);
  StampAll();
  ASSERT_TRUE(packer_.PackFolder(work_, second).ok);
  EXPECT_EQ(ReadAll(first), ReadAll(second));
  StampAll();
  ASSERT_TRUE(packer_.PackFolder(work_, second).ok);
  EXPECT_EQ(ReadAll(first), ReadAll(second));
  EXPECT_EQ(Leftovers(first), std::vector<std::string>{"second.odb"});
}

TEST_F(FolderPackerTest, FailedPackingLeavesTheEarlierFileAndNoTemporary) {
  std::mt19937 random(1);
  std::string noise(1000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  Put("content.xml", noise);
  const std::string earlier = "the archive of an earlier save";
  ZipWriterSettings tiny;
  tiny.maxArchiveBytes = 300;  // room for the mimetype, not for content.xml

  const struct {
    const char* what;
    fs::path folder;
    fs::path archive;
    ZipWriterSettings settings;
    bool earlierFile;
  } cases[] = {
      {"the folder does not exist", work_ / "missing", out_ / "db.odb", {}, true},
      {"the archive would pass the size limit", work_, out_ / "db.odb", tiny, true},
      {"the destination folder does not exist", work_, out_ / "missing" / "db.odb", {}, false},
      {"a folder has the archive's name", work_, out_ / "db.odb", {}, false},
  };
  for (const auto& c : cases) {
    std::error_code ec;
    fs::remove_all(out_, ec);
    fs::create_directories(out_);
    if (c.earlierFile) {
      std::ofstream(c.archive) << earlier;
    } else if (c.archive.parent_path() == out_) {
      fs::create_directories(c.archive / "inside");
    }
    const PackResult result = packer_.PackFolder(c.folder, c.archive, c.settings);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_FALSE(result.error.empty()) << c.what;
    if (c.earlierFile) {
      const Bytes kept = ReadAll(c.archive);
      EXPECT_EQ(std::string(kept.begin(), kept.end()), earlier) << c.what;
    } else if (c.archive.parent_path() == out_) {
      EXPECT_TRUE(fs::is_directory(c.archive / "inside")) << c.what;
    } else {
      EXPECT_FALSE(fs::exists(c.archive)) << c.what;
    }
    EXPECT_EQ(Leftovers(c.archive), std::vector<std::string>{}) << c.what;
  }
}

TEST_F(FolderPackerTest, SymbolicLinksAreNotFollowedOutOfTheFolder) {
  Put("content.xml", "<office:document-content/>");
  const fs::path outside = dir_ / "outside";
  fs::create_directories(outside / "folder");
  std::ofstream(outside / "secret.txt") << "secret";
  std::ofstream(outside / "folder" / "more.txt") << "more";
  fs::create_symlink(outside / "secret.txt", work_ / "secret.txt");
  fs::create_directory_symlink(outside / "folder", work_ / "folder");
  const fs::path archive = out_ / "db.odb";
  ASSERT_TRUE(packer_.PackFolder(work_, archive).ok);
  EXPECT_EQ(Names(ReadLocalEntries(ReadAll(archive))), (std::vector<std::string>{"mimetype", "content.xml"}));
}

TEST_F(FolderPackerTest, NamesTooLongToStoreAreSkippedAndReported) {
  Put("content.xml", "<office:document-content/>");
  const std::string longName = std::string(200, 'd') + "/" + std::string(100, 'f') + ".xml";
  Put(longName, "cannot be named in the archive");
  const fs::path archive = out_ / "db.odb";
  const PackResult result = packer_.PackFolder(work_, archive);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.skipped.size(), 1u);
  EXPECT_EQ(result.skipped[0].name, longName);
  EXPECT_EQ(result.skipped[0].code, kZipBadArguments);
  EXPECT_EQ(Names(ReadLocalEntries(ReadAll(archive))), (std::vector<std::string>{"mimetype", "content.xml"}));
}

}  // namespace
}  // namespace keelmend
