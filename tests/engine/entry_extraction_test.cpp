// Extraction of salvaged entries into a work folder.
#include "engine/entry_extraction.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>

#include "engine/descriptor_template.h"
#include "engine/salvage_scan.h"
#include "platform/error_text.h"
#include "support/zip_fixture.h"

namespace keelmend {
namespace {

using test::ZipBuilder;
using test::ZipEntryOptions;
using test::ZipMethod;

struct Extraction {
  std::vector<SalvagedEntry> entries;
  ExtractionReport report;
  test::RecordingLog log;
  test::RecordingNotify notify;
  test::RecordingProgress progress;
};

// Writes `zip` as source.odb in `dir`, scans it and extracts into dir/work.
Extraction ScanAndExtract(const test::TempDir& dir, const std::string& bytes) {
  Extraction run;
  const auto source = dir / "source.odb";
  EXPECT_TRUE(test::WriteFileBytes(source, bytes));
  test::RecordingLog scanLog;
  test::RecordingNotify scanNotify;
  EXPECT_TRUE(SalvageScan(source, run.entries, scanLog, NeverStop(), scanNotify));
  std::filesystem::create_directories(dir / "work");
  run.report = ExtractEntries(run.entries, dir / "work", source, run.progress, run.notify, run.log);
  return run;
}

// Files in the work folder, the template left out.
std::vector<std::string> EntryFiles(const test::TempDir& dir) {
  auto files = test::ListFiles(dir / "work");
  files.erase(std::remove(files.begin(), files.end(), "content.xml"), files.end());
  return files;
}

// No temporary file of ours anywhere below `folder`.
bool NoTempFiles(const std::filesystem::path& folder) {
  for (const auto& f : test::ListFiles(folder)) {
    if (f.find(".~km") != std::string::npos) return false;
  }
  return true;
}

TEST(ExtractEntries, EmptyListWritesOnlyTheTemplate) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "work");
  Extraction run;
  run.report = ExtractEntries({}, dir / "work", dir / "none.odb", run.progress, run.notify, run.log);
  EXPECT_EQ(test::ListFiles(dir / "work"), std::vector<std::string>{"content.xml"});
  EXPECT_TRUE(run.report.templateWritten);
  EXPECT_EQ(run.progress.starts, std::vector<std::uint32_t>{0});
  ASSERT_FALSE(run.progress.positions.empty());
  EXPECT_EQ(run.progress.positions.back(), 0u);
  EXPECT_TRUE(run.log.lines.empty());
  EXPECT_TRUE(run.notify.messages.empty());
}

TEST(ExtractEntries, StoredCopiedAndDeflatedInflated) {
  test::TempDir dir;
  ZipBuilder zip;
  const std::string mime = "application/vnd.oasis.opendocument.base";
  const std::string xml = test::TextBytes(50000, 2);
  const std::string bin = test::RandomBytes(70000, 3);
  zip.AddStored("mimetype", mime);
  zip.AddDeflated("content.xml", xml);
  ZipEntryOptions dd;
  dd.dataDescriptor = true;
  zip.Add("database/script", xml.substr(0, 1234), dd);
  zip.AddStored("Pictures/p.bin", bin);
  zip.FinishCentralDirectory();
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  ASSERT_EQ(run.entries.size(), 4u);
  EXPECT_EQ(run.report.written, 4u);
  EXPECT_EQ(run.report.damaged, 0u);
  EXPECT_EQ(run.report.skipped, 0u);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "mimetype"), mime);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "content.xml"), xml);  // 50000 bytes: kept
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "database" / "script"), xml.substr(0, 1234));
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "Pictures" / "p.bin"), bin);
  EXPECT_FALSE(run.report.entries[0].inflated);
  EXPECT_TRUE(run.report.entries[1].inflated);
  EXPECT_TRUE(run.log.lines.empty());
  EXPECT_TRUE(run.notify.messages.empty());
  EXPECT_TRUE(NoTempFiles(dir.path()));
  // Progress: Start(4), the index of each entry done, then 4.
  EXPECT_EQ(run.progress.starts, std::vector<std::uint32_t>{4});
  EXPECT_EQ(run.progress.positions, (std::vector<std::uint32_t>{0, 0, 1, 2, 3, 4}));
}

