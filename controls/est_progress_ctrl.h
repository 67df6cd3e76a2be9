// CEstProgressCtrl: a progress bar that writes, centred over itself, how far
// the work has gone and at what time of day it should be finished:
// "33.33% complete. Estimated completion: 14:05".
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include <QDateTime>
#include <QString>
#include <QWidget>

namespace keelmend {

class CEstProgressCtrl : public QWidget {
  Q_OBJECT

 public:
  // Where the control reads the wall-clock time (whole seconds are used).
  using Clock = std::function<QDateTime()>;

  explicit CEstProgressCtrl(QWidget* parent = nullptr);

  // A run is driven as: ResetEstimate(); SetRange(N); SetPos(0); SetPos(i)
  // after item i; SetPos(N) at the end. These three may be called from any
  // thread: the values sit behind a mutex and the repaint is posted to the
  // window thread.

  // Forgets the start time and the estimate: the next repaint with a
  // position above 0 starts a new run.
  void ResetEstimate();
  // Range 0..upper. The upper bound is a 16-bit count: values above 65535
  // are taken as 65535, negative ones as 0. The position is clamped into the
  // new range.
  void SetRange(int upper);
  // Position, clamped into 0..upper.
  void SetPos(int position);

  int Upper() const;
  int Pos() const;
  // Position ÷ upper bound (0 with an upper bound of 0).
  double Fraction() const;

  // Refreshes the estimate from the current fraction, as every repaint does:
  // the first call with a fraction above 0 takes the start time; each call
  // then sets completion = start + elapsed ÷ fraction. A fraction of 0
  // leaves everything as it was.
  void UpdateEstimate();

  // Empty while there is no estimate (or the upper bound is 0); otherwise
  // "%.2f%% complete. Estimated completion: %s" with fraction × 100 and the
  // completion's time of day in the system locale's short time format.
  virtual QString GetProgressText() const;

  // The estimated completion (invalid while there is none).
  QDateTime EstimatedCompletion() const;

  // Replaces the wall clock (for tests); an empty function restores it.
  void SetClock(Clock clock);

  // The colour of the text over the unfilled part: the background XOR the
  // complement of the highlight colour (over the filled part it is white).
  static QColor InvertedTextColour(const QColor& background,
                                   const QColor& highlight);

  // The bar inside the control's one-pixel frame.
  QRect BarRect() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void RequestRepaint();
  std::int64_t NowSeconds() const;

  mutable std::mutex mutex_;  // guards everything below
  int upper_ = 100;
  int pos_ = 0;
  bool start_valid_ = false;
  bool estimate_valid_ = false;
  double fraction_ = 0.0;
  std::int64_t start_seconds_ = 0;        // seconds since the epoch
  double completion_seconds_ = 0.0;       // seconds since the epoch
  Clock clock_;
};

}  // namespace keelmend
