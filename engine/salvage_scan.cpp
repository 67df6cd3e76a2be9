#include "engine/salvage_scan.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/error_text.h"
#include "platform/file_io.h"

namespace keelmend {
namespace {

using platform::ErrorCode;
using platform::InputFile;

constexpr std::size_t kBlockSize = 1u << 20;        // search buffer
constexpr std::size_t kInflateChunk = 256u * 1024;  // size recovery

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t Le64(const unsigned char* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// Signatures the searches look for.
enum SignatureMask : unsigned { kLocalHeader = 1, kDataDescriptor = 2 };

// The first i in [begin, end) where base[i..i+3] is one of the signatures in
// `mask`, or `end`. base[i + 3] must be readable for every i < end. With SSE2
// sixteen windows are tested at once (the speed of the search does not depend
// on how many 'P' bytes the data holds); otherwise memchr finds each 'P'.
std::size_t FindSignatureIn(const unsigned char* base, std::size_t begin, std::size_t end,
                            unsigned mask) {
  std::size_t i = begin;
#if defined(__SSE2__)
  const __m128i p = _mm_set1_epi8('P');
  const __m128i k = _mm_set1_epi8('K');
  const __m128i c3 = _mm_set1_epi8(0x03), c4 = _mm_set1_epi8(0x04);
  const __m128i c7 = _mm_set1_epi8(0x07), c8 = _mm_set1_epi8(0x08);
  const bool wantHeader = (mask & kLocalHeader) != 0;
  const bool wantDescriptor = (mask & kDataDescriptor) != 0;
  // "PK" at any of the 16 windows from `at`.
  const auto pk = [&](std::size_t at) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at + 1));
    return _mm_and_si128(_mm_cmpeq_epi8(here, p), _mm_cmpeq_epi8(next, k));
  };
  while (i + 16 <= end) {
    // Most data holds no "PK" at all: 64 windows are passed over with one test.
    if (i + 64 <= end) {
      const __m128i any = _mm_or_si128(_mm_or_si128(pk(i), pk(i + 16)), _mm_or_si128(pk(i + 32), pk(i + 48)));
      if (_mm_movemask_epi8(any) == 0) {
        i += 64;
        continue;
      }
    }
    const auto* at = reinterpret_cast<const __m128i*>(base + i);
    const __m128i b0 = _mm_loadu_si128(at);
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + 1));
    __m128i m = _mm_and_si128(_mm_cmpeq_epi8(b0, p), _mm_cmpeq_epi8(b1, k));
    if (_mm_movemask_epi8(m) != 0) {
      const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + 2));
      const __m128i b3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + 3));
      __m128i tail = _mm_setzero_si128();
      if (wantHeader)
        tail = _mm_or_si128(tail, _mm_and_si128(_mm_cmpeq_epi8(b2, c3), _mm_cmpeq_epi8(b3, c4)));
      if (wantDescriptor)
        tail = _mm_or_si128(tail, _mm_and_si128(_mm_cmpeq_epi8(b2, c7), _mm_cmpeq_epi8(b3, c8)));
      const int bits = _mm_movemask_epi8(_mm_and_si128(m, tail));
      if (bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
    }
    i += 16;
  }
#endif
  while (i < end) {
    const void* hit = std::memchr(base + i, 'P', end - i);
    if (hit == nullptr) return end;
    i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - base);
    const unsigned char* w = base + i;
    if (w[1] == 'K' && (((mask & kLocalHeader) && w[2] == 0x03 && w[3] == 0x04) ||
                        ((mask & kDataDescriptor) && w[2] == 0x07 && w[3] == 0x08))) {
      return i;
    }
    ++i;
  }
  return end;
}

// The source file seen through one block buffer. Reads that meet the end of
// the file return fewer bytes, like the classic sequential reads. A read
// error is remembered and then treated as the end of the file.
class ScanSource {
 public:
  explicit ScanSource(const InputFile& file)
      : file_(file), length_(file.Size()), buffer_(new unsigned char[kBlockSize]) {}

  std::uint64_t Length() const { return length_; }
  ErrorCode ReadError() const { return readError_; }