TEST(ExtractEntries, SmallAndIncompressibleDeflatedEntriesAreExtracted) {
  // The mended fault: compressed data longer than the uncompressed data.
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddDeflated("one.txt", "x");
  zip.AddDeflated("empty-ish.txt", "ab");
  const std::string random = test::RandomBytes(5000, 4);
  const auto e = zip.AddDeflated("random.bin", random, 9);
  ASSERT_GT(e.compressedSize, e.uncompressedSize);
  ZipEntryOptions stored0;
  stored0.level = 0;
  const auto s0 = zip.Add("level0.bin", random.substr(0, 100), stored0);
  ASSERT_GT(s0.compressedSize, s0.uncompressedSize);
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.written, 4u);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "one.txt"), "x");
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "empty-ish.txt"), "ab");
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "random.bin"), random);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "level0.bin"), random.substr(0, 100));
}

// Content whose raw deflate output has exactly its own length.
std::string ContentDeflatingToSameSize() {
  for (std::uint32_t seed = 1; seed < 50; ++seed) {
    for (std::size_t run = 0; run < 400; ++run) {
      std::string content = test::RandomBytes(150, seed) + std::string(run, 'a');
      if (test::RawDeflate(content).size() == content.size()) return content;
    }
  }
  return {};
}

TEST(ExtractEntries, DeflatedEntryWithEqualSizesIsInflatedAndChecked) {
  const std::string content = ContentDeflatingToSameSize();
  ASSERT_FALSE(content.empty());
  test::TempDir dir;
  ZipBuilder zip;
  const auto e = zip.AddDeflated("same-size.bin", content);
  ASSERT_EQ(e.compressedSize, e.uncompressedSize);
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  ASSERT_EQ(run.report.written, 1u);
  EXPECT_TRUE(run.report.entries[0].inflated);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "same-size.bin"), content);
}

TEST(ExtractEntries, StoredDataLabelledDeflatedWithEqualSizesFallsBackToCopy) {
  test::TempDir dir;
  ZipBuilder zip;
  ZipEntryOptions o;
  o.method = ZipMethod::kStored;
  o.methodField = 8;  // the header lies about the method
  const std::string text = "plain text that is not a deflate stream at all, honestly";
  zip.Add("label.txt", text, o);
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  ASSERT_EQ(run.report.written, 1u);
  EXPECT_FALSE(run.report.entries[0].inflated);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "label.txt"), text);
}

TEST(ExtractEntries, UnknownMethodUsesTheSizeRule) {
  test::TempDir dir;
  ZipBuilder zip;
  ZipEntryOptions copy;
  copy.method = ZipMethod::kStored;
  copy.methodField = 77;
  zip.Add("copied.txt", "copied bytes", copy);
  ZipEntryOptions infl;
  infl.methodField = 77;
  const std::string text = test::TextBytes(3000);
  zip.Add("inflated.txt", text, infl);
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.written, 2u);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "copied.txt"), "copied bytes");
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "inflated.txt"), text);
}

