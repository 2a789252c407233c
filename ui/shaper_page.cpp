#include "ui/shaper_page.h"

#include <QCheckBox>
#include <QGridLayout>

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
}  // namespace

ShaperPage::ShaperPage(QWidget* parent)
    : CurvePage(QStringLiteral("Distorsion"), QStringLiteral("Enable Distorsion"), parent) {
  // Slider position p stands for the feedback -p, so the top is the largest.
  const ParameterSpec& feedback = Spec("feedback");
  feedback_ = new SliderColumn(QStringLiteral("Feedback"), -static_cast<int>(feedback.max),
                               -static_cast<int>(feedback.min), kFeedbackTickInterval, 0,
                               QStringLiteral("0%"), this);

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
  for (Effect* effect : {left_, right_}) {
    if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
      ClampStore(preFilterHz_, shaper->record.preFilter.preFilterHz, static_cast<float>(spec.min),
                 static_cast<float>(spec.max));
    }
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
