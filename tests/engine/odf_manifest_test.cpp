#include "engine/odf_manifest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace keelmend {
namespace {
namespace fs = std::filesystem;

// The manifest LibreOffice 7.4 wrote for tests/data/odb/hsqldb_40.odb.
const std::string kLibreOfficeManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
    "manifest:version=\"1.3\" "
    "xmlns:loext=\"urn:org:documentfoundation:names:experimental:office:xmlns:loext:1.0\">\n"
    " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
    "manifest:media-type=\"application/vnd.oasis.opendocument.base\"/>\n"
    " <manifest:file-entry manifest:full-path=\"settings.xml\" manifest:media-type=\"text/xml\"/>\n"
    " <manifest:file-entry manifest:full-path=\"database/properties\" manifest:media-type=\"\"/>\n"
    " <manifest:file-entry manifest:full-path=\"database/script\" manifest:media-type=\"\"/>\n"
    " <manifest:file-entry manifest:full-path=\"database/backup\" manifest:media-type=\"\"/>\n"
    " <manifest:file-entry manifest:full-path=\"database/data\" manifest:media-type=\"\"/>\n"
    " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
    "</manifest:manifest>";

const std::vector<std::string> kDatabaseFiles = {"settings.xml",        "content.xml",
                                                 "database/properties", "database/script",
                                                 "database/backup",     "database/data"};

class RecordingLog final : public LogSink {
 public:
  void Log(std::string_view text, Colour colour) override {
    lines.emplace_back(std::string(text), colour);
  }
  std::vector<std::pair<std::string, Colour>> lines;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Paths(const ParsedManifest& parsed) {
  std::vector<std::string> out;
  for (const auto& e : parsed.entries) out.push_back(e.fullPath);
  return out;
}

// Removes one whole line of the LibreOffice manifest.
std::string WithoutLine(std::string text, const std::string& fullPath) {
  const auto at = text.find(" <manifest:file-entry manifest:full-path=\"" + fullPath + "\"");
  const auto end = text.find('\n', at);
  return text.erase(at, end + 1 - at);
}

class ManifestFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(KEELMEND_BINARY_DIR) / "test-work" /
              ("manifest-" + std::string(::testing::UnitTest::GetInstance()
                                             ->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void AddDatabaseFiles() {
    WriteFile(folder_ / "mimetype", "application/vnd.oasis.opendocument.base");
    for (const auto& name : kDatabaseFiles) WriteFile(folder_ / name, "bytes of " + name);
  }
  fs::path ManifestPath() const { return folder_ / "META-INF" / "manifest.xml"; }
  std::string Manifest() const { return ReadFile(ManifestPath()); }

  fs::path folder_;
  RecordingLog log_;
};

// ---- the checker ------------------------------------------------------------

TEST(ParseManifest, ReadsWhatLibreOfficeWrites) {
  const auto parsed = ParseManifest(kLibreOfficeManifest);
  ASSERT_EQ(parsed.fault, ManifestFault::kNone);
  EXPECT_EQ(parsed.prefix, "manifest");
  EXPECT_EQ(Paths(parsed),
            (std::vector<std::string>{"/", "settings.xml", "database/properties", "database/script",
                                      "database/backup", "database/data", "content.xml"}));
  const auto& last = parsed.entries.back();
  EXPECT_EQ(kLibreOfficeManifest.substr(last.begin, last.end - last.begin),
            "<manifest:file-entry manifest:full-path=\"content.xml\" "
            "manifest:media-type=\"text/xml\"/>");
  EXPECT_EQ(kLibreOfficeManifest.substr(parsed.rootEndBegin), "</manifest:manifest>");
}

// LibreOffice writes the manifest last, so a truncation can stop anywhere in
// it: every proper prefix must count as cut short, never as intact.
TEST(ParseManifest, EveryTruncationIsCutShort) {
  const auto closed = kLibreOfficeManifest.size();
  for (std::size_t n = 0; n < closed; ++n) {
    const auto parsed = ParseManifest(std::string_view(kLibreOfficeManifest).substr(0, n));
    ASSERT_EQ(parsed.fault, ManifestFault::kCutShort) << "cut at " << n;
    EXPECT_TRUE(parsed.entries.empty());
  }
}

TEST(ParseManifest, RejectsWhatIsNotAWellFormedManifest) {
  const std::string head =
      "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"end tag does not match", head + "<manifest:file-entry></manifest:other></manifest:manifest>"},
      {"unquoted attribute", head + "<manifest:file-entry manifest:full-path=x/></manifest:manifest>"},
      {"attributes run together",
       head + "<manifest:file-entry a=\"1\"b=\"2\"/></manifest:manifest>"},
      {"< inside a value", head + "<manifest:file-entry a=\"<\"/></manifest:manifest>"},
      {"another root", "<office:document-content></office:document-content>"},
      {"text before the root", "junk" + head + "</manifest:manifest>"},
      {"a second root", head + "</manifest:manifest><manifest:manifest/>"},
      {"zeros", std::string(64, '\0')},
      {"a name starting with a digit", head + "<1entry/></manifest:manifest>"},
  };
  for (const auto& [what, text] : cases) {
    EXPECT_EQ(ParseManifest(text).fault, ManifestFault::kMalformed) << what;
  }
}

TEST(ParseManifest, ToleratesOrdinaryXml) {
  const std::string text =
      "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<!-- written by hand -->\r\n"
      "<m:manifest xmlns:m='urn:oasis:names:tc:opendocument:xmlns:manifest:1.0' m:version='1.2'>\r\n"
      "  <m:file-entry m:full-path='/' m:media-type='application/vnd.oasis.opendocument.base'/>\r\n"
      "  <m:file-entry m:full-path=\"a&amp;b &#x41;&#66;.xml\" m:media-type=\"text/xml\">\r\n"
      "    <m:encryption-data m:checksum=\"x\"><m:algorithm/></m:encryption-data>\r\n"
      "  </m:file-entry>\r\n"
      "  <![CDATA[ <not-a-tag> ]]><?pi here?>\r\n"
      "</m:manifest >\r\n<!-- trailing -->\r\n";
  const auto parsed = ParseManifest(text);
  ASSERT_EQ(parsed.fault, ManifestFault::kNone);
  EXPECT_EQ(parsed.prefix, "m");
  ASSERT_EQ(Paths(parsed), (std::vector<std::string>{"/", "a&b AB.xml"}));
  // The element with children spans up to its own end tag.
  const auto& second = parsed.entries[1];
  EXPECT_EQ(text.substr(second.end - 15, 15), "</m:file-entry>");
}

TEST(ParseManifest, RandomBytesNeverPassOrCrash) {
  std::mt19937 rng(20261211);
  for (int round = 0; round < 200; ++round) {
    std::string text = kLibreOfficeManifest;
    const auto at = rng() % text.size();
    for (std::size_t k = at; k < std::min(text.size(), at + 1 + rng() % 8); ++k) {
      text[k] = static_cast<char>(rng() % 256);
    }
    const auto parsed = ParseManifest(text);  // must not crash
    if (parsed.fault != ManifestFault::kNone) {
      EXPECT_TRUE(parsed.entries.empty());
    }
  }
}

TEST(MediaTypeFor, FollowsWhatLibreOfficeWrites) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"content.xml", "text/xml"},       {"forms/Obj11/styles.XML", "text/xml"},
      {"Thumbnails/thumbnail.png", "image/png"}, {"Pictures/a.JPG", "image/jpeg"},
      {"Pictures/a.jpeg", "image/jpeg"}, {"Pictures/b.gif", "image/gif"},
      {"database/script", ""},           {"database/firebird.fbk", ""},
      {"database/data", ""},             {".xml", ""},
      {"dir.xml/file", ""},              {"manifest.rdf", "application/rdf+xml"},
  };
  for (const auto& [path, type] : cases) EXPECT_EQ(MediaTypeFor(path), type) << path;
}