TEST(ExtractEntries, CrcMismatchIsLeftOutWithRedLine) {
  test::TempDir dir;
  ZipBuilder zip;
  ZipEntryOptions bad;
  bad.crcField = 0xDEADBEEF;
  zip.Add("bad.xml", test::TextBytes(2000), bad);
  ZipEntryOptions badStored = bad;
  badStored.method = ZipMethod::kStored;
  zip.Add("bad-stored.txt", "some stored text", badStored);
  zip.AddStored("good.txt", "good");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.written, 1u);
  EXPECT_EQ(run.report.damaged, 2u);
  EXPECT_EQ(run.report.entries[0].problem, EntryProblem::kCrcMismatch);
  EXPECT_EQ(run.report.entries[1].problem, EntryProblem::kCrcMismatch);
  EXPECT_EQ(EntryFiles(dir), std::vector<std::string>{"good.txt"});
  const std::string source = (dir / "source.odb").string();
  ASSERT_EQ(run.log.lines.size(), 2u);
  EXPECT_EQ(run.log.lines[0].first, source + " entry bad.xml is damaged and left out....\r\n");
  EXPECT_EQ(run.log.lines[0].second, kLogRed);
  EXPECT_EQ(run.log.lines[1].first, source + " entry bad-stored.txt is damaged and left out....\r\n");
  EXPECT_TRUE(NoTempFiles(dir.path()));
}

TEST(ExtractEntries, CorruptStreamIsDamaged) {
  test::TempDir dir;
  ZipBuilder zip;
  const std::string text = test::TextBytes(10000);
  const auto e = zip.AddDeflated("broken.xml", text);
  std::string bytes = zip.Bytes();
  test::Overwrite(bytes, e.dataOffset + 10, std::string(20, '\xFF'));
  const Extraction run = ScanAndExtract(dir, bytes);
  ASSERT_EQ(run.report.entries.size(), 1u);
  EXPECT_EQ(run.report.entries[0].outcome, EntryOutcome::kDamaged);
  EXPECT_TRUE(EntryFiles(dir).empty());
  EXPECT_TRUE(NoTempFiles(dir.path()));
  EXPECT_EQ(run.log.Count(kLogRed), 1u);
}

TEST(ExtractEntries, TruncatedSourceWritesNothing) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("first.txt", "first");
  const std::string text = test::RandomBytes(300000, 8);
  const auto e = zip.AddDeflated("cut.bin", text);
  std::string bytes = zip.Bytes();
  test::Truncate(bytes, e.dataOffset + e.compressedSize / 2);
  const Extraction run = ScanAndExtract(dir, bytes);
  ASSERT_EQ(run.report.entries.size(), 2u);
  EXPECT_EQ(run.report.entries[1].outcome, EntryOutcome::kDamaged);
  EXPECT_EQ(run.report.entries[1].problem, EntryProblem::kTruncated);
  EXPECT_EQ(EntryFiles(dir), std::vector<std::string>{"first.txt"});
  EXPECT_TRUE(NoTempFiles(dir.path()));
}

TEST(ExtractEntries, TruncatedStoredEntryWritesNothing) {
  test::TempDir dir;
  ZipBuilder zip;
  const auto e = zip.AddStored("cut.txt", test::TextBytes(4000));
  std::string bytes = zip.Bytes();
  test::Truncate(bytes, e.dataOffset + 100);
  const Extraction run = ScanAndExtract(dir, bytes);
  ASSERT_EQ(run.report.entries.size(), 1u);
  EXPECT_EQ(run.report.entries[0].problem, EntryProblem::kTruncated);
  EXPECT_TRUE(EntryFiles(dir).empty());
}

TEST(ExtractEntries, StreamEndingEarlyIsSizeMismatch) {
  // The classic case: the stream ends before uncompressedSize bytes.
  test::TempDir dir;
  ZipBuilder zip;
  ZipEntryOptions o;
  o.uncompressedField = 9000;
  o.crcField = 0;
  zip.Add("short.xml", test::TextBytes(5000), o);
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  ASSERT_EQ(run.report.entries.size(), 1u);
  EXPECT_EQ(run.report.entries[0].problem, EntryProblem::kSizeMismatch);
  EXPECT_TRUE(EntryFiles(dir).empty());
  EXPECT_TRUE(NoTempFiles(dir.path()));
}

// Runs `body` in a child process whose address space is limited to 512 MiB:
// allocating a 4 GiB buffer there fails and ends the child abnormally.
[[noreturn]] void RunLimited(void (*body)()) {
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 512ull << 20;
  setrlimit(RLIMIT_AS, &limit);
  body();
  std::exit(0);
}

