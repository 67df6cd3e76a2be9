// The archive writer: its exact byte layout, what independent readers make of
// its output, its method, name, flag and attribute rules, and its refusals.
#include "engine/zip_writer.h"

#include <gtest/gtest.h>

#include "support/zip_fixture.h"
#include <sys/stat.h>
#include <zlib.h>

#include <fcntl.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace keelmend {
namespace {

constexpr std::int64_t kFixedModified = 1700000000;  // 2023-11-14 22:13:20 UTC
constexpr std::int64_t kFixedAccessed = 1700000100;
constexpr std::uint16_t kFixedDosDate = 0x576E;  // (2023-1980)<<9 | 11<<5 | 14
constexpr std::uint16_t kFixedDosTime = 0xB1AA;  // 22<<11 | 13<<5 | 20/2

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const Bytes& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void SetTimes(const fs::path& path, std::int64_t modified, std::int64_t accessed) {
  const timespec times[2] = {{static_cast<time_t>(accessed), 0}, {static_cast<time_t>(modified), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The creation time the writer should record: the birth time where the file
// system keeps one, else the modification time.
std::int64_t CreationTimeOf(const fs::path& path) {
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
    return sx.stx_btime.tv_sec;
  }
  return sx.stx_mtime.tv_sec;
}

std::uint32_t Crc(const Bytes& data) {
  return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

Bytes RawDeflateLevel8(const Bytes& data) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
  zs.next_in = const_cast<unsigned char*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::optional<Bytes> RawInflate(const unsigned char* data, std::size_t size) {
  const auto text = test::InflateWhole(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!text) return std::nullopt;
  return Bytes(text->begin(), text->end());
}

// Little-endian builder of expected bytes, straight from the layout tables.
struct Le {
  Bytes b;
  Le& U8(unsigned v) { b.push_back(static_cast<unsigned char>(v)); return *this; }
  Le& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  Le& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Le& Raw(const Bytes& v) { b.insert(b.end(), v.begin(), v.end()); return *this; }
  Le& Text(std::string_view v) { return Raw(ToBytes(v)); }
};

unsigned U16At(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return U16At(b, at) | (static_cast<std::uint32_t>(U16At(b, at + 2)) << 16);
}

// One central directory header as read back.
struct CentralEntry {
  std::string name;
  unsigned flags, method, centralExtraLength;
  std::uint32_t crc, compressedSize, uncompressedSize, externalAttributes, localHeaderOffset;
};

// Reads the central directory through the end record (no archive comment).
std::vector<CentralEntry> ReadCentral(const Bytes& b) {
  std::vector<CentralEntry> entries;
  if (b.size() < 22) return entries;
  const std::size_t end = b.size() - 22;
  EXPECT_EQ(U32At(b, end), 0x06054B50u);
  const unsigned count = U16At(b, end + 10);
  std::size_t at = U32At(b, end + 16);
  for (unsigned i = 0; i < count; ++i) {
    EXPECT_EQ(U32At(b, at), 0x02014B50u);
    CentralEntry e;
    e.flags = U16At(b, at + 8);
    e.method = U16At(b, at + 10);
    e.crc = U32At(b, at + 16);
    e.compressedSize = U32At(b, at + 20);
    e.uncompressedSize = U32At(b, at + 24);
    const unsigned nameLength = U16At(b, at + 28);
    e.centralExtraLength = U16At(b, at + 30);
    e.externalAttributes = U32At(b, at + 38);
    e.localHeaderOffset = U32At(b, at + 42);
    e.name.assign(b.begin() + static_cast<std::ptrdiff_t>(at + 46),
                  b.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLength));
    entries.push_back(e);
    at += 46 + nameLength + e.centralExtraLength + U16At(b, at + 32);
  }
  return entries;
}

struct CommandResult {
  int status = -1;
  std::string output;
};

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk{};
  while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) result.output.append(chunk.data(), n);
  result.status = pclose(pipe);
  return result;
}

bool HaveProgram(const std::string& name) { return RunCommand("command -v " + name).status == 0; }

constexpr const char* kPythonCheck =
    "import sys, zipfile\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "bad = z.testzip()\n"
    "print('BAD ' + bad if bad else 'OK')\n"
    "for i in z.infolist(): print(i.filename)\n";

std::string PythonCheck(const fs::path& archive) {
  const CommandResult r = RunCommand("python3 -c \"" + std::string(kPythonCheck) + "\" '" + archive.string() + "'");
  return r.status == 0 ? r.output : "FAILED " + r.output;
}

class ZipWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    char pattern[] = "/tmp/keelmend-zipwriter-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  fs::path Source(const std::string& name, const Bytes& data) {
    const fs::path path = dir_ / "src" / name;
    WriteFile(path, data);
    SetTimes(path, kFixedModified, kFixedAccessed);
    return path;
  }
  fs::path dir_;
};

