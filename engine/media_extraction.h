// Copies the pictures of a work folder into one media folder, flat: every
// picture below the folder lands directly in the media folder under its own
// file name, replacing a file of that name. Pictures of the same name from
// different sub-folders overwrite each other; the one the walk (depth first,
// in the order the directory enumeration returns) reaches last remains.
//
// Symbolic links are not followed and not copied.
#pragma once

#include <filesystem>

namespace keelmend {

// The picture rule shared by the media extraction and the thumbnail search:
// the text after the last "." of the file's own name (a dot in a folder name
// does not count) is jpg, bmp, png, gif, emf or jpeg, ignoring ASCII case. A
// name without "." is no picture; ".png" is one.
bool IsPictureFile(const std::filesystem::path& path);

class MediaExtraction {
 public:
  // The folder that receives the copies.
  void SetMediaFolder(const std::filesystem::path& folder) { mediaFolder_ = folder; }
  std::filesystem::path GetMediaFolder() const { return mediaFolder_; }

  // Copies every picture file below `sourceFolder` into the media folder.
  // A picture that cannot be copied is skipped. Returns whether at least one
  // picture was copied.
  bool ExtractMediaFiles(const std::filesystem::path& sourceFolder) const;

 private:
  std::filesystem::path mediaFolder_;
};

}  // namespace keelmend