void UnderMemoryLimit(void (*body)()) {
  EXPECT_EXIT(RunLimited(body), ::testing::ExitedWithCode(0), "");
}

TEST(ExtractEntriesDeathTest, HeaderClaimingFourGigabytesAllocatesNothingAndWritesNothing) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  UnderMemoryLimit([] {
    test::TempDir dir;
    ZipBuilder zip;
    ZipEntryOptions huge;
    huge.uncompressedField = 0xFFFFFFFFu;  // claims 4 GiB from 1 KiB of data
    zip.Add("bomb.xml", test::RandomBytes(1024, 5), huge);
    ZipEntryOptions hugeIn;
    hugeIn.method = ZipMethod::kStored;
    hugeIn.compressedField = 0xFFFFFFF0u;  // claims 4 GiB of stored data
    hugeIn.uncompressedField = 0xFFFFFFF0u;
    zip.Add("huge.bin", test::RandomBytes(1024, 6), hugeIn);
    std::vector<SalvagedEntry> entries;
    test::RecordingLog log;
    test::RecordingNotify notify;
    test::RecordingProgress progress;
    const auto source = dir / "s.odb";
    zip.WriteTo(source);
    SalvageScan(source, entries, log, NeverStop(), notify);
    if (entries.size() != 2) std::exit(2);
    std::filesystem::create_directories(dir / "w");
    const auto report = ExtractEntries(entries, dir / "w", source, progress, notify, log);
    if (report.damaged != 2 || report.written != 0) std::exit(3);
    if (test::ListFiles(dir / "w") != std::vector<std::string>{"content.xml"}) std::exit(4);
  });
}

TEST(ExtractEntries, TraversalAndAbsoluteNamesStayInsideTheWorkFolder) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("../../evil.txt", "1");
  zip.AddStored("/etc/abs.txt", "2");
  zip.AddStored("a/../../b.txt", "3");
  zip.AddStored("..\\..\\win.txt", "4");
  zip.AddStored("./dot/./x.txt", "5");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.written, 5u);
  EXPECT_EQ(EntryFiles(dir),
            (std::vector<std::string>{"a/b.txt", "dot/x.txt", "etc/abs.txt", "evil.txt", "win.txt"}));
  // Nothing landed next to the work folder.
  EXPECT_EQ(test::ListFiles(dir.path()).size(), 1u + test::ListFiles(dir / "work").size());
}

TEST(ExtractEntries, ColonsAreRemoved) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("C:\\x\\y.xml", "drive");
  zip.AddStored("a:b.txt", "colon");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(EntryFiles(dir), (std::vector<std::string>{"C/x/y.xml", "ab.txt"}));
}

TEST(ExtractEntries, LaterEntryOfTheSameNameWins) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("dup.txt", "earlier and longer");
  zip.AddDeflated("dup.txt", "later");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.written, 2u);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "dup.txt"), "later");
  EXPECT_TRUE(NoTempFiles(dir.path()));
}

TEST(ExtractEntries, NestedFoldersCreatedAndExistingOnesRaiseNoMessage) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "work" / "a");
  ZipBuilder zip;
  zip.AddStored("a\\b\\c.xml", "c");
  zip.AddStored("a/b/d.xml", "d");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(EntryFiles(dir), (std::vector<std::string>{"a/b/c.xml", "a/b/d.xml"}));
  EXPECT_TRUE(run.notify.messages.empty());
}

TEST(ExtractEntries, NamesThatCannotBeFileNamesAreSkippedWithALine) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("folder/", "dir-with-data");
  zip.AddStored(std::string(300, 'n') + ".txt", "long");
  zip.AddStored("..", "dots");
  zip.AddStored("ok.txt", "ok");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.skipped, 3u);
  EXPECT_EQ(run.report.written, 1u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(run.report.entries[i].problem, EntryProblem::kNotAFileName);
  ASSERT_EQ(run.log.lines.size(), 3u);
  EXPECT_EQ(run.log.lines[0].first,
            (dir / "source.odb").string() + " entry folder\\ cannot be a file name and is left out....\r\n");
  EXPECT_EQ(run.log.Count(kLogRed), 3u);
  EXPECT_EQ(EntryFiles(dir), std::vector<std::string>{"ok.txt"});
}

