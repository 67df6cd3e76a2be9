// Salvaged ZIP entry names as file paths, and back.
//
// A name read from a local header is a string of raw bytes in which the scan
// has turned every '/' into '\'. On Linux the bytes of a name are the bytes
// of the file names made from it (no code-page conversion). Converting a
// name into a path below a folder follows these rules:
//
//   * both '\' and '/' separate components;
//   * every ':' is removed (the classic rule: "C:\x\y.xml" becomes
//     "C\x\y.xml"), so a drive letter becomes an ordinary folder name;
//   * empty components (leading, doubled or trailing separators, which also
//     makes absolute names relative), "." and ".." are dropped - after the
//     colons are gone, so ".:." is dropped too. Nothing can climb out of the
//     folder; "a\..\b" becomes "a/b" (like unzip, which skips "../");
//   * the name cannot be a file name (status kNotAFileName) when nothing is
//     left, when it ends with a separator (it names a folder), when it holds
//     a NUL byte, or when a component is longer than 255 bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace keelmend::platform {

enum class EntryNameStatus {
  kOk,             // `relative` is a usable relative file path
  kNotAFileName,   // see the rules above; `problem` says why
};

struct EntryPath {
  EntryNameStatus status = EntryNameStatus::kNotAFileName;
  std::filesystem::path relative;  // components joined by '/', never absolute, no "..", no "."
  std::string problem;             // English text for a log line when not kOk
  bool hadSeparator = false;       // the name held at least one '\' or '/'
};

// Turns an entry name into a relative path confined below any folder.
EntryPath EntryNameToRelativePath(std::string_view entryName);

// The path of `relative` below `folder` (folder / relative). `relative` must
// come from EntryNameToRelativePath.
std::filesystem::path ConfinedPath(const std::filesystem::path& folder,
                                   const std::filesystem::path& relative);

// True when `path`, taken lexically, lies strictly below `folder`.
bool IsBelowFolder(const std::filesystem::path& folder, const std::filesystem::path& path);

// The other way: a relative path below a folder (as found when walking it)
// to the name stored in a new archive: the path's bytes, components joined
// by '/'. "." and empty components are left out.
std::string RelativePathToEntryName(const std::filesystem::path& relative);

// An entry name as UTF-8 text for log lines: the bytes as they are when they
// form valid UTF-8 (bit 11 names), else each byte widened to the character of
// the same value (Latin-1), as the classic scan widens 8-bit names.
std::string EntryNameForDisplay(std::string_view entryName);

}  // namespace keelmend::platform
