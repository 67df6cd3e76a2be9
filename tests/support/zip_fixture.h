// Test helpers: a tiny ZIP builder, ways to damage its bytes, temporary
// folders, and sinks that record what the engine reports.
//
// Building an archive
// -------------------
//   keelmend::test::ZipBuilder zip;
//   zip.AddStored("mimetype", "application/vnd.oasis.opendocument.base");
//   zip.AddDeflated("content.xml", xmlText);                 // raw deflate, sizes in header
//   ZipEntryOptions o; o.dataDescriptor = true;              // bit 3, zero sizes and CRC in the
//   zip.Add("database/script", script, o);                   // local header, descriptor after data
//   zip.FinishCentralDirectory();                            // optional: central directory + end record
//   zip.WriteTo(dir / "db.odb");
//
// Every Add* returns a ZipEntryInfo with the offsets (local header, data,
// descriptor), the real CRC-32 and sizes and the compressed bytes, so tests
// can aim damage precisely. Options:
//   method               kStored (0) or kDeflated (8, zlib raw deflate, window bits -15)
//   level                deflate level (0 gives stored deflate blocks whose bytes appear
//                        verbatim in the compressed data; 8 is the program's level)
//   dataDescriptor       flag bit 3; the local header carries CRC 0 and both sizes 0; a data
//                        descriptor follows the data
//   descriptorSignature  the descriptor starts with "PK\7\8" (true) or not (false)
//   utf8                 flag bit 11
//   dosDate, dosTime     the header's modification stamp
//   extra                bytes of the extra field
//   methodField, crcField, compressedField, uncompressedField, flagsField
//                        override what the local header says (the data stays correct)
//   rawData              use these bytes as the entry's data instead of compressing `content`
//
// Damaging bytes
// --------------
//   Truncate(bytes, n), Overwrite(bytes, offset, text), InsertJunk(bytes, offset, text),
//   and ZipBuilder::AppendRaw(text) for junk between entries.
//
// Everything is in namespace keelmend::test and throws nothing except
// std::bad_alloc; failed file writes make WriteTo return false.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/sinks.h"

namespace keelmend::test {

// zlib helpers.
std::string RawDeflate(std::string_view data, int level = 8);  // no zlib header, window bits -15
std::string RawInflate(std::string_view data);                 // throws nothing; "" on error
// The whole of `data` as exactly one raw deflate stream that ends; nothing
// when the stream is broken, does not end, or has bytes after its end.
std::optional<std::string> InflateWhole(std::string_view data);
std::uint32_t Crc32(std::string_view data);

enum class ZipMethod : std::uint16_t { kStored = 0, kDeflated = 8 };

struct ZipEntryOptions {
  ZipMethod method = ZipMethod::kDeflated;
  int level = 8;
  bool dataDescriptor = false;
  bool descriptorSignature = true;
  bool utf8 = false;
  std::uint16_t dosDate = 0x3864;  // 4 March 2008
  std::uint16_t dosTime = 0x70A0;  // 14:05:00
  std::string extra;
  std::optional<std::uint16_t> methodField;
  std::optional<std::uint16_t> flagsField;
  std::optional<std::uint32_t> crcField;
  std::optional<std::uint32_t> compressedField;
  std::optional<std::uint32_t> uncompressedField;
  std::optional<std::string> rawData;
};

struct ZipEntryInfo {
  std::string name;
  std::uint16_t method = 0;      // the real method of the data
  std::uint16_t flags = 0;       // as written
  std::uint32_t crc = 0;         // CRC-32 of the uncompressed content
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint64_t headerOffset = 0;      // "PK\3\4"
  std::uint64_t dataOffset = 0;        // first data byte
  std::uint64_t descriptorOffset = 0;  // data descriptor (0 when none)
  std::uint64_t endOffset = 0;         // first byte after data and descriptor
  std::string data;                    // the entry's data bytes as stored in the archive
  std::uint16_t dosDate = 0, dosTime = 0;
};

class ZipBuilder {
 public:
  const ZipEntryInfo& Add(const std::string& name, std::string_view content,
                          const ZipEntryOptions& options = {});
  const ZipEntryInfo& AddStored(const std::string& name, std::string_view content);
  const ZipEntryInfo& AddDeflated(const std::string& name, std::string_view content, int level = 8);
  // Appends bytes as they are (junk, a hand-made header, ...).
  void AppendRaw(std::string_view bytes);
  // Appends a central directory for every entry added so far and the end record.
  void FinishCentralDirectory();

  std::string& Bytes() { return bytes_; }
  const std::string& Bytes() const { return bytes_; }
  const std::vector<ZipEntryInfo>& Entries() const { return entries_; }
  bool WriteTo(const std::filesystem::path& path) const;

 private:
  std::string bytes_;
  std::vector<ZipEntryInfo> entries_;
};

// Little-endian writers (append to `out`).
void PutLe16(std::string& out, std::uint16_t value);
void PutLe32(std::string& out, std::uint32_t value);
// A bare local header (signature included) with the given fields and name.
std::string LocalHeader(std::string_view name, std::uint16_t method, std::uint32_t crc,
                        std::uint32_t compressedSize, std::uint32_t uncompressedSize,
                        std::uint16_t flags = 0, std::string_view extra = {},
                        std::uint16_t dosDate = 0x3864, std::uint16_t dosTime = 0x70A0);

// Damage.
void Truncate(std::string& bytes, std::size_t newSize);
void Overwrite(std::string& bytes, std::size_t offset, std::string_view with);
void InsertJunk(std::string& bytes, std::size_t offset, std::string_view junk);

// Content.
std::string RandomBytes(std::size_t size, std::uint32_t seed = 1);  // incompressible
std::string TextBytes(std::size_t size, std::uint32_t seed = 1);    // compresses well

// Files.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFileBytes(const std::filesystem::path& path);  // "" when missing
// Relative paths (generic form, '/') of every regular file below `folder`, sorted.
std::vector<std::string> ListFiles(const std::filesystem::path& folder);

// A fresh folder below the system temporary directory, removed (with all it
// holds) on destruction.
class TempDir {
 public:
  explicit TempDir(std::string_view label = "keelmend-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& rel) const { return path_ / rel; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the lifetime of the object (restores it).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Sinks that remember what they were told.
class RecordingLog final : public LogSink {
 public:
  void Log(std::string_view text, Colour colour) override { lines.emplace_back(text, colour); }
  std::string Text() const;  // all lines joined
  std::size_t Count(Colour colour) const;
  std::vector<std::pair<std::string, Colour>> lines;
};
class RecordingNotify final : public NotifySink {
 public:
  void Notify(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};
class RecordingProgress final : public ProgressSink {
 public:
  void Start(std::uint32_t steps) override {
    starts.push_back(steps);
    positions.push_back(0);
  }
  void SetPosition(std::uint32_t position) override { positions.push_back(position); }
  std::vector<std::uint32_t> starts;
  std::vector<std::uint32_t> positions;  // 0 for each Start, then every SetPosition
};
// Says "go on" for the first `allowed` questions, then "stop".
class StopAfter final : public StopQuery {
 public:
  explicit StopAfter(long allowed) : allowed_(allowed) {}
  bool ShouldContinue() const override { return calls_++ < allowed_; }
  long Calls() const { return calls_; }

 private:
  long allowed_;
  mutable long calls_ = 0;
};

}  // namespace keelmend::test