TEST(ExtractEntries, FolderThatCannotBeCreatedIsNotifiedWithSystemText) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("a", "a file where a folder is wanted");
  zip.AddStored("a/b.txt", "b");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(run.report.written, 1u);
  EXPECT_EQ(run.report.skipped, 1u);
  ASSERT_EQ(run.notify.messages.size(), 1u);
  EXPECT_EQ(run.notify.messages[0], platform::ErrorText(EEXIST));
  EXPECT_EQ(run.report.entries[1].problem, EntryProblem::kWriteFailed);
  EXPECT_EQ(run.log.Count(kLogRed), 1u);
  EXPECT_TRUE(NoTempFiles(dir.path()));
}

TEST(ExtractEntries, SourceThatCannotBeOpenedAgain) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "work");
  SalvagedEntry e;
  e.name = "x.txt";
  e.compressedSize = e.uncompressedSize = 3;
  Extraction run;
  run.report = ExtractEntries({e}, dir / "work", dir / "gone.odb", run.progress, run.notify, run.log);
  EXPECT_EQ(run.report.skipped, 1u);
  EXPECT_EQ(run.report.entries[0].problem, EntryProblem::kSourceUnavailable);
  ASSERT_EQ(run.notify.messages.size(), 1u);
  EXPECT_EQ(run.notify.messages[0], platform::ErrorText(ENOENT));
  EXPECT_EQ(test::ListFiles(dir / "work"), std::vector<std::string>{"content.xml"});
}

TEST(ExtractEntries, TemplateWrittenWhenContentMissingOrShort) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddStored("content.xml", "<short/>");
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_TRUE(run.report.templateWritten);
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "content.xml"), DescriptorTemplateText());
}

TEST(ExtractEntries, FirebirdTemplateWhenFbkWasSalvaged) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddDeflated("database/firebird.fbk", test::RandomBytes(3000));
  const Extraction run = ScanAndExtract(dir, zip.Bytes());
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "content.xml"),
            DescriptorTemplateText(DatabaseEngine::kFirebird));
}

TEST(ExtractEntry, WritesOneFile) {
  test::TempDir dir;
  ZipBuilder zip;
  zip.AddDeflated("x.xml", test::TextBytes(100));
  zip.WriteTo(dir / "s.odb");
  std::vector<SalvagedEntry> entries;
  test::RecordingLog log;
  test::RecordingNotify notify;
  ASSERT_TRUE(SalvageScan(dir / "s.odb", entries, log, NeverStop(), notify));
  ASSERT_EQ(entries.size(), 1u);
  const EntryResult r = ExtractEntry(dir / "s.odb", dir / "out.xml", entries[0]);
  EXPECT_EQ(r.outcome, EntryOutcome::kWritten);
  EXPECT_EQ(test::ReadFileBytes(dir / "out.xml"), test::TextBytes(100));
}

TEST(CreateEntryFolders, ReturnsConfinedPathAndSeparatorFlag) {
  test::TempDir dir;
  test::RecordingNotify notify;
  const EntryTarget t = CreateEntryFolders(dir.path(), "x\\y\\z.txt", notify);
  EXPECT_TRUE(t.ok);
  EXPECT_TRUE(t.hadSeparator);
  EXPECT_EQ(t.outputPath, dir / "x" / "y" / "z.txt");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "x" / "y"));
  const EntryTarget flat = CreateEntryFolders(dir.path(), "flat.txt", notify);
  EXPECT_FALSE(flat.hadSeparator);
  EXPECT_TRUE(notify.messages.empty());
}

}  // namespace
}  // namespace keelmend
