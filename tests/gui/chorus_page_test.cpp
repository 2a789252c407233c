// The Chorus page: its initial values, the limits it applies when its data
// is taken, refused entries keeping the page, and the mix sliders.

#include <QCheckBox>
#include <QSlider>
#include <QTest>

#include "effects/chorus_effect.h"
#include "effects/effect_factory.h"
#include "support/pages_test_support.h"
#include "ui/chorus_page.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"

using pages_test::ChainPair;
using pages_test::DragSlider;
using pages_test::Labelled;
using pages_test::RecordedMessages;
using pages_test::TypeInto;
using pages_test::TypeIntoLabelled;

class ChorusPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsItsOwnInitialValues() {
    ChorusPage page;
    QCOMPARE(page.Title(), QStringLiteral("Chorus"));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable Chorus"));
    QCOMPARE(Labelled(page, "Pre.Filter Cutoff")->text(), QStringLiteral("8000"));
    QCOMPARE(Labelled(page, "Initial Delay")->text(), QStringLiteral("5"));
    QCOMPARE(Labelled(page, "Final Delay")->text(), QStringLiteral("10"));
    QCOMPARE(Labelled(page, "Mod. Length")->text(), QStringLiteral("2000"));
    QCOMPARE(Labelled(page, "Feedback")->text(), QStringLiteral("25"));
    QCOMPARE(page.InputMixSlider()->Position(), 256);
    QCOMPARE(page.OutputMixSlider()->Position(), 256);
  }

  void BothChorusesHoldThePagesValuesFromTheLinkOn() {
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    QCOMPARE(chains.left->record.preFilterHz, 4000.0f);  // the effect's own
    ChorusPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QVERIFY(page.OnKillActive());
    for (ChorusEffect* chorus : {chains.left, chains.right}) {
      QCOMPARE(chorus->record.preFilterHz, 8000.0f);
      QCOMPARE(chorus->record.initialDelayMs, 5.0f);
      QCOMPARE(chorus->record.finalDelayMs, 10.0f);
      QCOMPARE(chorus->record.modLengthMs, 2000.0f);
      QCOMPARE(chorus->record.feedbackPercent, 25.0f);
    }
  }

  void LimitedValuesAreShownAsStored() {
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    ChorusPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    TypeIntoLabelled(page, {{"Feedback", "0"},
                            {"Initial Delay", "8"},
                            {"Final Delay", "5"},
                            {"Mod. Length", "50"},
                            {"Pre.Filter Cutoff", "20000"}});
    QVERIFY(page.OnKillActive());
    for (ChorusEffect* chorus : {chains.left, chains.right}) {
      QCOMPARE(chorus->record.feedbackPercent, 1.0f);
      QCOMPARE(chorus->record.initialDelayMs, 8.0f);
      QCOMPARE(chorus->record.finalDelayMs, 9.0f);  // initial + 1
      QCOMPARE(chorus->record.modLengthMs, 100.0f);
      QCOMPARE(chorus->record.preFilterHz, 16000.0f);
    }
    // What the page shows is what runs.
    QCOMPARE(Labelled(page, "Feedback")->text(), QStringLiteral("1"));
    QCOMPARE(Labelled(page, "Initial Delay")->text(), QStringLiteral("8"));
    QCOMPARE(Labelled(page, "Final Delay")->text(), QStringLiteral("9"));
    QCOMPARE(Labelled(page, "Pre.Filter Cutoff")->text(), QStringLiteral("16000"));

    // Upper limits; the initial delay leaves room for the final one above it.
    TypeIntoLabelled(page, {{"Feedback", "300"},
                            {"Initial Delay", "150"},
                            {"Final Delay", "120"},
                            {"Mod. Length", "60000"},
                            {"Pre.Filter Cutoff", "100"}});
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.right->record.feedbackPercent, 100.0f);
    QCOMPARE(chains.right->record.initialDelayMs, 99.0f);
    QCOMPARE(chains.right->record.finalDelayMs, 100.0f);
    QCOMPARE(chains.right->record.modLengthMs, 10000.0f);
    QCOMPARE(chains.right->record.preFilterHz, 500.0f);
  }

  void FinalDelayStaysAboveTheStoredInitialDelayAndWithinItsLimit() {
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    ChorusPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    // Typed initial and final delays, then what both choruses store. The
    // edits take digits only; a pasted sign still reaches them.
    struct Case {
      const char* initial;
      const char* final;
      float storedInitial;
      float storedFinal;
    };
    for (const Case& c : {Case{"150", "50", 99.0f, 100.0f}, Case{"150", "120", 99.0f, 100.0f},
                          Case{"-20", "-5", 1.0f, 2.0f}, Case{"-50", "30", 1.0f, 30.0f},
                          Case{"8", "5", 8.0f, 9.0f}, Case{"5", "10", 5.0f, 10.0f}}) {
      Labelled(page, "Initial Delay")->setText(QString::fromUtf8(c.initial));
      Labelled(page, "Final Delay")->setText(QString::fromUtf8(c.final));
      QVERIFY(page.OnKillActive());
      for (ChorusEffect* chorus : {chains.left, chains.right}) {
        QCOMPARE(chorus->record.initialDelayMs, c.storedInitial);
        QCOMPARE(chorus->record.finalDelayMs, c.storedFinal);
      }
      // The next run prepares a line longer than a block.
      chains.Prepare(256, 44100);
      QVERIFY(chains.left->record.lineLength > 256);
      chains.Release();
    }
  }

  void AnEntryThatIsNotANumberKeepsThePageAndWritesNothing() {
    RecordedMessages messages;
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    ChorusPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->setChecked(true);
    TypeInto(Labelled(page, "Pre.Filter Cutoff"), QStringLiteral("9000"));
    Labelled(page, "Final Delay")->setText(QStringLiteral("7 ms"));  // pasted
    QVERIFY(!page.OnKillActive());
    QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter a number.")});
    QCOMPARE(Labelled(page, "Final Delay")->text(), QStringLiteral("7 ms"));
    QCOMPARE(Labelled(page, "Final Delay")->selectedText(), QStringLiteral("7 ms"));
    QCOMPARE(chains.left->record.preFilterHz, 8000.0f);
    QCOMPARE(chains.right->record.finalDelayMs, 10.0f);
    QCOMPARE(chains.left->enabled, 0);
    // An empty field is not a number either.
    Labelled(page, "Final Delay")->clear();
    page.EnableBox()->click();
    QCOMPARE(messages.texts.size(), 2);
    TypeInto(Labelled(page, "Final Delay"), QStringLiteral("12"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.finalDelayMs, 12.0f);
    QCOMPARE(chains.left->record.preFilterHz, 9000.0f);
  }

  void EditsTakeOnlyTypedDigits() {
    ChorusPage page;
    NumberEdit* edit = Labelled(page, "Mod. Length");
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("4x5.0-"));
    QCOMPARE(edit->text(), QStringLiteral("450"));
  }

  void EnableBoxTakesTheDataAndEnablesBoth() {
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    ChorusPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->click();
    QCOMPARE(chains.left->enabled, 1);
    QCOMPARE(chains.right->enabled, 1);
    QCOMPARE(chains.left->record.feedbackPercent, 25.0f);
    page.EnableBox()->click();
    QCOMPARE(chains.right->enabled, 0);
  }

  void MixSlidersActOnBothAtOnceTopLargest() {
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    ChorusPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.InputMixSlider()->Slider(), 0);
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("200%"));
    QCOMPARE(chains.left->GetDryInputMix(), 512);
    QCOMPARE(chains.right->GetDryInputMix(), 512);
    DragSlider(page.OutputMixSlider()->Slider(), 512 - 7);
    QCOMPARE(page.OutputMixSlider()->Text(), QStringLiteral("2%"));
    QCOMPARE(chains.right->GetDryOutputMix(), 6);
    // Entering the page again rounds what the levels read back.
    DragSlider(page.InputMixSlider()->Slider(), 512 - 2);
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("0%"));
    page.OnSetActive();
    QCOMPARE(page.InputMixSlider()->Text(), RoundedPercentText(chains.left->GetDryInputMix()));
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("1%"));
  }

  void OutputSliderFollowsTheRightLevelAndItsTextTheLeft() {
    ChainPair<ChorusEffect> chains(kChorusEffectId);
    ChorusPage page;
    chains.LinkTo(page);
    chains.left->SetDryOutputMix(100);
    chains.right->SetDryOutputMix(400);
    page.OnSetActive();
    QCOMPARE(page.OutputMixSlider()->Position(), 512 - chains.right->GetDryOutputMix());
    QCOMPARE(page.OutputMixSlider()->Text(), QStringLiteral("39%"));
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("100%"));
  }
};

QTEST_MAIN(ChorusPageTest)
#include "chorus_page_test.moc"
