#include "engine/database_recovery.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace keelmend {
namespace {
namespace fs = std::filesystem;

// database/properties as LibreOffice 7.4 leaves it after a clean close.
const std::string kCleanProperties =
    "#HSQL Database Engine 1.8.0.10\n"
    "#Fri Dec 11 13:07:37 UTC 2026\n"
    "hsqldb.cache_version=1.7.0\n"
    "sql.enforce_strict_size=true\n"
    "hsqldb.compatible_version=1.8.0\n"
    "hsqldb.lock_file=true\n"
    "hsqldb.cache_scale=13\n"
    "hsqldb.nio_data_file=false\n"
    "version=1.8.0\n"
    "runtime.gc_interval=0\n"
    "readonly=false\n"
    "hsqldb.cache_file_scale=1\n"
    "hsqldb.cache_size_scale=8\n"
    "hsqldb.log_size=10\n"
    "hsqldb.script_format=0\n"
    "hsqldb.default_table_type=cached\n"
    "hsqldb.original_version=1.8.0\n"
    "modified=no\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

const std::string kDirtyProperties = Replace(kCleanProperties, "modified=no", "modified=yes");

class RecordingLog final : public LogSink {
 public:
  void Log(std::string_view text, Colour colour) override {
    lines.emplace_back(std::string(text), colour);
  }
  std::vector<std::pair<std::string, Colour>> lines;
};

std::optional<std::string> ReadFile(const fs::path& path) {
  if (!fs::is_regular_file(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class RecoveryFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(KEELMEND_BINARY_DIR) / "test-work" /
              ("recovery-" + std::string(::testing::UnitTest::GetInstance()
                                             ->current_test_info()->name()));
    Reset();
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Reset() {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    log_.lines.clear();
  }
  fs::path Db(const char* name) const { return folder_ / "database" / name; }

  fs::path folder_;
  RecordingLog log_;
};

TEST(WithModifiedFlag, SetsTheFlagAndKeepsEveryOtherByte) {
  struct Case {
    const char* what;
    std::string before;
    bool modified;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"clean file to yes", kCleanProperties, true, kDirtyProperties},
      {"dirty file to no", kDirtyProperties, false, kCleanProperties},
      {"already so", kCleanProperties, false, kCleanProperties},
      {"CRLF lines", "version=1.8.0\r\nmodified=no\r\nreadonly=false\r\n", true,
       "version=1.8.0\r\nmodified=yes\r\nreadonly=false\r\n"},
      {"blanks and colon", "  modified : no\nx=1", true, "  modified=yes\nx=1"},
      {"no key, no final newline", "version=1.8.0", true, "version=1.8.0\nmodified=yes\n"},
      {"empty", "", false, "modified=no\n"},
      {"comment and look-alike keys stay", "#modified=no\nmodifiedx=no\nmodified=no\n", true,
       "#modified=no\nmodifiedx=no\nmodified=yes\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithModifiedFlag(c.before, c.modified), c.after) << c.what;
}

TEST(MinimalHsqldbProperties, NamesVersionAndFlag) {
  EXPECT_EQ(MinimalHsqldbProperties(true), "version=1.8.0\nmodified=yes\n");
  EXPECT_EQ(MinimalHsqldbProperties(false), "version=1.8.0\nmodified=no\n");
}

TEST_F(RecoveryFolder, DetectsTheEmbeddedEngine) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    EmbeddedEngine engine;
  };
  const std::vector<Case> cases = {
      {"empty folder", {}, EmbeddedEngine::kNone},
      {"hsqldb script", {{"database/script", "x"}}, EmbeddedEngine::kHsqldb},
      {"hsqldb backup only", {{"database/backup", "x"}}, EmbeddedEngine::kHsqldb},
      {"firebird file", {{"database/firebird.fbk", "x"}}, EmbeddedEngine::kFirebird},
      {"descriptor names firebird",
       {{"content.xml", "<db:data-source db:connection-resource=\"sdbc:embedded:firebird\"/>"}},
       EmbeddedEngine::kFirebird},
      {"descriptor names hsqldb",
       {{"content.xml", "<db:data-source db:connection-resource=\"sdbc:embedded:hsqldb\"/>"}},
       EmbeddedEngine::kHsqldb},
      {"external database", {{"content.xml", "<db:connection-resource xlink:href=\"sdbc:mysql:x\"/>"}},
       EmbeddedEngine::kNone},
  };
  for (const auto& c : cases) {
    Reset();
    for (const auto& [name, text] : c.files) WriteFile(folder_ / name, text);
    EXPECT_EQ(DetectEmbeddedEngine(folder_), c.engine) << c.what;
  }
}

// Which database files survived, and what HSQLDB then needs in
// database/properties to bring back the most rows (measured with
// LibreOffice 7.4: with modified=no it ignores the backup, with
// modified=yes and no backup it discards the data file).
TEST_F(RecoveryFolder, HsqldbPropertiesFollowWhatSurvived) {
  struct Case {
    const char* what;
    bool script, data, backup;
    std::optional<std::string> properties;  // before; nullopt = missing
    std::optional<std::string> expected;    // after
    bool restore, keep, wrote;
    const char* line;  // nullptr = nothing logged
  };
  const char* kRestore =
      " database/data is missing; database/properties now says modified=yes so that HSQLDB "
      "restores the rows from database/backup....\r\n";
  const char* kKeep =
      " database/backup is missing; database/properties now says modified=no so that HSQLDB "
      "keeps the rows of database/data....\r\n";
  const std::vector<Case> cases = {
      {"all intact", true, true, true, kCleanProperties, kCleanProperties, false, false, false,
       nullptr},
      {"all intact after a crash", true, true, true, kDirtyProperties, kDirtyProperties, false,
       false, false, nullptr},
      {"data lost", true, false, true, kCleanProperties, kDirtyProperties, true, false, false,
       kRestore},
      {"data lost, already dirty", true, false, true, kDirtyProperties, kDirtyProperties, true,
       false, false, kRestore},
      {"data and properties lost", true, false, true, std::nullopt,
       MinimalHsqldbProperties(true), true, false, true, kRestore},
      {"backup lost, dirty", true, true, false, kDirtyProperties, kCleanProperties, false, true,
       false, kKeep},
      {"backup and properties lost", true, true, false, std::nullopt,
       MinimalHsqldbProperties(false), false, true, true, kKeep},
      {"backup lost, clean", true, true, false, kCleanProperties, kCleanProperties, false, false,
       false, nullptr},
      {"properties lost only", true, true, true, std::nullopt, std::nullopt, false, false, false,
       nullptr},
      {"data and backup lost", true, false, false, kCleanProperties, kCleanProperties, false,
       false, false, nullptr},
  };
  for (const auto& c : cases) {
    Reset();
    if (c.script) WriteFile(Db("script"), "CREATE CACHED TABLE \"T\"\n");
    if (c.data) WriteFile(Db("data"), "rows");
    if (c.backup) WriteFile(Db("backup"), "zipped rows");
    if (c.properties) WriteFile(Db("properties"), *c.properties);

    const auto result = RecoverDatabase(folder_, log_);
    EXPECT_EQ(result.engine, EmbeddedEngine::kHsqldb) << c.what;
    EXPECT_EQ(ReadFile(Db("properties")), c.expected) << c.what;
    EXPECT_EQ(result.restoreFromBackup, c.restore) << c.what;
    EXPECT_EQ(result.keepDataFile, c.keep) << c.what;
    EXPECT_EQ(result.wroteProperties, c.wrote) << c.what;
    EXPECT_FALSE(result.failed) << c.what;
    EXPECT_FALSE(result.schemaLost) << c.what;
    if (c.line == nullptr) {
      EXPECT_TRUE(log_.lines.empty()) << c.what;
      EXPECT_TRUE(result.notes.empty()) << c.what;
    } else {
      ASSERT_EQ(log_.lines.size(), 1u) << c.what;
      EXPECT_EQ(log_.lines[0].first, c.line) << c.what;
      EXPECT_EQ(log_.lines[0].second, kLogBlack) << c.what;
      EXPECT_EQ(result.notes.size(), 1u) << c.what;
    }
    // The database files themselves are never touched.
    EXPECT_EQ(ReadFile(Db("data")).has_value(), c.data) << c.what;
    EXPECT_EQ(ReadFile(Db("backup")).has_value(), c.backup) << c.what;
  }
}

TEST_F(RecoveryFolder, LostSchemaIsReportedAndNothingChanges) {
  WriteFile(Db("data"), "rows");
  WriteFile(Db("backup"), "zipped rows");
  WriteFile(Db("properties"), kCleanProperties);

  const auto result = RecoverDatabase(folder_, log_);
  EXPECT_TRUE(result.schemaLost);
  EXPECT_FALSE(result.restoreFromBackup);
  EXPECT_EQ(ReadFile(Db("properties")), kCleanProperties);
  ASSERT_EQ(log_.lines.size(), 1u);
  EXPECT_EQ(log_.lines[0].first,
            " database/script is missing; the rows that survive in database/data and "
            "database/backup cannot be read without it....\r\n");
  EXPECT_EQ(log_.lines[0].second, kLogRed);
}

TEST_F(RecoveryFolder, FirebirdAndEmptyFoldersAreLeftAlone) {
  WriteFile(Db("firebird.fbk"), "gbak");
  WriteFile(folder_ / "content.xml", "sdbc:embedded:firebird");
  auto result = RecoverDatabase(folder_, log_);
  EXPECT_EQ(result.engine, EmbeddedEngine::kFirebird);
  EXPECT_TRUE(log_.lines.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "database"), fs::directory_iterator()),
            1);

  Reset();
  result = RecoverDatabase(folder_, log_);
  EXPECT_EQ(result.engine, EmbeddedEngine::kNone);
  EXPECT_FALSE(result.failed);
  EXPECT_TRUE(fs::is_empty(folder_));

  result = RecoverDatabase(folder_ / "not-there", log_);
  EXPECT_EQ(result.engine, EmbeddedEngine::kNone);
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(RecoveryFolder, PropertiesThatCannotBeWrittenAreReportedInRed) {
  WriteFile(Db("script"), "CREATE CACHED TABLE \"T\"\n");
  WriteFile(Db("backup"), "zipped rows");
  fs::create_directories(Db("properties"));  // a folder where the file belongs

  const auto result = RecoverDatabase(folder_, log_);
  EXPECT_TRUE(result.failed);
  EXPECT_FALSE(result.restoreFromBackup);
  ASSERT_EQ(log_.lines.size(), 1u);
  EXPECT_EQ(log_.lines[0].first, " database/properties could not be written....\r\n");
  EXPECT_EQ(log_.lines[0].second, kLogRed);
}

}  // namespace
}  // namespace keelmend
