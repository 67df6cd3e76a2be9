// The salvage scan.
//
// Walks the raw bytes of a damaged .odb (ZIP) file from the first byte to the
// last, looking for local file headers ("PK\3\4"), and appends one
// SalvagedEntry per usable header to an entry list, in file order. The
// central directory and end record are never consulted.
//
// Positions follow the classic scan exactly: the 4-byte window is tested at
// offset 0, then at 4, 5, 6, ... (offsets 1 to 3 are never the start of a
// header); after a header the scan jumps over its data and resumes three
// bytes before the end of the data (the back-step), so a header that directly
// follows the data is found. The bytes are read through a 1 MiB buffer, not
// four bytes per system call, and searched sixteen windows at a time (SSE2;
// memchr without it); stretches without "PK" pass 64 windows per test.
//
// Mended: a deflated entry with zero sizes in its local header (general flag
// bit 3, sizes in a data descriptor after the data) is measured by inflating
// its own raw deflate stream up to its end, so that a "PK\7\8" inside the
// compressed bytes cannot cut the entry short. The data descriptor right
// after the stream (with or without its optional signature) confirms the
// sizes and gives the CRC. Only when the stream does not end properly does
// the scan fall back to the classic forward search for "PK\7\8".
//
// Also mended: a stored entry with flag bit 3 and zero sizes (as streaming
// writers make them) is no longer dropped: it ends at the first "PK\7\8"
// whose compressed and uncompressed sizes both equal its distance from the
// entry's data; that descriptor gives the CRC.
//
// Choices made here:
//   * names of 1024 bytes and more are kept with all their bytes (no
//     truncation, nothing dropped); the extraction decides whether they can
//     be file names;
//   * a name holds the bytes before its first NUL byte (the classic scan reads
//     the name into a zeroed buffer and uses it as a zero-terminated text);
//   * an invalid DOS date or time gives an empty modifiedText.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/sinks.h"

namespace keelmend {

// One usable local header found by the scan.
struct SalvagedEntry {
  // --- the classic record's fields, in its order ---
  std::string modifiedText;           // FormatDosDateTime of the header's date and time
  std::uint32_t compressedSize = 0;   // bytes of entry data in the source
  std::uint32_t uncompressedSize = 0; // bytes once extracted
  std::string name;                   // raw name bytes, every '/' turned into '\'
  std::uint64_t dataOffset = 0;       // absolute offset of the first data byte

  // --- additions for the checks of the extraction ---
  std::uint64_t localHeaderOffset = 0;  // offset of the "PK\3\4" signature
  std::uint16_t versionNeeded = 0;
  std::uint16_t flags = 0;   // general-purpose flags (bit 3: data descriptor, bit 11: UTF-8)
  std::uint16_t method = 0;  // compression method (0 stored, 8 deflated)
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc32 = 0;   // from the header, or from the data descriptor
  bool crcKnown = false;     // crc32 can be trusted for a check
  bool sizesFromDescriptor = false;  // sizes (and CRC) came from a data descriptor
  bool sizesMeasured = false;        // sizes measured by inflating to the stream's end
};

// Log texts (appended to the source path).
inline constexpr const char* kScanOpenText = " file is open....\r\n";
inline constexpr const char* kScanExtractedText = " file is extracted....\r\n";
inline constexpr const char* kScanClosedText = " file is closed....\r\n";

// The DOS date and time words as "%A, %B %d, %Y %I:%M:%S %p " in the "C"
// locale (English names, trailing blank), e.g. "Tuesday, March 04, 2008
// 02:05:00 PM ". Independent of the process locale. An invalid date or time
// (month 0 or above 12, day 0 or past the month's end, hour above 23, minute
// or second above 59) gives an empty text.
std::string FormatDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime);

// Scans `sourcePath` and appends its entries to `entryList` (which it never
// empties). Logs, all black: path + kScanOpenText after opening, then
// path + kScanExtractedText and path + kScanClosedText at the end, also after
// a stop request. A file that cannot be opened: the system's message text
// through `notify`, nothing logged, result false. Otherwise true.
// `stopQuery` is polled before every header and for every block of bytes
// searched or inflated.
bool SalvageScan(const std::filesystem::path& sourcePath, std::vector<SalvagedEntry>& entryList,
                 LogSink& log, const StopQuery& stopQuery, NotifySink& notify);

}  // namespace keelmend