TEST_F(ZipWriterTest, WritesTheDescribedBytesForAStoredAndADeflatedEntry) {
  const Bytes stored = ToBytes("hello");
  const Bytes text = ToBytes("some text, some text, some more text\n");
  const fs::path storedPath = Source("a.zip", stored);
  const fs::path textPath = Source("content.xml", text);
  const fs::path archive = dir_ / "out.zip";

  auto handle = ZipWriterOpen(archive);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(ZipWriterAddFile(handle.get(), "a.zip", storedPath), kZipOk);
  EXPECT_EQ(ZipWriterAddFile(handle.get(), "doc\\content.xml", textPath), kZipOk);
  EXPECT_EQ(ZipWriterClose(handle.get()), kZipOk);

  struct Expected {
    std::string name;
    unsigned flags, method;
    Bytes plain, data;
    std::int64_t created;
    std::uint32_t offset = 0;
  };
  std::vector<Expected> entries = {
      {"a.zip", 0, 0, stored, stored, CreationTimeOf(storedPath)},
      {"doc/content.xml", 2, 8, text, RawDeflateLevel8(text), CreationTimeOf(textPath)},
  };
  Le expected;
  for (Expected& e : entries) {
    e.offset = static_cast<std::uint32_t>(expected.b.size());
    expected.Text("PK\x03\x04").U16(20).U16(e.flags).U16(e.method).U16(kFixedDosTime).U16(kFixedDosDate);
    expected.U32(Crc(e.plain)).U32(static_cast<std::uint32_t>(e.data.size()));
    expected.U32(static_cast<std::uint32_t>(e.plain.size()));
    expected.U16(static_cast<unsigned>(e.name.size())).U16(17).Text(e.name);
    expected.U16(0x5455).U16(13).U8(7).U32(kFixedModified).U32(kFixedAccessed);
    expected.U32(static_cast<std::uint32_t>(e.created));
    expected.Raw(e.data);
  }
  const std::uint32_t centralOffset = static_cast<std::uint32_t>(expected.b.size());
  for (const Expected& e : entries) {
    expected.Text("PK\x01\x02").U16(0x0B17).U16(20).U16(e.flags).U16(e.method);
    expected.U16(kFixedDosTime).U16(kFixedDosDate).U32(Crc(e.plain));
    expected.U32(static_cast<std::uint32_t>(e.data.size())).U32(static_cast<std::uint32_t>(e.plain.size()));
    expected.U16(static_cast<unsigned>(e.name.size())).U16(9).U16(0).U16(0).U16(0);
    expected.U32(0x81800020).U32(e.offset).Text(e.name);
    expected.U16(0x5455).U16(5).U8(7).U32(kFixedModified);
  }
  const std::uint32_t centralSize = static_cast<std::uint32_t>(expected.b.size()) - centralOffset;
  expected.Text("PK\x05\x06").U16(0).U16(0).U16(2).U16(2).U32(centralSize).U32(centralOffset).U16(0);

  EXPECT_EQ(ReadAll(archive), expected.b);
}

