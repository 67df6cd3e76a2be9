// Writes a new ZIP archive, one entry at a time, from files on disk (or from
// bytes in memory), and closes it with the central directory and the end
// record.
//
// Layout of each entry (all integers little-endian): a 30-byte local header,
// the name, a 17-byte extended timestamp field ("UT", flags 7, modification,
// access and creation time), then the data, stored or raw-deflated at level
// 8 with a 32 KiB window. The local header is first written with provisional
// values and rewritten in place once the data is out, so no entry ever has
// flag bit 3 or a data descriptor. The central directory repeats each
// header (version made by 0x0B17) with the 9-byte central timestamp form.
//
// The writer refuses what the format it writes cannot describe, with a
// result code and without damaging the archive: more than 65,535 entries,
// names longer than 259 bytes, entries of 4 GiB or more, and archives that
// would reach 2 GiB (every write is checked against that limit, with room
// kept for the central directory, so a refused entry never makes the close
// fail). An entry whose data cannot be written completely is taken out of
// the file again: the next entry, or the central directory, goes where its
// local header began.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_info.h"

namespace keelmend {

// Result codes of the add and close operations.
inline constexpr std::uint32_t kZipOk = 0;
inline constexpr std::uint32_t kZipSourceUnreadable = 0x200;  // cannot open or examine the source
inline constexpr std::uint32_t kZipWriteFailed = 0x400;       // write, size limit or compressor failure
inline constexpr std::uint32_t kZipBadArguments = 0x10000;    // no handle, bad name, too many entries
inline constexpr std::uint32_t kZipAlreadyClosed = 0x50000;
inline constexpr std::uint32_t kZipWrongHandleKind = 0x80000;

inline constexpr std::int32_t kZipHandleKindArchive = 2;

inline constexpr std::size_t kZipMaxNameBytes = 259;
inline constexpr std::uint16_t kZipVersionMadeBy = 0x0B17;
inline constexpr std::uint16_t kZipVersionNeeded = 20;
inline constexpr std::uint16_t kZipMethodStored = 0;
inline constexpr std::uint16_t kZipMethodDeflated = 8;
inline constexpr std::uint16_t kZipFlagMaxCompression = 0x0002;
inline constexpr std::uint16_t kZipFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kZipFlagUtf8Name = 0x0800;
inline constexpr int kZipDeflateLevel = 8;

// Limits and tuning of one writer. The defaults are the format's limits;
// lower values are kept (tests use them), higher ones are cut back.
struct ZipWriterSettings {
  std::uint64_t maxArchiveBytes = 0x7FFFFFFF;  // the archive stays below 2 GiB
  std::size_t maxEntries = 65535;
  unsigned deflateThreads = 2;  // threads that compress one large entry
};

enum class ZipCreateMode {
  kReplace,    // create, or empty a file of that name
  kCreateNew,  // fail when a file of that name exists
};

// How one entry is written. The defaults give the standard layout.
struct ZipEntryOptions {
  bool forceStored = false;        // store even where the extension rule deflates
  bool withoutExtraField = false;  // no timestamp field in either header
};

// One entry as it goes into the central directory.
struct ZipEntryRecord {
  std::uint16_t versionMadeBy = kZipVersionMadeBy;
  std::uint16_t versionNeeded = kZipVersionNeeded;
  std::uint16_t flags = 0;
  std::uint16_t method = kZipMethodStored;
  std::uint32_t dosTime = 0;  // DOS date in the high half, DOS time in the low half
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t nameLength = 0;
  std::uint32_t localExtraLength = 17;
  std::uint32_t centralExtraLength = 9;
  std::uint32_t commentLength = 0;
  std::uint16_t diskNumber = 0;
  std::uint16_t internalAttributes = 0;
  std::uint16_t localFlags = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;
  std::string name;                          // bytes as stored, "/" separators
  std::vector<unsigned char> centralExtra;   // 9 bytes, or none
};

// The state of one archive being written.
class ZipWriter {
 public:
  ZipWriter(std::FILE* output, std::filesystem::path path, const ZipWriterSettings& settings);
  ~ZipWriter();  // closes the file; an archive never closed has no central directory
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  std::FILE* output = nullptr;
  std::filesystem::path path;
  ZipWriterSettings settings;
  std::uint32_t written = 0;     // offset of the next local header
  std::uint64_t fileEnd = 0;     // the furthest byte ever written
  std::uint64_t centralBytes = 0;  // size the central directory will have
  bool closed = false;
  bool broken = false;  // a failed entry could not be taken out again
  std::vector<ZipEntryRecord> entries;
  std::vector<unsigned char> buffer;  // copy buffer of stored entries
};

// What the caller holds.
struct ZipWriteHandle {
  std::int32_t kind = kZipHandleKindArchive;
  std::unique_ptr<ZipWriter> writer;
};

// Creates the archive file. Nothing when it cannot be created.
std::unique_ptr<ZipWriteHandle> ZipWriterOpen(const std::filesystem::path& archivePath,
                                              ZipCreateMode mode = ZipCreateMode::kReplace,
                                              const ZipWriterSettings& settings = {});

// Adds the file `sourcePath` under `entryName`: the raw name bytes, whose
// backslashes become slashes. The entry is stored when the name ends in
// .Z, .zip, .zoo, .arc, .lzh, .arj, .gz or .tgz (any ASCII case; the
// extension runs from the name's last "." to its end, folders included) or
// when options.forceStored, and deflated otherwise. Names holding non-ASCII
// bytes that form valid UTF-8 get flag bit 11. Returns a kZip... code.
std::uint32_t ZipWriterAddFile(ZipWriteHandle* handle, std::string_view entryName,
                               const std::filesystem::path& sourcePath,
                               const ZipEntryOptions& options = {});

// Adds `data` under `entryName` as if it were a file with the given times
// (UTC) and the attributes of an ordinary writable file. Same rules and
// codes as ZipWriterAddFile.
std::uint32_t ZipWriterAddBytes(ZipWriteHandle* handle, std::string_view entryName,
                                std::span<const unsigned char> data,
                                const platform::FileTimes& times,
                                const ZipEntryOptions& options = {});

// Writes the central directory and the end record and closes the file.
// Returns a kZip... code; 0 when the archive was closed already.
std::uint32_t ZipWriterClose(ZipWriteHandle* handle);

}  // namespace keelmend
