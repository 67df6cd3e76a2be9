// The repair and save jobs as the CLI and the window run them: the log of
// each file, the stop handling, the names of the outputs and what ends up on
// disk.
#include "engine/repair_pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/job_harness.h"
#include "support/zip_fixture.h"

namespace keelmend {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::ZipBuilder;

const std::string kAsterisks(85, '*');

// Stops once the observer has seen `rows` files of the repair.
class StopAfterRows final : public StopQuery {
 public:
  StopAfterRows(const test::NotingObserver& observer, std::size_t rows) : observer_(observer), rows_(rows) {}
  bool ShouldContinue() const override { return observer_.calls.size() < rows_; }

 private:
  const test::NotingObserver& observer_;
  std::size_t rows_;
};

using Job = test::JobRun;

std::string SmallDatabase(const std::string& marker) {
  ZipBuilder zip;
  zip.AddStored("mimetype", "application/vnd.oasis.opendocument.base");
  zip.AddDeflated("content.xml", test::TextBytes(1500, 7));
  zip.AddDeflated("database/script", "CREATE TABLE T(" + marker + ")\n");
  zip.AddDeflated("Pictures/logo.png", "not really a png " + marker);
  zip.FinishCentralDirectory();
  return zip.Bytes();
}

class RepairPipelineTest : public ::testing::Test {
 protected:
  fs::path Source(const std::string& rel, const std::string& bytes) {
    const fs::path p = dir / "in" / rel;
    fs::create_directories(p.parent_path());
    EXPECT_TRUE(test::WriteFileBytes(p, bytes));
    return p;
  }
  fs::path Out() {
    const fs::path p = dir / "out";
    fs::create_directories(p);
    return p;
  }
  RepairPipelineTest() { fs::create_directories(dir / "work"); }
  TempDir dir{"keelmend-pipeline"};
  fs::path workRoot = dir / "work" / "BsTmp";
  test::ScopedEnv tmp{"TMPDIR", (dir / "work").string()};
};

TEST_F(RepairPipelineTest, RepairsEveryFileAndLogsEachBlockInOrder) {
  const std::string a = Source("a.odb", SmallDatabase("a")).string();
  const std::string missing = (dir / "in" / "missing.odb").string();
  const std::string empty = Source("empty.odb", "").string();
  Job job;
  JobSinks sinks = job.Sinks();
  const auto summaries = RunRepairJob({a, missing, empty}, workRoot, sinks);

  const std::vector<std::string> expected = {
      a + " file is open....\r\n",
      a + " file is extracted....\r\n",
      a + " file is closed....\r\n",
      a + " manifest.xml regenerated, the old one was missing....\r\n",
      a + " preview of file is available....\r\n",
      a + "  Repaired....\r\n",
      kAsterisks + "\r\n",
      missing + " extraction of file failed....\r\n",
      empty + " file is open....\r\n",
      empty + " file is extracted....\r\n",
      empty + " file is closed....\r\n",
      empty + " manifest.xml regenerated, the old one was missing....\r\n",
      empty + " preview of file is available....\r\n",
      empty + "  Repaired....\r\n",
      kAsterisks + "\r\n",
      "Repairing process completed....\r\n",
      std::string(64, '_') + "\r\n\r\n",
  };
  EXPECT_EQ(job.Lines(), expected);
  EXPECT_EQ(job.log.Count(kLogGreen), 2u);
  EXPECT_EQ(job.observer.calls, (std::vector<std::string>{"repaired 0", "open failed 1", "repaired 2"}));
  EXPECT_EQ(job.notify.messages.size(), 1u) << "the unreadable file is reported once";
  EXPECT_EQ(job.totalProgress.starts, std::vector<std::uint32_t>{3});
  EXPECT_EQ(job.totalProgress.positions.back(), 3u);

  ASSERT_EQ(summaries.size(), 3u);
  EXPECT_TRUE(summaries[0].opened);
  EXPECT_EQ(summaries[0].entriesFound, 4u);
  EXPECT_FALSE(summaries[1].opened);
  // The empty file's folder holds what a database package needs, nothing more.
  EXPECT_EQ(test::ListFiles(workRoot / "empty.odb2"),
            (std::vector<std::string>{"META-INF/manifest.xml", "content.xml"}));
  EXPECT_EQ(ReadFileBytes(workRoot / "a.odb0" / "database" / "script"), "CREATE TABLE T(a)\n");
}

TEST_F(RepairPipelineTest, StopMarksEveryRemainingFileNotRepaired) {
  std::vector<std::string> items;
  for (const char* name : {"1.odb", "2.odb", "3.odb", "4.odb"})
    items.push_back(Source(name, SmallDatabase(name)).string());
  Job job;
  StopAfterRows stop(job.observer, 2);
  job.stop = &stop;
  JobSinks sinks = job.Sinks();
  RunRepairJob(items, workRoot, sinks);

  EXPECT_EQ(job.observer.calls,
            (std::vector<std::string>{"repaired 0", "repaired 1", "stopped 2", "stopped 3"}));
  const std::vector<std::string> lines = job.Lines();
  ASSERT_GE(lines.size(), 8u);
  const std::vector<std::string> tail(lines.end() - 8, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      items[2] + " file is not extracting as process has been stop by the user.... \r\n",
                      items[2] + " not Repaired....\r\n", kAsterisks + "\r\n",
                      items[3] + " file is not extracting as process has been stop by the user.... \r\n",
                      items[3] + " not Repaired....\r\n", kAsterisks + "\r\n",
                      "Repairing process completed....\r\n", std::string(64, '_') + "\r\n\r\n"}));
  EXPECT_FALSE(fs::exists(workRoot / "3.odb2"));
  EXPECT_EQ(job.totalProgress.positions.back(), 4u);
}

