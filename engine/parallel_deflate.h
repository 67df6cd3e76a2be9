// Raw deflate (RFC 1951: no zlib header or trailer) of one byte stream, cut
// into chunks that are compressed side by side on several threads and still
// form ONE deflate stream.
//
// Each chunk is deflated on its own with the last 32 KiB of the chunk before
// it as preset dictionary, so matches reach back across chunk borders as in
// a single stream. Every chunk but the last ends with a sync flush (a
// byte-aligned empty stored block, not final); the last ends the stream.
// The CRC-32 of each chunk is computed by the thread that compresses it and
// the results are joined with crc32_combine.
//
// With more than one thread the calling thread only reads and writes: it
// reads ahead into a ring of two chunks per compressor thread, each thread
// takes the next chunk as soon as it is free, and the compressed chunks are
// written out in input order. Memory stays a few chunks, whatever the size
// of the input. The threads start only once the input proves longer than
// one chunk, so small inputs cost no thread.
//
// The output depends only on the input, the level and the chunk size, never
// on the number of threads: two runs over the same bytes give the same
// stream. An input no larger than one chunk gives exactly what a single
// deflate call with Z_FINISH gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace keelmend {

// Where the bytes to compress come from.
class DeflateInput {
 public:
  virtual ~DeflateInput() = default;
  // Fills `buffer` as far as the data goes and returns the number of bytes
  // placed: buffer.size() unless the data ends first. Nothing on a read
  // failure.
  virtual std::optional<std::size_t> Read(std::span<unsigned char> buffer) = 0;
};

// Where the compressed bytes go, in order.
class DeflateOutput {
 public:
  virtual ~DeflateOutput() = default;
  // Takes all of `bytes`; false when they cannot be written.
  virtual bool Write(std::span<const unsigned char> bytes) = 0;
};

inline constexpr std::size_t kDeflateChunkBytes = std::size_t{1} << 20;  // 1 MiB

struct DeflateSettings {
  int level = 8;
  unsigned threads = 1;                       // 1 compresses on the calling thread only
  std::size_t chunkBytes = kDeflateChunkBytes;  // at least 32 KiB
};

enum class DeflateStatus { kOk, kReadFailed, kWriteFailed, kCompressorFailed };

struct DeflateOutcome {
  DeflateStatus status = DeflateStatus::kOk;
  std::uint32_t crc = 0;        // CRC-32 of the bytes read
  std::uint64_t bytesIn = 0;    // bytes read from the input
  std::uint64_t bytesOut = 0;   // bytes handed to the output
};

// Reads `input` to its end and writes its raw deflate stream (32 KiB
// window) to `output`. Stops at the first failure and says which.
DeflateOutcome DeflateRawStream(DeflateInput& input, DeflateOutput& output,
                                const DeflateSettings& settings);

}  // namespace keelmend
