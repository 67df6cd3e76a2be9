#include "platform/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

namespace keelmend::platform {
namespace {

void SetError(ErrorCode* error, ErrorCode code) {
  if (error) *error = code;
}

}  // namespace

// ---------------------------------------------------------------- InputFile

InputFile::~InputFile() { Close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool InputFile::Open(const std::filesystem::path& path, ErrorCode* error, bool exclusive) {
  Close();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetError(error, errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    SetError(error, code);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    SetError(error, EISDIR);
    return false;
  }
  if (exclusive) {
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && (errno == EWOULDBLOCK || errno == EAGAIN)) {
      const int code = errno;
      ::close(fd);
      SetError(error, code);
      return false;
    }
    // Other failures (ENOLCK, EOPNOTSUPP, EINVAL): the file system cannot
    // lock; read it unlocked rather than not at all.
  }
  fd_ = fd;
  size_ = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  SetError(error, 0);
  return true;
}

void InputFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);  // also drops the flock
    fd_ = -1;
  }
  size_ = 0;
}

std::int64_t InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size,
                               ErrorCode* error) const {
  if (fd_ < 0) {
    SetError(error, EBADF);
    return -1;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t total = 0;
  while (total < size) {
    const std::uint64_t at = offset + total;
    if (at > static_cast<std::uint64_t>(INT64_MAX)) break;  // past any real file
    const ssize_t got = ::pread(fd_, out + total, size - total, static_cast<off_t>(at));
    if (got < 0) {
      if (errno == EINTR) continue;
      SetError(error, errno);
      return -1;
    }
    if (got == 0) break;  // end of file
    total += static_cast<std::size_t>(got);
  }
  SetError(error, 0);
  return static_cast<std::int64_t>(total);
}

void InputFile::AdviseSequential() const {
#if defined(POSIX_FADV_SEQUENTIAL)
  if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

// --------------------------------------------------------------- OutputFile

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

OutputFile::OutputFile(OutputFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool OutputFile::OpenWith(const std::filesystem::path& path, int flags, ErrorCode* error) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetError(error, errno);
    return false;
  }
  fd_ = fd;
  SetError(error, 0);
  return true;
}

bool OutputFile::Create(const std::filesystem::path& path, ErrorCode* error) {
  return OpenWith(path, O_CREAT | O_TRUNC, error);
}

bool OutputFile::CreateNew(const std::filesystem::path& path, ErrorCode* error) {
  return OpenWith(path, O_CREAT | O_EXCL | O_NOFOLLOW, error);
}

bool OutputFile::Write(const void* data, std::size_t size, ErrorCode* error) {
  if (fd_ < 0) {
    SetError(error, EBADF);
    return false;
  }
  const auto* in = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd_, in + done, size - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      SetError(error, errno);
      return false;
    }
    if (put == 0) {
      SetError(error, ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  SetError(error, 0);
  return true;
}

bool OutputFile::Close(ErrorCode* error) {
  if (fd_ < 0) {
    SetError(error, 0);
    return true;
  }
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 && errno != EINTR) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

// ------------------------------------------------------------ free helpers

bool WriteWholeFile(const std::filesystem::path& path, const void* data, std::size_t size,
                    ErrorCode* error) {
  OutputFile file;
  if (!file.Create(path, error)) return false;
  if (!file.Write(data, size, error)) return false;
  return file.Close(error);
}

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     ErrorCode* error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

bool RemoveFile(const std::filesystem::path& path, ErrorCode* error) {
  if (::unlink(path.c_str()) != 0) {
    SetError(error, errno);
    return false;
  }
  SetError(error, 0);
  return true;
}

bool CreateFolder(const std::filesystem::path& path, ErrorCode* error, bool* existed,
                  unsigned mode) {
  if (existed) *existed = false;
  if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) {
    SetError(error, 0);
    return true;
  }
  const int code = errno;
  if (code == EEXIST) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      if (existed) *existed = true;
      SetError(error, 0);
      return true;
    }
    SetError(error, ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) ? ENOTDIR : EEXIST);
    return false;
  }
  SetError(error, code);
  return false;
}

}  // namespace keelmend::platform
