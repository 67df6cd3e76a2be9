// CSplashScreenEx: a frameless, topmost picture window that shows itself for
// a while and then goes away by itself.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPropertyAnimation;

namespace keelmend {

// Its shape is its picture's: pixels of the key colour are cut away (not
// drawn, and clicks there go to the window below). It never takes the focus,
// fades in (500 ms) and out (200 ms) with the window opacity where the
// platform supports it, and after its time-out hides and deletes itself:
// nobody deletes it. Use:
//   auto* splash = new CSplashScreenEx;
//   splash->CreateSplash(frame);
//   splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour);
//   splash->ShowSplash();
class CSplashScreenEx : public QWidget {
  Q_OBJECT

 public:
  // Behaviour bits.
  static constexpr int kFadeIn = 0x01;
  static constexpr int kFadeOut = 0x02;
  static constexpr int kShadow = 0x04;        // accepted; shadows are the window manager's
  static constexpr int kCenterScreen = 0x08;
  static constexpr int kCenterParent = 0x10;
  static constexpr int kHideOnClick = 0x20;
  static constexpr int kProgramStyle = kFadeIn | kFadeOut | kShadow | kCenterScreen;  // 15

  static constexpr int kDefaultTimeoutMs = 2000;
  static constexpr int kFadeInMs = 500;
  static constexpr int kFadeOutMs = 200;

  CSplashScreenEx();

  // Owner `parent` (may be null), empty text, the given time-out (0: stays
  // until closed otherwise) and style. Returns true.
  bool CreateSplash(QWidget* parent, int style = kProgramStyle,
                    int timeout_ms = kDefaultTimeoutMs);

  // Takes the picture, places the window (centred on the screen or on the
  // parent by the style) and shapes it by `key`. A null picture, or one of
  // nothing but the key colour, returns false and changes nothing: the
  // window then stays empty and invisible.
  bool SetSplashPicture(const QImage& picture, QColor key);

  // Shows the window at its place without activating it, fading in when the
  // style asks and the platform can, and starts the time-out.
  void ShowSplash();

  // Hides (fading out when the style asks and the platform can) and deletes
  // the splash. The time-out calls it; so does a click or key with
  // kHideOnClick.
  void HideSplash();

  // Optional text drawn over the picture (centred, word-wrapped).
  void SetText(const QString& text);
  void SetTextColour(const QColor& colour);

  int Style() const { return style_; }
  int TimeoutMs() const { return timeout_ms_; }
  QImage Picture() const { return picture_; }
  QRegion Shape() const { return shape_; }

  // Whether fading is used: the platform can change window opacity
  // (not the offscreen and minimal platforms).
  static bool PlatformCanFade();

  // The picture's shape: one-pixel-high rectangles over each horizontal run
  // of pixels whose colour is not `key` (alpha is ignored).
  static QRegion RegionFromPicture(const QImage& picture, QColor key);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Place();
  void Fade(qreal from, qreal to, int ms, bool then_delete);

  QWidget* owner_ = nullptr;
  QPointer<QWidget> focus_owner_;  // the active window when it was shown
  int style_ = 0;
  int timeout_ms_ = kDefaultTimeoutMs;
  QImage picture_;
  QRegion shape_;
  QString text_;
  QColor text_colour_{Qt::black};
  QTimer timeout_;
  bool hiding_ = false;
};

}  // namespace keelmend
