// The Reverb page: its initial values, the limits it applies when its data
// is taken, the number of echoes, and refused entries keeping the page.

#include <QCheckBox>
#include <QSpinBox>
#include <QTest>

#include "effects/effect_factory.h"
#include "effects/reverb_effect.h"
#include "support/pages_test_support.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"
#include "ui/reverb_page.h"

using pages_test::ChainPair;
using pages_test::DragSlider;
using pages_test::Labelled;
using pages_test::RecordedMessages;
using pages_test::TypeInto;
using pages_test::TypeIntoLabelled;

class ReverbPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsItsInitialValues() {
    ReverbPage page;
    QCOMPARE(page.Title(), QStringLiteral("Reverb"));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable Reverb"));
    QCOMPARE(Labelled<QSpinBox>(page, "Num.of Echoes")->minimum(), 2);
    QCOMPARE(Labelled<QSpinBox>(page, "Num.of Echoes")->maximum(), 16);
    QCOMPARE(Labelled<QSpinBox>(page, "Num.of Echoes")->value(), 6);
    QCOMPARE(Labelled(page, "Low Cutoff Freq.")->text(), QStringLiteral("100"));
    QCOMPARE(Labelled(page, "High Cutoff Freq.")->text(), QStringLiteral("4000"));
    QCOMPARE(Labelled(page, "Min.  Echo Duration")->text(), QStringLiteral("20"));
    QCOMPARE(Labelled(page, "Max. Echo Duration")->text(), QStringLiteral("25"));
    QCOMPARE(Labelled(page, "Reverberation Time")->text(), QStringLiteral("1000"));
  }

  void LimitedValuesAreShownAsStored() {
    ChainPair<ReverbEffect> chains(kReverbEffectId);
    ReverbPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    TypeIntoLabelled(page, {{"Low Cutoff Freq.", "20"},
                            {"High Cutoff Freq.", "30000"},
                            {"Min.  Echo Duration", "30"},
                            {"Max. Echo Duration", "10"},
                            {"Reverberation Time", "5000"}});
    Labelled<QSpinBox>(page, "Num.of Echoes")->setValue(16);
    QVERIFY(page.OnKillActive());
    for (ReverbEffect* reverb : {chains.left, chains.right}) {
      QCOMPARE(reverb->record.lowCutHz, 50.0f);
      QCOMPARE(reverb->record.highCutHz, 22000.0f);
      QCOMPARE(reverb->record.minEchoMs, 30.0f);
      QCOMPARE(reverb->record.maxEchoMs, 31.0f);
      QCOMPARE(reverb->record.reverbTimeMs, 4000.0f);
      QCOMPARE(reverb->record.requestedEchoCount, 16);
      QCOMPARE(reverb->record.echoCount, 6);  // until the next start
    }
    // What the page shows is what runs.
    QCOMPARE(Labelled(page, "High Cutoff Freq.")->text(), QStringLiteral("22000"));
    QCOMPARE(Labelled(page, "Max. Echo Duration")->text(), QStringLiteral("31"));
    QCOMPARE(Labelled(page, "Min.  Echo Duration")->text(), QStringLiteral("30"));

    TypeIntoLabelled(page, {{"Low Cutoff Freq.", "800"},
                            {"High Cutoff Freq.", "200"},
                            {"Min.  Echo Duration", "0.5"},
                            {"Max. Echo Duration", "250"},
                            {"Reverberation Time", "20"}});
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.lowCutHz, 500.0f);
    QCOMPARE(chains.left->record.highCutHz, 1000.0f);
    QCOMPARE(chains.left->record.minEchoMs, 1.0f);
    QCOMPARE(chains.left->record.maxEchoMs, 100.0f);
    QCOMPARE(chains.left->record.reverbTimeMs, 100.0f);
  }

  void MaximumEchoStaysAboveTheStoredMinimumAndWithinItsLimit() {
    ChainPair<ReverbEffect> chains(kReverbEffectId);
    ReverbPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    // Typed minimum and maximum, then what both reverbs store: the maximum's
    // floor is the stored minimum + 1, never the minimum as typed.
    struct Case {
      const char* min;
      const char* max;
      float storedMin;
      float storedMax;
    };
    for (const Case& c : {Case{"150", "120", 99.0f, 100.0f}, Case{"150", "50", 99.0f, 100.0f},
                          Case{"99.5", "10", 99.0f, 100.0f}, Case{"-20", "-5", 1.0f, 2.0f},
                          Case{"-1e9", "50", 1.0f, 50.0f}, Case{"40", "40.5", 40.0f, 41.0f},
                          Case{"30", "10", 30.0f, 31.0f}, Case{"20", "25", 20.0f, 25.0f}}) {
      TypeInto(Labelled(page, "Min.  Echo Duration"), QString::fromUtf8(c.min));
      TypeInto(Labelled(page, "Max. Echo Duration"), QString::fromUtf8(c.max));
      QVERIFY(page.OnKillActive());
      for (ReverbEffect* reverb : {chains.left, chains.right}) {
        QCOMPARE(reverb->record.minEchoMs, c.storedMin);
        QCOMPARE(reverb->record.maxEchoMs, c.storedMax);
      }
      // The next run prepares combs of positive, rising lengths.
      chains.Prepare(256, 44100);
      const ReverbSettings& s = chains.left->record;
      QVERIFY(s.combs[0].Delay() > 0);
      QVERIFY(s.combs[static_cast<size_t>(s.echoCount - 1)].Delay() >= s.combs[0].Delay());
      chains.Release();
    }
  }

  void AnEntryThatIsNotANumberKeepsThePageAndWritesNothing() {
    RecordedMessages messages;
    ChainPair<ReverbEffect> chains(kReverbEffectId);
    ReverbPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    TypeIntoLabelled(page, {{"Low Cutoff Freq.", "300"}, {"Reverberation Time", "long"}});
    Labelled<QSpinBox>(page, "Num.of Echoes")->setValue(3);
    page.EnableBox()->click();
    QVERIFY(!page.OnKillActive());
    QCOMPARE(messages.texts, QStringList({QStringLiteral("Please enter a number."),
                                          QStringLiteral("Please enter a number.")}));
    QCOMPARE(Labelled(page, "Reverberation Time")->text(), QStringLiteral("long"));
    QCOMPARE(chains.left->record.lowCutHz, 100.0f);
    QCOMPARE(chains.left->record.requestedEchoCount, 6);
    QCOMPARE(chains.left->enabled, 0);
    // Infinities pass no bound, so they are refused too.
    TypeInto(Labelled(page, "Reverberation Time"), QStringLiteral("inf"));
    QVERIFY(!page.OnKillActive());
    TypeInto(Labelled(page, "Reverberation Time"), QStringLiteral(" 2500 "));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.reverbTimeMs, 2500.0f);
    QCOMPARE(chains.right->record.requestedEchoCount, 3);
    QCOMPARE(chains.right->enabled, 1);
  }

  void MixSlidersSetEveryCombGainOfBoth() {
    ChainPair<ReverbEffect> chains(kReverbEffectId);
    ReverbPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("100%"));
    DragSlider(page.OutputMixSlider()->Slider(), 0);
    QCOMPARE(page.OutputMixSlider()->Text(), QStringLiteral("200%"));
    for (ReverbEffect* reverb : {chains.left, chains.right}) {
      QCOMPARE(reverb->GetDryOutputMix(), 512);
    }
    DragSlider(page.InputMixSlider()->Slider(), 512);
    QCOMPARE(chains.right->GetDryInputMix(), 0);
  }
};

QTEST_MAIN(ReverbPageTest)
#include "reverb_page_test.moc"
