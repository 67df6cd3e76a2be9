// Fuzz target: the archive writer, fed by a fuzzed description of a work
// folder. The input describes the writer's limits and a list of files,
// folders and symbolic links; the folder is made and packed. Checks: a
// packing that fails leaves the earlier archive and no temporary file; one
// that succeeds gives an archive that the salvage scan reads back with every
// file that was not reported skipped, byte for byte, and nothing from
// outside the folder.
//
// Input layout: settings byte (entry limit, threads), size-limit word, then
// records: kind byte, name length byte, name, and for a file a length word,
// a repeat byte and the content bytes (repeated).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "engine/entry_extraction.h"
#include "engine/folder_packer.h"
#include "engine/salvage_scan.h"
#include "engine/sinks.h"
#include "fuzz/fuzz_support.h"
#include "platform/entry_names.h"

namespace fs = std::filesystem;
using namespace keelmend;

namespace {

constexpr const char* kSecret = "KEELMEND-OUTSIDE-THE-FOLDER";
constexpr const char* kEarlier = "an earlier archive of the same name";

// Makes the folder the input describes; returns the files made (entry name -> bytes).
std::map<std::string, std::string> MakeFolder(fuzz::ByteReader& in, const fs::path& folder,
                                              const fs::path& outside) {
  std::map<std::string, std::string> files;
  while (!in.Empty()) {
    const std::uint8_t kind = in.Byte() % 3;
    const std::string name(in.Bytes(in.Byte()));
    const platform::EntryPath entry = platform::EntryNameToRelativePath(name);
    if (entry.status != platform::EntryNameStatus::kOk) continue;
    const fs::path path = folder / entry.relative;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec || fs::exists(fs::symlink_status(path, ec))) continue;
    if (kind == 1) {
      fs::create_symlink(outside, path, ec);
      continue;
    }
    if (kind == 2) {
      fs::create_directory(path, ec);
      continue;
    }
    const std::string_view chunk = in.Bytes(in.Word());
    std::string content;
    for (int r = in.Byte() % 32; r >= 0; --r) content += chunk;
    fuzz::WriteFile(path, content);
    files[platform::RelativePathToEntryName(entry.relative)] = content;
  }
  // A file below a linked folder is not the folder's own.
  for (auto it = files.begin(); it != files.end();) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(folder / it->first, ec);
    it = platform::IsBelowFolder(fs::weakly_canonical(folder, ec), real) ? std::next(it) : files.erase(it);
  }
  return files;
}

// A listed name (raw bytes, backslashes) as the archive stored it.
std::string Slashed(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

void CheckRoundTrip(const fs::path& archive, const fs::path& check,
                    std::map<std::string, std::string> files, const PackResult& packed) {
  for (const PackResult::Skipped& s : packed.skipped) files.erase(s.name);
  if (!files.count("mimetype")) files["mimetype"] = kOdfDatabaseMimetype;

  NullLog log;
  NullNotify notify;
  NeverStop never;
  std::vector<SalvagedEntry> entries;
  fuzz::Check(SalvageScan(archive, entries, log, never, notify), "archive cannot be scanned");
  fuzz::Check(!entries.empty() && entries[0].name == "mimetype" && entries[0].method == 0,
              "the first entry is not a stored mimetype");
  fuzz::Check(entries.size() == packed.entries, "scan finds another number of entries");
  std::set<std::string> names;
  for (const SalvagedEntry& e : entries) {
    names.insert(Slashed(e.name));
    fuzz::Check(files.count(Slashed(e.name)) == 1, "archive holds a file not in the folder: " + e.name);
  }
  fuzz::Check(names.size() == files.size(), "a packed file is missing from the archive");
  // Each entry goes to a file of its own: the archive may hold both "a" and
  // "a/b" (a generated mimetype beside a folder of that name), which is a
  // valid archive but no folder tree.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string name = Slashed(entries[i].name);
    const fs::path out = check / std::to_string(i);
    const EntryResult r = ExtractEntry(archive, out, entries[i]);
    fuzz::Check(r.outcome == EntryOutcome::kWritten, "archive entry does not extract: " + name);
    const std::string got = fuzz::ReadFile(out);
    fuzz::Check(got == files[name], "content differs after the round trip: " + name);
    fuzz::Check(got.find(kSecret) == std::string::npos || files[name].find(kSecret) != std::string::npos,
                "a linked file got into the archive");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& scratch = fuzz::ScratchFolder();
  fuzz::EmptyFolder(scratch);
  const fs::path folder = scratch / "work", out = scratch / "out", check = scratch / "check";
  const fs::path outside = scratch / "outside.txt";
  for (const fs::path& p : {folder, out, check}) fs::create_directories(p);
  fuzz::WriteFile(outside, kSecret);

  fuzz::ByteReader in(data, size);
  const std::uint8_t tuning = in.Byte();
  ZipWriterSettings settings;
  settings.maxEntries = 1 + (tuning & 0x3F);
  settings.deflateThreads = 1 + ((tuning >> 6) & 1);
  const std::uint16_t limit = in.Word();
  if (limit != 0) settings.maxArchiveBytes = 64ull * limit;
  const std::map<std::string, std::string> files = MakeFolder(in, folder, outside);

  const fs::path archive = out / "VANTRELREP_db.odb";
  fuzz::WriteFile(archive, kEarlier);
  const PackResult packed = FolderPacker().PackFolder(folder, archive, settings);
  std::size_t inOut = 0;
  for (const auto& e : fs::directory_iterator(out)) inOut += e.path() != archive;
  fuzz::Check(inOut == 0, "a temporary file is left next to the archive");
  if (!packed.ok) {
    fuzz::Check(!packed.error.empty(), "a failed packing without a reason");
    fuzz::Check(fuzz::ReadFile(archive) == kEarlier, "a failed packing damaged the earlier archive");
    return 0;
  }
  CheckRoundTrip(archive, check, files, packed);
  return 0;
}