TEST_F(RepairPipelineTest, DamagedEntryIsLeftOutAndSummarised) {
  ZipBuilder zip;
  zip.AddStored("mimetype", "application/vnd.oasis.opendocument.base");
  const auto& data = zip.AddDeflated("database/data", test::TextBytes(4000, 3));
  std::string bytes = zip.Bytes();
  test::Overwrite(bytes, data.dataOffset + 100, std::string(50, '\0'));
  const std::string src = Source("d.odb", bytes).string();
  Job job;
  JobSinks sinks = job.Sinks();
  const auto summary = RunRepairJob({src}, workRoot, sinks).at(0);
  EXPECT_TRUE(summary.opened);
  EXPECT_EQ(summary.damaged, std::vector<std::string>{"database/data"});
  EXPECT_EQ(summary.regenerated, (std::vector<std::string>{"content.xml", "META-INF/manifest.xml"}));
  EXPECT_FALSE(fs::exists(workRoot / "d.odb0" / "database" / "data"));
  EXPECT_GE(job.log.Count(kLogRed), 1u);
}

TEST_F(RepairPipelineTest, RefusesAWorkRootThatIsASymlink) {
  const fs::path elsewhere = dir / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(workRoot.parent_path());
  fs::create_directory_symlink(elsewhere, workRoot);
  const std::string src = Source("a.odb", SmallDatabase("a")).string();
  Job job;
  JobSinks sinks = job.Sinks();
  const auto summaries = RunRepairJob({src}, workRoot, sinks);
  EXPECT_FALSE(summaries[0].opened);
  EXPECT_EQ(job.observer.calls, std::vector<std::string>{"open failed 0"});
  EXPECT_EQ(job.notify.messages.size(), 1u);
  EXPECT_TRUE(fs::is_empty(elsewhere)) << "nothing is written through the link";
}

class SaveJobTest : public RepairPipelineTest {
 protected:
  // Repairs `items` and returns a save request for them into Out().
  SaveRequest Repaired(const std::vector<std::string>& items, bool media) {
    Job job;
    JobSinks sinks = job.Sinks();
    const auto summaries = RunRepairJob(items, workRoot, sinks);
    SaveRequest request;
    request.destination = Out();
    request.workRoot = workRoot;
    request.extractMedia = media;
    for (std::size_t i = 0; i < items.size(); ++i) request.items.push_back({items[i], summaries[i].opened});
    return request;
  }
};

TEST_F(SaveJobTest, SavesArchivesAndPicturesWithTheirLogLines) {
  const std::string a = Source("a.odb", SmallDatabase("a")).string();
  ZipBuilder bare;
  bare.AddDeflated("content.xml", test::TextBytes(1200, 2));
  const std::string b = Source("b.odb", bare.Bytes()).string();
  SaveRequest request = Repaired({a, b}, true);
  Job job;
  JobSinks sinks = job.Sinks();
  const auto summaries = RunSaveJob(request, sinks);

  EXPECT_EQ(job.Lines(), (std::vector<std::string>{
                             a + " saving of file starts....\r\n", a + " Media extraction is done....\r\n",
                             a + " saving of file done....\r\n", kAsterisks + "\r\n",
                             b + " saving of file starts....\r\n",
                             b + " no media content is present in the file....\r\n",
                             b + " saving of file done....\r\n", kAsterisks + "\r\n",
                             "Saving processing completed....\r\n", std::string(64, '_') + "\r\n\r\n"}));
  EXPECT_EQ(summaries[0].archive, Out() / "VANTRELREP_a.odb");
  EXPECT_TRUE(fs::exists(Out() / "VANTRELREP_b.odb"));
  EXPECT_EQ(ReadFileBytes(Out() / "a.odb_MediaContent" / "logo.png"), "not really a png a");
  EXPECT_FALSE(fs::exists(Out() / "b.odb_MediaContent")) << "an empty media folder is removed";
  EXPECT_EQ(job.observer.calls, (std::vector<std::string>{"saved 0", "saved 1"}));
}