TEST_F(ZipWriterTest, DosTimeIsLocalAndTheTimestampFieldKeepsUnixTime) {
  setenv("TZ", "XYZ-5", 1);  // five hours east of UTC
  tzset();
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "a.xml", Source("a.xml", ToBytes("a"))), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const Bytes bytes = ReadAll(archive);
  EXPECT_EQ(U16At(bytes, 10), (3u << 11) | (13u << 5) | 10u) << "22:13:20 UTC is 03:13:20 local";
  EXPECT_EQ(U16At(bytes, 12), (43u << 9) | (11u << 5) | 15u) << "on the next day";
  EXPECT_EQ(U32At(bytes, 30 + 5 + 5), static_cast<std::uint32_t>(kFixedModified));
  EXPECT_EQ(U32At(bytes, 30 + 5 + 9), static_cast<std::uint32_t>(kFixedAccessed));
}

TEST_F(ZipWriterTest, EmptyArchiveIsTheBareEndRecord) {
  const fs::path archive = dir_ / "empty.zip";
  auto handle = ZipWriterOpen(archive);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const Bytes expected = Le().Text("PK\x05\x06").U16(0).U16(0).U16(0).U16(0).U32(0).U32(0).U16(0).b;
  EXPECT_EQ(ReadAll(archive), expected);
}

TEST_F(ZipWriterTest, EmptyDeflatedFileHoldsAnEmptyDeflateStream) {
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "empty.xml", Source("empty.xml", {})), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const auto entries = ReadCentral(ReadAll(archive));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].method, 8u);
  EXPECT_EQ(entries[0].uncompressedSize, 0u);
  EXPECT_EQ(entries[0].crc, 0u);
  EXPECT_EQ(entries[0].compressedSize, RawDeflateLevel8({}).size());
}

TEST_F(ZipWriterTest, MethodFollowsTheExtensionOfTheWholeName) {
  const struct {
    const char* name;
    unsigned method;
  } cases[] = {
      {"archive.ZIP", 0}, {"Data.Tgz", 0},      {"x.Z", 0},          {"x.gz", 0},
      {"old.arc", 0},     {"old.LZH", 0},       {"old.arj", 0},      {"old.zoo", 0},
      {"content.xml", 8}, {"settings.xml", 8}, {"Thumbnails/thumbnail.png", 8},
      {"a.zip/b", 8},     {"nodot", 8},         {"zip", 8},          {"x.zipx", 8},
  };
  const fs::path source = Source("data.bin", ToBytes("payload payload payload"));
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  for (const auto& c : cases) ASSERT_EQ(ZipWriterAddFile(handle.get(), c.name, source), kZipOk) << c.name;
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);

  const auto entries = ReadCentral(ReadAll(archive));
  ASSERT_EQ(entries.size(), std::size(cases));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, cases[i].name);
    EXPECT_EQ(entries[i].method, cases[i].method) << cases[i].name;
    EXPECT_EQ(entries[i].flags, cases[i].method == 8 ? 2u : 0u) << cases[i].name;
  }
}

TEST_F(ZipWriterTest, NamesKeepTheirBytesWithSlashesAndUtf8FlagOnlyForUtf8) {
  const struct {
    std::string given, stored;
    bool utf8Flag;
  } cases[] = {
      {"META-INF\\manifest.xml", "META-INF/manifest.xml", false},
      {"a\\b\\c\\deep.txt", "a/b/c/deep.txt", false},
      {"\\leading.txt", "/leading.txt", false},
      {"Bilder/\xC3\x9C" "bersicht.png", "Bilder/\xC3\x9C" "bersicht.png", true},
      {"\xE6\x97\xA5\xE6\x9C\xAC.xml", "\xE6\x97\xA5\xE6\x9C\xAC.xml", true},
      {"latin1-\xFC.txt", "latin1-\xFC.txt", false},      // not UTF-8
      {"overlong-\xC0\xAF.txt", "overlong-\xC0\xAF.txt", false},
      {"cut-\xE6\x97.txt", "cut-\xE6\x97.txt", false},
      {"same.txt", "same.txt", false},
      {"same.txt", "same.txt", false},  // two adds of one name: two entries
  };
  const fs::path source = Source("data.txt", ToBytes("x"));
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  for (const auto& c : cases) ASSERT_EQ(ZipWriterAddFile(handle.get(), c.given, source), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);

  const Bytes bytes = ReadAll(archive);
  const auto entries = ReadCentral(bytes);
  ASSERT_EQ(entries.size(), std::size(cases));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, cases[i].stored);
    const unsigned expectedFlags = 2u | (cases[i].utf8Flag ? 0x800u : 0u);
    EXPECT_EQ(entries[i].flags, expectedFlags) << cases[i].stored;
    EXPECT_EQ(U16At(bytes, entries[i].localHeaderOffset + 6), expectedFlags) << "local flags";
    const std::size_t nameLength = U16At(bytes, entries[i].localHeaderOffset + 26);
    EXPECT_EQ(std::string(bytes.begin() + entries[i].localHeaderOffset + 30,
                          bytes.begin() + entries[i].localHeaderOffset + 30 + nameLength),
              cases[i].stored);
  }
}

