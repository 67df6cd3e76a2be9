#include "engine/media_extraction.h"

#include <array>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/file_info.h"

namespace keelmend {
namespace {

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

bool IsPictureFile(const std::filesystem::path& path) {
  static constexpr std::array<std::string_view, 6> kExtensions = {"jpg", "bmp", "png", "gif", "emf", "jpeg"};
  const std::string name = path.filename().string();
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = LowerAscii(name.substr(dot + 1));
  for (std::string_view picture : kExtensions) {
    if (extension == picture) return true;
  }
  return false;
}

bool MediaExtraction::ExtractMediaFiles(const std::filesystem::path& sourceFolder) const {
  // The list is taken first, so copies landing inside the source folder are
  // not met again by the walk.
  std::vector<std::filesystem::path> files;
  platform::WalkFiles(sourceFolder, [&files](const std::filesystem::path& file, const std::filesystem::path&) {
    files.push_back(file);
    return true;
  });
  bool copied = false;
  for (const auto& file : files) {
    if (!IsPictureFile(file)) continue;
    std::error_code ec;
    std::filesystem::copy_file(file, mediaFolder_ / file.filename(),
                               std::filesystem::copy_options::overwrite_existing, ec);
    copied = copied || !ec;
  }
  return copied;
}

}  // namespace keelmend