  // Copies up to n bytes at pos into out (zero-fills what is missing) and
  // returns how many bytes came from the file.
  std::size_t Read(std::uint64_t pos, unsigned char* out, std::size_t n) {
    std::memset(out, 0, n);
    if (pos >= length_) return 0;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(n, length_ - pos));
    if (!Covers(pos, want)) {
      if (want > kBlockSize) {
        return ReadDirect(pos, out, want);
      }
      if (!Fill(pos)) return 0;
    }
    const std::size_t avail =
        static_cast<std::size_t>(std::min<std::uint64_t>(want, bufStart_ + bufLen_ - pos));
    std::memcpy(out, buffer_.get() + (pos - bufStart_), avail);
    return avail;
  }

  // Direct positional read, bypassing the buffer (for the size recovery).
  std::size_t ReadDirect(std::uint64_t pos, unsigned char* out, std::size_t n) {
    if (pos >= length_) return 0;
    ErrorCode error = 0;
    const std::int64_t got = file_.ReadAt(pos, out, n, &error);
    if (got < 0) {
      readError_ = error;
      length_ = pos;  // treat as the end of the file from here on
      return 0;
    }
    return static_cast<std::size_t>(got);
  }

  // The first window position q >= from with q + 4 <= length whose 4 bytes
  // are one of the signatures in `mask`. Polls `stop` once per block; sets
  // *stopped and returns nothing when asked to stop.
  std::optional<std::uint64_t> Find(std::uint64_t from, unsigned mask, const StopQuery& stop,
                                    bool* stopped) {
    *stopped = false;
    while (from + 4 <= length_) {
      if (!stop.ShouldContinue()) {
        *stopped = true;
        return std::nullopt;
      }
      if (!Covers(from, 4) && !Fill(from)) return std::nullopt;
      if (!Covers(from, 4)) return std::nullopt;
      const unsigned char* base = buffer_.get();
      const std::size_t begin = static_cast<std::size_t>(from - bufStart_);
      const std::size_t end = bufLen_ - 3;  // windows [begin, end) lie inside the buffer
      const std::size_t i = FindSignatureIn(base, begin, end, mask);
      if (i < end) return bufStart_ + i;
      from = bufStart_ + end;
    }
    return std::nullopt;
  }

 private:
  bool Covers(std::uint64_t pos, std::size_t n) const {
    return bufLen_ > 0 && pos >= bufStart_ && pos + n <= bufStart_ + bufLen_;
  }

  bool Fill(std::uint64_t pos) {
    bufStart_ = pos;
    bufLen_ = 0;
    if (pos >= length_) return false;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, length_ - pos));
    ErrorCode error = 0;
    const std::int64_t got = file_.ReadAt(pos, buffer_.get(), want, &error);
    if (got < 0) {
      readError_ = error;
      length_ = pos;
      return false;
    }
    bufLen_ = static_cast<std::size_t>(got);
    if (bufLen_ < want) length_ = pos + bufLen_;  // file shrank while we read
    return bufLen_ > 0;
  }

  const InputFile& file_;
  std::uint64_t length_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::uint64_t bufStart_ = 0;
  std::size_t bufLen_ = 0;
  ErrorCode readError_ = 0;
};

// The window the classic scan tests next when its position is `p`: the
// back-step moves a position above 4 back by three bytes.
std::uint64_t NextWindow(std::uint64_t p) { return p > 4 ? p - 3 : p; }

// Result of measuring a deflate stream.
struct Measured {
  bool ended = false;    // Z_STREAM_END seen within the file
  bool stopped = false;  // the stop query said stop
  std::uint64_t consumed = 0;
  std::uint64_t produced = 0;
  std::uint64_t read = 0;  // bytes read from the file, whole chunks
  std::uint32_t crc = 0;
};

// Bytes that measurements of streams which did not end may read in one scan:
// twice the file plus 64 MiB. Without a cap, headers whose streams run on
// to the end of the file (each holding all the headers after it) cost the
// square of the file's size; once it is spent, the forward search alone
// delimits such entries.
std::uint64_t FailedMeasureBudget(std::uint64_t length) { return 2 * length + (64ull << 20); }

