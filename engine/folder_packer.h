// Packs one work folder into a new archive: every ordinary file below the
// folder becomes one entry, named by its path relative to the folder with
// "/" between the folder names.
//
// The archive is an ODF package: its first entry is `mimetype`, stored and
// without extra field. The folder's own `mimetype` file is used when there
// is one; otherwise the entry holds "application/vnd.oasis.opendocument.base".
// The other entries follow sorted by their name bytes, so two packings of the
// same folder give the same archive when the files' times are the same.
//
// The packing writes a temporary file next to the archive and renames it over
// `archivePath` only once the archive is complete. A packing that fails
// leaves any earlier file at `archivePath` as it was and removes its
// temporary file.
//
// Symbolic links below the folder are skipped, files and folders alike, so
// nothing outside the folder gets into the archive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/zip_writer.h"

namespace keelmend {

inline constexpr const char* kOdfDatabaseMimetype = "application/vnd.oasis.opendocument.base";

struct PackResult {
  // The archive is complete and in place at the archive path.
  bool ok = false;
  // Why not, when !ok (English, for a log line).
  std::string error;
  // Entries written, the mimetype entry included.
  std::size_t entries = 0;
  // Files left out of a complete archive: their source could not be read or
  // their name cannot be stored (over 259 bytes, too many entries).
  struct Skipped {
    std::string name;    // the entry name it would have had
    std::uint32_t code;  // the writer's kZip... code
  };
  std::vector<Skipped> skipped;
};

class FolderPacker {
 public:
  // Packs `folderPath` (an existing folder) into `archivePath`, replacing a
  // file of that name only when the new archive is complete. `settings` go
  // to the writer (its limits; tests lower them).
  PackResult PackFolder(const std::filesystem::path& folderPath,
                        const std::filesystem::path& archivePath,
                        const ZipWriterSettings& settings = {});

 private:
  struct FileEntry {
    std::string name;              // entry name, "/" separators
    std::filesystem::path source;  // the file on disk
  };

  // Collects the ordinary files below `folder` with their entry names.
  static void AddFolderTree(const std::filesystem::path& folder, std::vector<FileEntry>& files);

  static bool AddMimetype(ZipWriteHandle& handle, const std::vector<FileEntry>& files,
                          const std::filesystem::path& folder, PackResult& result);
  static bool AddFiles(ZipWriteHandle& handle, const std::vector<FileEntry>& files, PackResult& result);
};

}  // namespace keelmend
