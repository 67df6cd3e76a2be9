#include "cli/cli_commands.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "cli/terminal_sinks.h"
#include "engine/repair_pipeline.h"
#include "engine/salvage_scan.h"
#include "engine/work_folder.h"
#include "platform/temp_paths.h"

namespace keelmend::cli {
namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

void PrintEntriesJson(const std::vector<SalvagedEntry>& entries) {
  std::printf("[");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SalvagedEntry& e = entries[i];
    std::printf("%s\n  {\"name\": %s, \"compressedSize\": %u, \"uncompressedSize\": %u, "
                "\"dataOffset\": %llu, \"method\": %u, \"modified\": %s}",
                i ? "," : "", JsonString(ShownEntryName(e.name)).c_str(), e.compressedSize,
                e.uncompressedSize, static_cast<unsigned long long>(e.dataOffset), e.method,
                JsonString(e.modifiedText).c_str());
  }
  std::printf("%s]\n", entries.empty() ? "" : "\n");
}

void PrintEntriesTable(const std::vector<SalvagedEntry>& entries) {
  std::printf("%12s %12s %12s  %-40s %s\n", "compressed", "size", "offset", "modified", "name");
  for (const SalvagedEntry& e : entries) {
    std::printf("%12u %12u %12llu  %-40s %s\n", e.compressedSize, e.uncompressedSize,
                static_cast<unsigned long long>(e.dataOffset), e.modifiedText.c_str(),
                ShownEntryName(e.name).c_str());
  }
  std::printf("%zu entr%s found\n", entries.size(), entries.size() == 1 ? "y" : "ies");
}

// A work root of this run's own, so that a window open at the same time
// keeps its work folders.
std::filesystem::path PrivateWorkRoot() {
  std::random_device random;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
  return platform::UserTempDirectory() / (std::string("BsTmp-cli-") + suffix);
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

void PrintSummary(const std::string& file, const FileRepairSummary& r, const FileSaveSummary* s) {
  std::printf("%s:\n", file.c_str());
  if (!r.opened) {
    std::printf("  could not be read; nothing repaired\n");
    return;
  }
  std::printf("  entries found: %zu, unpacked intact: %zu\n", r.entriesFound, r.entriesWritten);
  if (!r.damaged.empty())
    std::printf("  damaged and left out: %zu (%s)\n", r.damaged.size(), Joined(r.damaged).c_str());
  if (!r.skipped.empty())
    std::printf("  skipped (unusable names): %zu (%s)\n", r.skipped.size(), Joined(r.skipped).c_str());
  if (!r.regenerated.empty()) std::printf("  regenerated: %s\n", Joined(r.regenerated).c_str());
  for (const std::string& note : r.notes) std::printf("  database: %s\n", note.c_str());
  if (s == nullptr) return;
  if (s->outcome == SaveOutcome::Saved) {
    std::printf("  saved as: %s\n", s->archive.string().c_str());
    if (!s->mediaFolder.empty()) std::printf("  pictures in: %s\n", s->mediaFolder.string().c_str());
  } else if (s->outcome == SaveOutcome::Failed) {
    std::printf("  NOT saved: %s\n", s->error.c_str());
  } else {
    std::printf("  NOT saved\n");
  }
}

}  // namespace

int Scan(const std::string& file, const Options& options) {
  TerminalLog log(stderr);
  NullLog quiet;
  TerminalNotify notify;
  InterruptStop stop;
  std::vector<SalvagedEntry> entries;
  if (!SalvageScan(std::filesystem::path(file), entries, options.json ? static_cast<LogSink&>(quiet) : log,
                   stop, notify))
    return 1;
  if (options.json)
    PrintEntriesJson(entries);
  else
    PrintEntriesTable(entries);
  return 0;
}

int Repair(const std::vector<std::string>& files, const Options& options) {
  std::error_code ec;
  const std::filesystem::path out(options.out);
  if (!std::filesystem::is_directory(out, ec)) {
    std::filesystem::create_directories(out, ec);
    if (ec) {
      std::fprintf(stderr, "keelmend-cli: cannot create the folder %s: %s\n", options.out.c_str(),
                   ec.message().c_str());
      return 1;
    }
  }

  TerminalLog stdoutLog(stdout);
  TerminalProgress progress;
  LogBelowProgress log(stdoutLog, progress);
  TerminalNotify notify;
  InterruptStop stop;
  JobObserver observer;
  JobSinks sinks{log, progress.File(), progress.Total(), notify, stop, observer};

  std::vector<std::string> items;
  for (const std::string& f : files) items.push_back(std::filesystem::absolute(f, ec).string());

  const std::filesystem::path workRoot = PrivateWorkRoot();
  const std::vector<FileRepairSummary> repairs = RunRepairJob(items, workRoot, sinks);

  SaveRequest request;
  request.destination = out;
  request.workRoot = workRoot;
  request.extractMedia = options.media;
  for (std::size_t i = 0; i < items.size(); ++i) request.items.push_back({items[i], repairs[i].opened});
  const std::vector<FileSaveSummary> saves = RunSaveJob(request, sinks);
  progress.Clear();

  ClearFolderContents(workRoot);
  std::filesystem::remove(workRoot, ec);

  int status = 0;
  std::printf("\n");
  for (std::size_t i = 0; i < items.size(); ++i) {
    PrintSummary(items[i], repairs[i], &saves[i]);
    if (!repairs[i].opened || saves[i].outcome != SaveOutcome::Saved) status = 1;
  }
  return status;
}

}  // namespace keelmend::cli