// Inflates the raw deflate stream starting at `offset` until its end,
// streaming (fixed buffers), to learn its compressed and uncompressed size.
Measured MeasureDeflateStream(ScanSource& source, std::uint64_t offset, const StopQuery& stop) {
  Measured result;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return result;
  std::unique_ptr<unsigned char[]> in(new unsigned char[kInflateChunk]);
  std::unique_ptr<unsigned char[]> out(new unsigned char[kInflateChunk]);
  std::uint64_t readPos = offset;
  uLong crc = crc32(0L, Z_NULL, 0);
  constexpr std::uint64_t kLimit = 0xFFFFFFFFull;  // sizes must fit the 32-bit fields
  bool done = false;
  while (!done) {
    if (!stop.ShouldContinue()) {
      result.stopped = true;
      break;
    }
    if (zs.avail_in == 0) {
      const std::size_t got = source.ReadDirect(readPos, in.get(), kInflateChunk);
      if (got == 0) break;  // the file ends inside the stream
      readPos += got;
      zs.next_in = in.get();
      zs.avail_in = static_cast<uInt>(got);
    }
    // Inflate what is buffered, draining the output as it fills.
    for (;;) {
      zs.next_out = out.get();
      zs.avail_out = static_cast<uInt>(kInflateChunk);
      const int rc = inflate(&zs, Z_NO_FLUSH);
      const std::size_t have = kInflateChunk - zs.avail_out;
      if (have > 0) crc = crc32(crc, out.get(), static_cast<uInt>(have));
      if (rc == Z_STREAM_END) {
        result.ended = true;
        done = true;
        break;
      }
      if (rc != Z_OK && rc != Z_BUF_ERROR) {  // corrupt data, no memory, dictionary
        done = true;
        break;
      }
      if (zs.total_in > kLimit || zs.total_out > kLimit) {  // no ZIP64 here
        done = true;
        break;
      }
      if (zs.avail_in == 0 && zs.avail_out != 0) break;  // needs more input
      if (rc == Z_BUF_ERROR && have == 0) {
        done = true;  // no progress possible
        break;
      }
    }
  }
  result.consumed = zs.total_in;
  result.produced = zs.total_out;
  result.read = readPos - offset;
  result.crc = static_cast<std::uint32_t>(crc);
  inflateEnd(&zs);
  if (result.ended && (result.consumed > kLimit || result.produced > kLimit)) result.ended = false;
  return result;
}

// A data descriptor at `at` for an entry of the given measured sizes: with its
// signature (32-bit or ZIP64 sizes), or without it when all three fields agree.
struct Descriptor {
  bool found = false;
  bool agrees = false;  // CRC and both sizes match the measurement
  std::uint32_t crc = 0;
};

Descriptor ReadDescriptorAt(ScanSource& source, std::uint64_t at, std::uint32_t crc,
                            std::uint64_t compressed, std::uint64_t uncompressed) {
  Descriptor d;
  unsigned char b[24];
  const std::size_t got = source.Read(at, b, sizeof b);
  if (got >= 16 && b[0] == 'P' && b[1] == 'K' && b[2] == 0x07 && b[3] == 0x08) {
    d.found = true;
    d.crc = Le32(b + 4);
    if (Le32(b + 8) == compressed && Le32(b + 12) == uncompressed) {
      d.agrees = d.crc == crc;
    } else if (got >= 24 && Le64(b + 8) == compressed && Le64(b + 16) == uncompressed) {
      d.agrees = d.crc == crc;
    }
    return d;
  }
  if (got >= 12 && Le32(b) == crc && Le32(b + 4) == compressed && Le32(b + 8) == uncompressed) {
    d.found = true;
    d.agrees = true;
    d.crc = crc;
  }
  return d;
}

