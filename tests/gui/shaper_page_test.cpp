// The Distorsion page: feedback and mix sliders acting at once, the
// pre-filter cutoff and enable state taken on leaving, and the transfer
// curve drawn on the page reaching both shapers.

#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <QWindow>
#include <vector>

#include "effects/distortion_effect.h"
#include "effects/effect_factory.h"
#include "support/pages_test_support.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/response_graph.h"
#include "ui/shaper_page.h"
#include "ui/slider_column.h"

using pages_test::ChainPair;
using pages_test::DragSlider;
using pages_test::Labelled;
using pages_test::RecordedMessages;
using pages_test::TypeInto;

class ShaperPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsItsControlsAndTheIdentityCurve() {
    ShaperPage page;
    QCOMPARE(page.Title(), QStringLiteral("Distorsion"));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable Distorsion"));
    QCOMPARE(Labelled(page, "PreFilter Cutoff")->text(), QStringLiteral("8000"));
    QCOMPARE(page.FeedbackSlider()->Slider()->minimum(), -128);
    QCOMPARE(page.FeedbackSlider()->Slider()->maximum(), 128);
    QCOMPARE(page.FeedbackSlider()->Slider()->tickInterval(), 26);
    QCOMPARE(page.FeedbackSlider()->Text(), QStringLiteral("0%"));
    const ResponseGraph* graph = page.Graph();
    QCOMPARE(graph->PointCount(), 2);
    QCOMPARE(graph->PlotArea().size(), QSize(156, 116));
    QVERIFY(graph->ShowsAxes());
    QVERIFY(!graph->ShowsReadout());
    QCOMPARE(graph->Curve()[0].x, -32768.0f);
    QCOMPARE(graph->Curve()[1].y, 32767.0f);
  }

  void DefaultEffectsShowNinetyNinePercent() {
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("99%"));
    QCOMPARE(page.OutputMixSlider()->Text(), QStringLiteral("99%"));
    QCOMPARE(page.InputMixSlider()->Position(), 512 - 254);
  }

  void FeedbackSliderSetsBothShapersAtOnceTopPositive() {
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.FeedbackSlider()->Slider(), -128);
    QCOMPARE(page.FeedbackSlider()->Text(), QStringLiteral("50%"));
    QCOMPARE(chains.left->record.feedback, 128);
    QCOMPARE(chains.right->record.feedback, 128);
    DragSlider(page.FeedbackSlider()->Slider(), 128);
    QCOMPARE(page.FeedbackSlider()->Text(), QStringLiteral("-50%"));
    QCOMPARE(chains.right->record.feedback, -128);
    DragSlider(page.FeedbackSlider()->Slider(), 1);
    QCOMPARE(page.FeedbackSlider()->Text(), QStringLiteral("0%"));
    QCOMPARE(chains.left->record.feedback, -1);
  }

  void MixSlidersSetBothGainsAtOnce() {
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.InputMixSlider()->Slider(), 0);
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("200%"));
    QCOMPARE(chains.left->record.dryInputGain, 361);
    QCOMPARE(chains.right->record.dryInputGain, 361);
    DragSlider(page.OutputMixSlider()->Slider(), 512);
    QCOMPARE(chains.right->record.dryOutputGain, 0);
  }

  void PreFilterAndEnableStateAreTakenOnlyWhenLeaving() {
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->click();
    QCOMPARE(chains.left->enabled, 0);
    TypeInto(Labelled(page, "PreFilter Cutoff"), QStringLiteral("20000"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->enabled, 1);
    QCOMPARE(chains.right->enabled, 1);
    QCOMPARE(chains.left->record.preFilter.preFilterHz, 16000.0f);
    QCOMPARE(chains.right->record.preFilter.preFilterHz, 16000.0f);
    QCOMPARE(Labelled(page, "PreFilter Cutoff")->text(), QStringLiteral("16000"));  // what runs
    TypeInto(Labelled(page, "PreFilter Cutoff"), QStringLiteral("20"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.preFilter.preFilterHz, 500.0f);
  }

  void LeavingHandsTheGraphsCurveToBoth() {
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QVERIFY(page.OnKillActive());
    for (DistortionEffect* shaper : {chains.left, chains.right}) {
      QVERIFY(pages_test::SameCurve(shaper->record.curve.View(), page.Graph()->Curve()));
      QCOMPARE(shaper->record.curve.Points()[0].x, -32768.0f);  // the graph's, not the default
    }
  }

  void AnEntryThatIsNotANumberKeepsThePage() {
    RecordedMessages messages;
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->setChecked(true);
    Labelled(page, "PreFilter Cutoff")->setText(QStringLiteral("8k"));
    QVERIFY(!page.OnKillActive());
    QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter a number.")});
    QCOMPARE(chains.left->enabled, 0);
    QCOMPARE(chains.left->record.preFilter.preFilterHz, 8000.0f);
  }

  // On the shown page, as a user draws: the press reaches the graph and the
  // running shapers' tables change at once.
  void CurveDrawnOnThePageWhileRunningChangesTheTablesAtOnce() {
    ChainPair<DistortionEffect> chains(kDistortionEffectId);
    ShaperPage page;
    chains.LinkTo(page);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.OnSetActive();
    chains.Prepare(64, 22050);
    ResponseGraph* graph = page.Graph();
    const QPoint plot = graph->PlotArea().topLeft();
    const QPoint middle = graph->mapTo(&page, plot + QPoint(78, 58));
    const QPoint top = graph->mapTo(&page, plot + QPoint(78, -20));
    QTest::mousePress(page.windowHandle(), Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseRelease(page.windowHandle(), Qt::LeftButton, Qt::NoModifier, top);
    QCOMPARE(graph->PointCount(), 3);
    std::vector<int32_t> expected(257);
    ResampleCurveToInts(graph->Curve().data(), expected.data(), 3, 257);
    for (DistortionEffect* shaper : {chains.left, chains.right}) {
      QCOMPARE(shaper->record.shapeTable, expected);
    }
    QVERIFY(expected[128] > 32000);
    chains.Release();
  }
};

QTEST_MAIN(ShaperPageTest)
#include "shaper_page_test.moc"
