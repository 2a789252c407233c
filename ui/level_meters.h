#pragma once
// The peak meters: for the input and the output of the chains, one bar per
// channel in dBFS with a peak hold mark and its value, and a clip indicator
// that lights when samples reach full scale, counts them, and stays lit until
// it is clicked. A timer reads the engine's LevelMeter at display rate; the
// processing path only gathers.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <limits>

#include "engine/level_meter.h"

class QToolButton;

// What one bar shows, moved on at display rate: the level rises at once and
// falls at kFallDbPerSecond; the hold mark keeps the highest level for
// kHoldSeconds, then falls with the level.
struct MeterBallistics {
  static constexpr double kFloorDbfs = -60;  // the left end of the scale
  static constexpr double kFallDbPerSecond = 12;
  static constexpr double kHoldSeconds = 2;

  // A new peak (dBFS, -infinity for silence) `seconds` after the last.
  void Feed(double peakDbfs, double seconds);

  double level = -std::numeric_limits<double>::infinity();
  double hold = -std::numeric_limits<double>::infinity();
  double holdAge = 0;  // seconds since the hold mark was set
};

// The bars of one point (input or output), painted, with the dBFS scale
// under them when asked.
class PeakMeter : public QWidget {
  Q_OBJECT

 public:
  PeakMeter(const QString& title, bool showScale, QWidget* parent = nullptr);

  void SetBars(const std::array<MeterBallistics, kMeterChannels>& bars, int32_t channels);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString title_;
  bool showScale_;
  std::array<MeterBallistics, kMeterChannels> bars_{};
  int32_t channels_ = 2;
};

class LevelMeterStrip : public QWidget {
  Q_OBJECT

 public:
  // Readings per second while the strip is shown.
  static constexpr int kRefreshMilliseconds = 40;

  explicit LevelMeterStrip(LevelMeter* meter, QWidget* parent = nullptr);

  // Reads the meter now (the timer does it while the strip is shown).
  void Refresh();
  // Samples clipped at `point` since its indicator was last cleared.
  uint64_t ClippedShown(MeterPoint point) const;
  QToolButton* ClipIndicator(MeterPoint point) const { return clip_[point]; }
  const MeterBallistics& Bar(MeterPoint point, int32_t channel) const {
    return bars_[point][static_cast<size_t>(channel)];
  }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ClearClips(MeterPoint point);
  void ShowClips(MeterPoint point);

  LevelMeter* meter_;
  QTimer timer_;
  QElapsedTimer sinceRefresh_;
  LevelMeter::Reading last_;
  std::array<std::array<MeterBallistics, kMeterChannels>, kMeterPoints> bars_{};
  // The meter's clip counts when each indicator was last cleared.
  std::array<std::array<uint64_t, kMeterChannels>, kMeterPoints> clipBase_{};
  // What each indicator shows now.
  std::array<uint64_t, kMeterPoints> shownClips_ = {UINT64_MAX, UINT64_MAX};
  std::array<PeakMeter*, kMeterPoints> meters_{};
  std::array<QToolButton*, kMeterPoints> clip_{};
};
