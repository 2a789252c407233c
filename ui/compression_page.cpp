#include "ui/compression_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "effects/compression_effect.h"
#include "effects/effect_parameters.h"
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
  const ParameterSpec& time = *FindParameter(kCompressionParameters, "envelopeDelayMs");
  auto* envelope = new QWidget(this);
  PageForm form(envelope);
  envelopeSpin_ = new QSpinBox;
  envelopeSpin_->setRange(static_cast<int>(time.min), static_cast<int>(time.max));
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
  const ParameterSpec& curve = *FindParameter(kCompressionParameters, "curve");
  LayOut(nullptr, envelope, QStringLiteral("Gain Curve"), kPlotSize,
         ValueRange{static_cast<float>(curve.minX), static_cast<float>(curve.maxX),
                    static_cast<float>(curve.max), static_cast<float>(curve.min)},
         0.0f, 0.0f, levelsGroup);
  Graph()->SetReadout(true, QString(), QStringLiteral("dB"));
  Graph()->SetAxes(LevelAxis(), PlotAxis{curve.max, curve.min, EvenTicks(curve.min, curve.max, 10.0, 2),
                                         QStringLiteral("Gain (dB)")});
  Graph()->SetPointerReadout([](float x, float y) {
    return QStringLiteral("%1 dBFS \u2192 %2 dB").arg(LevelText(x), PlotNumber(y, 1));
  });
  levels_->SetCurve(Graph()->Curve());
  connect(Graph(), &ResponseGraph::CurveApplied, levels_,
          [this] { levels_->SetCurve(Graph()->Curve()); });
  connect(envelopeSpin_, &QSpinBox::valueChanged, this, [this](int value) {
    envelopeDelayMs_ = static_cast<float>(static_cast<uint16_t>(value));
  });
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
  for (Effect* effect : {left_, right_}) {
    if (auto* compression = dynamic_cast<CompressionEffect*>(effect)) {
      compression->record.envelopeDelayMs = envelopeDelayMs_;
    }
  }
}

void CompressionPage::ShowEffectValues() {
  const auto* compression = dynamic_cast<const CompressionEffect*>(left_);
  if (compression == nullptr) {
    return;
  }
  Graph()->SetCurve(compression->record.curve.View());
  levels_->SetCurve(Graph()->Curve());
  const QSignalBlocker blocker(envelopeSpin_);
  envelopeSpin_->setValue(static_cast<int>(compression->record.envelopeDelayMs));
  envelopeDelayMs_ = compression->record.envelopeDelayMs;
}
