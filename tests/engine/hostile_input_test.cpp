// Hostile inputs through the whole repair and save: names that try to leave
// the work folder, very long names, very many entries, size claims far above
// the data, deflate streams without an end, overlapping entries, sources over
// 4 GiB and links or foreign owners planted where the work goes. Every case
// checks that nothing is written outside the work folder, that the source is
// unchanged and that what could be recovered was recovered (or its loss
// reported in red).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "engine/entry_extraction.h"
#include "engine/repair_pipeline.h"
#include "engine/salvage_scan.h"
#include "engine/work_folder.h"
#include "support/job_harness.h"
#include "support/zip_fixture.h"

// The largest single request made through operator new since the last reset:
// an entry's claimed size must never turn into an allocation.
namespace {
std::atomic<std::size_t> gLargestRequest{0};
void* Allocate(std::size_t size) {
  std::size_t seen = gLargestRequest.load(std::memory_order_relaxed);
  while (size > seen && !gLargestRequest.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace keelmend {
namespace {

namespace fs = std::filesystem;
using test::JobRun;
using test::ReadFileBytes;
using test::TempDir;
using test::ZipBuilder;

constexpr const char* kMimetype = "application/vnd.oasis.opendocument.base";

// One source file, its work root and a destination, all below one folder
// that is checked for stray writes afterwards.
class HostileInputTest : public ::testing::Test {
 protected:
  HostileInputTest() {
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
  }
  std::string Source(const std::string& bytes, const std::string& name = "db.odb") {
    const fs::path p = dir / "in" / name;
    EXPECT_TRUE(test::WriteFileBytes(p, bytes));
    sourceBytes = bytes;
    return p.string();
  }
  fs::path WorkFolder(const std::string& source, int row = 0) const {
    return workRoot / WorkFolderName(source, row);
  }
  FileRepairSummary Repair(const std::string& source, JobRun& run) {
    JobSinks sinks = run.Sinks();
    return RunRepairJob({source}, workRoot, sinks).at(0);
  }
  FileSaveSummary Save(const std::string& source, JobRun& run) {
    JobSinks sinks = run.Sinks();
    SaveRequest request{dir / "out", workRoot, false, {{source, true}}};
    return RunSaveJob(request, sinks).at(0);
  }
  // Nothing outside the work root and the destination, the source as it was.
  void ExpectConfined(const std::string& source) {
    EXPECT_EQ(test::FilesOutside(dir.path(), {dir / "in", workRoot, dir / "out"}),
              std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(source), sourceBytes) << "the source must never change";
  }

  TempDir dir{"keelmend-hostile"};
  test::ScopedEnv tmp{"TMPDIR", (dir / "tmp").string()};
  fs::path workRoot = dir / "tmp" / "BsTmp";
  std::string sourceBytes;
};

// The names a saved archive of `source` holds (slashes), in order.
std::vector<std::string> SavedNames(const fs::path& archive) {
  std::vector<SalvagedEntry> entries;
  NullLog log;
  NullNotify notify;
  SalvageScan(archive, entries, log, NeverStop(), notify);
  std::vector<std::string> names;
  for (const SalvagedEntry& e : entries) names.push_back(ShownEntryName(e.name));
  return names;
}

std::string Components(std::size_t bytes) {  // "abcdefghi/abcdefghi/...x" of exactly `bytes`
  std::string name;
  while (name.size() + 10 < bytes) name += "abcdefghi/";
  return name + std::string(bytes - name.size(), 'x');
}

struct NameCase {
  const char* label;
  std::string name;      // the raw name bytes in the local header
  std::string relative;  // where it lands below the work folder; "" when it cannot be a file name
  bool savable;          // the save keeps it under `relative` (else it is reported left out)
};

TEST_F(HostileInputTest, NamesAreConfinedKeptOrReportedAndNeverLeaveTheFolders) {
  const std::vector<NameCase> cases = {
      {"parent folders", "../../outside.xml", "outside.xml", true},
      {"parent inside a path", "a/../../b.xml", "a/b.xml", true},
      {"absolute", "/etc/keelmend.xml", "etc/keelmend.xml", true},
      {"drive letter", "C:\\Windows\\x.xml", "C/Windows/x.xml", true},
      {"drive letter, slash", "D:/x.xml", "D/x.xml", true},
      {"backslash parents", "..\\..\\evil.xml", "evil.xml", true},
      {"network share", "\\\\server\\share\\f.xml", "server/share/f.xml", true},
      {"mixed separators", "Forms/Obj11\\..\\content.xml", "Forms/Obj11/content.xml", true},
      {"nothing but parents", "../..", "", false},
      {"names a folder", "Pictures/", "", false},
      {"1023 bytes in short folders", Components(1023), Components(1023), false},
      {"2000 bytes in short folders", Components(2000), Components(2000), false},
      {"one component of 256 bytes", std::string(256, 'n'), "", false},
      {"one component of 1024 bytes", std::string(1024, 'n'), "", false},
      {"255-byte component", std::string(255, 'k'), std::string(255, 'k'), true},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const NameCase& c = cases[i];
    SCOPED_TRACE(c.label);
    ZipBuilder zip;
    zip.AddStored("mimetype", kMimetype);
    const std::string content = "<entry of case " + std::to_string(i) + "/>";
    zip.AddDeflated(c.name, content);
    zip.AddDeflated("content.xml", test::TextBytes(2000, 3));
    const std::string source = Source(zip.Bytes(), "case" + std::to_string(i) + ".odb");

    JobRun repair;
    const FileRepairSummary summary = Repair(source, repair);
    ASSERT_TRUE(summary.opened);
    EXPECT_EQ(summary.entriesFound, 3u);
    if (c.relative.empty()) {
      ASSERT_EQ(repair.RedLines().size(), 1u);
      EXPECT_NE(repair.RedLines()[0].find(" cannot be a file name and is left out"), std::string::npos);
    } else {
      EXPECT_EQ(ReadFileBytes(WorkFolder(source) / c.relative), content);
      EXPECT_EQ(repair.RedLines(), std::vector<std::string>{});
    }

    JobRun save;
    const FileSaveSummary saved = Save(source, save);
    ASSERT_EQ(saved.outcome, SaveOutcome::Saved) << saved.error;
    const std::vector<std::string> names = SavedNames(saved.archive);
    const bool kept = std::find(names.begin(), names.end(), c.relative) != names.end();
    EXPECT_EQ(kept, c.savable && !c.relative.empty());
    if (!c.relative.empty() && !c.savable) {
      // Dropped by the archive format's name limit: said so, in red.
      ASSERT_EQ(save.RedLines().size(), 1u);
      EXPECT_EQ(save.RedLines()[0], source + " entry " + c.relative +
                                        " is left out of the saved file (its name is longer than 259 bytes)....\r\n");
    }
    ExpectConfined(source);
  }
}

TEST_F(HostileInputTest, SeventyThousandEntriesAreAllRecoveredAndTheSaveReportsWhatTheFormatCannotHold) {
  constexpr std::size_t kEntries = 70000;
  ZipBuilder zip;
  zip.AddStored("mimetype", kMimetype);
  for (std::size_t i = 0; i < kEntries; ++i) zip.AddStored("t/" + std::to_string(i), std::to_string(i));
  const std::string source = Source(zip.Bytes());

  JobRun repair;
  const FileRepairSummary summary = Repair(source, repair);
  EXPECT_EQ(summary.entriesFound, kEntries + 1);
  EXPECT_EQ(summary.entriesWritten, kEntries + 1);
  EXPECT_EQ(ReadFileBytes(WorkFolder(source) / "t" / "69999"), "69999");

  JobRun save;
  const FileSaveSummary saved = Save(source, save);
  ASSERT_EQ(saved.outcome, SaveOutcome::Saved) << saved.error;
  EXPECT_EQ(SavedNames(saved.archive).size(), 65535u) << "the most a ZIP without ZIP64 holds";
  // mimetype, content.xml and manifest.xml are added, so 70,003 files in all.
  EXPECT_EQ(save.RedLines().size(), kEntries + 3 - 65535);
  for (const std::string& line : save.RedLines())
    EXPECT_NE(line.find(" is left out of the saved file (the archive holds 65,535 entries already)"), std::string::npos);
  ExpectConfined(source);
}

TEST_F(HostileInputTest, FourGigabyteClaimFromOneKilobyteAllocatesLittleAndWritesNothing) {
  ZipBuilder zip;
  zip.AddStored("mimetype", kMimetype);
  test::ZipEntryOptions bomb;
  bomb.uncompressedField = 0xFFFFFFFFu;
  zip.Add("database/script", test::TextBytes(1024, 5), bomb);
  test::ZipEntryOptions storedBomb;
  storedBomb.method = test::ZipMethod::kStored;
  storedBomb.compressedField = storedBomb.uncompressedField = 0xFFFFFFF0u;
  zip.Add("database/data", test::RandomBytes(1024, 6), storedBomb);
  const std::string source = Source(zip.Bytes());

  gLargestRequest = 0;
  JobRun repair;
  const FileRepairSummary summary = Repair(source, repair);
  EXPECT_LT(gLargestRequest.load(), std::size_t{16} << 20);
  EXPECT_EQ(summary.damaged, (std::vector<std::string>{"database/script", "database/data"}));
  EXPECT_FALSE(fs::exists(WorkFolder(source) / "database" / "script"));
  EXPECT_FALSE(fs::exists(WorkFolder(source) / "database" / "data"));
  EXPECT_EQ(ReadFileBytes(WorkFolder(source) / "mimetype"), kMimetype);
  ExpectConfined(source);
}

// Deflate stored blocks that are never the last one: a stream without an end.
std::string EndlessStoredBlocks(std::size_t blocks, const std::string& payload) {
  std::string out;
  for (std::size_t i = 0; i < blocks; ++i) {
    out += '\0';  // BFINAL 0, BTYPE 00
    test::PutLe16(out, static_cast<std::uint16_t>(payload.size()));
    test::PutLe16(out, static_cast<std::uint16_t>(~payload.size()));
    out += payload;
  }
  return out;
}

TEST_F(HostileInputTest, DeflateStreamsThatNeverEndAreLeftOutAndTheRestIsKept) {
  ZipBuilder zip;
  zip.AddStored("mimetype", kMimetype);
  zip.AddDeflated("content.xml", test::TextBytes(3000, 1));
  // Sizes in the header, but the stream runs past them without ending.
  test::ZipEntryOptions claimed;
  claimed.rawData = EndlessStoredBlocks(3, std::string(400, 'q'));
  claimed.uncompressedField = 1200;
  zip.Add("database/script", "", claimed);
  zip.AddDeflated("settings.xml", "<settings/>");
  // Sizes in a descriptor that never comes: the stream runs to the end of the file.
  test::ZipEntryOptions streamed;
  streamed.flagsField = 0x0008;
  streamed.crcField = streamed.compressedField = streamed.uncompressedField = 0;
  streamed.rawData = EndlessStoredBlocks(40, test::RandomBytes(9000, 2));
  zip.Add("database/data", "", streamed);
  const std::string source = Source(zip.Bytes());

  JobRun repair;
  const FileRepairSummary summary = Repair(source, repair);
  EXPECT_EQ(summary.damaged, std::vector<std::string>{"database/script"});
  EXPECT_EQ(ReadFileBytes(WorkFolder(source) / "settings.xml"), "<settings/>");
  EXPECT_EQ(ReadFileBytes(WorkFolder(source) / "content.xml"), test::TextBytes(3000, 1));
  EXPECT_FALSE(fs::exists(WorkFolder(source) / "database" / "data"));
  ExpectConfined(source);
}

// Headers chained so that each one's endless stream holds all the headers
// after it: every measurement runs to the end of the file.
TEST_F(HostileInputTest, ChainedEndlessStreamsEndTheScan) {
  std::string bytes;
  for (int i = 0; i < 40000; ++i) {
    bytes += test::LocalHeader("a", 8, 0, 0, 0, 0x0008);
    bytes += '\0';
    test::PutLe16(bytes, 31);  // the next header is this stored block's payload
    test::PutLe16(bytes, static_cast<std::uint16_t>(~31));
  }
  const std::string source = Source(bytes);
  JobRun repair;
  const FileRepairSummary summary = Repair(source, repair);
  EXPECT_TRUE(summary.opened);
  EXPECT_EQ(summary.entriesFound, 0u);
  ExpectConfined(source);
}

TEST_F(HostileInputTest, OverlappingEntriesNeverWriteOutsideAndNestedArchivesStayWhole) {
  // A stored archive inside the package: its own headers are data, not entries.
  ZipBuilder inner;
  inner.AddDeflated("../../inner-escape.xml", "<inner/>");
  inner.FinishCentralDirectory();
  ZipBuilder swallowed;
  swallowed.AddDeflated("swallowed.xml", "<s/>");
  ZipBuilder zip;
  zip.AddStored("mimetype", kMimetype);
  zip.AddStored("Pictures/nested.zip", inner.Bytes());
  // A header whose sizes claim the entry after it: that one lies inside its data
  // (and is lost with it; the scan skips the data an entry claims).
  test::ZipEntryOptions greedy;
  greedy.method = test::ZipMethod::kStored;
  greedy.compressedField = greedy.uncompressedField =
      static_cast<std::uint32_t>(4 + swallowed.Bytes().size());
  zip.Add("greedy.xml", "<g/>", greedy);
  zip.AppendRaw(swallowed.Bytes());
  zip.AddDeflated("content.xml", test::TextBytes(5000, 9));
  const std::string source = Source(zip.Bytes());

  JobRun repair;
  const FileRepairSummary summary = Repair(source, repair);
  EXPECT_EQ(ReadFileBytes(WorkFolder(source) / "Pictures" / "nested.zip"), inner.Bytes());
  EXPECT_FALSE(fs::exists(WorkFolder(source) / "inner-escape.xml"));
  EXPECT_EQ(summary.damaged, std::vector<std::string>{"greedy.xml"});
  EXPECT_EQ(ReadFileBytes(WorkFolder(source) / "content.xml"), test::TextBytes(5000, 9));
  ExpectConfined(source);
}

TEST_F(HostileInputTest, SparseSourceOverFourGigabytesWithHeadersPastTheBorder) {
  constexpr std::uint64_t kFourGiB = 1ull << 32;
  ZipBuilder tail;
  tail.AddStored("mimetype", kMimetype);
  tail.AddDeflated("content.xml", test::TextBytes(4000, 4));
  tail.AddDeflated("database/script", "CREATE TABLE PAST(ID INT)\n");
  // The first entry's header starts before the border and its data crosses it.
  const std::uint64_t at = kFourGiB - 50;
  const fs::path source = dir / "in" / "huge.odb";
  {
    std::ofstream out(source, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(at));
    out.write(tail.Bytes().data(), static_cast<std::streamsize>(tail.Bytes().size()));
    ASSERT_TRUE(static_cast<bool>(out)) << "no sparse file of 4 GiB here";
  }
  struct stat st {};
  ASSERT_EQ(::stat(source.c_str(), &st), 0);
  if (static_cast<std::uint64_t>(st.st_blocks) * 512 > (64u << 20))
    GTEST_SKIP() << "the file system stores the holes of a sparse file";

  JobRun repair;
  const FileRepairSummary summary = Repair(source.string(), repair);
  EXPECT_EQ(summary.entriesFound, 3u);
  EXPECT_EQ(summary.entriesWritten, 3u);
  const fs::path work = WorkFolder(source.string());
  EXPECT_EQ(ReadFileBytes(work / "mimetype"), kMimetype);
  EXPECT_EQ(ReadFileBytes(work / "content.xml"), test::TextBytes(4000, 4));
  EXPECT_EQ(ReadFileBytes(work / "database" / "script"), "CREATE TABLE PAST(ID INT)\n");
  EXPECT_EQ(fs::file_size(source), at + tail.Bytes().size());
  EXPECT_EQ(test::FilesOutside(dir.path(), {source, workRoot}), std::vector<std::string>{});
}

TEST_F(HostileInputTest, LinkOrForeignOwnerOnTheWorkRootIsRefusedAndNothingIsWrittenThere) {
  struct RootCase {
    const char* label;
    bool link;  // else a real folder given to another user
  };
  for (const RootCase& c : {RootCase{"symbolic link", true}, RootCase{"foreign owner", false}}) {
    SCOPED_TRACE(c.label);
    if (!c.link && ::geteuid() != 0) {
      std::printf("skipped: giving a folder away needs root\n");
      continue;
    }
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere);
    if (c.link) {
      fs::create_directory_symlink(elsewhere, workRoot);
    } else {
      fs::create_directory(workRoot);
      ASSERT_EQ(::chown(workRoot.c_str(), 65534, 65534), 0);
    }
    ZipBuilder zip;
    zip.AddStored("mimetype", kMimetype);
    zip.AddDeflated("content.xml", test::TextBytes(2000, 1));
    const std::string source = Source(zip.Bytes());
    JobRun repair;
    EXPECT_FALSE(Repair(source, repair).opened);
    EXPECT_EQ(repair.observer.calls, std::vector<std::string>{"open failed 0"});
    ASSERT_EQ(repair.notify.messages.size(), 1u);
    EXPECT_NE(repair.notify.messages[0].find("cannot be used"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    if (!c.link) {
      EXPECT_TRUE(fs::is_empty(workRoot)) << "nothing is written into another user's folder";
    }
    EXPECT_EQ(ReadFileBytes(source), sourceBytes);
    fs::remove_all(workRoot);
    fs::remove_all(elsewhere);
  }
}

}  // namespace
}  // namespace keelmend
