// Entry extraction.
//
// Writes every entry the salvage scan listed as an ordinary file
// into a work folder, re-creating its sub-folders, and finally puts the
// database descriptor template there when content.xml is missing
// or short.
//
// Beyond a plain copy-or-inflate:
//   * Streaming: nothing of an entry's full size is ever allocated. Data goes
//     from the source, in 256 KiB pieces, through zlib's raw inflate (or a
//     plain copy) into a temporary file in the target's own folder; that file
//     is renamed onto the target only when it holds exactly the expected
//     number of bytes with the expected CRC-32. A failed entry leaves no file
//     and no temporary file. The classic "OPC" copy of the compressed
//     bytes in the temporary directory is gone.
//   * The inflater gets the entry's whole compressed data (not a limit taken
//     from the uncompressed size), so small and incompressible entries are
//     extracted.
//   * Every entry is checked: its size against uncompressedSize and, when the
//     scan knows it (SalvagedEntry::crcKnown), its CRC-32 against the header
//     or the data descriptor. A damaged entry is left out with a red line
//     path + " entry " + name + " is damaged and left out....\r\n".
//   * Entry names are confined below the work folder (platform/entry_names:
//     no "..", no absolute names, colons removed). A name that cannot be a
//     file name is left out with a red line
//     path + " entry " + name + " cannot be a file name and is left out....\r\n".
//   * Copy or inflate: the method from the header decides when it is known
//     (0 copies, 8 inflates); for any other method value the classic
//     rule decides (sizes equal and non-zero: copy; otherwise inflate). When
//     the chosen way fails its check and the two sizes are equal, the other
//     way is tried, and whichever gives the expected size and CRC is kept
//     (a deflated entry whose sizes happen to be equal, or a damaged method
//     field).
//   * An inflated stream must end within its compressed data; only when the
//     exact uncompressed size with the right CRC has been produced is a
//     missing end marker forgiven.
// The stop request is not consulted: once begun, a file's extraction runs to
// its end (as described).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/salvage_scan.h"
#include "engine/sinks.h"

namespace keelmend {

enum class EntryOutcome {
  kWritten,  // the file is in the work folder, size and CRC checked
  kDamaged,  // the data is bad; nothing written
  kSkipped,  // not attempted or not writable; nothing written
};

enum class EntryProblem {
  kNone,
  kCrcMismatch,        // damaged: the data gives another CRC-32
  kSizeMismatch,       // damaged: the data gives another number of bytes
  kStreamBroken,       // damaged: inflate reports corrupt data, or the stream does not end
  kTruncated,          // damaged: the source file ends inside the entry's data
  kNotAFileName,       // skipped: the name cannot be a file name below the folder
  kWriteFailed,        // skipped: the output could not be created, written or renamed
  kSourceUnavailable,  // skipped: the source file could not be opened again
};

struct EntryResult {
  std::string name;                  // the entry's name as listed (backslashes)
  EntryOutcome outcome = EntryOutcome::kSkipped;
  EntryProblem problem = EntryProblem::kNone;
  std::filesystem::path outputPath;  // the file written (or that would have been)
  bool inflated = false;             // written by inflating (false: copied)
  std::string detail;                // English detail, e.g. the system's error text
};

struct ExtractionReport {
  std::vector<EntryResult> entries;  // one per listed entry, in list order
  std::size_t written = 0;
  std::size_t damaged = 0;
  std::size_t skipped = 0;
  bool templateWritten = false;      // WriteDescriptorTemplate's result
};

// Texts of the extraction's log lines (appended to path + " entry " + name).
inline constexpr const char* kEntryDamagedText = " is damaged and left out....\r\n";
inline constexpr const char* kEntryNotAFileNameText = " cannot be a file name and is left out....\r\n";
inline constexpr const char* kEntryNotWrittenText = " could not be written and is left out....\r\n";
inline constexpr const char* kSourceNotReopenedText =
    " could not be opened again; its entries are left out....\r\n";

// Extracts every entry of `entryList` into `workFolder`, then writes the
// descriptor template (WriteDescriptorTemplate(folder)). Progress:
// Start(N), SetPosition(i) after entry i, SetPosition(N) at the end. A folder
// that cannot be created is reported through `notify` with the system's
// text; the lines about left-out entries go to `log` in red (kLogRed).
// Two entries of the same name: the later one replaces the earlier file.
ExtractionReport ExtractEntries(const std::vector<SalvagedEntry>& entryList,
                                const std::filesystem::path& workFolder,
                                const std::filesystem::path& sourcePath, ProgressSink& progress,
                                NotifySink& notify, LogSink& log);

// Where an entry goes.
struct EntryTarget {
  bool ok = false;                   // false: the name cannot be a file name
  std::filesystem::path outputPath;  // workFolder / the confined relative path
  bool hadSeparator = false;         // the classic result: the name held a separator
  std::string problem;               // why not ok
};

// Turns `entryName` into a path confined below `workFolder` and creates the
// folders between them, left to right. A folder that exists already is no
// error; any other failure is shown through `notify` with the system's
// message text, and the next folder is tried.
EntryTarget CreateEntryFolders(const std::filesystem::path& workFolder, std::string_view entryName,
                               NotifySink& notify);

// Writes one entry from `sourcePath` to `outputPath` (whose folder must
// exist), as described above. Writes at most one file.
EntryResult ExtractEntry(const std::filesystem::path& sourcePath,
                         const std::filesystem::path& outputPath, const SalvagedEntry& entry);

}  // namespace keelmend