TEST_F(ZipWriterTest, EntriesHaveFinalLocalHeadersAndNoDataDescriptors) {
  std::mt19937 random(7);
  Bytes noise(70000);
  for (auto& b : noise) b = static_cast<unsigned char>(random());
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "noise.bin", Source("noise.bin", noise)), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "empty.txt", Source("empty.txt", {})), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "kept.gz", Source("kept.gz", noise)), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "text.xml", Source("text.xml", ToBytes(std::string(5000, 'a')))), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);

  const Bytes bytes = ReadAll(archive);
  const auto entries = ReadCentral(bytes);
  ASSERT_EQ(entries.size(), 4u);
  std::size_t expectedOffset = 0;
  for (const CentralEntry& e : entries) {
    const std::size_t at = e.localHeaderOffset;
    EXPECT_EQ(at, expectedOffset) << e.name << ": something lies between the entries";
    EXPECT_EQ(U32At(bytes, at), 0x04034B50u);
    EXPECT_EQ(U16At(bytes, at + 6) & 8u, 0u) << e.name;
    EXPECT_EQ(U32At(bytes, at + 14), e.crc);
    EXPECT_EQ(U32At(bytes, at + 18), e.compressedSize);
    EXPECT_EQ(U32At(bytes, at + 22), e.uncompressedSize);
    const std::size_t data = at + 30 + U16At(bytes, at + 26) + U16At(bytes, at + 28);
    if (e.method == 8) {
      const auto plain = RawInflate(bytes.data() + data, e.compressedSize);
      ASSERT_TRUE(plain.has_value()) << e.name;
      EXPECT_EQ(Crc(*plain), e.crc);
      EXPECT_EQ(plain->size(), e.uncompressedSize);
    }
    expectedOffset = data + e.compressedSize;
  }
}

TEST_F(ZipWriterTest, AttributesRecordWritabilityHiddenNamesAndExecutables) {
  auto exe = [](std::uint32_t peOffset, std::string_view signature, std::size_t size) {
    Bytes b(size, 0);
    b[0] = 'M';
    b[1] = 'Z';
    for (std::size_t i = 0; i < 4 && 60 + i < size; ++i) b[60 + i] = static_cast<unsigned char>(peOffset >> (8 * i));
    for (std::size_t i = 0; i < signature.size() && peOffset + i < size; ++i) b[peOffset + i] = signature[i];
    return b;
  };
  const struct {
    const char* name;
    Bytes data;
    bool readOnly;
    std::uint32_t attributes;
  } cases[] = {
      {"plain.txt", ToBytes("text"), false, 0x81800020},
      {"locked.txt", ToBytes("text"), true, 0x81000021},
      {".hidden", ToBytes("text"), false, 0x81800022},
      {"tool.exe", exe(128, std::string_view("PE\0\0", 4), 400), false, 0x81C00020},
      {"old.exe", exe(128, std::string_view("NE\0\0", 4), 400), false, 0x81C00020},
      {"vxd.exe", exe(128, std::string_view("LE\0\0", 4), 400), false, 0x81C00020},
      {"dos.exe", exe(128, std::string_view("MZ\0\0", 4), 400), false, 0x81C00020},
      {"lockedtool.exe", exe(128, std::string_view("PE\0\0", 4), 400), true, 0x81400021},
      {"badsig.exe", exe(128, std::string_view("PX\0\0", 4), 400), false, 0x81800020},
      {"near-end.exe", exe(348, std::string_view("PE\0\0", 4), 400), false, 0x81800020},  // p + 52 == size
      {"huge-offset.exe", exe(0xFFFFFFF0u, "", 400), false, 0x81800020},
      {"mz-at-zero.exe", exe(0, "", 64), false, 0x81C00020},  // the "MZ" at p = 0 counts
      {"short-mz.exe", exe(0, "", 50), false, 0x81800020},    // no offset field at byte 60
      {"tiny-mz.exe", exe(0, "", 40), false, 0x81800020},
  };
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  for (const auto& c : cases) {
    const fs::path path = Source(c.name, c.data);
    if (c.readOnly) fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                    fs::perm_options::remove);
    ASSERT_EQ(ZipWriterAddFile(handle.get(), c.name, path), kZipOk) << c.name;
  }
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const auto entries = ReadCentral(ReadAll(archive));
  ASSERT_EQ(entries.size(), std::size(cases));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].externalAttributes, cases[i].attributes) << cases[i].name << " 0x" << std::hex
                                                                    << entries[i].externalAttributes;
  }
}

