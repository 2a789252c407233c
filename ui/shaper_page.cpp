#include "ui/shaper_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <cmath>

#include "effects/distortion_effect.h"
#include "effects/effect_parameters.h"
#include "ui/clamp_store.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"
#include "ui/response_graph.h"
#include "ui/slider_column.h"

namespace {
const ParameterSpec& Spec(std::string_view key) {
  return *FindParameter(kDistortionParameters, key);
}

// A sample axis from `start` to `end`: a grid line every 8192, labelled in
// thousands of 1024 ("16k") every 16384.
PlotAxis SampleAxis(float start, float end, const QString& title) {
  constexpr int kStep = 8192;
  PlotAxis axis{start, end, {}, title};
  for (int value = -4 * kStep; value <= 4 * kStep; value += kStep) {
    QString label;
    if (value % (2 * kStep) == 0) {
      label = value == 0 ? QStringLiteral("0") : PlotNumber(value / 1024) + QLatin1Char('k');
    }
    axis.ticks.push_back({static_cast<double>(value), label});
  }
  return axis;
}
}  // namespace

ShaperPage::ShaperPage(QWidget* parent)
    : CurvePage(QStringLiteral("Distorsion"), QStringLiteral("Enable Distorsion"), parent) {
  // Slider position p stands for the feedback -p, so the top is the largest.
  const ParameterSpec& feedback = Spec("feedback");
  const auto minFeedback = static_cast<int32_t>(feedback.min);
  const auto maxFeedback = static_cast<int32_t>(feedback.max);
  feedback_ = new SliderColumn(QStringLiteral("Feedback"), -maxFeedback, -minFeedback,
                               kFeedbackTickInterval, 0, QStringLiteral("0%"), this);
  std::vector<SliderScale::Mark> marks;
  for (int32_t value = minFeedback; value <= maxFeedback; value += maxFeedback / 2) {
    marks.push_back({-value, PlotNumber(value * kPercentPerPosition) + '%'});
  }
  feedback_->SetScale(std::move(marks));

  auto* filter = new QWidget(this);
  PageForm form(filter);
  preFilterEdit_ = form.AddNumber(QStringLiteral("PreFilter Cutoff"), QStringLiteral("Hz"));
  preFilterEdit_->SetDigitsOnly(true);
  preFilterEdit_->ShowValue(preFilterHz_);
  form.Layout()->setContentsMargins(0, 0, 0, 0);

  // The enable state, like the pre-filter, is taken when the page is left.
  const ParameterSpec& curve = Spec("curve");
  const auto minY = static_cast<float>(curve.min);
  const auto maxY = static_cast<float>(curve.max);
  LayOut(feedback_, filter, QStringLiteral("Transfer Curve"), kPlotSize,
         ValueRange{static_cast<float>(curve.minX), static_cast<float>(curve.maxX), maxY, minY},
         minY, maxY);
  Graph()->SetAxes(SampleAxis(static_cast<float>(curve.minX), static_cast<float>(curve.maxX),
                              QStringLiteral("Input sample")),
                   SampleAxis(maxY, minY, QStringLiteral("Output sample")));
  Graph()->SetPointerReadout([](float x, float y) {
    return QStringLiteral("Input %1 \u2192 Output %2")
        .arg(PlotNumber(std::trunc(x)), PlotNumber(std::trunc(y)));
  });

  connect(feedback_, &SliderColumn::Moved, this,
          [this](int position) { OnFeedbackMoved(position); });
}

void ShaperPage::HandCurveTo(Effect* effect, std::span<const CurvePoint> curve) {
  if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
    shaper->SetCurve(curve);
  }
}

void ShaperPage::ShowFeedback(int32_t value) {
  feedback_->SetText(TruncatedPercentText(value));
}

void ShaperPage::OnFeedbackMoved(int sliderPosition) {
  const int32_t value = -sliderPosition;
  ShowFeedback(value);
  for (Effect* effect : {left_, right_}) {
    if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
      shaper->record.feedback = value;
    }
  }
}

bool ShaperPage::OnKillActive() {
  Graph()->ApplyCurve();
  if (!preFilterEdit_->TakeValue(preFilterHz_)) {
    return false;
  }
  StorePreFilter();
  EnableBoth(EnableBox()->isChecked());
  return true;
}

void ShaperPage::WriteShownValues() {
  Graph()->ApplyCurve();
  StorePreFilter();
}

void ShaperPage::StorePreFilter() {
  const ParameterSpec& spec = Spec("preFilterHz");
  const float typed = preFilterHz_;
  for (Effect* effect : {left_, right_}) {
    if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
      ClampStore(preFilterHz_, shaper->record.preFilter.preFilterHz, static_cast<float>(spec.min),
                 static_cast<float>(spec.max));
    }
  }
  if (preFilterHz_ != typed) {
    preFilterEdit_->ShowValue(preFilterHz_);  // what runs
  }
}

void ShaperPage::ShowEffectValues() {
  const auto* shaper = dynamic_cast<const DistortionEffect*>(left_);
  if (shaper == nullptr) {
    return;
  }
  Graph()->SetCurve(shaper->record.curve.View());
  const int32_t feedback = shaper->record.feedback;
  feedback_->SetPosition(-feedback);
  ShowFeedback(feedback);
  preFilterHz_ = shaper->record.preFilter.preFilterHz;
  preFilterEdit_->ShowValue(preFilterHz_);
}
