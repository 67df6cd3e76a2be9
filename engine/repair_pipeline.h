// The repair and save jobs, shared by the command-line tool and the window.
//
// A repair job takes a list of source files. For each one it runs the salvage
// scan, unpacks every entry it found into the file's work folder, checks the
// entries, puts back what a database package needs (descriptor, manifest,
// database recovery) and logs the file's block of lines. A save job packs
// each repaired work folder into a fresh archive in the destination folder
// and, on request, copies its pictures out.
//
// Both jobs only talk through the sinks in JobSinks; the window plugs in
// sinks that carry every call over to its own thread, the CLI prints.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sinks.h"

namespace keelmend {

// What happened to the files of a job, one call per file, in list order.
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  // Repair job.
  virtual void FileRepaired(std::size_t /*row*/) {}
  virtual void FileOpenFailed(std::size_t /*row*/) {}
  virtual void FileRepairStopped(std::size_t /*row*/) {}
  // Save job.
  virtual void FileSaved(std::size_t /*row*/, const std::filesystem::path& /*archive*/) {}
  virtual void FileSaveFailed(std::size_t /*row*/) {}
  virtual void FileNotRepaired(std::size_t /*row*/) {}
  virtual void FileSaveStopped(std::size_t /*row*/) {}
};

struct JobSinks {
  LogSink& log;
  ProgressSink& fileProgress;   // per entry while a file is unpacked
  ProgressSink& totalProgress;  // per file
  NotifySink& notify;           // messages the user must acknowledge
  const StopQuery& stop;        // asked before each file and during the scan
  JobObserver& observer;
};

// What the repair of one file recovered; the CLI prints it.
struct FileRepairSummary {
  bool opened = false;                    // the source could be read
  std::size_t entriesFound = 0;           // local headers the scan listed
  std::size_t entriesWritten = 0;         // entries unpacked intact
  std::vector<std::string> damaged;       // entries left out (bad data or CRC)
  std::vector<std::string> skipped;       // names that cannot be file names
  std::vector<std::string> regenerated;   // files the repair wrote anew
  std::vector<std::string> notes;         // database recovery steps taken
};

// One source file into its work folder (which is created). Logs the scan's
// lines and the file's block ("preview of file is available", "Repaired",
// the asterisk line) or the failure line. Returns what was recovered.
FileRepairSummary RepairFile(const std::filesystem::path& source,
                             const std::string& itemText,
                             const std::filesystem::path& workFolder,
                             JobSinks& sinks);

// The whole repair job over `itemTexts` (full paths of the sources). Work
// folders are formed below `workRoot` from each item and its row. Returns one
// summary per row (rows not reached because of a stop are default summaries).
std::vector<FileRepairSummary> RunRepairJob(const std::vector<std::string>& itemTexts,
                                            const std::filesystem::path& workRoot,
                                            JobSinks& sinks);

struct SaveItem {
  std::string itemText;  // full path of the source file
  bool repaired = false;
};

struct SaveRequest {
  std::filesystem::path destination;   // an existing folder
  std::filesystem::path workRoot;      // where the repair left the work folders
  bool extractMedia = false;
  std::vector<SaveItem> items;
};

enum class SaveOutcome { Saved, Failed, NotRepaired, Stopped };

struct FileSaveSummary {
  SaveOutcome outcome = SaveOutcome::NotRepaired;
  std::filesystem::path archive;  // where the archive went (when saved)
  std::filesystem::path mediaFolder;  // when pictures were copied
  std::string error;              // why the packing failed
};

// The whole save job. Archives are named "VANTRELREP_" + the source's name;
// within one job a name already taken by an earlier file of the same job gets
// " (2)", " (3)", ... before its extension, and the log says so. An archive
// from an earlier job of the same name is replaced, and only once the new one
// is complete.
std::vector<FileSaveSummary> RunSaveJob(const SaveRequest& request, JobSinks& sinks);

// A listed entry name (raw bytes, backslashes) as UTF-8 text with "/"
// between folders, the way the archive named it.
std::string ShownEntryName(std::string_view listedName);

// The log texts the jobs write, for the window's own lines and for tests.
namespace joblog {
inline constexpr const char* kAsteriskLine =
    "*************************************************************************************\r\n";
inline constexpr const char* kUnderscoreLine =
    "________________________________________________________________\r\n\r\n";
}  // namespace joblog

}  // namespace keelmend
