#include "controls/splash_screen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>

#include "controls/app_message_box.h"

namespace keelmend {
namespace {

constexpr Qt::WindowFlags kSplashFlags = Qt::SplashScreen | Qt::WindowStaysOnTopHint |
                                         Qt::FramelessWindowHint |
                                         Qt::WindowDoesNotAcceptFocus;

}  // namespace

CSplashScreenEx::CSplashScreenEx() : QWidget(nullptr, kSplashFlags) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(kAppTitle);
  timeout_.setParent(this);
  timeout_.setSingleShot(true);
  connect(&timeout_, &QTimer::timeout, this, &CSplashScreenEx::HideSplash);
}

bool CSplashScreenEx::CreateSplash(QWidget* parent, int style, int timeout_ms) {
  owner_ = parent;
  style_ = style;
  timeout_ms_ = timeout_ms;
  text_.clear();
  // Owned by the frame: it goes with it, and stays above it.
  if (parent != nullptr) setParent(parent, kSplashFlags);
  return true;
}

bool CSplashScreenEx::SetSplashPicture(const QImage& picture, QColor key) {
  if (picture.isNull()) return false;
  const QRegion shape = RegionFromPicture(picture, key);
  if (shape.isEmpty()) return false;  // nothing but key colour: nothing to show
  picture_ = picture.convertToFormat(QImage::Format_RGB32);
  shape_ = shape;
  setFixedSize(picture_.size());
  Place();
  setMask(shape_);
  return true;
}

void CSplashScreenEx::Place() {
  QRect around;
  if ((style_ & kCenterParent) && owner_ != nullptr) {
    around = owner_->window()->frameGeometry();
  } else if (style_ & kCenterScreen) {
    QScreen* screen = owner_ != nullptr ? owner_->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) around = screen->availableGeometry();
  }
  if (around.isNull()) return;
  move(around.x() + (around.width() - picture_.width()) / 2,
       around.y() + (around.height() - picture_.height()) / 2);
}

void CSplashScreenEx::ShowSplash() {
  focus_owner_ = QApplication::activeWindow();
  if (!picture_.isNull()) {
    if ((style_ & kFadeIn) && PlatformCanFade()) {
      setWindowOpacity(0.0);
      show();
      Fade(0.0, 1.0, kFadeInMs, false);
    } else {
      show();
    }
  }
  // Without a picture nothing shows, but the time-out still ends the splash.
  if (timeout_ms_ > 0) timeout_.start(timeout_ms_);
}

void CSplashScreenEx::HideSplash() {
  if (hiding_) return;
  hiding_ = true;
  timeout_.stop();
  if (isVisible() && (style_ & kFadeOut) && PlatformCanFade()) {
    Fade(windowOpacity(), 0.0, kFadeOutMs, true);
    return;
  }
  hide();
  deleteLater();
}

void CSplashScreenEx::Fade(qreal from, qreal to, int ms, bool then_delete) {
  auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
  fade->setDuration(ms);
  fade->setStartValue(from);
  fade->setEndValue(to);
  if (then_delete) {
    connect(fade, &QPropertyAnimation::finished, this, [this] {
      hide();
      deleteLater();
    });
  }
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void CSplashScreenEx::SetText(const QString& text) {
  text_ = text;
  update();
}

void CSplashScreenEx::SetTextColour(const QColor& colour) {
  text_colour_ = colour;
  update();
}

bool CSplashScreenEx::PlatformCanFade() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

QRegion CSplashScreenEx::RegionFromPicture(const QImage& picture, QColor key) {
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  const QRgb key_rgb = key.rgb() & 0xFFFFFF;
  QList<QRect> runs;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < image.width()) {
      while (x < image.width() && (row[x] & 0xFFFFFF) == key_rgb) ++x;
      const int start = x;
      while (x < image.width() && (row[x] & 0xFFFFFF) != key_rgb) ++x;
      if (x > start) runs.append(QRect(start, y, x - start, 1));
    }
  }
  QRegion region;
  region.setRects(runs.constData(), static_cast<int>(runs.size()));
  return region;
}

bool CSplashScreenEx::event(QEvent* event) {
  // Some platforms activate every window they show, whatever its hints; give
  // the activation straight back to the window that had it.
  if (event->type() == QEvent::WindowActivate && focus_owner_ != nullptr &&
      focus_owner_ != this) {
    focus_owner_->activateWindow();
  }
  return QWidget::event(event);
}

void CSplashScreenEx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
  if (text_.isEmpty()) return;
  painter.setPen(text_colour_);
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text_);
}

void CSplashScreenEx::mousePressEvent(QMouseEvent* event) {
  if (style_ & kHideOnClick) {
    HideSplash();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CSplashScreenEx::keyPressEvent(QKeyEvent* event) {
  if (style_ & kHideOnClick) {
    HideSplash();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace keelmend