TEST(XmlEscape, EscapesTheFiveSpecialCharacters) {
  EXPECT_EQ(XmlEscape("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
  EXPECT_EQ(XmlEscape("plain/name.xml"), "plain/name.xml");
}

// ---- the folder ---------------------------------------------------------------

TEST_F(ManifestFolder, MissingManifestIsRegeneratedFromTheFolder) {
  AddDatabaseFiles();
  WriteFile(folder_ / "Thumbnails" / "thumbnail.png", "png");
  WriteFile(folder_ / "META-INF" / "documentsignatures.xml", "<x/>");

  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_EQ(repair.fault, ManifestFault::kMissing);
  EXPECT_TRUE(repair.regenerated);
  EXPECT_TRUE(repair.changed);
  EXPECT_FALSE(repair.failed);

  const std::string text = Manifest();
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
            "manifest:version=\"1.3\">\n"
            " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
            "manifest:media-type=\"application/vnd.oasis.opendocument.base\"/>\n"
            " <manifest:file-entry manifest:full-path=\"Thumbnails/thumbnail.png\" "
            "manifest:media-type=\"image/png\"/>\n"
            " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
            " <manifest:file-entry manifest:full-path=\"database/backup\" manifest:media-type=\"\"/>\n"
            " <manifest:file-entry manifest:full-path=\"database/data\" manifest:media-type=\"\"/>\n"
            " <manifest:file-entry manifest:full-path=\"database/properties\" manifest:media-type=\"\"/>\n"
            " <manifest:file-entry manifest:full-path=\"database/script\" manifest:media-type=\"\"/>\n"
            " <manifest:file-entry manifest:full-path=\"settings.xml\" manifest:media-type=\"text/xml\"/>\n"
            "</manifest:manifest>\n");
  EXPECT_EQ(ParseManifest(text).fault, ManifestFault::kNone);
  ASSERT_EQ(log_.lines.size(), 1u);
  EXPECT_EQ(log_.lines[0].first, " manifest.xml regenerated, the old one was missing....\r\n");
  EXPECT_EQ(log_.lines[0].second, kLogBlack);
}

TEST_F(ManifestFolder, UnusableManifestIsRegeneratedWithTheReason) {
  struct Case {
    const char* what;
    std::string text;
    ManifestFault fault;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"cut inside an entry", kLibreOfficeManifest.substr(0, 400), ManifestFault::kCutShort,
       " manifest.xml regenerated, the old one was cut short....\r\n"},
      {"empty", "", ManifestFault::kCutShort,
       " manifest.xml regenerated, the old one was cut short....\r\n"},
      {"zeroed block", kLibreOfficeManifest.substr(0, 300) + std::string(64, '\0') +
                           kLibreOfficeManifest.substr(364),
       ManifestFault::kMalformed, " manifest.xml regenerated, the old one was unreadable....\r\n"},
      {"no prefix", "<manifest xmlns=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"></manifest>",
       ManifestFault::kMalformed, " manifest.xml regenerated, the old one was unreadable....\r\n"},
      {"self-closed root", "<manifest:manifest xmlns:manifest=\"x\"/>", ManifestFault::kMalformed,
       " manifest.xml regenerated, the old one was unreadable....\r\n"},
  };
  AddDatabaseFiles();
  for (const auto& c : cases) {
    WriteFile(ManifestPath(), c.text);
    log_.lines.clear();
    const auto repair = EnsureManifest(folder_, log_);
    EXPECT_EQ(repair.fault, c.fault) << c.what;
    EXPECT_TRUE(repair.regenerated) << c.what;
    const auto parsed = ParseManifest(Manifest());
    ASSERT_EQ(parsed.fault, ManifestFault::kNone) << c.what;
    EXPECT_EQ(parsed.entries.size(), kDatabaseFiles.size() + 1) << c.what;
    ASSERT_FALSE(log_.lines.empty()) << c.what;
    EXPECT_EQ(log_.lines[0].first, c.line) << c.what;
  }
}

