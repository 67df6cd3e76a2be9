// Fuzz target: the salvage scan of a damaged file, the extraction of what it
// found into a work folder, and the repairs that follow (database recovery,
// manifest). Checks, besides the sanitizers' own: the source is unchanged,
// nothing is written outside the work folder, every entry reported written
// has exactly the size its header claims and every entry is accounted for.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/database_recovery.h"
#include "engine/entry_extraction.h"
#include "engine/odf_manifest.h"
#include "engine/salvage_scan.h"
#include "engine/sinks.h"
#include "fuzz/fuzz_support.h"

namespace fs = std::filesystem;
using namespace keelmend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& scratch = fuzz::ScratchFolder();
  fuzz::EmptyFolder(scratch);
  const fs::path source = scratch / "in" / "damaged.odb";
  const fs::path work = scratch / "work";
  fs::create_directories(source.parent_path());
  fs::create_directories(work);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzz::WriteFile(source, bytes);

  NullLog log;
  NullNotify notify;
  NullProgress progress;
  NeverStop never;
  std::vector<SalvagedEntry> entries;
  fuzz::Check(SalvageScan(source, entries, log, never, notify), "scan refused a readable file");
  for (const SalvagedEntry& e : entries) {
    fuzz::Check(!e.name.empty(), "empty name listed");
    fuzz::Check(e.dataOffset <= size + 0x20000ull, "data offset beyond header reach");
  }

  const ExtractionReport report = ExtractEntries(entries, work, source, progress, notify, log);
  fuzz::Check(report.entries.size() == entries.size(), "an entry not accounted for");
  fuzz::Check(report.written + report.damaged + report.skipped == entries.size(), "counts disagree");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const EntryResult& r = report.entries[i];
    if (r.outcome != EntryOutcome::kWritten) continue;
    std::error_code ec;
    // A later entry of the same name may have replaced the file since.
    bool replacedLater = false;
    for (std::size_t j = i + 1; j < entries.size(); ++j)
      replacedLater |= report.entries[j].outputPath == r.outputPath;
    if (!replacedLater)
      fuzz::Check(fs::file_size(r.outputPath, ec) == entries[i].uncompressedSize,
                  "written entry has another size than its header claims");
  }
  RecoverDatabase(work, log);
  EnsureManifest(work, log);

  fuzz::Check(fuzz::ReadFile(source) == bytes, "the source changed");
  fs::remove(source);
  fuzz::Check(fuzz::EverythingBelow(scratch, work), "a file outside the work folder");
  return 0;
}
