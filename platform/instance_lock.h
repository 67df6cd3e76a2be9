// The single-instance guard: one running copy of the program per machine.
//
// A guard takes a name that every copy of the program shares. While one
// guard object holds the name, a guard created by any other process (of any
// user of the machine) reports AlreadyRunning(). The name is released when
// the holder is destroyed or its process ends, however it ends.
//
// On POSIX systems the name becomes a lock file in a machine-wide directory
// (/run/lock, then /var/lock, then /tmp), locked with flock(). The file is
// made readable and writable for everybody so that other users' copies can
// open it and see the lock. On Windows the name is a named mutex in the
// global namespace.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace keelmend {

// The name every copy of the window program uses.
inline constexpr std::string_view kInstanceMutexName =
    "Global\\{BASEVANTREL05CA3573-B449-4e0b-83F5-7FD612E378BASEVANTREL}";

class InstanceLock {
 public:
  // Takes the name at once. `directories` are tried in order for the lock
  // file; the default list is MachineWideDirectories().
  explicit InstanceLock(std::string_view name);
  InstanceLock(std::string_view name,
               const std::vector<std::filesystem::path>& directories);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Another process (or another guard in this one) holds the name.
  bool AlreadyRunning() const { return already_running_; }
  // This guard holds the name. False both when another copy runs and when
  // no lock could be made at all (no usable directory): then the guard
  // cannot tell, and the program runs unguarded rather than not at all.
  bool Held() const { return held_; }
  // The lock file in use (empty on Windows or when none could be opened).
  const std::filesystem::path& LockFile() const { return lock_file_; }

  // /run/lock, /var/lock and /tmp on POSIX (those that exist), the system
  // temporary directory last.
  static std::vector<std::filesystem::path> MachineWideDirectories();
  // The lock file's name for a guard name: the name without its "Global\"
  // prefix, letters, digits, '-' and '_' kept, every other byte dropped,
  // lower-cased, with the prefix "keelmend-" and the suffix ".lock".
  static std::string LockFileName(std::string_view name);

 private:
  void Acquire(std::string_view name,
               const std::vector<std::filesystem::path>& directories);

  bool already_running_ = false;
  bool held_ = false;
  std::filesystem::path lock_file_;
#if defined(_WIN32)
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace keelmend