TEST_F(ManifestFolder, IntactManifestOfACompleteFolderStaysByteForByte) {
  AddDatabaseFiles();
  WriteFile(ManifestPath(), kLibreOfficeManifest);
  const auto before = fs::last_write_time(ManifestPath());

  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_EQ(repair.fault, ManifestFault::kNone);
  EXPECT_FALSE(repair.regenerated);
  EXPECT_FALSE(repair.changed);
  EXPECT_TRUE(repair.dropped.empty());
  EXPECT_TRUE(repair.added.empty());
  EXPECT_EQ(Manifest(), kLibreOfficeManifest);
  EXPECT_EQ(fs::last_write_time(ManifestPath()), before);
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(ManifestFolder, LinesOfFilesThatAreGoneAreDropped) {
  AddDatabaseFiles();
  fs::remove(folder_ / "database" / "data");
  fs::remove(folder_ / "settings.xml");
  WriteFile(ManifestPath(), kLibreOfficeManifest);

  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_FALSE(repair.regenerated);
  EXPECT_TRUE(repair.changed);
  EXPECT_EQ(repair.dropped, (std::vector<std::string>{"settings.xml", "database/data"}));
  EXPECT_EQ(Manifest(), WithoutLine(WithoutLine(kLibreOfficeManifest, "settings.xml"),
                                    "database/data"));
  ASSERT_EQ(log_.lines.size(), 2u);
  EXPECT_EQ(log_.lines[0].first,
            " manifest.xml: dropped the entry of settings.xml, which is gone....\r\n");
  EXPECT_EQ(log_.lines[1].first,
            " manifest.xml: dropped the entry of database/data, which is gone....\r\n");
}

TEST_F(ManifestFolder, ManyUnlistedFilesAreAddedWithOneLogLine) {
  AddDatabaseFiles();
  WriteFile(ManifestPath(), kLibreOfficeManifest);
  for (int i = 0; i < 20; ++i) WriteFile(folder_ / "Pictures" / ("p" + std::to_string(i) + ".png"), "x");

  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_EQ(repair.added.size(), 20u);
  for (const auto& name : repair.added) EXPECT_NE(Manifest().find(name), std::string::npos) << name;
  ASSERT_EQ(log_.lines.size(), 1u) << "thousands of entries must not mean thousands of lines";
  EXPECT_EQ(log_.lines[0].first.rfind(" manifest.xml: added the missing entries of 20 files (", 0), 0u)
      << log_.lines[0].first;
}

TEST_F(ManifestFolder, LinesLeadingOutOfThePackageAreDropped) {
  WriteFile(folder_ / "content.xml", "<x/>");
  WriteFile(folder_.parent_path() / "outside.xml", "<x/>");  // exists, but not in the package
  WriteFile(ManifestPath(),
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">\n"
            " <manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"m\"/>\n"
            " <manifest:file-entry manifest:full-path=\"../outside.xml\" manifest:media-type=\"\"/>\n"
            " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
            " <manifest:file-entry manifest:full-path=\"" + folder_.string() + "/content.xml\" "
            "manifest:media-type=\"\"/>\n"
            "</manifest:manifest>\n");
  const auto repair = EnsureManifest(folder_, log_);
  fs::remove(folder_.parent_path() / "outside.xml");
  EXPECT_EQ(repair.dropped,
            (std::vector<std::string>{"../outside.xml", folder_.string() + "/content.xml"}));
  EXPECT_EQ(Paths(ParseManifest(Manifest())), (std::vector<std::string>{"/", "content.xml"}));
}

// LibreOffice refuses a package with a file its manifest does not list, and
// one whose manifest lacks the root entry.
TEST_F(ManifestFolder, UnlistedFilesAndTheRootEntryAreAdded) {
  AddDatabaseFiles();
  WriteFile(folder_ / "database" / "log", "");
  WriteFile(ManifestPath(), WithoutLine(kLibreOfficeManifest, "/"));

  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_FALSE(repair.regenerated);
  EXPECT_EQ(repair.added, (std::vector<std::string>{"/", "database/log"}));
  const std::string text = Manifest();
  const auto parsed = ParseManifest(text);
  ASSERT_EQ(parsed.fault, ManifestFault::kNone);
  EXPECT_EQ(Paths(parsed),
            (std::vector<std::string>{"/", "settings.xml", "database/properties", "database/script",
                                      "database/backup", "database/data", "content.xml",
                                      "database/log"}));
  // The root entry takes the manifest's own version, the rest is untouched.
  EXPECT_NE(text.find(" <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
                      "manifest:media-type=\"application/vnd.oasis.opendocument.base\"/>\n"),
            std::string::npos);
  EXPECT_NE(text.find(" <manifest:file-entry manifest:full-path=\"database/log\" "
                      "manifest:media-type=\"\"/>\n</manifest:manifest>"),
            std::string::npos);
  EXPECT_EQ(log_.lines.size(), 2u);
}

TEST_F(ManifestFolder, AnEntryWithChildrenIsDroppedWhole) {
  WriteFile(folder_ / "content.xml", "<x/>");
  WriteFile(ManifestPath(),
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">\n"
            " <manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"m\"/>\n"
            " <manifest:file-entry manifest:full-path=\"gone.xml\" manifest:media-type=\"text/xml\">\n"
            "  <manifest:encryption-data/>\n"
            " </manifest:file-entry>\n"
            " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
            "</manifest:manifest>\n");
  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_EQ(repair.dropped, std::vector<std::string>{"gone.xml"});
  EXPECT_EQ(Manifest(),
            "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">\n"
            " <manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"m\"/>\n"
            " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
            "</manifest:manifest>\n");
}

TEST_F(ManifestFolder, SubDocumentFoldersAreListedAndNamesEscaped) {
  WriteFile(folder_ / "content.xml", "<x/>");
  WriteFile(folder_ / "forms" / "Obj11" / "content.xml", "<x/>");
  WriteFile(folder_ / "reports" / "Obj21" / "content.xml", "<x/>");
  WriteFile(folder_ / "misc" / "Doc" / "content.xml", "<x/>");
  WriteFile(folder_ / "misc" / "Doc" / "mimetype", "application/vnd.oasis.opendocument.text");
  WriteFile(folder_ / "Pictures" / "a&b.png", "png");
  WriteFile(folder_ / "empty-folder" / ".keep", "");
  WriteFile(folder_ / "Configurations2" / "accelerator" / "current.xml", "<x/>");

  EnsureManifest(folder_, log_);
  const auto parsed = ParseManifest(Manifest());
  ASSERT_EQ(parsed.fault, ManifestFault::kNone);
  EXPECT_EQ(Paths(parsed),
            (std::vector<std::string>{"/", "Configurations2/", "Configurations2/accelerator/current.xml",
                                      "Pictures/a&b.png", "content.xml", "empty-folder/.keep",
                                      "forms/Obj11/", "forms/Obj11/content.xml", "misc/Doc/",
                                      "misc/Doc/content.xml", "misc/Doc/mimetype", "reports/Obj21/",
                                      "reports/Obj21/content.xml"}));
  const auto text = Manifest();
  EXPECT_NE(text.find("full-path=\"Pictures/a&amp;b.png\" manifest:media-type=\"image/png\""),
            std::string::npos);
  EXPECT_NE(text.find("full-path=\"forms/Obj11/\" "
                      "manifest:media-type=\"application/vnd.oasis.opendocument.text\""),
            std::string::npos);
  EXPECT_NE(text.find("full-path=\"Configurations2/\" "
                      "manifest:media-type=\"application/vnd.sun.xml.ui.configuration\""),
            std::string::npos);
  EXPECT_NE(text.find("full-path=\"misc/Doc/\" "
                      "manifest:media-type=\"application/vnd.oasis.opendocument.text\""),
            std::string::npos);

  // Run again: the manifest now fits and stays as it is.
  log_.lines.clear();
  const auto again = EnsureManifest(folder_, log_);
  EXPECT_FALSE(again.changed);
  EXPECT_EQ(Manifest(), text);
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(ManifestFolder, FolderWithOnlyMimetypeGetsTheRootEntryAlone) {
  WriteFile(folder_ / "mimetype", "application/vnd.oasis.opendocument.base");
  EnsureManifest(folder_, log_);
  EXPECT_EQ(Paths(ParseManifest(Manifest())), std::vector<std::string>{"/"});
}

TEST_F(ManifestFolder, MissingFolderIsLeftAlone) {
  const auto missing = folder_ / "not-there";
  const auto repair = EnsureManifest(missing, log_);
  EXPECT_TRUE(repair.failed);
  EXPECT_FALSE(repair.changed);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(ManifestFolder, ManifestThatCannotBeWrittenIsReportedInRed) {
  AddDatabaseFiles();
  fs::create_directories(ManifestPath());  // a folder where the file belongs
  const auto repair = EnsureManifest(folder_, log_);
  EXPECT_TRUE(repair.failed);
  EXPECT_FALSE(repair.changed);
  ASSERT_EQ(log_.lines.size(), 1u);
  EXPECT_EQ(log_.lines[0].first, " manifest.xml could not be written....\r\n");
  EXPECT_EQ(log_.lines[0].second, kLogRed);
}

}  // namespace
}  // namespace keelmend
