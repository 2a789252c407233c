// The Compression page: the envelope time and the gain curve handed over on
// leaving, the readout, and the mix sliders.

#include <QCheckBox>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include "effects/compression_effect.h"
#include "effects/effect_factory.h"
#include "support/pages_test_support.h"
#include "ui/compression_page.h"
#include "ui/mix_slider.h"
#include "ui/response_graph.h"

using pages_test::ChainPair;
using pages_test::DragSlider;
using pages_test::Labelled;

class CompressionPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsAFlatCurveWithTheRightEndPointInTheReadout() {
    CompressionPage page;
    QCOMPARE(page.Title(), QStringLiteral("Compression"));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable Compression"));
    QCOMPARE(Labelled<QSpinBox>(page, "Envelope Delay")->minimum(), 1);
    QCOMPARE(Labelled<QSpinBox>(page, "Envelope Delay")->maximum(), 50);
    QCOMPARE(Labelled<QSpinBox>(page, "Envelope Delay")->value(), 5);
    const ResponseGraph* graph = page.Graph();
    QCOMPARE(graph->PlotArea().size(), QSize(176, 120));
    QCOMPARE(graph->SelectedPoint(), 1);
    QVERIFY(graph->ShowsReadout());
    QCOMPARE(graph->ReadoutText(), QStringLiteral(" 32768.00 , 0.00 dB"));
  }

  void LeavingUntouchedGivesBothFiveMillisecondsAndTheFlatCurve() {
    ChainPair<CompressionEffect> chains(kCompressionEffectId);
    CompressionPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(chains.left->record.envelopeDelayMs, 5.0f);  // the page's, from the link on
    QVERIFY(pages_test::SameCurve(chains.left->record.curve.View(), page.Graph()->Curve()));
    QVERIFY(page.OnKillActive());
    for (CompressionEffect* effect : {chains.left, chains.right}) {
      QCOMPARE(effect->record.envelopeDelayMs, 5.0f);
      QVERIFY(pages_test::SameCurve(effect->record.curve.View(), page.Graph()->Curve()));
      QCOMPARE(effect->record.curve.Count(), 2);
      QCOMPARE(effect->record.curve.Points()[0].y, 0.0f);
      QCOMPARE(effect->record.curve.Points()[1].y, 0.0f);
    }
    Labelled<QSpinBox>(page, "Envelope Delay")->setValue(50);
    page.EnableBox()->click();
    QCOMPARE(chains.left->enabled, 0);
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.right->record.envelopeDelayMs, 50.0f);
    QCOMPARE(chains.left->enabled, 1);
    QCOMPARE(chains.right->enabled, 1);
  }

  void CurveEditedWhilePreparedChangesTheGainTableAtOnce() {
    ChainPair<CompressionEffect> chains(kCompressionEffectId);
    CompressionPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    chains.Prepare(64, 8000);
    ResponseGraph* graph = page.Graph();
    const QPoint end = graph->PixelPoint(1);
    QTest::mousePress(graph, Qt::LeftButton, Qt::NoModifier, end + QPoint(-1, 1));
    QTest::mouseRelease(graph, Qt::LeftButton, Qt::NoModifier, end + QPoint(-1, 90));
    QCOMPARE(graph->ReadoutText(), QStringLiteral(" 32768.00 ,-40.00 dB"));
    for (CompressionEffect* effect : {chains.left, chains.right}) {
      QCOMPARE(effect->record.gainTable[0], 1.0f);
      QVERIFY(std::abs(effect->record.gainTable[256] - std::exp(0.115 * -40.0)) < 1e-5);
    }
    chains.Release();
  }

  void MixSlidersSetBothGainsAtOnce() {
    ChainPair<CompressionEffect> chains(kCompressionEffectId);
    CompressionPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("99%"));
    DragSlider(page.OutputMixSlider()->Slider(), 0);
    QCOMPARE(page.OutputMixSlider()->Text(), QStringLiteral("200%"));
    QCOMPARE(chains.left->record.dryOutputGain, 361);
    QCOMPARE(chains.right->record.dryOutputGain, 361);
  }
};

QTEST_MAIN(CompressionPageTest)
#include "compression_page_test.moc"
