// Shared by the workspace window tests: a private temporary directory as
// the work root's home, the scripted dialog seam, and small file helpers.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include "controls/scripted_user_query.h"
#include "controls/user_query.h"
#include "engine/work_folder.h"

namespace keelmend::testing {

// Points TMPDIR at a fresh temporary directory for its lifetime, so the work
// root never touches the user's real folders.
class PrivateTempDir {
 public:
  PrivateTempDir() : previous_(qgetenv("TMPDIR")) {
    qputenv("TMPDIR", dir_.path().toUtf8());
  }
  ~PrivateTempDir() { qputenv("TMPDIR", previous_); }
  std::filesystem::path Path() const { return std::filesystem::path(dir_.path().toStdString()); }
  QString Text() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  QByteArray previous_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A small picture of one colour, written as PNG (or any format Qt writes).
inline void WritePicture(const std::filesystem::path& path, const QColor& colour,
                         const char* format = "PNG", QSize size = QSize(8, 6)) {
  std::filesystem::create_directories(path.parent_path());
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  image.save(QString::fromStdString(path.string()), format);
}

// The work folder of `itemText` in `row`, created, with a marker file that
// tells whose data it holds.
inline std::filesystem::path MakeWorkFolder(const QString& itemText, int row,
                                            const std::string& marker) {
  const std::filesystem::path folder = WorkFolderPath(itemText.toStdString(), row);
  WriteFile(folder / "content.xml", marker);
  return folder;
}

}  // namespace keelmend::testing
