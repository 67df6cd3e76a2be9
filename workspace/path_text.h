// Between the window's path texts (QString) and file-system paths.
#pragma once

#include <filesystem>
#include <string>

#include <QString>

namespace keelmend {

inline std::filesystem::path PathFromText(const QString& text) {
  return std::filesystem::path(text.toStdU16String());
}

inline QString TextFromPath(const std::filesystem::path& path) {
  return QString::fromStdU16String(path.u16string());
}

// An item text as the engine takes it: UTF-8.
inline std::string ItemTextUtf8(const QString& text) { return text.toStdString(); }

}  // namespace keelmend
