#include "ui/level_meters.h"

#include <QGridLayout>
#include <QPainter>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

// Scale marks under the bars, in dBFS.
constexpr std::array<int, 7> kScaleMarks = {-60, -48, -36, -24, -12, -6, 0};
// Where the bar's colour changes: green below, yellow up to the red zone.
constexpr double kYellowFromDbfs = -12;
constexpr double kRedFromDbfs = -3;
constexpr int kBarHeight = 8;
constexpr int kBarGap = 3;

const QColor kBarBackground(0x30, 0x30, 0x30);
const QColor kGreen(0x3c, 0xb0, 0x43);
const QColor kYellow(0xe0, 0xc0, 0x20);
const QColor kRed(0xd8, 0x30, 0x30);

const char* const kClipLit =
    "QToolButton { background: #d83030; color: white; border: 1px solid #801010;"
    " border-radius: 3px; padding: 1px 6px; }";
const char* const kClipDark =
    "QToolButton { color: palette(mid); border: 1px solid palette(mid);"
    " border-radius: 3px; padding: 1px 6px; }";

QString DbfsText(double dbfs) {
  if (!std::isfinite(dbfs)) {
    return QStringLiteral("-inf");
  }
  return QString::number(std::min(dbfs, 0.0), 'f', 1);
}

// The share of the scale up to `dbfs`, 0..1.
double ScaleFraction(double dbfs) {
  const double floor = MeterBallistics::kFloorDbfs;
  if (!(dbfs > floor)) {
    return 0;
  }
  return (std::min(dbfs, 0.0) - floor) / -floor;
}

QFont ScaleFont(const QFont& base) {
  QFont font = base;
  font.setPointSizeF(std::max(6.0, base.pointSizeF() * 0.75));
  return font;
}

}  // namespace

void MeterBallistics::Feed(double peakDbfs, double seconds) {
  level = std::max(peakDbfs, level - kFallDbPerSecond * seconds);
  if (peakDbfs >= hold) {
    hold = peakDbfs;
    holdAge = 0;
    return;
  }
  // Held, then falling with the level.
  holdAge += seconds;
  if (holdAge > kHoldSeconds) {
    hold = level;
  }
}

PeakMeter::PeakMeter(const QString& title, bool showScale, QWidget* parent)
    : QWidget(parent), title_(title), showScale_(showScale) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PeakMeter::SetBars(const std::array<MeterBallistics, kMeterChannels>& bars, int32_t channels) {
  const auto shownAlike = [](const MeterBallistics& a, const MeterBallistics& b) {
    return a.level == b.level && a.hold == b.hold;
  };
  if (channels == channels_ && std::equal(bars.begin(), bars.end(), bars_.begin(), shownAlike)) {
    return;  // an idle meter is not repainted
  }
  bars_ = bars;
  channels_ = channels;
  update();
}

QSize PeakMeter::sizeHint() const {
  return {320, minimumSizeHint().height()};
}

QSize PeakMeter::minimumSizeHint() const {
  const int scale = showScale_ ? QFontMetrics(ScaleFont(font())).height() : 0;
  return {200, kMeterChannels * (kBarHeight + kBarGap) + scale};
}

void PeakMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics(font());
  const QFont scaleFont = ScaleFont(font());
  const QFontMetrics scaleMetrics(scaleFont);
  const int titleWidth = metrics.horizontalAdvance(QStringLiteral("Out")) + 8;
  const int letterWidth = scaleMetrics.horizontalAdvance(QStringLiteral("R")) + 6;
  const int readoutWidth = scaleMetrics.horizontalAdvance(QStringLiteral("-60.0")) + 8;
  const int barLeft = titleWidth + letterWidth;
  const int barWidth = std::max(width() - barLeft - readoutWidth, 10);
  const QPalette& colors = palette();

  painter.setPen(colors.color(QPalette::WindowText));
  painter.drawText(QRect(0, 0, titleWidth, kMeterChannels * (kBarHeight + kBarGap)),
                   Qt::AlignVCenter, title_);
  painter.setFont(scaleFont);
  static const char* const kLetters[kMeterChannels] = {"L", "R"};
  for (int32_t c = 0; c < kMeterChannels; ++c) {
    const bool active = c < channels_;
    const MeterBallistics& bar = bars_[static_cast<size_t>(c)];
    const int top = c * (kBarHeight + kBarGap);
    const QRect area(barLeft, top, barWidth, kBarHeight);
    painter.setPen(
        colors.color(active ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(QRect(titleWidth, top - 4, letterWidth, kBarHeight + 8), Qt::AlignVCenter,
                     QString::fromLatin1(kLetters[c]));
    painter.fillRect(area, active ? kBarBackground : colors.color(QPalette::Mid));
    if (!active) {
      continue;
    }
    // The lit part, coloured by zone.
    const int lit = static_cast<int>(std::lround(ScaleFraction(bar.level) * barWidth));
    const int yellowAt = static_cast<int>(ScaleFraction(kYellowFromDbfs) * barWidth);
    const int redAt = static_cast<int>(ScaleFraction(kRedFromDbfs) * barWidth);
    painter.fillRect(QRect(barLeft, top, std::min(lit, yellowAt), kBarHeight), kGreen);
    if (lit > yellowAt) {
      painter.fillRect(QRect(barLeft + yellowAt, top, std::min(lit, redAt) - yellowAt, kBarHeight),
                       kYellow);
    }
    if (lit > redAt) {
      painter.fillRect(QRect(barLeft + redAt, top, lit - redAt, kBarHeight), kRed);
    }
    // The peak hold mark and its value.
    if (std::isfinite(bar.hold) && bar.hold > MeterBallistics::kFloorDbfs) {
      const int x = barLeft + static_cast<int>(std::lround(ScaleFraction(bar.hold) * barWidth));
      painter.fillRect(QRect(std::min(x, barLeft + barWidth - 2), top, 2, kBarHeight),
                       bar.hold >= kRedFromDbfs ? kRed : Qt::white);
    }
    painter.setPen(colors.color(QPalette::WindowText));
    painter.drawText(QRect(barLeft + barWidth, top - 4, readoutWidth, kBarHeight + 8),
                     Qt::AlignRight | Qt::AlignVCenter, DbfsText(bar.hold));
  }

  if (!showScale_) {
    return;
  }
  painter.setPen(colors.color(QPalette::Disabled, QPalette::WindowText));
  const int scaleTop = kMeterChannels * (kBarHeight + kBarGap);
  for (const int mark : kScaleMarks) {
    const int x = barLeft + static_cast<int>(std::lround(ScaleFraction(mark) * barWidth));
    const QString text = QString::number(mark);
    const int textWidth = scaleMetrics.horizontalAdvance(text);
    const int left = std::clamp(x - textWidth / 2, barLeft - 2, barLeft + barWidth - textWidth);
    painter.drawText(QPoint(left, scaleTop + scaleMetrics.ascent()), text);
  }
  painter.drawText(QRect(barLeft + barWidth, scaleTop, readoutWidth, scaleMetrics.height()),
                   Qt::AlignRight, QStringLiteral("dBFS"));
}

LevelMeterStrip::LevelMeterStrip(LevelMeter* meter, QWidget* parent)
    : QWidget(parent), meter_(meter) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(10, 4, 10, 4);
  layout->setHorizontalSpacing(10);
  layout->setVerticalSpacing(2);
  const QString titles[kMeterPoints] = {QStringLiteral("In"), QStringLiteral("Out")};
  for (int32_t p = 0; p < kMeterPoints; ++p) {
    const auto point = static_cast<MeterPoint>(p);
    meters_[p] = new PeakMeter(titles[p], p == kMeterPoints - 1, this);
    clip_[p] = new QToolButton(this);
    clip_[p]->setFocusPolicy(Qt::NoFocus);
    clip_[p]->setMinimumWidth(
        clip_[p]->fontMetrics().horizontalAdvance(QStringLiteral("Clip 0000000")) + 16);
    connect(clip_[p], &QToolButton::clicked, this, [this, point] { ClearClips(point); });
    layout->addWidget(meters_[p], p, 0);
    layout->addWidget(clip_[p], p, 1, Qt::AlignTop);
    ShowClips(point);
  }
  timer_.setInterval(kRefreshMilliseconds);
  connect(&timer_, &QTimer::timeout, this, &LevelMeterStrip::Refresh);
}

void LevelMeterStrip::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  timer_.start();
}

void LevelMeterStrip::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  timer_.stop();
}

void LevelMeterStrip::Refresh() {
  if (!meter_) {
    return;
  }
  const double seconds = sinceRefresh_.isValid() ? sinceRefresh_.restart() / 1000.0 : 0.0;
  if (!sinceRefresh_.isValid()) {
    sinceRefresh_.start();
  }
  last_ = meter_->Take();
  for (int32_t p = 0; p < kMeterPoints; ++p) {
    for (int32_t c = 0; c < kMeterChannels; ++c) {
      const int32_t peak = c < last_.channels ? last_.peak[p][c] : 0;
      bars_[p][c].Feed(PeakDbfs(peak), seconds);
    }
    meters_[p]->SetBars(bars_[p], last_.channels);
    ShowClips(static_cast<MeterPoint>(p));
  }
}

uint64_t LevelMeterStrip::ClippedShown(MeterPoint point) const {
  uint64_t shown = 0;
  for (int32_t c = 0; c < kMeterChannels; ++c) {
    shown += last_.clipped[point][c] - clipBase_[point][c];
  }
  return shown;
}

void LevelMeterStrip::ClearClips(MeterPoint point) {
  clipBase_[point] = last_.clipped[point];
  // The hold marks start again from what is playing now.
  for (MeterBallistics& bar : bars_[point]) {
    bar.hold = bar.level;
    bar.holdAge = 0;
  }
  meters_[point]->SetBars(bars_[point], last_.channels);
  ShowClips(point);
}

void LevelMeterStrip::ShowClips(MeterPoint point) {
  QToolButton* indicator = clip_[point];
  const uint64_t shown = ClippedShown(point);
  if (shown == shownClips_[point]) {
    return;
  }
  shownClips_[point] = shown;
  const char* where = point == kMeterInput ? "input" : "output";
  if (shown == 0) {
    indicator->setText(QStringLiteral("Clip"));
    indicator->setStyleSheet(QString::fromLatin1(kClipDark));
    indicator->setToolTip(
        QStringLiteral("Lights when %1 samples reach full scale").arg(QString::fromLatin1(where)));
    return;
  }
  indicator->setText(QStringLiteral("Clip %1").arg(shown));
  indicator->setStyleSheet(QString::fromLatin1(kClipLit));
  indicator->setToolTip(
      QStringLiteral("%1 %2 samples at full scale (left %3, right %4). Click to clear.")
          .arg(shown)
          .arg(QString::fromLatin1(where))
          .arg(last_.clipped[point][0] - clipBase_[point][0])
          .arg(last_.clipped[point][1] - clipBase_[point][1]));
}
