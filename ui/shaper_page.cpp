#include "ui/shaper_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "effects/distortion_effect.h"
#include "effects/effect_chain.h"
#include "ui/clamp_store.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/page_form.h"
#include "ui/response_graph.h"
#include "ui/slider_column.h"

ShaperPage::ShaperPage(QWidget* parent) : EffectPairPage(QStringLiteral("Distorsion"), parent) {
  BuildControls();
}

void ShaperPage::BuildControls() {
  using S = DistortionSettings;
  // The enable state is taken when the page is left.
  BuildMixControls(QStringLiteral("Enable Distorsion"), enableBox_, inputMix_, outputMix_);
  // Slider position p stands for the feedback -p, so the top is +128.
  feedback_ = new SliderColumn(QStringLiteral("Feedback"), -S::kMaxFeedback, -S::kMinFeedback,
                               kFeedbackTickInterval, 0, QStringLiteral("0%"), this);

  auto* filter = new QWidget(this);
  PageForm form(filter);
  preFilterEdit_ = form.AddNumber(QStringLiteral("PreFilter Cutoff"), QStringLiteral("Hz"));
  preFilterEdit_->SetDigitsOnly(true);
  preFilterEdit_->ShowValue(preFilterHz_);
  form.Layout()->setContentsMargins(0, 0, 0, 0);

  auto* curve = new QGroupBox(QStringLiteral("Transfer Curve"), this);
  graph_ = new ResponseGraph(curve);
  graph_->Create(QRect(kGraphMargin, kGraphMargin, kGraphWidth, kGraphHeight),
                 ValueRange{S::kCurveMinX, S::kCurveMaxX, S::kCurveMaxY, S::kCurveMinY},
                 S::kCurveMinY, S::kCurveMaxY, kGraphMargin);
  graph_->SetShowAxes(true);
  auto* curveLayout = new QVBoxLayout(curve);
  curveLayout->addWidget(graph_, 0, Qt::AlignCenter);

  auto* right = new QVBoxLayout;
  right->addWidget(filter);
  right->addWidget(curve);
  right->addStretch(1);

  LayOutMixRow(enableBox_, inputMix_, outputMix_, feedback_)->addLayout(right, 1);

  connect(feedback_, &SliderColumn::Moved, this,
          [this](int position) { OnFeedbackMoved(position); });
  connect(graph_, &ResponseGraph::CurveApplied, this, [this] { OnCurveApplied(); });
}

void ShaperPage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}

void ShaperPage::OnCurveApplied() {
  for (Effect* effect : {left_, right_}) {
    if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
      shaper->SetCurve(graph_->Curve());
    }
  }
}

void ShaperPage::OnFeedbackMoved(int sliderPosition) {
  const int32_t value = -sliderPosition;
  feedback_->SetText(TruncatedPercentText(value));
  for (Effect* effect : {left_, right_}) {
    if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
      shaper->record.feedback = value;
    }
  }
}

bool ShaperPage::OnKillActive() {
  graph_->ApplyCurve();
  if (!preFilterEdit_->TakeValue(preFilterHz_)) {
    return false;
  }
  StorePreFilter();
  EnableBoth(enableBox_->isChecked());
  return true;
}

void ShaperPage::WriteShownValues() {
  graph_->ApplyCurve();
  StorePreFilter();
}

void ShaperPage::StorePreFilter() {
  using F = DistortionPreFilter;
  for (Effect* effect : {left_, right_}) {
    if (auto* shaper = dynamic_cast<DistortionEffect*>(effect)) {
      ClampStore(preFilterHz_, shaper->record.preFilter.preFilterHz, F::kMinHz, F::kMaxHz);
    }
  }
}
