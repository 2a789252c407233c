// The Delay page: per-channel mix sliders and delay amounts, the delay time
// moving a running line's read position, and the enable box.

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QTest>

#include "effects/delay_effect.h"
#include "effects/effect_factory.h"
#include "support/pages_test_support.h"
#include "ui/delay_page.h"
#include "ui/mix_slider.h"
#include "ui/slider_column.h"

using pages_test::ChainPair;
using pages_test::DragSlider;

class DelayPageTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsWithMixSlidersAtTheTopAndDelaysAtOneMillisecond() {
    DelayPage page;
    for (MixSlider* slider : {page.LeftInputSlider(), page.RightInputSlider(),
                              page.LeftOutputSlider(), page.RightOutputSlider()}) {
      QCOMPARE(slider->Slider()->minimum(), 0);
      QCOMPARE(slider->Slider()->maximum(), 512);
      QCOMPARE(slider->Slider()->tickInterval(), 51);
      QCOMPARE(slider->Position(), 0);
      QCOMPARE(slider->Text(), QStringLiteral("100%"));
    }
    for (SliderColumn* slider : {page.LeftDelaySlider(), page.RightDelaySlider()}) {
      QCOMPARE(slider->Slider()->maximum(), 1000);
      QCOMPARE(slider->Slider()->tickInterval(), 100);
      QCOMPARE(DelayPage::DelayMsFromSlider(slider->Position()), 1);
      QCOMPARE(slider->Text(), QStringLiteral("1 ms"));
    }
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable Delay"));
    QCOMPARE(page.Title(), QStringLiteral("Delay"));
  }

  void DelaySliderPositionsGiveWholeMillisecondsTopLargest() {
    QCOMPARE(DelayPage::DelayMsFromSlider(0), 100);
    QCOMPARE(DelayPage::DelayMsFromSlider(995), 0);
    QCOMPARE(DelayPage::DelayMsFromSlider(1000), 0);
    QCOMPARE(DelayPage::DelayMsFromSlider(989), 1);
    QCOMPARE(DelayPage::DelayMsFromSlider(500), 50);
    QCOMPARE(DelayPage::DelayMsFromSlider(15), 98);
  }

  void DelaySliderSetsItsChannelsTimeAndText() {
    ChainPair<DelayEffect> chains(kDelayEffectId);
    DelayPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.LeftDelaySlider()->Slider(), 0);
    QCOMPARE(page.LeftDelaySlider()->Text(), QStringLiteral("100 ms"));
    QCOMPARE(chains.left->record.delayMs, 100.0f);
    QCOMPARE(chains.right->record.delayMs, 1.0f);  // the page's, from the link on
    DragSlider(page.RightDelaySlider()->Slider(), 995);
    QCOMPARE(page.RightDelaySlider()->Text(), QStringLiteral("0 ms"));
    QCOMPARE(chains.right->record.delayMs, 0.0f);
  }

  void DelayChangeMovesARunningLinesReadPosition() {
    ChainPair<DelayEffect> chains(kDelayEffectId);
    DelayPage page;
    chains.LinkTo(page);
    chains.Prepare(256, 22000);
    page.OnSetActive();
    DelaySettings& delay = chains.left->record;
    QCOMPARE(delay.line.Length(), 11001);
    QCOMPARE(delay.line.readPosition, 10979);  // 1 ms behind the write position
    // 1 ms -> 100 ms: 2178 samples further back.
    DragSlider(page.LeftDelaySlider()->Slider(), 0);
    QCOMPARE(delay.line.readPosition, 10979 - 2178);
    QCOMPARE(delay.delayMs, 100.0f);
    // 100 ms -> 0 ms: 2200 samples ahead, wrapping at the line's end.
    DragSlider(page.LeftDelaySlider()->Slider(), 995);
    QCOMPARE(delay.line.readPosition, (10979 - 2178 + 2200) % 11001);
    QCOMPARE(chains.right->record.line.readPosition, 10979);
    // The delayed signal follows at once: with 0 ms it is the input itself.
    std::vector<int16_t> input(256, 1000);
    std::vector<int16_t> output(256);
    DelayEffect::ProcessCallback(input.data(), output.data(), &delay, 256);
    QCOMPARE(output[255], static_cast<int16_t>((180 * 1000 + 180 * 1000) >> 8));
    chains.Release();
  }

  void DelayChangeWithNoRateKnownOnlyStoresTheTime() {
    ChainPair<DelayEffect> chains(kDelayEffectId);
    DelayPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.LeftDelaySlider()->Slider(), 800);
    QCOMPARE(chains.left->record.delayMs, 20.0f);
    QCOMPARE(chains.left->record.line.readPosition, 0);
  }

  void EachMixSliderSetsItsOwnChannelAtAnyTime() {
    ChainPair<DelayEffect> chains(kDelayEffectId);
    DelayPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    // The left dry input acts while no run is in progress, like the others.
    DragSlider(page.LeftInputSlider()->Slider(), 512 - 100);
    QCOMPARE(page.LeftInputSlider()->Text(), QStringLiteral("39%"));
    QCOMPARE(chains.left->GetDryInputMix(), 99);
    QCOMPARE(chains.right->GetDryInputMix(), 256);
    DragSlider(page.RightInputSlider()->Slider(), 0);
    QCOMPARE(page.RightInputSlider()->Text(), QStringLiteral("200%"));
    QCOMPARE(chains.right->GetDryInputMix(), 512);
    DragSlider(page.LeftOutputSlider()->Slider(), 512);
    QCOMPARE(page.LeftOutputSlider()->Text(), QStringLiteral("0%"));
    QCOMPARE(chains.left->GetDryOutputMix(), 0);
    QCOMPARE(chains.right->GetDryOutputMix(), 256);
    DragSlider(page.RightOutputSlider()->Slider(), 300);
    QCOMPARE(page.RightOutputSlider()->Text(), QStringLiteral("82%"));
    QCOMPARE(chains.right->record.mix.gains[1], 149);  // trunc(212 x 0.707 / 256 x 256)
    QCOMPARE(chains.left->record.mix.gains[1], 0);
  }

  void EnteringThePageMovesOnlyTheMixThumbs() {
    ChainPair<DelayEffect> chains(kDelayEffectId);
    DelayPage page;
    chains.LinkTo(page);
    chains.left->SetDryInputMix(100);
    chains.right->SetDryOutputMix(400);
    DragSlider(page.LeftDelaySlider()->Slider(), 500);
    page.OnSetActive();
    QCOMPARE(page.LeftInputSlider()->Position(), 512 - 99);
    QCOMPARE(page.RightInputSlider()->Position(), 512 - 256);
    QCOMPARE(page.LeftOutputSlider()->Position(), 512 - 256);
    QCOMPARE(page.RightOutputSlider()->Position(), 512 - chains.right->GetDryOutputMix());
    QCOMPARE(page.LeftInputSlider()->Text(), QStringLiteral("100%"));
    QCOMPARE(page.LeftDelaySlider()->Position(), 500);
    QCOMPARE(page.LeftDelaySlider()->Text(), QStringLiteral("50 ms"));
  }

  void EnableBoxSwitchesBothChannels() {
    ChainPair<DelayEffect> chains(kDelayEffectId);
    DelayPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QVERIFY(!page.EnableBox()->isChecked());
    page.EnableBox()->click();
    QCOMPARE(chains.left->enabled, 1);
    QCOMPARE(chains.right->enabled, 1);
    QCOMPARE(chains.leftChain.records[0].enabled, 1);
    page.EnableBox()->setChecked(false);
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->enabled, 0);
    QCOMPARE(chains.rightChain.records[0].enabled, 0);
    chains.rightChain.SetEnabled(chains.right, 1);
    chains.leftChain.SetEnabled(chains.left, 1);
    page.OnSetActive();
    QVERIFY(page.EnableBox()->isChecked());
  }
};

QTEST_MAIN(DelayPageTest)
#include "delay_page_test.moc"
