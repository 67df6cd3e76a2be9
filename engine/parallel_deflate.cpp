#include "engine/parallel_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
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
  bool done = false;  // compressed (guarded by the pool's mutex)
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

// Reads the next chunk from `input` into `chunk` and gives it `before` (the
// last 32 KiB of input ahead of it) as dictionary; then `before` becomes this
// chunk's own tail. False on a read failure. `ended` turns true once the
// input is done; the last chunk may be empty when the input ended on a chunk
// border.
bool ReadChunk(DeflateInput& input, Chunk& chunk, std::size_t chunkBytes,
               std::vector<unsigned char>& before, bool& ended) {
  if (chunk.data.size() != chunkBytes) chunk.data.resize(chunkBytes);
  const auto got = input.Read(std::span<unsigned char>(chunk.data.data(), chunkBytes));
  if (!got) return false;
  chunk.size = *got;
  ended = *got < chunkBytes;
  chunk.last = ended;
  chunk.dictionary = before;
  const std::size_t keep = std::min(chunk.size, kWindowBytes);
  const std::size_t fromOld = std::min(before.size(), kWindowBytes - keep);
  before.erase(before.begin(), before.end() - static_cast<std::ptrdiff_t>(fromOld));
  before.insert(before.end(), chunk.data.begin() + static_cast<std::ptrdiff_t>(chunk.size - keep),
                chunk.data.begin() + static_cast<std::ptrdiff_t>(chunk.size));
  return true;
}

// Compressor threads that take chunks in the order they are handed over.
// Each chunk is marked done once compressed; the owner waits for that.
class CompressorPool {
 public:
  CompressorPool(unsigned threads, int level) : level_(level) {
    try {
      for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // Fewer threads than asked for; with none, the caller compresses.
    }
  }
  ~CompressorPool() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    work_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }
  CompressorPool(const CompressorPool&) = delete;
  CompressorPool& operator=(const CompressorPool&) = delete;

  // Hands `chunk` to a thread; with no thread to be had it is compressed
  // here and now.
  void Submit(Chunk& chunk) {
    if (workers_.empty()) {
      CompressChunk(chunk, level_);
      chunk.done = true;
      return;
    }
    {
      std::lock_guard lock(mutex_);
      chunk.done = false;
      queue_.push_back(&chunk);
    }
    work_.notify_one();
  }

  void WaitFor(const Chunk& chunk) {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return chunk.done; });
  }

 private:
  void Work() {
    for (;;) {
      Chunk* chunk = nullptr;
      {
        std::unique_lock lock(mutex_);
        work_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        chunk = queue_.front();
        queue_.pop_front();
      }
      CompressChunk(*chunk, level_);
      {
        std::lock_guard lock(mutex_);
        chunk->done = true;
      }
      finished_.notify_all();
    }
  }

  int level_;
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable finished_;
  std::deque<Chunk*> queue_;
  bool closing_ = false;
  std::vector<std::thread> workers_;
};

// Adds a compressed chunk to the outcome and hands its bytes on.
bool Deliver(const Chunk& chunk, DeflateOutput& output, DeflateOutcome& outcome) {
  if (!chunk.ok) {
    outcome.status = DeflateStatus::kCompressorFailed;
    return false;
  }
  outcome.crc = static_cast<std::uint32_t>(
      crc32_combine(outcome.crc, chunk.crc, static_cast<z_off_t>(chunk.size)));
  outcome.bytesIn += chunk.size;
  if (!output.Write(std::span<const unsigned char>(chunk.compressed.data(), chunk.compressedSize))) {
    outcome.status = DeflateStatus::kWriteFailed;
    return false;
  }
  outcome.bytesOut += chunk.compressedSize;
  return true;
}

// One chunk after the other on the calling thread.
DeflateOutcome DeflateHere(DeflateInput& input, DeflateOutput& output, std::size_t chunkBytes,
                           int level) {
  DeflateOutcome outcome;
  Chunk chunk;
  std::vector<unsigned char> before;
  bool ended = false;
  while (!ended) {
    if (!ReadChunk(input, chunk, chunkBytes, before, ended)) {
      outcome.status = DeflateStatus::kReadFailed;
      return outcome;
    }
    CompressChunk(chunk, level);
    if (!Deliver(chunk, output, outcome)) return outcome;
  }
  return outcome;
}

// A ring of chunks in flight: the calling thread reads ahead into free
// slots while the pool compresses, and writes the chunks out in input order
// as each one is done. No thread ever waits for a whole round.
// The threads are started only once the input turns out longer than one
// chunk: a small entry costs no thread at all.
DeflateOutcome DeflateInPool(unsigned threads, DeflateInput& input, DeflateOutput& output,
                             std::size_t chunkBytes, int level) {
  DeflateOutcome outcome;
  const std::size_t slots = 2 * std::size_t{threads};  // per thread: one compressing, one waiting
  std::optional<CompressorPool> pool;
  std::vector<Chunk> ring(slots);
  std::vector<unsigned char> before;
  std::size_t read = 0;     // chunks read and handed to the pool
  std::size_t written = 0;  // chunks delivered
  bool ended = false;
  bool failed = false;
  while (written < read || (!ended && !failed)) {
    while (!ended && !failed && read - written < slots) {
      Chunk& chunk = ring[read % slots];
      if (!ReadChunk(input, chunk, chunkBytes, before, ended)) {
        outcome.status = DeflateStatus::kReadFailed;
        failed = true;
        break;
      }
      if (ended && read == 0) {  // the whole input is this one chunk
        CompressChunk(chunk, level);
        Deliver(chunk, output, outcome);
        return outcome;
      }
      if (!pool) pool.emplace(threads, level);
      pool->Submit(chunk);
      ++read;
    }
    if (written == read) break;
    const Chunk& next = ring[written % slots];
    pool->WaitFor(next);
    ++written;
    // After a failure the chunks still in flight are only waited for.
    if (!failed && !Deliver(next, output, outcome)) failed = true;
  }
  return outcome;
}

}  // namespace

DeflateOutcome DeflateRawStream(DeflateInput& input, DeflateOutput& output,
                                const DeflateSettings& settings) {
  const std::size_t chunkBytes = std::max(settings.chunkBytes, kWindowBytes);
  const unsigned threads = std::max(settings.threads, 1u);
  if (threads > 1) return DeflateInPool(threads, input, output, chunkBytes, settings.level);
  return DeflateHere(input, output, chunkBytes, settings.level);
}

}  // namespace keelmend
