// Test helpers for running the repair and save jobs against a folder of
// their own: recording sinks bundled as JobSinks, an observer that notes its
// calls, and checks that a job kept to its folders and left the source as it
// was.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/repair_pipeline.h"
#include "platform/entry_names.h"
#include "support/zip_fixture.h"

namespace keelmend::test {

// Notes the observer's calls as short words: "repaired 0", "save failed 1", ...
class NotingObserver final : public JobObserver {
 public:
  void FileRepaired(std::size_t r) override { Add("repaired", r); }
  void FileOpenFailed(std::size_t r) override { Add("open failed", r); }
  void FileRepairStopped(std::size_t r) override { Add("stopped", r); }
  void FileSaved(std::size_t r, const std::filesystem::path&) override { Add("saved", r); }
  void FileSaveFailed(std::size_t r) override { Add("save failed", r); }
  void FileNotRepaired(std::size_t r) override { Add("not repaired", r); }
  void FileSaveStopped(std::size_t r) override { Add("save stopped", r); }
  std::vector<std::string> calls;

 private:
  void Add(const char* what, std::size_t row) { calls.push_back(what + (" " + std::to_string(row))); }
};

// The sinks of one job run.
struct JobRun {
  RecordingLog log;
  RecordingProgress fileProgress, totalProgress;
  RecordingNotify notify;
  NeverStop neverStop;
  NotingObserver observer;
  const StopQuery* stop = &neverStop;
  JobSinks Sinks() { return JobSinks{log, fileProgress, totalProgress, notify, *stop, observer}; }
  // Every line, in order.
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    for (const auto& [text, colour] : log.lines) out.push_back(text);
    return out;
  }
  // The red lines, in order.
  std::vector<std::string> RedLines() const {
    std::vector<std::string> out;
    for (const auto& [text, colour] : log.lines)
      if (colour == kLogRed) out.push_back(text);
    return out;
  }
};

// Paths below `root` that are not folders (files and links, not followed)
// and lie neither below one of `allowed` nor are one of them.
inline std::vector<std::string> FilesOutside(const std::filesystem::path& root,
                                             const std::vector<std::filesystem::path>& allowed) {
  std::vector<std::string> outside;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(root, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) continue;
    bool inside = false;
    for (const auto& a : allowed)
      inside = inside || it->path() == a || platform::IsBelowFolder(a, it->path());
    if (!inside) outside.push_back(it->path().string());
  }
  return outside;
}

}  // namespace keelmend::test