TEST_F(ZipWriterTest, OptionsForceStoringAndLeaveOutTheExtraField) {
  const Bytes text = ToBytes("application/vnd.oasis.opendocument.base");
  const fs::path source = Source("mimetype", text);
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  ZipEntryOptions odf;
  odf.forceStored = true;
  odf.withoutExtraField = true;
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "mimetype", source, odf), kZipOk);
  ZipEntryOptions storedOnly;
  storedOnly.forceStored = true;
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "content.xml", source, storedOnly), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);

  const Bytes bytes = ReadAll(archive);
  // The mimetype entry: stored, no extra field, its text right after the name.
  EXPECT_EQ(U16At(bytes, 8), 0u);
  EXPECT_EQ(U16At(bytes, 28), 0u);
  EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 38), "mimetype");
  EXPECT_EQ(Bytes(bytes.begin() + 38, bytes.begin() + 38 + static_cast<std::ptrdiff_t>(text.size())), text);
  const auto entries = ReadCentral(bytes);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].centralExtraLength, 0u);
  EXPECT_EQ(entries[1].method, 0u);
  EXPECT_EQ(entries[1].flags, 0u);
  EXPECT_EQ(entries[1].centralExtraLength, 9u);
  EXPECT_EQ(PythonCheck(archive).substr(0, 2), "OK");
}

TEST_F(ZipWriterTest, MissingSourceAddsNothingAndTheArchiveStaysReadable) {
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "first.xml", Source("first.xml", ToBytes("one"))), kZipOk);
  EXPECT_EQ(ZipWriterAddFile(handle.get(), "missing.xml", dir_ / "src" / "no-such-file"), kZipSourceUnreadable);
  EXPECT_EQ(ZipWriterAddFile(handle.get(), "folder", dir_ / "src"), kZipSourceUnreadable);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "last.xml", Source("last.xml", ToBytes("two"))), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  EXPECT_EQ(PythonCheck(archive), "OK\nfirst.xml\nlast.xml\n");
}

TEST_F(ZipWriterTest, ClosedArchiveRefusesAddsAndASecondClose) {
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  const fs::path source = Source("a.xml", ToBytes("a"));
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "a.xml", source), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const Bytes closed = ReadAll(archive);
  EXPECT_EQ(ZipWriterAddFile(handle.get(), "b.xml", source), kZipAlreadyClosed);
  EXPECT_EQ(ZipWriterAddBytes(handle.get(), "c.xml", ToBytes("c"), {}), kZipAlreadyClosed);
  EXPECT_EQ(ZipWriterClose(handle.get()), kZipOk);
  EXPECT_EQ(ReadAll(archive), closed);
}

