#include "workspace/picture_box.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include "controls/gui_thread.h"

namespace keelmend {

QString PreviewMessage(PreviewState state) {
  switch (state) {
    case PreviewState::NoFiles: return QStringLiteral("No .odb file(s) is available\n in the list");
    case PreviewState::SelectToRepair: return QStringLiteral("Select .odb file(s)\n to repair");
    case PreviewState::Repairing:
      return QStringLiteral("Please wait while .odb file(s)\n are repairing....");
    case PreviewState::SelectToPreview: return QStringLiteral("Select .odb file(s)\n to see preview");
    case PreviewState::NoImage:
      return QStringLiteral("No image is present \n in the selected .odb file(s)");
    case PreviewState::NotRepaired: return QStringLiteral("Selected .odb file(s)\n is not repaired....");
    case PreviewState::NoText: break;
  }
  return {};
}

CPictureBox::CPictureBox(QWidget* parent) : QWidget(parent) {
  setAccessibleName(QStringLiteral("Preview"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPictureBox::SetPicture(const QString& path, PreviewState state) {
  state_ = state;
  hasImage_ = false;
  image_ = QImage();
  imagePath_.clear();
  if (path.isEmpty() || !QFileInfo::exists(path)) return;
  // Read the whole file and close it before decoding, so that the folder it
  // lies in can be cleared while the picture is on screen.
  QByteArray bytes;
  {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
  }
  hasImage_ = true;
  imagePath_ = path;
  image_ = QImage::fromData(bytes);
}

void CPictureBox::ShowPreview(const QString& path, PreviewState state) {
  RunOnGuiThread([&] {
    SetPicture(path, state);
    mode_ = Stretched;
    update();
  });
}

void CPictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  if (!hasImage_) {
    const QString message = PreviewMessage(state_);
    if (message.isEmpty()) return;
    painter.setPen(Qt::black);
    painter.drawText(QRect(10, 20, 10000, 10000), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     message);
    return;
  }
  if (image_.isNull()) return;  // a file that did not decode: background only
  const int w = width(), h = height();
  switch (mode_) {
    case Natural: painter.drawImage(QPoint(0, 0), image_); break;
    case Centred:
      painter.drawImage(QPoint(w / 2 - image_.width() / 2, h / 2 - image_.height() / 2), image_);
      break;
    case Stretched:
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRect(0, 0, w, h), image_);
      break;
  }
}

}  // namespace keelmend
