#include "ui/compression_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "effects/compression_effect.h"
#include "ui/level_plot.h"
#include "ui/page_form.h"
#include "ui/response_graph.h"

namespace {
// Full scale of the level axis: 0 dBFS.
constexpr double kFullScale = 32768.0;

double LevelOfDecibels(double db) {
  return kFullScale * std::pow(10.0, db / 20.0);
}

// The level axis, linear in level as the curve is drawn, with its grid at
// whole dBFS: labelled at 0, -6, -12 and -20, finer towards full scale.
PlotAxis LevelAxis() {
  PlotAxis axis{0.0, kFullScale, {}, QStringLiteral("Input level (dBFS)")};
  for (const int db : {-30, -20, -15, -12, -9, -6, -3, 0}) {
    const bool labelled = db == 0 || db == -6 || db == -12 || db == -20;
    axis.ticks.push_back({LevelOfDecibels(db), labelled ? PlotNumber(db) : QString()});
  }
  return axis;
}

// A level in dBFS with one decimal; "-inf" for silence.
QString LevelText(float level) {
  if (level <= 0.0f) {
    return QStringLiteral("\u2212\u221e");
  }
  return PlotNumber(20.0 * std::log10(level / kFullScale), 1);
}
}  // namespace

CompressionPage::CompressionPage(QWidget* parent)
    : CurvePage(QStringLiteral("Compression"), QStringLiteral("Enable Compression"), parent) {
  using S = CompressionSettings;
  auto* envelope = new QWidget(this);
  PageForm form(envelope);
  envelopeSpin_ = new QSpinBox;
  envelopeSpin_->setRange(static_cast<int>(S::kMinEnvelopeDelayMs),
                          static_cast<int>(S::kMaxEnvelopeDelayMs));
  envelopeSpin_->setValue(kInitialEnvelopeDelayMs);
  // Stepped with its arrows only; its field shows the position.
  envelopeSpin_->findChild<QLineEdit*>()->setReadOnly(true);
  envelopeSpin_->setAlignment(Qt::AlignRight);
  form.AddRow(QStringLiteral("Envelope Delay"), envelopeSpin_, QStringLiteral("ms"));
  form.Layout()->setContentsMargins(0, 0, 0, 0);

  auto* levelsGroup = new QGroupBox(QStringLiteral("Levels"), this);
  levels_ = new LevelPlot(levelsGroup);
  (new QVBoxLayout(levelsGroup))->addWidget(levels_);

  // The enable state and the envelope time are taken when the page is left.
  LayOut(nullptr, envelope, QStringLiteral("Gain Curve"), kPlotSize,
         ValueRange{S::kCurveMinX, S::kCurveMaxX, S::kCurveMaxY, S::kCurveMinY}, 0.0f, 0.0f,
         levelsGroup);
  Graph()->SetReadout(true, QString(), QStringLiteral("dB"));
  Graph()->SetAxes(LevelAxis(), PlotAxis{S::kCurveMaxY, S::kCurveMinY,
                                         EvenTicks(S::kCurveMinY, S::kCurveMaxY, 10.0, 2),
                                         QStringLiteral("Gain (dB)")});
  Graph()->SetPointerReadout([](float x, float y) {
    return QStringLiteral("%1 dBFS \u2192 %2 dB").arg(LevelText(x), PlotNumber(y, 1));
  });
  levels_->SetCurve(Graph()->Curve());
  connect(Graph(), &ResponseGraph::CurveApplied, levels_,
          [this] { levels_->SetCurve(Graph()->Curve()); });
}

void CompressionPage::HandCurveTo(Effect* effect, std::span<const CurvePoint> curve) {
  if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
    compression->SetCurve(curve);
  }
}

bool CompressionPage::OnKillActive() {
  WriteShownValues();
  EnableBoth(EnableBox()->isChecked());
  return true;
}

void CompressionPage::WriteShownValues() {
  Graph()->ApplyCurve();
  const float envelopeDelayMs = static_cast<float>(static_cast<uint16_t>(envelopeSpin_->value()));
  for (Effect* effect : {left_, right_}) {
    if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
      compression->record.envelopeDelayMs = envelopeDelayMs;
    }
  }
}
