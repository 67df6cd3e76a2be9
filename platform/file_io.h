// Files with 64-bit positions: a read-only input file opened the way the
// description wants (not shared with other openers), positional reads, and
// output files written in one go or in chunks.
//
// No exceptions: every call that can fail returns false (or -1) and gives
// the platform error code (errno on POSIX) through its `error` argument,
// which may be null. ErrorText() (platform/error_text.h) turns a code into
// the system's message text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/error_text.h"

namespace keelmend::platform {

// A file opened for reading only.
//
// Exclusive opening: on Windows the source is opened "not shared
// with any other opener". The nearest POSIX equivalent is an advisory
// exclusive lock, flock(LOCK_EX | LOCK_NB), taken at open: a second exclusive
// opener (another copy of the program, or another InputFile in this one) is
// refused with EWOULDBLOCK while the first one is open. Programs that do not
// lock are not kept out (POSIX has no mandatory sharing modes). File systems
// that do not support flock at all are opened without the lock.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;

  // Opens `path` for reading. A folder is refused (EISDIR). On success the
  // length is taken once (Size()).
  bool Open(const std::filesystem::path& path, ErrorCode* error, bool exclusive = true);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The file length at the time of opening.
  std::uint64_t Size() const { return size_; }

  // Reads up to `size` bytes starting at `offset` into `buffer`. Returns the
  // number of bytes read: `size` unless the end of the file comes first (0
  // at or past the end), or -1 when a read fails. Does not move any shared
  // position; repeated calls are independent.
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size,
                      ErrorCode* error = nullptr) const;

  // Tells the system the file will be read front to back (read-ahead).
  void AdviseSequential() const;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// A file opened for writing.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // closes without reporting
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;

  // Creates `path` or empties an existing file (mode 0666 less the umask).
  bool Create(const std::filesystem::path& path, ErrorCode* error);
  // Creates `path` only when no file of that name exists (EEXIST otherwise).
  bool CreateNew(const std::filesystem::path& path, ErrorCode* error);

  // Writes all `size` bytes (retrying short writes).
  bool Write(const void* data, std::size_t size, ErrorCode* error);
  // Closes the file; false when the close reports a delayed write error.
  bool Close(ErrorCode* error);
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool OpenWith(const std::filesystem::path& path, int flags, ErrorCode* error);
  int fd_ = -1;
};

// Writes `size` bytes as the whole new content of `path` (created or emptied).
bool WriteWholeFile(const std::filesystem::path& path, const void* data, std::size_t size,
                    ErrorCode* error);

// Renames `from` to `to`, replacing a file `to` that exists (not a folder).
bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     ErrorCode* error);

// Deletes a file (or a symbolic link itself, never its target).
bool RemoveFile(const std::filesystem::path& path, ErrorCode* error);

// Creates one folder (mode 0777 less the umask, or `mode`). A folder that
// exists already counts as success; `existed` (may be null) tells which.
// A name that exists as something other than a folder (a file, a symbolic
// link) fails with EEXIST / ENOTDIR.
bool CreateFolder(const std::filesystem::path& path, ErrorCode* error, bool* existed = nullptr,
                  unsigned mode = 0777);

}  // namespace keelmend::platform