// Civil date to days since 1970-01-01 (proleptic Gregorian).
long DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<long>(era) * 146097 + static_cast<long>(doe) - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::string FormatDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  static constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
  const int year = 1980 + ((dosDate >> 9) & 0x7F);
  const unsigned month = (dosDate >> 5) & 0x0F;
  const unsigned day = dosDate & 0x1F;
  const unsigned hour = (dosTime >> 11) & 0x1F;
  const unsigned minute = (dosTime >> 5) & 0x3F;
  const unsigned second = (dosTime & 0x1F) * 2u;
  static constexpr unsigned kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return {};
  const unsigned monthDays = kMonthDays[month - 1] + (month == 2 && IsLeap(year) ? 1u : 0u);
  if (day > monthDays || hour > 23 || minute > 59 || second > 59) return {};
  const long days = DaysFromCivil(year, month, day);
  const int weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  const unsigned hour12 = hour % 12 == 0 ? 12 : hour % 12;
  char text[96];
  std::snprintf(text, sizeof text, "%s, %s %02u, %04d %02u:%02u:%02u %s ", kWeekdays[weekday],
                kMonths[month - 1], day, year, hour12, minute, second, hour < 12 ? "AM" : "PM");
  return text;
}

bool SalvageScan(const std::filesystem::path& sourcePath, std::vector<SalvagedEntry>& entryList,
                 LogSink& log, const StopQuery& stopQuery, NotifySink& notify) {
  InputFile file;
  ErrorCode error = 0;
  if (!file.Open(sourcePath, &error, /*exclusive=*/true)) {
    notify.Notify(platform::ErrorText(error));
    return false;
  }
  file.AdviseSequential();
  const std::string path = sourcePath.string();
  log.Log(path + kScanOpenText, kLogBlack);

  ScanSource source(file);
  bool stopped = false;
  if (source.Length() > 0) {
    // The first pass tests offset 0; the next window is 4 (no back-step at 4),
    // then 5, 6, ... Offsets 1, 2 and 3 are never tested.
    std::uint64_t window = 0;
    bool firstPass = true;
    std::uint64_t failedMeasureRead = 0;
    for (;;) {
      if (!stopQuery.ShouldContinue()) break;
      std::optional<std::uint64_t> hit;
      if (firstPass) {
        firstPass = false;
        unsigned char sig[4];
        if (source.Read(0, sig, 4) == 4 && sig[0] == 'P' && sig[1] == 'K' && sig[2] == 0x03 &&
            sig[3] == 0x04) {
          hit = 0;
        } else {
          window = 4;
        }
      }
      if (!hit) {
        hit = source.Find(window, kLocalHeader, stopQuery, &stopped);
        if (!hit) break;
      }
      const std::uint64_t q = *hit;

      // Step 5: the header fields, then the name.
      SalvagedEntry entry;
      entry.localHeaderOffset = q;
      std::uint64_t pos = q + 4;
      unsigned char h[26];
      pos += source.Read(pos, h, sizeof h);
      entry.versionNeeded = Le16(h + 0);
      entry.flags = Le16(h + 2);
      entry.method = Le16(h + 4);
      entry.dosTime = Le16(h + 6);
      entry.dosDate = Le16(h + 8);
      const std::uint32_t headerCrc = Le32(h + 10);
      entry.compressedSize = Le32(h + 14);
      entry.uncompressedSize = Le32(h + 18);
      const std::uint16_t nameLength = Le16(h + 22);
      const std::uint16_t extraLength = Le16(h + 24);
      std::string nameBytes(nameLength, '\0');
      pos += source.Read(pos, reinterpret_cast<unsigned char*>(nameBytes.data()), nameLength);
      const std::size_t nul = nameBytes.find('\0');
      if (nul != std::string::npos) nameBytes.resize(nul);
      const std::uint64_t s = pos;  // just after the name, before the extra field
      const std::uint64_t dataOffset = s + extraLength;
      entry.crc32 = headerCrc;
      entry.crcKnown = (entry.flags & 0x08) == 0;

      // Step 6: size recovery for a deflated entry with both sizes 0.
      if (entry.compressedSize == 0 && entry.uncompressedSize == 0 && entry.method == 8) {
        Measured m;
        if (failedMeasureRead < FailedMeasureBudget(source.Length())) {
          m = MeasureDeflateStream(source, dataOffset, stopQuery);
          if (!m.ended && !m.stopped) failedMeasureRead += m.read;
        }
        if (m.stopped) {
          stopped = true;  // the sizes stay 0; the entry is dropped below
        } else if (m.ended) {
          entry.compressedSize = static_cast<std::uint32_t>(m.consumed);
          entry.uncompressedSize = static_cast<std::uint32_t>(m.produced);
          entry.sizesMeasured = true;
          const Descriptor d =
              ReadDescriptorAt(source, dataOffset + m.consumed, m.crc, m.consumed, m.produced);
          entry.sizesFromDescriptor = d.found;
          // A descriptor whose CRC disagrees is believed: the extraction then
          // reports the entry as damaged rather than passing it silently.
          entry.crc32 = d.found ? d.crc : m.crc;
          entry.crcKnown = true;
        } else {
          // The classic forward search from s, with the back-step.
          bool searchStopped = false;
          const auto found =
              source.Find(NextWindow(s), kLocalHeader | kDataDescriptor, stopQuery, &searchStopped);
          if (searchStopped) stopped = true;
          if (found) {
            unsigned char sig[4];
            source.Read(*found, sig, 4);
            if (sig[2] == 0x07) {
              unsigned char d[12];
              source.Read(*found + 4, d, sizeof d);
              entry.crc32 = Le32(d);
              entry.compressedSize = Le32(d + 4);
              entry.uncompressedSize = Le32(d + 8);
              entry.crcKnown = true;
              entry.sizesFromDescriptor = true;
            }
          }
        }
      } else if (entry.compressedSize == 0 && entry.uncompressedSize == 0 && entry.method == 0 &&
                 (entry.flags & 0x08) != 0) {
        // Mended: a stored entry with a data descriptor (streaming writers)
        // ends at the first "PK\7\8" whose sizes both equal the distance
        // from the data's start; the classic scan drops such entries.
        std::uint64_t from = dataOffset;
        for (;;) {
          bool searchStopped = false;
          const auto found = source.Find(from, kDataDescriptor, stopQuery, &searchStopped);
          if (searchStopped) stopped = true;
          if (!found) break;
          unsigned char d[16];
          if (source.Read(*found, d, sizeof d) == sizeof d) {
            const std::uint64_t distance = *found - dataOffset;
            if (Le32(d + 8) == distance && Le32(d + 12) == distance && distance <= 0xFFFFFFFFull) {
              entry.crc32 = Le32(d + 4);
              entry.crcKnown = true;
              entry.compressedSize = entry.uncompressedSize = static_cast<std::uint32_t>(distance);
              entry.sizesFromDescriptor = true;
              break;
            }
          }
          from = *found + 1;
        }
      } else if ((entry.flags & 0x08) != 0) {
        // Bit 3 with sizes in the header: the CRC may only be in the
        // descriptor after the data.
        const Descriptor d = ReadDescriptorAt(source, dataOffset + entry.compressedSize, headerCrc,
                                              entry.compressedSize, entry.uncompressedSize);
        if (d.found) {
          entry.crc32 = d.crc;
          entry.crcKnown = true;
          entry.sizesFromDescriptor = true;
        } else if (headerCrc != 0 || entry.uncompressedSize == 0) {
          entry.crcKnown = true;  // the header's CRC is all there is
        }
      }

      // Step 7: the record.
      entry.modifiedText = FormatDosDateTime(entry.dosDate, entry.dosTime);
      std::replace(nameBytes.begin(), nameBytes.end(), '/', '\\');
      entry.name = std::move(nameBytes);
      // Step 9: skip the extra field; the data starts here.
      entry.dataOffset = dataOffset;
      // Step 8: list it when a size is non-zero and the name is not empty.
      const std::uint32_t skip = entry.compressedSize;
      if ((entry.compressedSize != 0 || entry.uncompressedSize != 0) && !entry.name.empty()) {
        entryList.push_back(std::move(entry));
      }
      if (stopped) break;
      // Step 10: skip the data, then go on with the back-step.
      const std::uint64_t p = dataOffset + skip;
      if (p >= source.Length()) break;
      window = NextWindow(p);
    }
  }
  if (source.ReadError() != 0) notify.Notify(platform::ErrorText(source.ReadError()));

  log.Log(path + kScanExtractedText, kLogBlack);
  file.Close();
  log.Log(path + kScanClosedText, kLogBlack);
  return true;
}

}  // namespace keelmend
