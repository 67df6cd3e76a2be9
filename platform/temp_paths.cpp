#include "platform/temp_paths.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace keelmend::platform {
namespace {

void SetError(ErrorCode* error, ErrorCode code) {
  if (error) *error = code;
}

bool TmpdirFromEnvironment(std::filesystem::path& out) {
  const char* value = std::getenv("TMPDIR");
  if (value == nullptr || *value == '\0') return false;
  out = value;
  return true;
}

std::uint64_t RandomBits() {
  static std::atomic<std::uint64_t> counter{0};
  thread_local std::mt19937_64 engine{std::random_device{}() ^
                                      static_cast<std::uint64_t>(::getpid()) ^
                                      static_cast<std::uint64_t>(
                                          std::chrono::steady_clock::now().time_since_epoch().count())};
  return engine() ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
}

}  // namespace

std::filesystem::path UserTempDirectory() {
  std::filesystem::path dir;
  if (TmpdirFromEnvironment(dir)) return dir;
  return std::filesystem::path("/tmp") / ("keelmend-" + std::to_string(::geteuid()));
}

bool CheckPrivateFolder(const std::filesystem::path& path, ErrorCode* error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    SetError(error, errno);
    return false;
  }
  if (S_ISLNK(info.st_mode)) {
    SetError(error, ELOOP);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    SetError(error, ENOTDIR);
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    SetError(error, EPERM);
    return false;
  }
  SetError(error, 0);
  return true;
}

bool CreatePrivateFolder(const std::filesystem::path& path, ErrorCode* error) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    SetError(error, errno);
    return false;
  }
  if (!CheckPrivateFolder(path, error)) return false;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
    ::chmod(path.c_str(), info.st_mode & 0700);
  }
  SetError(error, 0);
  return true;
}

bool EnsureUserTempDirectory(ErrorCode* error) {
  std::filesystem::path dir;
  if (TmpdirFromEnvironment(dir)) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0) {
      SetError(error, errno);
      return false;
    }
    if (!S_ISDIR(info.st_mode)) {
      SetError(error, ENOTDIR);
      return false;
    }
    SetError(error, 0);
    return true;
  }
  return CreatePrivateFolder(UserTempDirectory(), error);
}

bool CreateTempFileNextTo(const std::filesystem::path& target, OutputFile& file,
                          std::filesystem::path& tempPath, ErrorCode* error) {
  const std::filesystem::path folder = target.parent_path();
  std::string base = target.filename().native();
  // ".<name>.~km" + 16 hex + ".tmp" must stay within 255 bytes.
  constexpr std::size_t kFixed = 1 + 4 + 16 + 4;
  if (base.size() > 255 - kFixed) base.resize(255 - kFixed);
  ErrorCode code = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(RandomBits()));
    const std::string name = "." + base + ".~km" + hex + ".tmp";
    const std::filesystem::path candidate = folder.empty() ? std::filesystem::path(name) : folder / name;
    if (file.CreateNew(candidate, &code)) {
      tempPath = candidate;
      SetError(error, 0);
      return true;
    }
    if (code != EEXIST) break;
  }
  SetError(error, code);
  return false;
}

}  // namespace keelmend::platform
