// The preview panel: shows a picture of a repaired file, stretched over the
// whole panel, or the message of its current state.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace keelmend {

// Which message the panel paints while it holds no picture.
enum class PreviewState : int {
  NoFiles = 0,          // "No .odb file(s) is available\n in the list"
  SelectToRepair = 1,   // "Select .odb file(s)\n to repair"
  Repairing = 2,        // "Please wait while .odb file(s)\n are repairing...."
  SelectToPreview = 3,  // "Select .odb file(s)\n to see preview"
  NoImage = 4,          // "No image is present \n in the selected .odb file(s)"
  NotRepaired = 5,      // "Selected .odb file(s)\n is not repaired...."
  NoText = 6,           // nothing
};

// The message of a state; empty for NoText and any other value.
QString PreviewMessage(PreviewState state);

class CPictureBox : public QWidget {
  Q_OBJECT
 public:
  // How a picture is drawn: natural size at the top-left, centred, or
  // stretched into the whole panel without keeping its proportions.
  enum DrawMode { Natural = 0, Centred = 1, Stretched = 2 };

  explicit CPictureBox(QWidget* parent = nullptr);

  // state := state; drop the current picture; if a file exists at path
  // (an empty path never does) load it. The file is read completely into
  // memory and closed again at once, so it never stays open.
  void SetPicture(const QString& path, PreviewState state);

  // SetPicture, stretched drawing, repaint. Callable from any thread: a call
  // from another thread is carried out on the window thread before it returns.
  void ShowPreview(const QString& path, PreviewState state);

  PreviewState State() const { return state_; }
  DrawMode Mode() const { return mode_; }
  // A picture is held (it may still have failed to decode).
  bool HasImage() const { return hasImage_; }
  // The held picture decoded; false when none is held or it failed.
  bool ImageDecoded() const { return hasImage_ && !image_.isNull(); }
  // The file of the held picture; empty when none.
  QString ImagePath() const { return imagePath_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PreviewState state_ = PreviewState::NoFiles;
  DrawMode mode_ = Centred;
  bool hasImage_ = false;
  QImage image_;
  QString imagePath_;
};

}  // namespace keelmend
