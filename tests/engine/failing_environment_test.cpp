// A failing environment around the repair and save jobs: a destination that
// is read-only or full, a source that goes away or changes while it is being
// repaired, a work-folder file that cannot be deleted, and Stop at every
// point the jobs ask. In every case the source is untouched, an archive of an
// earlier save of the same name stays intact, the failure is a red log line
// and the next job works.
//
// Tests run as root, for whom permission bits do not fail, so the failures
// are made with mechanisms that bind root too: a small tmpfs mounted by the
// test (read-only, or too small) and the immutable attribute. Without root
// (or where mounting is not allowed) those cases are skipped with a reason.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/repair_pipeline.h"
#include "engine/work_folder.h"
#include "support/job_harness.h"
#include "support/zip_fixture.h"

namespace keelmend {
namespace {

namespace fs = std::filesystem;
using test::JobRun;
using test::ReadFileBytes;
using test::TempDir;
using test::ZipBuilder;

constexpr const char* kMimetype = "application/vnd.oasis.opendocument.base";
constexpr const char* kEarlierSave = "an archive saved earlier under the same name";

std::string Database(const std::string& marker, std::size_t dataBytes = 3000) {
  ZipBuilder zip;
  zip.AddStored("mimetype", kMimetype);
  zip.AddDeflated("content.xml", test::TextBytes(2000, 3));
  zip.AddDeflated("database/script", "CREATE TABLE " + marker + "(ID INT)\n");
  zip.AddStored("database/data", test::RandomBytes(dataBytes, 11));
  zip.FinishCentralDirectory();
  return zip.Bytes();
}

// A tmpfs of `kilobytes` mounted on `at` for the object's life.
class ScratchMount {
 public:
  ScratchMount(const fs::path& at, unsigned kilobytes) : at_(at) {
    fs::create_directories(at);
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    if (::geteuid() != 0) {
      why_ = "mounting a small file system needs root";
    } else if (::mount("tmpfs", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    } else {
      mounted_ = true;
    }
  }
  ~ScratchMount() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const std::string& WhyNot() const { return why_; }
  bool MakeReadOnly() {
    return ::mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
  }

 private:
  fs::path at_;
  bool mounted_ = false;
  std::string why_;
};

// Sets or clears the immutable attribute (binds root as well).
bool SetImmutable(const fs::path& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

// Runs `action` the `at`-th time the job moves a progress bar.
class ProgressTrigger final : public ProgressSink {
 public:
  ProgressTrigger(int at, std::function<void()> action) : at_(at), action_(std::move(action)) {}
  void Start(std::uint32_t) override { Tick(); }
  void SetPosition(std::uint32_t) override { Tick(); }

 private:
  void Tick() {
    if (++calls_ == at_) action_();
  }
  int at_;
  int calls_ = 0;
  std::function<void()> action_;
};

class FailingEnvironmentTest : public ::testing::Test {
 protected:
  FailingEnvironmentTest() {
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "in");
  }
  std::string Source(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / "in" / name;
    EXPECT_TRUE(test::WriteFileBytes(p, bytes));
    return p.string();
  }
  std::vector<FileRepairSummary> Repair(const std::vector<std::string>& items, JobRun& run) {
    JobSinks sinks = run.Sinks();
    return RunRepairJob(items, workRoot, sinks);
  }
  std::vector<FileSaveSummary> Save(const std::vector<std::string>& items, const fs::path& destination,
                                    JobRun& run) {
    SaveRequest request{destination, workRoot, false, {}};
    for (const std::string& item : items) request.items.push_back({item, true});
    JobSinks sinks = run.Sinks();
    return RunSaveJob(request, sinks);
  }
  // Repairs and saves `source` into a fresh destination: the program still works.
  void ExpectStillUsable() {
    const std::string next = Source("next.odb", Database("NEXT"));
    JobRun repair, save;
    EXPECT_TRUE(Repair({next}, repair).at(0).opened);
    const fs::path fresh = dir / "fresh";
    fs::create_directories(fresh);
    EXPECT_EQ(Save({next}, fresh, save).at(0).outcome, SaveOutcome::Saved);
    EXPECT_EQ(save.RedLines(), std::vector<std::string>{});
  }
  static std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir{"keelmend-failing"};
  test::ScopedEnv tmp{"TMPDIR", (dir / "tmp").string()};
  fs::path workRoot = dir / "tmp" / "BsTmp";
};

TEST_F(FailingEnvironmentTest, ReadOnlyOrFullDestinationFailsInRedAndKeepsTheEarlierArchive) {
  struct DestinationCase {
    const char* label;
    bool readOnly;          // else too small for the new archive
    const char* expected;   // in the red line
  };
  for (const DestinationCase& c : {DestinationCase{"read-only", true, "Read-only file system"},
                                   DestinationCase{"full", false, "disk full"}}) {
    SCOPED_TRACE(c.label);
    const fs::path destination = dir / (std::string("dest-") + (c.readOnly ? "ro" : "full"));
    ScratchMount mount(destination, 64);
    if (!mount.Mounted()) GTEST_SKIP() << mount.WhyNot();
    ASSERT_TRUE(test::WriteFileBytes(destination / "VANTRELREP_db.odb", kEarlierSave));
    if (c.readOnly) {
      ASSERT_TRUE(mount.MakeReadOnly());
    }

    const std::string bytes = Database("T", c.readOnly ? 3000 : 200000);  // 200 KB: above 64 KB
    const std::string source = Source("db.odb", bytes);
    JobRun repair, save;
    ASSERT_TRUE(Repair({source}, repair).at(0).opened);
    const FileSaveSummary saved = Save({source}, destination, save).at(0);

    EXPECT_EQ(saved.outcome, SaveOutcome::Failed);
    EXPECT_EQ(save.observer.calls, std::vector<std::string>{"save failed 0"});
    ASSERT_EQ(save.RedLines().size(), 1u);
    EXPECT_EQ(save.RedLines()[0].rfind(source + " saving of file failed (", 0), 0u) << save.RedLines()[0];
    EXPECT_NE(save.RedLines()[0].find(c.expected), std::string::npos) << save.RedLines()[0];
    EXPECT_EQ(save.log.Count(kLogGreen), 0u) << "a failed save never reads as done";
    EXPECT_EQ(ReadFileBytes(destination / "VANTRELREP_db.odb"), kEarlierSave);
    EXPECT_EQ(Names(destination), std::vector<std::string>{"VANTRELREP_db.odb"}) << "no temporary left";
    EXPECT_EQ(ReadFileBytes(source), bytes);
    ExpectStillUsable();
  }
}

TEST_F(FailingEnvironmentTest, SourceGoneOrChangedDuringTheRepairIsReportedInRed) {
  struct SourceCase {
    const char* label;
    int atProgress;  // 1: before the first entry is unpacked, 3: after the second
    std::function<void(const fs::path&)> damage;
    const char* expected;  // in every red line
  };
  const std::vector<SourceCase> cases = {
      {"removed before unpacking", 1, [](const fs::path& p) { fs::remove(p); },
       " could not be opened again; its entries are left out....\r\n"},
      {"replaced by a folder", 1,
       [](const fs::path& p) {
         fs::remove(p);
         fs::create_directory(p);
       },
       " could not be opened again; its entries are left out....\r\n"},
      {"cut short after two entries", 3, [](const fs::path& p) { fs::resize_file(p, 200); },
       " is damaged and left out....\r\n"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const SourceCase& c = cases[i];
    SCOPED_TRACE(c.label);
    const std::string source = Source("moving" + std::to_string(i) + ".odb", Database("M"));
    JobRun repair;
    ProgressTrigger trigger(c.atProgress, [&] { c.damage(source); });
    JobSinks sinks{repair.log, trigger, repair.totalProgress, repair.notify, repair.neverStop, repair.observer};
    const FileRepairSummary summary = RunRepairJob({source}, workRoot, sinks).at(0);

    EXPECT_TRUE(summary.opened);
    ASSERT_FALSE(repair.RedLines().empty());
    for (const std::string& line : repair.RedLines()) {
      EXPECT_EQ(line.rfind(source, 0), 0u) << line;
      EXPECT_NE(line.find(c.expected), std::string::npos) << line;
    }
    EXPECT_LT(summary.entriesWritten, summary.entriesFound);
    ExpectStillUsable();
  }
}

TEST_F(FailingEnvironmentTest, UndeletableWorkFileSurvivesClearingAndTheNextRepairSaysSo) {
  if (::geteuid() != 0) GTEST_SKIP() << "the immutable attribute needs root";
  const std::string bytes = Database("W");
  const std::string source = Source("db.odb", bytes);
  JobRun first;
  ASSERT_TRUE(Repair({source}, first).at(0).opened);
  const fs::path work = workRoot / WorkFolderName(source, 0);
  const fs::path stuck = work / "database" / "script";
  if (!SetImmutable(stuck, true)) GTEST_SKIP() << "this file system has no immutable attribute";

  // Remove (one work folder) and Exit (the whole root) leave what they cannot delete.
  ClearFolderContents(work);
  ClearWorkRoot();
  EXPECT_TRUE(fs::exists(stuck));
  EXPECT_EQ(test::ListFiles(workRoot), std::vector<std::string>{"db.odb0/database/script"});

  // The next repair into that folder reports the one entry it cannot write.
  JobRun again;
  const FileRepairSummary summary = Repair({source}, again).at(0);
  EXPECT_TRUE(summary.opened);
  EXPECT_EQ(again.RedLines(), std::vector<std::string>{
                                  source + " entry database\\script could not be written and is left out (Operation not permitted)....\r\n"});
  EXPECT_EQ(ReadFileBytes(work / "database" / "data"), test::RandomBytes(3000, 11));
  EXPECT_EQ(ReadFileBytes(source), bytes);
  SetImmutable(stuck, false);
  ExpectStillUsable();
}

TEST_F(FailingEnvironmentTest, StopAtEveryPointOfTheRepairLeavesEachFileRepairedOrSaidNotToBe) {
  const std::vector<std::string> items = {Source("a.odb", Database("A")), Source("b.odb", Database("B"))};
  const std::vector<std::string> originals = {ReadFileBytes(items[0]), ReadFileBytes(items[1])};
  JobRun counting;
  test::StopAfter never(1 << 30);
  counting.stop = &never;
  Repair(items, counting);
  const long polls = never.Calls();
  ASSERT_GT(polls, 4);

  for (long k = 0; k <= polls; ++k) {
    SCOPED_TRACE("stop after " + std::to_string(k) + " questions");
    ClearWorkRoot();
    JobRun run;
    test::StopAfter stop(k);
    run.stop = &stop;
    const auto summaries = Repair(items, run);
    ASSERT_EQ(run.observer.calls.size(), items.size());
    const std::vector<std::string> red = run.RedLines();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string& call = run.observer.calls[i];
      const bool repaired = call == "repaired " + std::to_string(i);
      EXPECT_TRUE(repaired || call == "stopped " + std::to_string(i)) << call;
      const bool notRepairedLine = std::count(red.begin(), red.end(), items[i] + " not Repaired....\r\n") == 1;
      EXPECT_NE(repaired, notRepairedLine);
      EXPECT_EQ(ReadFileBytes(items[i]), originals[i]);
    }
    EXPECT_EQ(run.log.lines.back().first, joblog::kUnderscoreLine) << "the job always finishes its log";
  }
  ExpectStillUsable();
}

TEST_F(FailingEnvironmentTest, StopAtEverySaveKeepsEarlierArchivesWholeAndLeavesNoPartialOne) {
  const std::vector<std::string> items = {Source("a.odb", Database("A")), Source("b.odb", Database("B"))};
  JobRun repair;
  Repair(items, repair);
  const fs::path destination = dir / "out";
  for (long k = 0; k <= static_cast<long>(items.size()); ++k) {
    SCOPED_TRACE("stop after " + std::to_string(k) + " questions");
    fs::remove_all(destination);
    fs::create_directories(destination);
    for (const char* name : {"VANTRELREP_a.odb", "VANTRELREP_b.odb"})
      ASSERT_TRUE(test::WriteFileBytes(destination / name, kEarlierSave));
    JobRun run;
    test::StopAfter stop(k);
    run.stop = &stop;
    const auto summaries = Save(items, destination, run);
    const std::vector<std::string> red = run.RedLines();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const fs::path archive = destination / ("VANTRELREP_" + fs::path(items[i]).filename().string());
      if (static_cast<long>(i) < k) {
        EXPECT_EQ(summaries[i].outcome, SaveOutcome::Saved);
        EXPECT_EQ(ReadFileBytes(archive).rfind("PK\3\4", 0), 0u) << "a complete new archive";
      } else {
        EXPECT_EQ(summaries[i].outcome, SaveOutcome::Stopped);
        EXPECT_EQ(ReadFileBytes(archive), kEarlierSave);
        EXPECT_EQ(std::count(red.begin(), red.end(), items[i] + " not saved....\r\n"), 1);
      }
    }
    EXPECT_EQ(Names(destination), (std::vector<std::string>{"VANTRELREP_a.odb", "VANTRELREP_b.odb"}));
  }
  ExpectStillUsable();
}

}  // namespace
}  // namespace keelmend
