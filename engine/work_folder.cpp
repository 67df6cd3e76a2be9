#include "engine/work_folder.h"

#include <string>

#include "platform/file_io.h"
#include "platform/folder_removal.h"
#include "platform/temp_paths.h"

namespace keelmend {

std::filesystem::path GetWorkRoot() { return platform::UserTempDirectory() / "BsTmp"; }

std::string WorkFolderName(std::string_view itemText, int row) {
  const std::size_t cut = itemText.find_last_of("/\\");
  const std::string_view name = cut == std::string_view::npos ? itemText : itemText.substr(cut + 1);
  return std::string(name) + std::to_string(row);
}

std::filesystem::path WorkFolderPath(std::string_view itemText, int row) {
  return GetWorkRoot() / WorkFolderName(itemText, row);
}

void ClearFolderContents(const std::filesystem::path& folder) {
  platform::ClearFolderNoFollow(folder);
}

void ClearWorkRoot() { platform::RemoveTreeNoFollow(GetWorkRoot()); }

bool CreateWorkRoot(platform::ErrorCode* error) {
  if (!platform::EnsureUserTempDirectory(error)) return false;
  return platform::CreatePrivateFolder(GetWorkRoot(), error);
}

bool CreateWorkFolder(std::string_view itemText, int row, std::filesystem::path* folder,
                      platform::ErrorCode* error) {
  if (!CreateWorkRoot(error)) return false;
  const std::filesystem::path path = WorkFolderPath(itemText, row);
  if (folder) *folder = path;
  platform::ErrorCode code = 0;
  const bool ok = platform::CreateFolder(path, &code, nullptr, 0700);
  if (error) *error = code;
  return ok;
}

}  // namespace keelmend
