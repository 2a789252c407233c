#include "ui/curve_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/mix_slider.h"
#include "ui/response_graph.h"

CurvePage::CurvePage(const QString& title, const QString& enableCaption, QWidget* parent)
    : EffectPairPage(title, parent) {
  BuildMixControls(enableCaption, enableBox_, inputMix_, outputMix_);
}

void CurvePage::LayOut(QWidget* extra, QWidget* fields, const QString& curveTitle, QSize plotSize,
                       const ValueRange& range, float firstY, float lastY, QWidget* beside) {
  auto* curve = new QGroupBox(curveTitle, this);
  graph_ = new ResponseGraph(curve);
  graph_->Create(QRect(QPoint(kGraphMargin, kGraphMargin), plotSize), range, firstY, lastY,
                 kGraphMargin);
  graph_->SetShowAxes(true);
  auto* curveLayout = new QVBoxLayout(curve);
  curveLayout->addWidget(graph_, 1);

  auto* graphs = new QHBoxLayout;
  graphs->addWidget(curve, 1);
  if (beside != nullptr) {
    graphs->addWidget(beside, 1);
  }
  auto* right = new QVBoxLayout;
  right->addWidget(fields);
  right->addLayout(graphs, 1);
  LayOutMixRow(enableBox_, inputMix_, outputMix_, extra)->addLayout(right, 1);

  connect(graph_, &ResponseGraph::CurveApplied, this, [this] {
    for (Effect* effect : {left_, right_}) {
      HandCurveTo(effect, graph_->Curve());
    }
  });
}

void CurvePage::OnSetActive() {
  ShowEnableAndMixLevels(enableBox_, inputMix_, outputMix_);
}