TEST_F(ZipWriterTest, BadArgumentsAreRefusedBeforeAnythingIsWritten) {
  const fs::path source = Source("a.xml", ToBytes("a"));
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  ZipWriteHandle otherKind;
  otherKind.kind = 3;
  const struct {
    const char* what;
    ZipWriteHandle* handle;
    std::string name;
    std::uint32_t code;
  } cases[] = {
      {"no handle", nullptr, "a.xml", kZipBadArguments},
      {"handle of another kind", &otherKind, "a.xml", kZipWrongHandleKind},
      {"empty name", handle.get(), "", kZipBadArguments},
      {"name of 260 bytes", handle.get(), std::string(256, 'n') + ".xml", kZipBadArguments},
      {"name with a NUL byte", handle.get(), std::string("a\0b", 3), kZipBadArguments},
      {"name of 259 bytes", handle.get(), std::string(255, 'n') + ".xml", kZipOk},
  };
  for (const auto& c : cases) EXPECT_EQ(ZipWriterAddFile(c.handle, c.name, source), c.code) << c.what;
  EXPECT_EQ(ZipWriterClose(nullptr), kZipBadArguments);
  EXPECT_EQ(ZipWriterClose(&otherKind), kZipWrongHandleKind);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const auto entries = ReadCentral(ReadAll(archive));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name.size(), 259u);
}

TEST_F(ZipWriterTest, RefusesTheEntryAfter65535AndTheArchiveHoldsThemAll) {
  const fs::path archive = dir_ / "many.zip";
  auto handle = ZipWriterOpen(archive);
  ZipEntryOptions small;
  small.forceStored = true;
  small.withoutExtraField = true;
  for (int i = 0; i < 65535; ++i) {
    ASSERT_EQ(ZipWriterAddBytes(handle.get(), std::to_string(i), {}, {}, small), kZipOk) << i;
  }
  EXPECT_EQ(ZipWriterAddBytes(handle.get(), "65535", {}, {}, small), kZipBadArguments);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const Bytes bytes = ReadAll(archive);
  EXPECT_EQ(U16At(bytes, bytes.size() - 22 + 10), 65535u);
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  const CommandResult r = RunCommand("python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                                     "print(len(z.infolist()), z.infolist()[-1].filename)' '" +
                                     archive.string() + "'");
  EXPECT_EQ(r.output, "65535 65534\n");
}

TEST_F(ZipWriterTest, SizeLimitRefusesEntriesAndKeepsTheArchiveWhole) {
  std::mt19937 random(11);
  Bytes noise(1000);
  for (auto& b : noise) b = static_cast<unsigned char>(random());
  Bytes bigNoise(3000);
  for (auto& b : bigNoise) b = static_cast<unsigned char>(random());
  ZipWriterSettings settings;
  settings.maxArchiveBytes = 4096;
  const fs::path archive = dir_ / "limited.zip";
  auto handle = ZipWriterOpen(archive, ZipCreateMode::kReplace, settings);
  ZipEntryOptions stored;
  stored.forceStored = true;
  // Each stored entry takes 1053 bytes locally and 61 in the central directory.
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(ZipWriterAddBytes(handle.get(), "f" + std::to_string(i) + ".bin", noise, {}, stored), kZipOk);
  }
  EXPECT_EQ(ZipWriterAddBytes(handle.get(), "f3.bin", noise, {}, stored), kZipWriteFailed);
  // Deflated noise does not shrink: the limit stops it in the middle of its data.
  EXPECT_EQ(ZipWriterAddBytes(handle.get(), "g.bin", bigNoise, {}), kZipWriteFailed);
  EXPECT_EQ(ZipWriterAddBytes(handle.get(), "tiny", ToBytes("tiny"), {}), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);

  const Bytes bytes = ReadAll(archive);
  EXPECT_LE(bytes.size(), 4096u);
  const auto entries = ReadCentral(bytes);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].name, "tiny");
  EXPECT_EQ(entries[3].localHeaderOffset, 3u * 1053u) << "the refused entries left bytes behind";
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  EXPECT_EQ(PythonCheck(archive), "OK\nf0.bin\nf1.bin\nf2.bin\ntiny\n");
}

