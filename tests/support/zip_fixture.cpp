#include "zip_fixture.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>

namespace keelmend::test {

std::string RawDeflate(std::string_view data, int level) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return rc == Z_STREAM_END ? out : std::string();
}

namespace {

// Inflates `data` as one raw deflate stream; `rc` receives inflate's last
// result and `rest` the input bytes after the stream.
std::string InflateStream(std::string_view data, int& rc, std::size_t& rest) {
  rc = Z_STREAM_ERROR;
  rest = data.size();
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return {};
  std::string out;
  char buffer[65536];
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  do {
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = sizeof buffer;
    rc = inflate(&zs, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - zs.avail_out);
  } while (rc == Z_OK);
  rest = zs.avail_in;
  inflateEnd(&zs);
  return out;
}

}  // namespace

std::string RawInflate(std::string_view data) {
  int rc;
  std::size_t rest;
  std::string out = InflateStream(data, rc, rest);
  return rc == Z_STREAM_END ? out : std::string();
}

std::optional<std::string> InflateWhole(std::string_view data) {
  int rc;
  std::size_t rest;
  std::string out = InflateStream(data, rc, rest);
  if (rc != Z_STREAM_END || rest != 0) return std::nullopt;
  return out;
}

std::uint32_t Crc32(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

void PutLe16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void PutLe32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string LocalHeader(std::string_view name, std::uint16_t method, std::uint32_t crc,
                        std::uint32_t compressedSize, std::uint32_t uncompressedSize,
                        std::uint16_t flags, std::string_view extra, std::uint16_t dosDate,
                        std::uint16_t dosTime) {
  std::string h("PK\x03\x04", 4);
  PutLe16(h, 20);
  PutLe16(h, flags);
  PutLe16(h, method);
  PutLe16(h, dosTime);
  PutLe16(h, dosDate);
  PutLe32(h, crc);
  PutLe32(h, compressedSize);
  PutLe32(h, uncompressedSize);
  PutLe16(h, static_cast<std::uint16_t>(name.size()));
  PutLe16(h, static_cast<std::uint16_t>(extra.size()));
  h.append(name);
  h.append(extra);
  return h;
}

const ZipEntryInfo& ZipBuilder::Add(const std::string& name, std::string_view content,
                                    const ZipEntryOptions& o) {
  ZipEntryInfo e;
  e.name = name;
  e.method = static_cast<std::uint16_t>(o.method);
  e.crc = Crc32(content);
  e.uncompressedSize = static_cast<std::uint32_t>(content.size());
  if (o.rawData) {
    e.data = *o.rawData;
  } else if (o.method == ZipMethod::kStored) {
    e.data = std::string(content);
  } else {
    e.data = RawDeflate(content, o.level);
  }
  e.compressedSize = static_cast<std::uint32_t>(e.data.size());
  e.flags = static_cast<std::uint16_t>((o.dataDescriptor ? 0x0008 : 0) | (o.utf8 ? 0x0800 : 0));
  if (o.flagsField) e.flags = *o.flagsField;
  e.dosDate = o.dosDate;
  e.dosTime = o.dosTime;
  const std::uint32_t headerCrc = o.crcField.value_or(o.dataDescriptor ? 0 : e.crc);
  const std::uint32_t headerCompressed =
      o.compressedField.value_or(o.dataDescriptor ? 0 : e.compressedSize);
  const std::uint32_t headerUncompressed =
      o.uncompressedField.value_or(o.dataDescriptor ? 0 : e.uncompressedSize);
  e.headerOffset = bytes_.size();
  bytes_ += LocalHeader(name, o.methodField.value_or(e.method), headerCrc, headerCompressed,
                        headerUncompressed, e.flags, o.extra, o.dosDate, o.dosTime);
  e.dataOffset = bytes_.size();
  bytes_ += e.data;
  if (o.dataDescriptor) {
    e.descriptorOffset = bytes_.size();
    if (o.descriptorSignature) bytes_.append("PK\x07\x08", 4);
    PutLe32(bytes_, e.crc);
    PutLe32(bytes_, e.compressedSize);
    PutLe32(bytes_, e.uncompressedSize);
  }
  e.endOffset = bytes_.size();
  entries_.push_back(std::move(e));
  return entries_.back();
}

const ZipEntryInfo& ZipBuilder::AddStored(const std::string& name, std::string_view content) {
  ZipEntryOptions o;
  o.method = ZipMethod::kStored;
  return Add(name, content, o);
}

const ZipEntryInfo& ZipBuilder::AddDeflated(const std::string& name, std::string_view content,
                                            int level) {
  ZipEntryOptions o;
  o.level = level;
  return Add(name, content, o);
}

void ZipBuilder::AppendRaw(std::string_view bytes) { bytes_.append(bytes); }

void ZipBuilder::FinishCentralDirectory() {
  const std::uint64_t start = bytes_.size();
  for (const auto& e : entries_) {
    std::string c("PK\x01\x02", 4);
    PutLe16(c, 20);  // made by
    PutLe16(c, 20);  // needed
    PutLe16(c, e.flags);
    PutLe16(c, e.method);
    PutLe16(c, e.dosTime);
    PutLe16(c, e.dosDate);
    PutLe32(c, e.crc);
    PutLe32(c, e.compressedSize);
    PutLe32(c, e.uncompressedSize);
    PutLe16(c, static_cast<std::uint16_t>(e.name.size()));
    PutLe16(c, 0);  // extra
    PutLe16(c, 0);  // comment
    PutLe16(c, 0);  // disk
    PutLe16(c, 0);  // internal attributes
    PutLe32(c, 0);  // external attributes
    PutLe32(c, static_cast<std::uint32_t>(e.headerOffset));
    c += e.name;
    bytes_ += c;
  }
  const std::uint64_t size = bytes_.size() - start;
  std::string end("PK\x05\x06", 4);
  PutLe16(end, 0);
  PutLe16(end, 0);
  PutLe16(end, static_cast<std::uint16_t>(entries_.size()));
  PutLe16(end, static_cast<std::uint16_t>(entries_.size()));
  PutLe32(end, static_cast<std::uint32_t>(size));
  PutLe32(end, static_cast<std::uint32_t>(start));
  PutLe16(end, 0);
  bytes_ += end;
}

bool ZipBuilder::WriteTo(const std::filesystem::path& path) const {
  return WriteFileBytes(path, bytes_);
}

void Truncate(std::string& bytes, std::size_t newSize) {
  if (newSize < bytes.size()) bytes.resize(newSize);
}

void Overwrite(std::string& bytes, std::size_t offset, std::string_view with) {
  if (offset + with.size() > bytes.size()) bytes.resize(offset + with.size(), '\0');
  std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void InsertJunk(std::string& bytes, std::size_t offset, std::string_view junk) {
  bytes.insert(std::min(offset, bytes.size()), junk);
}

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 engine(seed);
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(engine() & 0xFF);
  return out;
}

std::string TextBytes(std::size_t size, std::uint32_t seed) {
  static const char* kWords[] = {"table", "row", "column", "select", "insert", "database",
                                 "key", "value", "index", "schema", "record", "field"};
  std::mt19937 engine(seed);
  std::string out;
  out.reserve(size + 16);
  while (out.size() < size) {
    out += kWords[engine() % 12];
    out += (engine() % 8 == 0) ? '\n' : ' ';
  }
  out.resize(size);
  return out;
}

bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListFiles(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) {
      files.push_back(std::filesystem::relative(it->path(), folder, ec).generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TempDir::TempDir(std::string_view label) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / (std::string(label) + "-XXXXXX")).string();
  if (char* made = ::mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  // Make read-only folders writable again so that everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    ::setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

std::string RecordingLog::Text() const {
  std::string all;
  for (const auto& line : lines) all += line.first;
  return all;
}

std::size_t RecordingLog::Count(Colour colour) const {
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [&](const auto& line) { return line.second == colour; }));
}

}  // namespace keelmend::test
