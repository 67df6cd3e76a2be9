// Finds the picture that represents a repaired file in the preview: the
// package's own thumbnail when the work folder holds one, otherwise the
// first picture a depth-first walk of the work folder meets (in the order
// the directory enumeration returns).
#pragma once

#include <filesystem>
#include <optional>

namespace keelmend {

// The thumbnail path of a work folder: <folder>/Thumbnails/thumbnail.png.
std::filesystem::path ThumbnailPath(const std::filesystem::path& workFolder);

// The first picture file (IsPictureFile) below `folder`, depth first; nothing
// when there is none or the folder does not exist. Symbolic links are not
// followed.
std::optional<std::filesystem::path> FindFirstImage(const std::filesystem::path& folder);

// The thumbnail when it is an ordinary file, else FindFirstImage(workFolder).
std::optional<std::filesystem::path> FindPreviewPicture(const std::filesystem::path& workFolder);

}  // namespace keelmend