TEST_F(ZipWriterTest, SourcesTheFormatCannotHoldAreRefusedUpFront) {
  const struct {
    const char* name;
    std::uint64_t size;
  } cases[] = {
      {"two-gib.zip", std::uint64_t{1} << 31},        // stored: the archive would reach 2 GiB
      {"four-gib.bin", (std::uint64_t{1} << 32) + 1},  // deflated: the size field has 32 bits
  };
  const fs::path archive = dir_ / "out.zip";
  auto handle = ZipWriterOpen(archive);
  for (const auto& c : cases) {
    const fs::path sparse = dir_ / "src" / c.name;
    WriteFile(sparse, {});
    fs::resize_file(sparse, c.size);
    EXPECT_EQ(ZipWriterAddFile(handle.get(), c.name, sparse), kZipWriteFailed) << c.name;
  }
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "after.xml", Source("after.xml", ToBytes("x"))), kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);
  const auto entries = ReadCentral(ReadAll(archive));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].localHeaderOffset, 0u);
}

TEST_F(ZipWriterTest, OpenFailsWhereNoFileCanBeCreated) {
  EXPECT_EQ(ZipWriterOpen(dir_ / "no-such-folder" / "out.zip"), nullptr);
  const fs::path existing = dir_ / "existing.zip";
  WriteFile(existing, ToBytes("earlier"));
  EXPECT_EQ(ZipWriterOpen(existing, ZipCreateMode::kCreateNew), nullptr);
  EXPECT_EQ(ReadAll(existing), ToBytes("earlier"));
  auto replacing = ZipWriterOpen(existing, ZipCreateMode::kReplace);
  ASSERT_NE(replacing, nullptr);
  EXPECT_EQ(ZipWriterClose(replacing.get()), kZipOk);
  EXPECT_EQ(ReadAll(existing).size(), 22u);
}

// What independent readers say of an archive holding every kind of entry,
// including one large enough to be compressed in several chunks.
struct Reader {
  const char* program;
  const char* command;  // followed by the archive path
  const char* success;  // text the output must hold
};

class IndependentReaderTest : public ZipWriterTest, public ::testing::WithParamInterface<Reader> {};

TEST_P(IndependentReaderTest, AcceptsTheWritersOutput) {
  const Reader& reader = GetParam();
  if (!HaveProgram(reader.program)) GTEST_SKIP() << reader.program << " is not installed";
  Bytes large;
  std::mt19937 random(3);
  while (large.size() < (std::size_t{3} << 20) + 12345) {
    const std::string word = "word" + std::to_string(random() % 5000) + (random() % 7 ? " " : "\n");
    large.insert(large.end(), word.begin(), word.end());
  }
  const fs::path archive = dir_ / "readers.zip";
  auto handle = ZipWriterOpen(archive);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "content.xml", Source("content.xml", ToBytes("<office/>"))), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "database\\script", Source("script", large)), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "empty", Source("empty", {})), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "nested.zip", Source("nested.zip", ToBytes("PK-ish"))), kZipOk);
  ASSERT_EQ(ZipWriterAddFile(handle.get(), "Bilder/\xC3\xBC.png", Source("u.png", ToBytes("png"))), kZipOk);
  ASSERT_EQ(ZipWriterAddBytes(handle.get(), "memory.txt", ToBytes("from memory"), {kFixedModified, 0, 0}),
            kZipOk);
  ASSERT_EQ(ZipWriterClose(handle.get()), kZipOk);

  const CommandResult r = RunCommand(std::string(reader.command) + " '" + archive.string() + "'");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find(reader.success), std::string::npos) << r.output;
  for (const char* name : {"content.xml", "database/script", "empty", "nested.zip", "memory.txt"}) {
    EXPECT_NE(r.output.find(name), std::string::npos) << name << " missing from\n" << r.output;
  }
}

void PrintTo(const Reader& reader, std::ostream* os) { *os << reader.program; }

std::string ReaderName(const ::testing::TestParamInfo<Reader>& info) {
  std::string name = info.param.program;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    Readers, IndependentReaderTest,
    ::testing::Values(Reader{"unzip", "unzip -t", "No errors detected"}, Reader{"bsdtar", "bsdtar -tf", ""},
                      Reader{"python3",
                             "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                             "print('testzip', z.testzip()); [print(n) for n in z.namelist()]\"",
                             "testzip None"}),
    ReaderName);

}  // namespace
}  // namespace keelmend
