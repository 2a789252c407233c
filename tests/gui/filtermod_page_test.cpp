// The Filt.Mod. page: the modulator length and filter values written on
// leaving with their limits (the same for both channels), digits-only
// edits, and refused entries.

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QTest>

#include "effects/effect_factory.h"
#include "effects/filter_modulation_effect.h"
#include "support/pages_test_support.h"
#include "ui/filtermod_page.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"

using pages_test::ChainPair;
using pages_test::DragSlider;
using pages_test::Labelled;
using pages_test::RecordedMessages;
using pages_test::TypeInto;
using pages_test::TypeIntoLabelled;

class FilterModPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsItsControlsAndInitialValues() {
    FilterModPage page;
    QCOMPARE(page.Title(), QStringLiteral("Filt.Mod."));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable Filter Modulation"));
    QCOMPARE(Labelled(page, "Modulator Length")->text(), QStringLiteral("4000"));
    QCOMPARE(Labelled(page, "Final Cutoff Freq.")->text(), QStringLiteral("10000"));
    QCOMPARE(Labelled(page, "Initial Resonance")->text(), QStringLiteral("0.707"));
  }

  void ModulatorLengthIsLimitedForBoth() {
    ChainPair<FilterModulationEffect> chains(kFilterModulationEffectId);
    FilterModPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(chains.left->record.finalCutoff, 10000.0f);  // the page's, from the link on
    TypeInto(Labelled(page, "Modulator Length"), QStringLiteral("50"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.modulatorLengthMs, 100.0f);
    QCOMPARE(chains.right->record.modulatorLengthMs, 100.0f);
    QCOMPARE(chains.right->record.finalCutoff, 10000.0f);
    TypeInto(Labelled(page, "Modulator Length"), QStringLiteral("20000"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.modulatorLengthMs, 16000.0f);
    QCOMPARE(chains.right->record.modulatorLengthMs, 16000.0f);
    QCOMPARE(Labelled(page, "Modulator Length")->text(), QStringLiteral("16000"));
  }

  void ZeroFinalResonanceGivesBothTheSameFloor() {
    ChainPair<FilterModulationEffect> chains(kFilterModulationEffectId);
    FilterModPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    TypeIntoLabelled(page, {{"Final Resonance", "0"}, {"Initial Cutoff Freq.", "25000"}});
    Labelled<QComboBox>(page, "Freq. Scaling")->setCurrentIndex(1);
    QVERIFY(page.OnKillActive());
    for (FilterModulationEffect* effect : {chains.left, chains.right}) {
      QCOMPARE(effect->record.finalResonance, 0.5f);
      QCOMPARE(effect->record.initialResonance, 0.707f);
      QCOMPARE(effect->record.initialCutoff, 22000.0f);
      QCOMPARE(effect->record.sweepScaling, 1);
      QCOMPARE(effect->record.filterKind, 0);
    }
  }

  void EditsTakeOnlyTypedDigits() {
    FilterModPage page;
    for (NumberEdit* edit :
         {Labelled(page, "Final Resonance"), Labelled(page, "Modulator Length")}) {
      edit->clear();
      QTest::keyClicks(edit, QStringLiteral("1.5e3"));
      QCOMPARE(edit->text(), QStringLiteral("153"));
    }
  }

  void AnEntryThatIsNotANumberKeepsThePage() {
    RecordedMessages messages;
    ChainPair<FilterModulationEffect> chains(kFilterModulationEffectId);
    FilterModPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->setChecked(true);
    TypeInto(Labelled(page, "Final Cutoff Freq."), QStringLiteral("6000"));
    Labelled(page, "Modulator Length")->clear();
    QVERIFY(!page.OnKillActive());
    QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter a number.")});
    QCOMPARE(chains.left->record.finalCutoff, 10000.0f);
    QCOMPARE(chains.right->enabled, 0);
    TypeInto(Labelled(page, "Modulator Length"), QStringLiteral("3000"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.right->enabled, 1);
    QCOMPARE(chains.left->record.modulatorLengthMs, 3000.0f);
  }

  void MixSlidersSetBothAtOnce() {
    ChainPair<FilterModulationEffect> chains(kFilterModulationEffectId);
    FilterModPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.OutputMixSlider()->Slider(), 0);
    QCOMPARE(page.OutputMixSlider()->Text(), QStringLiteral("200%"));
    QCOMPARE(chains.left->GetDryOutputMix(), 510);
    QCOMPARE(chains.right->GetDryOutputMix(), 510);
  }
};

QTEST_MAIN(FilterModPageTest)
#include "filtermod_page_test.moc"
