// Helpers shared by the fuzz targets: a private scratch folder per fuzzing
// process, a reader that takes fields from the fuzzer's bytes, and a check
// that aborts (so libFuzzer records the input) when a property is broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace keelmend::fuzz {

// A folder of its own below the system temporary directory, created on the
// first call and removed when the process exits.
const std::filesystem::path& ScratchFolder();

// Removes everything below `folder` (never following links); the folder stays.
void EmptyFolder(const std::filesystem::path& folder);

// Writes `bytes` as the whole content of `path`; aborts when it cannot.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// Every path below `root` that is not a folder, links included, not followed.
bool EverythingBelow(const std::filesystem::path& root, const std::filesystem::path& folder);

// Prints `what` and aborts.
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// Takes fields off the front of the fuzzer's input; reads past the end give 0.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  std::string_view Bytes(std::size_t n) {
    const std::size_t take = n < size_ - pos_ ? n : size_ - pos_;
    std::string_view out(reinterpret_cast<const char*>(data_ + pos_), Empty() ? 0 : take);
    pos_ += out.size();
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace keelmend::fuzz
