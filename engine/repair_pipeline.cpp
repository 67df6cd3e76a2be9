#include "engine/repair_pipeline.h"

#include <set>
#include <string_view>
#include <system_error>

#include "engine/database_recovery.h"
#include "engine/descriptor_template.h"
#include "engine/entry_extraction.h"
#include "engine/folder_packer.h"
#include "engine/media_extraction.h"
#include "engine/odf_manifest.h"
#include "engine/salvage_scan.h"
#include "engine/work_folder.h"
#include "platform/entry_names.h"
#include "platform/file_io.h"
#include "platform/temp_paths.h"

namespace keelmend {
namespace {

constexpr const char* kPreviewAvailable = " preview of file is available....\r\n";
constexpr const char* kRepaired = "  Repaired....\r\n";
constexpr const char* kOpenFailed = " extraction of file failed....\r\n";
constexpr const char* kRepairStopped =
    " file is not extracting as process has been stop by the user.... \r\n";
constexpr const char* kNotRepaired = " not Repaired....\r\n";
constexpr const char* kRepairCompleted = "Repairing process completed....\r\n";

constexpr const char* kSaveStarts = " saving of file starts....\r\n";
constexpr const char* kMediaDone = " Media extraction is done....\r\n";
constexpr const char* kNoMedia = " no media content is present in the file....\r\n";
constexpr const char* kSaveDone = " saving of file done....\r\n";
constexpr const char* kCannotSave = " cannot be saved,as it is not Repaired.\r\n";
constexpr const char* kSaveStopped = " file is not saving as process has been stop by the user.... \r\n";
constexpr const char* kNotSaved = " not saved....\r\n";
constexpr const char* kSaveCompleted = "Saving processing completed....\r\n";

// The engine's helpers log lines without the file in front ("  manifest.xml
// regenerated...."); in the job log every line about a file starts with it.
class FilePrefixedLog final : public LogSink {
 public:
  FilePrefixedLog(LogSink& log, std::string_view prefix) : log_(log), prefix_(prefix) {}
  void Log(std::string_view text, Colour colour) override {
    std::string line = prefix_;
    line.append(text);
    log_.Log(line, colour);
  }

 private:
  LogSink& log_;
  std::string prefix_;
};

// The part of an item text after its last separator.
std::string FileNameOf(std::string_view itemText) {
  const std::size_t slash = itemText.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? itemText : itemText.substr(slash + 1));
}

bool SalvagedDescriptorKept(const ExtractionReport& report,
                            const std::vector<SalvagedEntry>& entries) {
  for (std::size_t i = 0; i < report.entries.size() && i < entries.size(); ++i) {
    if (report.entries[i].outcome == EntryOutcome::kWritten && entries[i].name == "content.xml" &&
        entries[i].uncompressedSize >= kDescriptorKeepThreshold)
      return true;
  }
  return false;
}

bool HasWritten(const ExtractionReport& report, std::string_view name) {
  for (const EntryResult& e : report.entries)
    if (e.outcome == EntryOutcome::kWritten && e.name == name) return true;
  return false;
}

void Summarise(const ExtractionReport& report, const std::vector<SalvagedEntry>& entries,
               FileRepairSummary& summary) {
  summary.entriesFound = entries.size();
  summary.entriesWritten = report.written;
  for (const EntryResult& e : report.entries) {
    const std::string shown = ShownEntryName(e.name);
    if (e.outcome == EntryOutcome::kDamaged) summary.damaged.push_back(shown);
    if (e.outcome == EntryOutcome::kSkipped) summary.skipped.push_back(shown);
  }
  if (!SalvagedDescriptorKept(report, entries)) summary.regenerated.push_back("content.xml");
  if (!HasWritten(report, "mimetype")) summary.regenerated.push_back("mimetype");
}

void StopRemainingRepairs(const std::vector<std::string>& itemTexts, std::size_t from,
                          JobSinks& sinks) {
  for (std::size_t j = from; j < itemTexts.size(); ++j) {
    const std::string& path = itemTexts[j];
    sinks.log.Log(path + kRepairStopped, kLogBlack);
    sinks.log.Log(path + kNotRepaired, kLogRed);
    sinks.log.Log(joblog::kAsteriskLine, kLogBlack);
    sinks.observer.FileRepairStopped(j);
  }
}

void FinishRepairJob(std::size_t n, JobSinks& sinks) {
  sinks.totalProgress.SetPosition(static_cast<std::uint32_t>(n));
  sinks.log.Log(kRepairCompleted, kLogBlack);
  sinks.log.Log(joblog::kUnderscoreLine, kLogBlack);
}

}  // namespace

