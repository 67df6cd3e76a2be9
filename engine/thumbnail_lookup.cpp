#include "engine/thumbnail_lookup.h"

#include <system_error>

#include "engine/media_extraction.h"
#include "platform/file_info.h"

namespace keelmend {

std::filesystem::path ThumbnailPath(const std::filesystem::path& workFolder) {
  return workFolder / "Thumbnails" / "thumbnail.png";
}

std::optional<std::filesystem::path> FindFirstImage(const std::filesystem::path& folder) {
  std::optional<std::filesystem::path> found;
  platform::WalkFiles(folder, [&found](const std::filesystem::path& file, const std::filesystem::path&) {
    if (!IsPictureFile(file)) return true;
    found = file;
    return false;
  });
  return found;
}

std::optional<std::filesystem::path> FindPreviewPicture(const std::filesystem::path& workFolder) {
  const std::filesystem::path thumbnail = ThumbnailPath(workFolder);
  std::error_code ec;
  if (std::filesystem::is_regular_file(thumbnail, ec)) return thumbnail;
  return FindFirstImage(workFolder);
}

}  // namespace keelmend
