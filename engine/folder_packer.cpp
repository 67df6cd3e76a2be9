#include "engine/folder_packer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <string_view>
#include <system_error>

#include "platform/entry_names.h"
#include "platform/error_text.h"
#include "platform/file_info.h"
#include "platform/file_io.h"

namespace keelmend {
namespace {

constexpr std::string_view kMimetypeName = "mimetype";
constexpr int kTempNameAttempts = 100;

// Creates the temporary archive next to `archivePath`, under a name no file has.
std::unique_ptr<ZipWriteHandle> OpenTemporary(const std::filesystem::path& archivePath,
                                              const ZipWriterSettings& settings,
                                              std::filesystem::path& tempPath,
                                              platform::ErrorCode& error) {
  // Clock and address make names that differ between runs and packers;
  // CreateNew keeps any clash harmless.
  std::mt19937 random(static_cast<std::uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ reinterpret_cast<std::uintptr_t>(&tempPath)));
  const std::filesystem::path folder = archivePath.parent_path();
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::filesystem::path candidate = archivePath.filename();
    candidate += ".keelmend-" + std::to_string(random() % 1000000000u) + ".tmp";
    tempPath = folder / candidate;
    if (auto handle = ZipWriterOpen(tempPath, ZipCreateMode::kCreateNew, settings)) return handle;
    error = platform::LastErrorCode();
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(tempPath, ec))) return nullptr;
  }
  return nullptr;
}

// The time the generated mimetype entry gets: that of the newest file packed,
// or of the folder when it holds none, so a repacking gives the same bytes.
platform::FileTimes GeneratedMimetypeTimes(const std::vector<std::filesystem::path>& sources,
                                           const std::filesystem::path& folder) {
  std::int64_t newest = INT64_MIN;
  for (const auto& source : sources) {
    if (const auto info = platform::ReadFileInfo(source)) newest = std::max(newest, info->times.modified);
  }
  if (newest == INT64_MIN) {
    const auto info = platform::ReadFileInfo(folder);
    newest = info ? info->times.modified : 0;
  }
  return {newest, newest, newest};
}

bool IsSkippable(std::uint32_t code) { return code == kZipSourceUnreadable || code == kZipBadArguments; }

std::string CodeText(std::uint32_t code) {
  switch (code) {
    case kZipWriteFailed: return "writing the archive failed (disk full, or the archive would reach 2 GiB)";
    case kZipSourceUnreadable: return "a file could not be read";
    case kZipBadArguments: return "an entry name could not be stored";
    default: return "the archive writer failed";
  }
}

}  // namespace

void FolderPacker::AddFolderTree(const std::filesystem::path& folder, std::vector<FileEntry>& files) {
  platform::WalkFiles(folder, [&files](const std::filesystem::path& file, const std::filesystem::path& relative) {
    files.push_back({platform::RelativePathToEntryName(relative), file});
    return true;
  });
}

bool FolderPacker::AddMimetype(ZipWriteHandle& handle, const std::vector<FileEntry>& files,
                               const std::filesystem::path& folder, PackResult& result) {
  ZipEntryOptions odf;
  odf.forceStored = true;
  odf.withoutExtraField = true;
  const auto own = std::find_if(files.begin(), files.end(),
                                [](const FileEntry& f) { return f.name == kMimetypeName; });
  if (own != files.end()) {
    const std::uint32_t code = ZipWriterAddFile(&handle, own->name, own->source, odf);
    if (code == kZipOk) {
      ++result.entries;
      return true;
    }
    if (!IsSkippable(code)) {
      result.error = CodeText(code);
      return false;
    }
    result.skipped.push_back({own->name, code});  // the generated one takes its place
  }
  std::vector<std::filesystem::path> sources;
  for (const auto& f : files) sources.push_back(f.source);
  const std::string_view text = kOdfDatabaseMimetype;
  const std::uint32_t code = ZipWriterAddBytes(
      &handle, kMimetypeName,
      std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(text.data()), text.size()),
      GeneratedMimetypeTimes(sources, folder), odf);
  if (code != kZipOk) {
    result.error = CodeText(code);
    return false;
  }
  ++result.entries;
  return true;
}

bool FolderPacker::AddFiles(ZipWriteHandle& handle, const std::vector<FileEntry>& files, PackResult& result) {
  for (const FileEntry& f : files) {
    if (f.name == kMimetypeName) continue;
    const std::uint32_t code = ZipWriterAddFile(&handle, f.name, f.source);
    if (code == kZipOk) {
      ++result.entries;
    } else if (IsSkippable(code)) {
      result.skipped.push_back({f.name, code});
    } else {
      result.error = CodeText(code);
      return false;
    }
  }
  return true;
}

PackResult FolderPacker::PackFolder(const std::filesystem::path& folderPath,
                                    const std::filesystem::path& archivePath,
                                    const ZipWriterSettings& settings) {
  PackResult result;
  std::error_code ec;
  if (!std::filesystem::is_directory(folderPath, ec)) {
    result.error = "the folder to pack does not exist";
    return result;
  }
  std::vector<FileEntry> files;
  AddFolderTree(folderPath, files);
  std::sort(files.begin(), files.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });

  std::filesystem::path tempPath;
  platform::ErrorCode openError = 0;
  auto handle = OpenTemporary(archivePath, settings, tempPath, openError);
  if (!handle) {
    result.error = "the archive cannot be created: " + platform::ErrorText(openError);
    return result;
  }
  const bool added = AddMimetype(*handle, files, folderPath, result) && AddFiles(*handle, files, result);
  const std::uint32_t closed = ZipWriterClose(handle.get());
  handle.reset();
  if (added && closed != kZipOk) result.error = CodeText(closed);
  platform::ErrorCode renameError = 0;
  if (added && closed == kZipOk && !platform::RenameReplacing(tempPath, archivePath, &renameError)) {
    result.error = "the archive cannot replace " + archivePath.filename().string() + ": " +
                   platform::ErrorText(renameError);
  }
  result.ok = result.error.empty();
  if (!result.ok) {
    platform::RemoveFile(tempPath, nullptr);
    result.entries = 0;
  }
  return result;
}

}  // namespace keelmend