std::string ShownEntryName(std::string_view listedName) {
  std::string shown = platform::EntryNameForDisplay(listedName);
  for (char& c : shown)
    if (c == '\\') c = '/';
  return shown;
}

FileRepairSummary RepairFile(const std::filesystem::path& source, const std::string& itemText,
                             const std::filesystem::path& workFolder, JobSinks& sinks) {
  FileRepairSummary summary;
  std::vector<SalvagedEntry> entries;
  if (!SalvageScan(source, entries, sinks.log, sinks.stop, sinks.notify)) {
    sinks.log.Log(itemText + kOpenFailed, kLogBlack);
    return summary;
  }
  summary.opened = true;

  platform::ErrorCode error{};
  platform::CreateFolder(workFolder, &error);  // a failure shows up as entry errors

  const ExtractionReport report =
      ExtractEntries(entries, workFolder, source, sinks.fileProgress, sinks.notify, sinks.log);
  Summarise(report, entries, summary);

  FilePrefixedLog fileLog(sinks.log, itemText);
  const DatabaseRecovery recovery = RecoverDatabase(workFolder, fileLog);
  summary.notes = recovery.notes;
  if (recovery.wroteProperties) summary.regenerated.push_back("database/properties");
  const ManifestRepair manifest = EnsureManifest(workFolder, fileLog);
  if (manifest.regenerated) summary.regenerated.push_back("META-INF/manifest.xml");

  sinks.log.Log(itemText + kPreviewAvailable, kLogBlack);
  sinks.log.Log(itemText + kRepaired, kLogGreen);
  sinks.log.Log(joblog::kAsteriskLine, kLogBlack);
  return summary;
}

std::vector<FileRepairSummary> RunRepairJob(const std::vector<std::string>& itemTexts,
                                            const std::filesystem::path& workRoot,
                                            JobSinks& sinks) {
  const std::size_t n = itemTexts.size();
  std::vector<FileRepairSummary> summaries(n);
  sinks.totalProgress.Start(static_cast<std::uint32_t>(n));
  platform::ErrorCode error{};
  if (!platform::EnsureUserTempDirectory(&error) ||
      !platform::CreatePrivateFolder(workRoot, &error)) {
    // A work root that is a link, or another user's, is never written into.
    sinks.notify.Notify("The work folder " + workRoot.string() +
                        " cannot be used: " + platform::ErrorText(error));
    for (std::size_t i = 0; i < n; ++i) {
      sinks.log.Log(itemTexts[i] + kOpenFailed, kLogBlack);
      sinks.observer.FileOpenFailed(i);
    }
    FinishRepairJob(n, sinks);
    return summaries;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!sinks.stop.ShouldContinue()) {
      StopRemainingRepairs(itemTexts, i, sinks);
      break;
    }
    const std::string& path = itemTexts[i];
    const std::filesystem::path folder = workRoot / WorkFolderName(path, static_cast<int>(i));
    summaries[i] = RepairFile(std::filesystem::path(path), path, folder, sinks);
    if (summaries[i].opened)
      sinks.observer.FileRepaired(i);
    else
      sinks.observer.FileOpenFailed(i);
    sinks.totalProgress.SetPosition(static_cast<std::uint32_t>(i + 1));
  }
  FinishRepairJob(n, sinks);
  return summaries;
}

