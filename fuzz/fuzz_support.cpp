#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/work_folder.h"
#include "platform/entry_names.h"

namespace keelmend::fuzz {

namespace fs = std::filesystem;

const fs::path& ScratchFolder() {
  static const fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "keelmend-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot create the scratch folder");
    return fs::path(pattern);
  }();
  static const bool removedAtExit = std::atexit([] {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }) == 0;
  (void)removedAtExit;
  return folder;
}

void EmptyFolder(const fs::path& folder) { ClearFolderContents(folder); }

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(static_cast<bool>(out), "cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EverythingBelow(const fs::path& root, const fs::path& folder) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) continue;
    if (!platform::IsBelowFolder(folder, it->path())) {
      std::fprintf(stderr, "written outside %s: %s\n", folder.c_str(), it->path().c_str());
      return false;
    }
  }
  return true;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

}  // namespace keelmend::fuzz
