#include "controls/est_progress_ctrl.h"

#include <algorithm>
#include <cmath>

#include <QLocale>
#include <QMetaObject>
#include <QPainter>

#include "controls/gui_thread.h"

namespace keelmend {
namespace {

constexpr int kMaxUpper = 0xFFFF;

}  // namespace

CEstProgressCtrl::CEstProgressCtrl(QWidget* parent) : QWidget(parent) {
  setAccessibleName(QStringLiteral("Progress"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CEstProgressCtrl::ResetEstimate() {
  {
    std::lock_guard lock(mutex_);
    fraction_ = 0.0;
    start_valid_ = false;
    estimate_valid_ = false;
  }
  RequestRepaint();
}

void CEstProgressCtrl::SetRange(int upper) {
  {
    std::lock_guard lock(mutex_);
    upper_ = std::clamp(upper, 0, kMaxUpper);
    pos_ = std::clamp(pos_, 0, upper_);
  }
  RequestRepaint();
}

void CEstProgressCtrl::SetPos(int position) {
  {
    std::lock_guard lock(mutex_);
    pos_ = std::clamp(position, 0, upper_);
  }
  RequestRepaint();
}

int CEstProgressCtrl::Upper() const {
  std::lock_guard lock(mutex_);
  return upper_;
}

int CEstProgressCtrl::Pos() const {
  std::lock_guard lock(mutex_);
  return pos_;
}

double CEstProgressCtrl::Fraction() const {
  std::lock_guard lock(mutex_);
  return upper_ > 0 ? static_cast<double>(pos_) / upper_ : 0.0;
}

void CEstProgressCtrl::UpdateEstimate() {
  std::lock_guard lock(mutex_);
  fraction_ = upper_ > 0 ? static_cast<double>(pos_) / upper_ : 0.0;
  if (!(fraction_ > 0.0)) return;
  const std::int64_t now = NowSeconds();
  if (!start_valid_) {
    start_seconds_ = now;
    start_valid_ = true;
  }
  // A clock set back during the run counts as no time passed.
  const double elapsed = static_cast<double>(std::max<std::int64_t>(now - start_seconds_, 0));
  completion_seconds_ = static_cast<double>(start_seconds_) + elapsed / fraction_;
  estimate_valid_ = true;
}

QDateTime CEstProgressCtrl::EstimatedCompletion() const {
  std::lock_guard lock(mutex_);
  if (!estimate_valid_) return {};
  return QDateTime::fromSecsSinceEpoch(std::llround(completion_seconds_));
}

QString CEstProgressCtrl::GetProgressText() const {
  double fraction = 0.0;
  double completion = 0.0;
  {
    std::lock_guard lock(mutex_);
    if (upper_ == 0 || !estimate_valid_) return {};
    fraction = fraction_;
    completion = completion_seconds_;
  }
  const QTime time = QDateTime::fromSecsSinceEpoch(std::llround(completion)).time();
  return QStringLiteral("%1% complete. Estimated completion: %2")
      .arg(QString::number(fraction * 100.0, 'f', 2),
           QLocale::system().toString(time, QLocale::ShortFormat));
}

void CEstProgressCtrl::SetClock(Clock clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

std::int64_t CEstProgressCtrl::NowSeconds() const {
  return clock_ ? clock_().toSecsSinceEpoch() : QDateTime::currentSecsSinceEpoch();
}

QColor CEstProgressCtrl::InvertedTextColour(const QColor& background, const QColor& highlight) {
  const QRgb complement = ~highlight.rgb() & 0xFFFFFF;
  return QColor::fromRgb((background.rgb() ^ complement) & 0xFFFFFF);
}

void CEstProgressCtrl::RequestRepaint() {
  if (OnGuiThread()) {
    update();
  } else {
    // A posted call is dropped if the control is gone by then.
    QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
  }
}

QRect CEstProgressCtrl::BarRect() const { return rect().adjusted(1, 1, -1, -1); }

QSize CEstProgressCtrl::sizeHint() const {
  return {320, fontMetrics().height() + 10};
}

QSize CEstProgressCtrl::minimumSizeHint() const {
  return {40, fontMetrics().height() + 4};
}

void CEstProgressCtrl::paintEvent(QPaintEvent*) {
  UpdateEstimate();
  double fraction = 0.0;
  {
    std::lock_guard lock(mutex_);
    fraction = fraction_;
  }
  const QColor background = palette().color(QPalette::Button);
  const QColor highlight = palette().color(QPalette::Highlight);
  // A one-pixel frame, and the bar within it.
  const QRect area = BarRect();
  const int filled_width = static_cast<int>(area.width() * fraction);
  const QRect filled(area.left(), area.top(), filled_width, area.height());
  const QRect unfilled(area.left() + filled_width, area.top(),
                       area.width() - filled_width, area.height());

  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.fillRect(area, background);
  painter.fillRect(filled, highlight);

  const QString text = GetProgressText();
  if (text.isEmpty()) return;
  // The text is inverted against the bar: white over the filled part, the
  // background XOR the complemented highlight over the rest.
  painter.setFont(font());
  painter.setClipRect(filled);
  painter.setPen(InvertedTextColour(highlight, highlight));
  painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text);
  painter.setClipRect(unfilled);
  painter.setPen(InvertedTextColour(background, highlight));
  painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text);
}

}  // namespace keelmend