namespace {

// "db.odb" -> "db (2).odb": the copy number goes before the extension.
std::string NumberedName(const std::string& name, int copy) {
  if (copy <= 1) return name;
  const std::size_t dot = name.find_last_of('.');
  const std::string suffix = " (" + std::to_string(copy) + ")";
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

class SaveRun {
 public:
  SaveRun(const SaveRequest& request, JobSinks& sinks) : request_(request), sinks_(sinks) {}

  std::vector<FileSaveSummary> Run() {
    const std::size_t n = request_.items.size();
    std::vector<FileSaveSummary> summaries(n);
    sinks_.totalProgress.Start(static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
      const SaveItem& item = request_.items[i];
      if (item.repaired) {
        if (!sinks_.stop.ShouldContinue()) {
          StopRemaining(i, summaries);
          break;
        }
        summaries[i] = SaveOne(i);
      } else {
        sinks_.log.Log(item.itemText + kCannotSave, kLogRed);
        sinks_.observer.FileNotRepaired(i);
      }
      sinks_.log.Log(joblog::kAsteriskLine, kLogBlack);
      sinks_.totalProgress.SetPosition(static_cast<std::uint32_t>(i + 1));
    }
    sinks_.totalProgress.SetPosition(static_cast<std::uint32_t>(n));
    sinks_.log.Log(kSaveCompleted, kLogBlack);
    sinks_.log.Log(joblog::kUnderscoreLine, kLogBlack);
    return summaries;
  }

 private:
  // The name this file's outputs carry within this save: its own, or a
  // numbered one when an earlier file of this save took it.
  std::string OutputName(const std::string& itemText) {
    const std::string name = FileNameOf(itemText);
    for (int copy = 1;; ++copy) {
      std::string candidate = NumberedName(name, copy);
      if (taken_.insert(candidate).second) {
        if (copy > 1)
          sinks_.log.Log(itemText + " is saved as VANTRELREP_" + candidate +
                             ", as an earlier file of this save has the same name....\r\n",
                         kLogBlack);
        return candidate;
      }
    }
  }

  void ExtractMedia(const std::string& path, const std::filesystem::path& workFolder,
                    const std::string& name, FileSaveSummary& summary) {
    const std::filesystem::path mediaFolder = request_.destination / (name + "_MediaContent");
    platform::ErrorCode error{};
    platform::CreateFolder(mediaFolder, &error);
    MediaExtraction media;
    media.SetMediaFolder(mediaFolder);
    media.ExtractMediaFiles(workFolder);
    std::error_code ec;
    // Removing succeeds only for an empty folder: then there was nothing to copy.
    if (std::filesystem::remove(mediaFolder, ec)) {
      sinks_.log.Log(path + kNoMedia, kLogBlack);
    } else {
      summary.mediaFolder = mediaFolder;
      sinks_.log.Log(path + kMediaDone, kLogBlack);
    }
  }

  // A file the archive could not take is lost from the saved copy: each one
  // gets a red line, so a save that drops data never reads as complete.
  void LogLeftOut(const std::string& path, const PackResult& packed) {
    for (const PackResult::Skipped& s : packed.skipped) {
      const char* why = s.code == kZipSourceUnreadable         ? "it cannot be read"
                        : s.name.size() > kZipMaxNameBytes ? "its name is longer than 259 bytes"
                                                           : "the archive holds 65,535 entries already";
      sinks_.log.Log(path + " entry " + platform::EntryNameForDisplay(s.name) +
                         " is left out of the saved file (" + why + ")....\r\n",
                     kLogRed);
    }
  }

  FileSaveSummary SaveOne(std::size_t row) {
    FileSaveSummary summary;
    const std::string& path = request_.items[row].itemText;
    sinks_.log.Log(path + kSaveStarts, kLogBlack);
    const std::string name = OutputName(path);
    const std::filesystem::path archive = request_.destination / ("VANTRELREP_" + name);
    const std::filesystem::path workFolder =
        request_.workRoot / WorkFolderName(path, static_cast<int>(row));

    PackResult packed;
    std::error_code ec;
    if (std::filesystem::is_directory(workFolder, ec)) {
      packed = packer_.PackFolder(workFolder, archive);
    } else {
      packed.error = "its repaired content is gone; repair it again";
    }
    if (request_.extractMedia) ExtractMedia(path, workFolder, name, summary);

    if (packed.ok) {
      LogLeftOut(path, packed);
      summary.outcome = SaveOutcome::Saved;
      summary.archive = archive;
      sinks_.log.Log(path + kSaveDone, kLogGreen);
      sinks_.observer.FileSaved(row, archive);
    } else {
      summary.outcome = SaveOutcome::Failed;
      summary.error = packed.error;
      sinks_.log.Log(path + " saving of file failed (" + packed.error + ")....\r\n", kLogRed);
      sinks_.observer.FileSaveFailed(row);
    }
    return summary;
  }

  void StopRemaining(std::size_t from, std::vector<FileSaveSummary>& summaries) {
    for (std::size_t j = from; j < request_.items.size(); ++j) {
      const std::string& path = request_.items[j].itemText;
      sinks_.log.Log(path + kSaveStopped, kLogBlack);
      sinks_.log.Log(path + kNotSaved, kLogRed);
      sinks_.log.Log(joblog::kAsteriskLine, kLogBlack);
      summaries[j].outcome = SaveOutcome::Stopped;
      sinks_.observer.FileSaveStopped(j);
    }
  }

  const SaveRequest& request_;
  JobSinks& sinks_;
  FolderPacker packer_;
  std::set<std::string> taken_;
};

}  // namespace

std::vector<FileSaveSummary> RunSaveJob(const SaveRequest& request, JobSinks& sinks) {
  return SaveRun(request, sinks).Run();
}

}  // namespace keelmend
