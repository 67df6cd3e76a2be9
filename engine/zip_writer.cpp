#include "engine/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <optional>

#include "engine/parallel_deflate.h"
#include "platform/file_io.h"

namespace keelmend {
namespace {

constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::size_t kCentralHeaderBytes = 46;
constexpr std::size_t kEndRecordBytes = 22;
constexpr std::size_t kLocalExtraBytes = 17;
constexpr std::size_t kCentralExtraBytes = 9;
constexpr std::uint16_t kTimestampId = 0x5455;  // "UT"
constexpr unsigned char kTimestampFlags = 7;    // modification, access, creation
constexpr std::uint64_t kMaxEntryBytes = 0xFFFFFFFF;
// Large copy buffer: entries of a gigabyte are normal, 16 KiB blocks are not.
constexpr std::size_t kCopyBufferBytes = std::size_t{1} << 20;
constexpr std::size_t kOutputBufferBytes = std::size_t{1} << 20;
constexpr std::uint32_t kPlainFileAttributes = platform::kAttrArchive;

// Little-endian field writer.
class Fields {
 public:
  void U8(unsigned v) { bytes_.push_back(static_cast<unsigned char>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Bytes(std::span<const unsigned char> v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
  void Text(std::string_view v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
  const std::vector<unsigned char>& Get() const { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
};

// The three entry times as the headers carry them.
struct EntryTimes {
  std::uint32_t dosTime = 0;
  std::array<std::int32_t, 3> unix{};  // modification, access, creation
};

EntryTimes ConvertTimes(const platform::FileTimes& utc) {
  EntryTimes out;
  const std::int64_t offset = platform::CurrentUtcOffset();
  const std::int64_t modified = utc.modified + offset;
  out.dosTime = platform::ToDosDateTime(modified);
  out.unix = {platform::ToClampedUnixTime(modified), platform::ToClampedUnixTime(utc.accessed + offset),
              platform::ToClampedUnixTime(utc.created + offset)};
  return out;
}

std::vector<unsigned char> LocalExtra(const EntryTimes& times) {
  Fields f;
  f.U16(kTimestampId);
  f.U16(kLocalExtraBytes - 4);
  f.U8(kTimestampFlags);
  for (std::int32_t t : times.unix) f.U32(static_cast<std::uint32_t>(t));
  return f.Get();
}

std::vector<unsigned char> CentralExtra(const EntryTimes& times) {
  Fields f;
  f.U16(kTimestampId);
  f.U16(kCentralExtraBytes - 4);
  f.U8(kTimestampFlags);
  f.U32(static_cast<std::uint32_t>(times.unix[0]));
  return f.Get();
}

std::vector<unsigned char> LocalHeader(const ZipEntryRecord& r, std::span<const unsigned char> extra) {
  Fields f;
  f.Text("PK\x03\x04");
  f.U16(r.versionNeeded);
  f.U16(r.localFlags);
  f.U16(r.method);
  f.U16(r.dosTime & 0xFFFF);
  f.U16(r.dosTime >> 16);
  f.U32(r.crc);
  f.U32(r.compressedSize);
  f.U32(r.uncompressedSize);
  f.U16(r.nameLength);
  f.U16(r.localExtraLength);
  f.Text(r.name);
  f.Bytes(extra);
  return f.Get();
}

std::vector<unsigned char> CentralHeader(const ZipEntryRecord& r) {
  Fields f;
  f.Text("PK\x01\x02");
  f.U16(r.versionMadeBy);
  f.U16(r.versionNeeded);
  f.U16(r.flags);
  f.U16(r.method);
  f.U16(r.dosTime & 0xFFFF);
  f.U16(r.dosTime >> 16);
  f.U32(r.crc);
  f.U32(r.compressedSize);
  f.U32(r.uncompressedSize);
  f.U16(r.nameLength);
  f.U16(r.centralExtraLength);
  f.U16(r.commentLength);
  f.U16(r.diskNumber);
  f.U16(r.internalAttributes);
  f.U32(r.externalAttributes);
  f.U32(r.localHeaderOffset);
  f.Text(r.name);
  f.Bytes(r.centralExtra);
  return f.Get();
}

std::vector<unsigned char> EndRecord(std::size_t count, std::uint32_t size, std::uint32_t offset) {
  Fields f;
  f.Text("PK\x05\x06");
  f.U16(0);
  f.U16(0);
  f.U16(static_cast<unsigned>(count));
  f.U16(static_cast<unsigned>(count));
  f.U32(size);
  f.U32(offset);
  f.U16(0);
  return f.Get();
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// Entries whose names end like an archive of their own are stored.
bool StoredByExtension(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot);
  for (std::string_view stored : {".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"}) {
    if (EqualsIgnoringAsciiCase(extension, stored)) return true;
  }
  return false;
}

// True when `name` holds bytes above 0x7F and all of it is valid UTF-8
// (shortest forms only, no surrogates, nothing above U+10FFFF).
bool IsNonAsciiUtf8(std::string_view name) {
  bool nonAscii = false;
  for (std::size_t i = 0; i < name.size();) {
    const auto lead = static_cast<unsigned char>(name[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    std::size_t length;
    std::uint32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > name.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto cont = static_cast<unsigned char>(name[i + k]);
      if ((cont & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cont & 0x3F);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += length;
  }
  return nonAscii;
}

std::uint32_t ExternalAttributes(std::uint32_t attributes, bool executable) {
  const std::uint32_t low = attributes & 0x37;
  std::uint32_t mode = (attributes & platform::kAttrFolder) ? 0040000 : 0100000;
  mode |= 0400;
  if (!(attributes & platform::kAttrReadOnly)) mode |= 0200;
  if (executable) mode |= 0100;
  return (mode << 16) | low;
}

std::uint32_t LittleU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// "MZ" at the start and a PE, NE, LE or MZ signature at the offset stored
// at byte 60. The sum is taken in 64 bits so a huge offset cannot wrap.
bool IsExecutable(const platform::InputFile& file, std::uint64_t size) {
  if (size <= 40) return false;
  std::array<unsigned char, 64> head{};
  if (file.ReadAt(0, head.data(), head.size()) != static_cast<std::int64_t>(head.size())) return false;
  if (head[0] != 'M' || head[1] != 'Z') return false;
  const std::uint64_t p = LittleU32(head.data() + 60);
  if (!(p + 52 < size)) return false;
  std::array<unsigned char, 4> sig{};
  if (file.ReadAt(p, sig.data(), sig.size()) != 4) return false;
  if (sig[2] != 0 || sig[3] != 0) return false;
  return (sig[0] == 'P' && sig[1] == 'E') || (sig[0] == 'N' && sig[1] == 'E') ||
         (sig[0] == 'L' && sig[1] == 'E') || (sig[0] == 'M' && sig[1] == 'Z');
}

// Reads a source file front to back, never past the size it had when opened.
class FileInput final : public DeflateInput {
 public:
  explicit FileInput(const platform::InputFile& file) : file_(file) {}
  std::optional<std::size_t> Read(std::span<unsigned char> buffer) override {
    const std::uint64_t left = file_.Size() - offset_;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
    std::size_t got = 0;
    while (got < want) {
      const std::int64_t n = file_.ReadAt(offset_, buffer.data() + got, want - got);
      if (n < 0) return std::nullopt;
      if (n == 0) break;  // the file became shorter since it was opened
      got += static_cast<std::size_t>(n);
      offset_ += static_cast<std::uint64_t>(n);
    }
    return got;
  }

 private:
  const platform::InputFile& file_;
  std::uint64_t offset_ = 0;
};

class MemoryInput final : public DeflateInput {
 public:
  explicit MemoryInput(std::span<const unsigned char> data) : data_(data) {}
  std::optional<std::size_t> Read(std::span<unsigned char> buffer) override {
    const std::size_t n = std::min(buffer.size(), data_.size() - offset_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(offset_), n, buffer.begin());
    offset_ += n;
    return n;
  }

 private:
  std::span<const unsigned char> data_;
  std::size_t offset_ = 0;
};

// Appends bytes to the archive, refusing any write after which the archive,
// with `reserve` bytes still to come, would pass the size limit.
bool Emit(ZipWriter& w, std::span<const unsigned char> bytes, std::uint64_t reserve) {
  if (std::uint64_t{w.written} + bytes.size() + reserve > w.settings.maxArchiveBytes) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), w.output) != bytes.size()) {
    return false;
  }
  w.written += static_cast<std::uint32_t>(bytes.size());
  w.fileEnd = std::max<std::uint64_t>(w.fileEnd, w.written);
  return true;
}

// The compressor's output, going into the archive.
class ArchiveOutput final : public DeflateOutput {
 public:
  ArchiveOutput(ZipWriter& w, std::uint64_t reserve) : w_(w), reserve_(reserve) {}
  bool Write(std::span<const unsigned char> bytes) override { return Emit(w_, bytes, reserve_); }

 private:
  ZipWriter& w_;
  std::uint64_t reserve_;
};

// Where the data of one entry comes from.
struct EntrySource {
  DeflateInput& input;
  std::uint64_t size;
  platform::FileTimes times;
  std::uint32_t attributes;
  bool executable;
};

struct DataResult {
  std::uint32_t code = kZipOk;
  std::uint32_t crc = 0;
  std::uint64_t bytesIn = 0;
  std::uint64_t bytesOut = 0;
};

DataResult CopyStored(ZipWriter& w, DeflateInput& input, std::uint64_t reserve) {
  DataResult result;
  if (w.buffer.size() < kCopyBufferBytes) w.buffer.resize(kCopyBufferBytes);
  uLong crc = crc32(0L, Z_NULL, 0);
  for (;;) {
    const auto got = input.Read(w.buffer);
    if (!got) {
      result.code = kZipSourceUnreadable;
      return result;
    }
    if (*got == 0) break;
    crc = crc32(crc, w.buffer.data(), static_cast<uInt>(*got));
    if (!Emit(w, std::span<const unsigned char>(w.buffer.data(), *got), reserve)) {
      result.code = kZipWriteFailed;
      return result;
    }
    result.bytesIn += *got;
    if (*got < w.buffer.size()) break;
  }
  result.crc = static_cast<std::uint32_t>(crc);
  result.bytesOut = result.bytesIn;
  return result;
}

DataResult Deflate(ZipWriter& w, DeflateInput& input, std::uint64_t size, std::uint64_t reserve) {
  ArchiveOutput out(w, reserve);
  DeflateSettings settings;
  settings.level = kZipDeflateLevel;
  // One chunk is compressed by one thread anyway: starting a pool for it
  // costs more than the entry (thousands of small files in one archive).
  settings.threads = size <= settings.chunkBytes ? 1u : std::max(1u, w.settings.deflateThreads);
  const DeflateOutcome outcome = DeflateRawStream(input, out, settings);
  DataResult result;
  switch (outcome.status) {
    case DeflateStatus::kOk: break;
    case DeflateStatus::kReadFailed: result.code = kZipSourceUnreadable; break;
    default: result.code = kZipWriteFailed; break;
  }
  result.crc = outcome.crc;
  result.bytesIn = outcome.bytesIn;
  result.bytesOut = outcome.bytesOut;
  return result;
}

// Takes a failed entry out of the file again: later writes start where its
// local header began.
void RollBack(ZipWriter& w, std::uint32_t offset) {
  w.written = offset;
  if (std::fseek(w.output, static_cast<long>(offset), SEEK_SET) != 0) w.broken = true;
}

bool RewriteLocalHeader(ZipWriter& w, const ZipEntryRecord& r, std::span<const unsigned char> extra) {
  const std::vector<unsigned char> header = LocalHeader(r, extra);
  return std::fseek(w.output, static_cast<long>(r.localHeaderOffset), SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), w.output) == header.size() &&
         std::fseek(w.output, static_cast<long>(w.written), SEEK_SET) == 0;
}

std::uint32_t AddEntry(ZipWriter& w, std::string name, EntrySource& source, const ZipEntryOptions& options) {
  if (source.size > kMaxEntryBytes) return kZipWriteFailed;
  const EntryTimes times = ConvertTimes(source.times);
  const std::vector<unsigned char> localExtra =
      options.withoutExtraField ? std::vector<unsigned char>{} : LocalExtra(times);

  ZipEntryRecord r;
  r.method = (options.forceStored || StoredByExtension(name)) ? kZipMethodStored : kZipMethodDeflated;
  const std::uint16_t nameFlag = IsNonAsciiUtf8(name) ? kZipFlagUtf8Name : 0;
  r.flags = kZipFlagDataDescriptor | nameFlag;
  r.localFlags = r.flags;
  r.dosTime = times.dosTime;
  r.compressedSize = r.method == kZipMethodStored ? static_cast<std::uint32_t>(source.size) : 0;
  r.uncompressedSize = static_cast<std::uint32_t>(source.size);
  r.nameLength = static_cast<std::uint32_t>(name.size());
  r.localExtraLength = static_cast<std::uint32_t>(localExtra.size());
  r.centralExtra = options.withoutExtraField ? std::vector<unsigned char>{} : CentralExtra(times);
  r.centralExtraLength = static_cast<std::uint32_t>(r.centralExtra.size());
  r.externalAttributes = ExternalAttributes(source.attributes, source.executable);
  r.localHeaderOffset = w.written;
  r.name = std::move(name);

  // Room kept for this entry's and all earlier central headers and the end record.
  const std::uint64_t reserve =
      w.centralBytes + kCentralHeaderBytes + r.nameLength + r.centralExtraLength + kEndRecordBytes;
  const std::uint64_t headerBytes = kLocalHeaderBytes + r.nameLength + r.localExtraLength;
  if (r.method == kZipMethodStored &&
      std::uint64_t{w.written} + headerBytes + source.size + reserve > w.settings.maxArchiveBytes) {
    return kZipWriteFailed;  // a stored entry's size is known: refuse it before writing
  }
  if (!Emit(w, LocalHeader(r, localExtra), reserve)) {
    RollBack(w, r.localHeaderOffset);
    return kZipWriteFailed;
  }
  const DataResult data = r.method == kZipMethodStored ? CopyStored(w, source.input, reserve)
                                                       : Deflate(w, source.input, source.size, reserve);
  if (data.code != kZipOk) {
    RollBack(w, r.localHeaderOffset);
    return data.code;
  }
  r.compressedSize = static_cast<std::uint32_t>(data.bytesOut);
  r.crc = data.crc;
  r.uncompressedSize = static_cast<std::uint32_t>(data.bytesIn);
  r.flags = static_cast<std::uint16_t>(
      (r.flags & ~kZipFlagDataDescriptor) | (r.method == kZipMethodDeflated ? kZipFlagMaxCompression : 0));
  r.localFlags = r.flags;
  if (!RewriteLocalHeader(w, r, localExtra)) {
    RollBack(w, r.localHeaderOffset);
    return kZipWriteFailed;
  }
  w.centralBytes += kCentralHeaderBytes + r.nameLength + r.centralExtraLength;
  w.entries.push_back(std::move(r));
  return kZipOk;
}

// The checks every add makes before it touches anything. On success `name`
// holds the name as it will be stored.
std::uint32_t CheckAdd(ZipWriteHandle* handle, std::string_view entryName, std::string& name) {
  if (handle == nullptr) return kZipBadArguments;
  if (handle->kind != kZipHandleKindArchive) return kZipWrongHandleKind;
  if (!handle->writer) return kZipBadArguments;
  if (entryName.size() > kZipMaxNameBytes) return kZipBadArguments;
  ZipWriter& w = *handle->writer;
  if (w.closed) return kZipAlreadyClosed;
  if (entryName.empty() || entryName.find('\0') != std::string_view::npos) return kZipBadArguments;
  if (w.entries.size() >= w.settings.maxEntries) return kZipBadArguments;
  if (w.broken) return kZipWriteFailed;
  name.assign(entryName);
  std::replace(name.begin(), name.end(), '\\', '/');
  return kZipOk;
}

}  // namespace

ZipWriter::ZipWriter(std::FILE* file, std::filesystem::path archivePath, const ZipWriterSettings& limits)
    : output(file), path(std::move(archivePath)), settings(limits) {
  // Settings may lower the format's limits, never raise them.
  const ZipWriterSettings format;
  settings.maxArchiveBytes = std::min(settings.maxArchiveBytes, format.maxArchiveBytes);
  settings.maxEntries = std::min(settings.maxEntries, format.maxEntries);
}

ZipWriter::~ZipWriter() {
  if (output) std::fclose(output);
}

std::unique_ptr<ZipWriteHandle> ZipWriterOpen(const std::filesystem::path& archivePath, ZipCreateMode mode,
                                              const ZipWriterSettings& settings) {
  std::FILE* file = std::fopen(archivePath.c_str(), mode == ZipCreateMode::kCreateNew ? "wbx" : "wb");
  if (!file) return nullptr;
  std::setvbuf(file, nullptr, _IOFBF, kOutputBufferBytes);
  auto handle = std::make_unique<ZipWriteHandle>();
  handle->writer = std::make_unique<ZipWriter>(file, archivePath, settings);
  return handle;
}

std::uint32_t ZipWriterAddFile(ZipWriteHandle* handle, std::string_view entryName,
                               const std::filesystem::path& sourcePath, const ZipEntryOptions& options) {
  std::string name;
  if (const std::uint32_t code = CheckAdd(handle, entryName, name); code != kZipOk) return code;
  const auto info = platform::ReadFileInfo(sourcePath);
  if (!info || !info->regular) return kZipSourceUnreadable;
  platform::InputFile file;
  if (!file.Open(sourcePath, nullptr, /*exclusive=*/false)) return kZipSourceUnreadable;
  file.AdviseSequential();
  FileInput input(file);
  EntrySource source{input, file.Size(), info->times, info->attributes, IsExecutable(file, file.Size())};
  return AddEntry(*handle->writer, std::move(name), source, options);
}

std::uint32_t ZipWriterAddBytes(ZipWriteHandle* handle, std::string_view entryName,
                                std::span<const unsigned char> data, const platform::FileTimes& times,
                                const ZipEntryOptions& options) {
  std::string name;
  if (const std::uint32_t code = CheckAdd(handle, entryName, name); code != kZipOk) return code;
  MemoryInput input(data);
  EntrySource source{input, data.size(), times, kPlainFileAttributes, false};
  return AddEntry(*handle->writer, std::move(name), source, options);
}

std::uint32_t ZipWriterClose(ZipWriteHandle* handle) {
  if (handle == nullptr) return kZipBadArguments;
  if (handle->kind != kZipHandleKindArchive) return kZipWrongHandleKind;
  if (!handle->writer) return kZipBadArguments;
  ZipWriter& w = *handle->writer;
  if (w.closed) return kZipOk;
  std::uint32_t result = w.broken ? kZipWriteFailed : kZipOk;
  const std::uint32_t offset = w.written;
  for (const ZipEntryRecord& r : w.entries) {
    if (result != kZipOk) break;
    if (!Emit(w, CentralHeader(r), kEndRecordBytes)) result = kZipWriteFailed;
  }
  if (result == kZipOk && !Emit(w, EndRecord(w.entries.size(), w.written - offset, offset), 0)) {
    result = kZipWriteFailed;
  }
  w.entries.clear();
  w.closed = true;
  if (std::fflush(w.output) != 0 || std::ferror(w.output)) result = kZipWriteFailed;
  if (std::fclose(w.output) != 0) result = kZipWriteFailed;
  w.output = nullptr;
  // Bytes of an entry taken out again may lie beyond the end record.
  if (result == kZipOk && w.fileEnd > w.written) {
    std::error_code ec;
    std::filesystem::resize_file(w.path, w.written, ec);
    if (ec) result = kZipWriteFailed;
  }
  return result;
}

}  // namespace keelmend