TEST_F(SaveJobTest, FilesOfOneNameGetNumberedOutputsWithinOneSave) {
  const std::string first = Source("x/db.odb", SmallDatabase("first")).string();
  const std::string second = Source("y/db.odb", SmallDatabase("second")).string();
  SaveRequest request = Repaired({first, second}, true);
  for (int round = 0; round < 2; ++round) {  // a second save replaces, it does not number on
    Job job;
    JobSinks sinks = job.Sinks();
    const auto summaries = RunSaveJob(request, sinks);
    EXPECT_EQ(summaries[0].archive, Out() / "VANTRELREP_db.odb");
    EXPECT_EQ(summaries[1].archive, Out() / "VANTRELREP_db (2).odb");
    EXPECT_NE(job.log.Text().find(second + " is saved as VANTRELREP_db (2).odb"), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(Out() / "db.odb_MediaContent" / "logo.png"), "not really a png first");
  EXPECT_EQ(ReadFileBytes(Out() / "db (2).odb_MediaContent" / "logo.png"), "not really a png second");
  std::size_t archives = 0;
  for (const auto& e : fs::directory_iterator(Out())) archives += e.is_regular_file();
  EXPECT_EQ(archives, 2u);
}

TEST_F(SaveJobTest, FailuresAreRedAndNeverLoggedAsDone) {
  const std::string ok = Source("ok.odb", SmallDatabase("ok")).string();
  const std::string gone = Source("gone.odb", SmallDatabase("gone")).string();
  const std::string blocked = Source("blocked.odb", SmallDatabase("blocked")).string();
  const std::string never = (dir / "in" / "never.odb").string();
  SaveRequest request = Repaired({ok, gone, blocked, never}, false);
  fs::remove_all(workRoot / "gone.odb1");                      // its repair was cleared away
  fs::create_directories(Out() / "VANTRELREP_blocked.odb" / "keep");  // the target cannot be replaced
  Job job;
  JobSinks sinks = job.Sinks();
  const auto summaries = RunSaveJob(request, sinks);

  EXPECT_EQ(job.observer.calls,
            (std::vector<std::string>{"saved 0", "save failed 1", "save failed 2", "not repaired 3"}));
  EXPECT_EQ(summaries[1].outcome, SaveOutcome::Failed);
  const std::string log = job.log.Text();
  EXPECT_EQ(log.find(gone + " saving of file done"), std::string::npos);
  EXPECT_EQ(log.find(blocked + " saving of file done"), std::string::npos);
  EXPECT_NE(log.find(never + " cannot be saved,as it is not Repaired.\r\n"), std::string::npos);
  EXPECT_EQ(job.log.Count(kLogRed), 3u);
  EXPECT_TRUE(fs::exists(Out() / "VANTRELREP_blocked.odb" / "keep")) << "what was there stays";
  EXPECT_FALSE(fs::exists(Out() / "VANTRELREP_gone.odb"));
}

TEST_F(SaveJobTest, StopSkipsTheRemainingFiles) {
  std::vector<std::string> items;
  for (const char* name : {"1.odb", "2.odb", "3.odb"}) items.push_back(Source(name, SmallDatabase(name)).string());
  SaveRequest request = Repaired(items, false);
  Job job;
  StopAfterRows stop(job.observer, 1);
  job.stop = &stop;
  JobSinks sinks = job.Sinks();
  RunSaveJob(request, sinks);
  EXPECT_EQ(job.observer.calls, (std::vector<std::string>{"saved 0", "save stopped 1", "save stopped 2"}));
  EXPECT_NE(job.log.Text().find(items[2] + " file is not saving as process has been stop by the user.... \r\n" +
                                items[2] + " not saved....\r\n"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(Out() / "VANTRELREP_2.odb"));
  EXPECT_EQ(job.totalProgress.positions.back(), 3u);
}

}  // namespace
}  // namespace keelmend
