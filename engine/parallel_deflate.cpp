#include "engine/parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <future>
#include <system_error>
#include <vector>

namespace keelmend {
namespace {

constexpr std::size_t kWindowBytes = 32768;
constexpr int kRawWindowBits = -15;
constexpr int kMemLevel = 8;

// One piece of the input and what became of it.
struct Chunk {
  std::vector<unsigned char> data;        // the input bytes of this chunk
  std::vector<unsigned char> dictionary;  // up to 32 KiB of input just before it
  std::size_t size = 0;                   // bytes of `data` in use
  bool last = false;                      // ends the stream
  std::vector<unsigned char> compressed;
  std::size_t compressedSize = 0;
  std::uint32_t crc = 0;
  bool ok = false;
};

// Deflates one chunk into chunk.compressed, ending it with a sync flush or,
// for the last chunk, with the end of the stream.
void CompressChunk(Chunk& chunk, int level) {
  chunk.ok = false;
  chunk.crc = static_cast<std::uint32_t>(
      crc32(0L, chunk.data.data(), static_cast<uInt>(chunk.size)));
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
    return;
  }
  bool ok = true;
  if (!chunk.dictionary.empty()) {
    ok = deflateSetDictionary(&zs, chunk.dictionary.data(),
                              static_cast<uInt>(chunk.dictionary.size())) == Z_OK;
  }
  const std::size_t bound = deflateBound(&zs, static_cast<uLong>(chunk.size)) + 64;
  if (chunk.compressed.size() < bound) chunk.compressed.resize(bound);
  zs.next_in = chunk.data.data();
  zs.avail_in = static_cast<uInt>(chunk.size);
  const int flush = chunk.last ? Z_FINISH : Z_SYNC_FLUSH;
  while (ok) {
    if (zs.total_out == chunk.compressed.size()) chunk.compressed.resize(chunk.compressed.size() * 2);
    zs.next_out = chunk.compressed.data() + zs.total_out;
    zs.avail_out = static_cast<uInt>(chunk.compressed.size() - zs.total_out);
    const int ret = deflate(&zs, flush);
    if (ret == Z_STREAM_END) break;
    if (ret != Z_OK && ret != Z_BUF_ERROR) {
      ok = false;
      break;
    }
    // A sync flush is complete once deflate leaves output space unused.
    if (flush == Z_SYNC_FLUSH && zs.avail_in == 0 && zs.avail_out != 0) break;
  }
  chunk.compressedSize = zs.total_out;
  deflateEnd(&zs);
  chunk.ok = ok;
}

// Fills the chunks of one round from `input`. Returns how many were filled
// (the last of them may be empty when the input ended on a chunk border),
// or nothing on a read failure. `ended` turns true once the input is done.
std::optional<std::size_t> ReadRound(DeflateInput& input, std::vector<Chunk>& chunks,
                                     std::size_t chunkBytes, bool& ended) {
  std::size_t filled = 0;
  while (filled < chunks.size() && !ended) {
    Chunk& chunk = chunks[filled];
    if (chunk.data.size() != chunkBytes) chunk.data.resize(chunkBytes);
    const auto got = input.Read(std::span<unsigned char>(chunk.data.data(), chunkBytes));
    if (!got) return std::nullopt;
    chunk.size = *got;
    ended = *got < chunkBytes;
    chunk.last = ended;
    ++filled;
  }
  return filled;
}

// Gives every chunk of the round the tail of the input before it.
void SetDictionaries(std::vector<Chunk>& chunks, std::size_t count,
                     const std::vector<unsigned char>& before) {
  for (std::size_t i = 0; i < count; ++i) {
    if (i == 0) {
      chunks[0].dictionary = before;
      continue;
    }
    const Chunk& previous = chunks[i - 1];
    const std::size_t take = std::min(previous.size, kWindowBytes);
    chunks[i].dictionary.assign(previous.data.begin() + static_cast<std::ptrdiff_t>(previous.size - take),
                                previous.data.begin() + static_cast<std::ptrdiff_t>(previous.size));
  }
}

// The last 32 KiB of input seen so far, after `chunk` (a full chunk, so it
// alone holds a whole window).
std::vector<unsigned char> TailOf(const Chunk& chunk) {
  const std::size_t take = std::min(chunk.size, kWindowBytes);
  return {chunk.data.begin() + static_cast<std::ptrdiff_t>(chunk.size - take),
          chunk.data.begin() + static_cast<std::ptrdiff_t>(chunk.size)};
}

void CompressRound(std::vector<Chunk>& chunks, std::size_t count, int level) {
  std::vector<std::future<void>> helpers;
  std::size_t started = 1;
  try {
    for (; started < count; ++started) {
      helpers.push_back(std::async(std::launch::async, CompressChunk, std::ref(chunks[started]), level));
    }
  } catch (const std::system_error&) {
    // No thread to be had: the chunks not handed out are done here.
  }
  if (count > 0) CompressChunk(chunks[0], level);
  for (std::size_t i = started; i < count; ++i) CompressChunk(chunks[i], level);
  for (auto& helper : helpers) helper.get();
}

}  // namespace

DeflateOutcome DeflateRawStream(DeflateInput& input, DeflateOutput& output,
                                const DeflateSettings& settings) {
  DeflateOutcome outcome;
  const std::size_t chunkBytes = std::max(settings.chunkBytes, kWindowBytes);
  std::vector<Chunk> chunks(std::max(settings.threads, 1u));
  std::vector<unsigned char> before;
  bool ended = false;
  while (!ended) {
    const auto count = ReadRound(input, chunks, chunkBytes, ended);
    if (!count) {
      outcome.status = DeflateStatus::kReadFailed;
      return outcome;
    }
    SetDictionaries(chunks, *count, before);
    CompressRound(chunks, *count, settings.level);
    for (std::size_t i = 0; i < *count; ++i) {
      const Chunk& chunk = chunks[i];
      if (!chunk.ok) {
        outcome.status = DeflateStatus::kCompressorFailed;
        return outcome;
      }
      outcome.crc = static_cast<std::uint32_t>(
          crc32_combine(outcome.crc, chunk.crc, static_cast<z_off_t>(chunk.size)));
      outcome.bytesIn += chunk.size;
      if (!output.Write(std::span<const unsigned char>(chunk.compressed.data(), chunk.compressedSize))) {
        outcome.status = DeflateStatus::kWriteFailed;
        return outcome;
      }
      outcome.bytesOut += chunk.compressedSize;
    }
    if (!ended) before = TailOf(chunks[*count - 1]);
  }
  return outcome;
}

}  // namespace keelmend
