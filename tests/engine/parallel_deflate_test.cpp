// Chunked raw deflate: whatever the chunking and the number of threads, the
// output is one raw deflate stream that inflates back to the input, with the
// input's CRC-32.
#include "engine/parallel_deflate.h"

#include <gtest/gtest.h>

#include "support/zip_fixture.h"
#include <zlib.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <vector>

namespace keelmend {
namespace {

using Bytes = std::vector<unsigned char>;
constexpr std::size_t kChunk = 32768;  // the smallest chunk, to cross many borders cheaply

class VectorInput final : public DeflateInput {
 public:
  explicit VectorInput(const Bytes& data, std::size_t failAfter = SIZE_MAX) : data_(data), failAfter_(failAfter) {}
  std::optional<std::size_t> Read(std::span<unsigned char> buffer) override {
    if (offset_ >= failAfter_) return std::nullopt;
    const std::size_t n = std::min(buffer.size(), data_.size() - offset_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(offset_), n, buffer.begin());
    offset_ += n;
    return n;
  }
  std::size_t Offset() const { return offset_; }

 private:
  const Bytes& data_;
  std::size_t offset_ = 0;
  std::size_t failAfter_;
};

class VectorOutput final : public DeflateOutput {
 public:
  explicit VectorOutput(std::size_t capacity = SIZE_MAX) : capacity_(capacity) {}
  bool Write(std::span<const unsigned char> bytes) override {
    if (bytes_.size() + bytes.size() > capacity_) return false;
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return true;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  std::size_t capacity_;
};

std::optional<Bytes> RawInflate(const Bytes& stream) {
  const auto text = test::InflateWhole(std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()));
  if (!text) return std::nullopt;
  return Bytes(text->begin(), text->end());
}

Bytes SingleCallDeflate(const Bytes& data) {
  z_stream zs{};
  deflateInit2(&zs, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
  zs.next_in = const_cast<unsigned char*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// Text with repeats that reach across chunk borders.
Bytes Text(std::size_t size) {
  std::mt19937 random(5);
  Bytes out;
  while (out.size() < size) {
    const std::string word = "record" + std::to_string(random() % 3000) + ";";
    out.insert(out.end(), word.begin(), word.end());
  }
  out.resize(size);
  return out;
}

std::uint32_t Crc(const Bytes& data) {
  return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

TEST(ParallelDeflateTest, RoundTripsAtEveryChunkBorderWithAnyThreadCount) {
  const std::size_t sizes[] = {0, 1, kChunk - 1, kChunk, kChunk + 1, 2 * kChunk, 7 * kChunk / 2, 9 * kChunk};
  for (std::size_t size : sizes) {
    const Bytes input = Text(size);
    std::optional<Bytes> firstStream;
    for (unsigned threads : {1u, 2u, 3u}) {
      VectorInput in(input);
      VectorOutput out;
      const DeflateOutcome outcome = DeflateRawStream(in, out, {8, threads, kChunk});
      ASSERT_EQ(outcome.status, DeflateStatus::kOk) << size << " bytes, " << threads << " threads";
      EXPECT_EQ(outcome.bytesIn, size);
      EXPECT_EQ(outcome.bytesOut, out.bytes().size());
      EXPECT_EQ(outcome.crc, Crc(input)) << size;
      const auto inflated = RawInflate(out.bytes());
      ASSERT_TRUE(inflated.has_value()) << size << " bytes, " << threads << " threads";
      EXPECT_EQ(*inflated, input) << size << " bytes, " << threads << " threads";
      if (!firstStream) firstStream = out.bytes();
      EXPECT_EQ(out.bytes(), *firstStream) << "the stream depends on the thread count, " << size;
    }
  }
}

TEST(ParallelDeflateTest, OneChunkGivesWhatASingleDeflateCallGives) {
  for (std::size_t size : {std::size_t{0}, std::size_t{100}, kChunk}) {
    const Bytes input = Text(size);
    VectorInput in(input);
    VectorOutput out;
    ASSERT_EQ(DeflateRawStream(in, out, {8, 2, 4 * kChunk}).status, DeflateStatus::kOk);
    EXPECT_EQ(out.bytes(), SingleCallDeflate(input)) << size;
  }
}

TEST(ParallelDeflateTest, DictionaryKeepsCompressionCloseToOneStream) {
  const Bytes input = Text(16 * kChunk);
  VectorInput in(input);
  VectorOutput out;
  ASSERT_EQ(DeflateRawStream(in, out, {8, 2, kChunk}).status, DeflateStatus::kOk);
  const std::size_t single = SingleCallDeflate(input).size();
  EXPECT_LT(out.bytes().size(), single + single / 50) << "chunks compress as if without history";
}

// Notes, at every write, how far the input has been read by then.
class ReadAheadProbe final : public DeflateOutput {
 public:
  explicit ReadAheadProbe(const VectorInput& input) : input_(input) {}
  bool Write(std::span<const unsigned char>) override {
    offsetAtWrite.push_back(input_.Offset());
    return true;
  }
  std::vector<std::size_t> offsetAtWrite;

 private:
  const VectorInput& input_;
};

// However long the input, only a few chunks are held at any time: the
// reading stays at most two chunks per thread ahead of the writing.
TEST(ParallelDeflateTest, ReadsOnlyAFewChunksAheadOfTheOutput) {
  constexpr std::size_t kChunks = 40;
  const Bytes input = Text(kChunks * kChunk);
  for (unsigned threads : {1u, 2u, 3u}) {
    VectorInput in(input);
    ReadAheadProbe out(in);
    ASSERT_EQ(DeflateRawStream(in, out, {8, threads, kChunk}).status, DeflateStatus::kOk);
    ASSERT_EQ(out.offsetAtWrite.size(), kChunks + 1) << "one write per chunk and the empty last one";
    for (std::size_t k = 0; k < out.offsetAtWrite.size(); ++k) {
      EXPECT_LE(out.offsetAtWrite[k], (k + 1 + 2 * threads) * kChunk)
          << "write " << k << " with " << threads << " threads";
    }
  }
}

TEST(ParallelDeflateTest, ReportsReadAndWriteFailures) {
  const Bytes input = Text(5 * kChunk);
  {
    VectorInput in(input, 2 * kChunk);
    VectorOutput out;
    EXPECT_EQ(DeflateRawStream(in, out, {8, 2, kChunk}).status, DeflateStatus::kReadFailed);
  }
  {
    VectorInput in(input);
    VectorOutput out(100);
    EXPECT_EQ(DeflateRawStream(in, out, {8, 2, kChunk}).status, DeflateStatus::kWriteFailed);
  }
  {
    VectorInput in(input);
    VectorOutput out;
    EXPECT_EQ(DeflateRawStream(in, out, {42, 2, kChunk}).status, DeflateStatus::kCompressorFailed);
  }
}

}  // namespace
}  // namespace keelmend
