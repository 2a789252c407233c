// The AutoWah page: the lists and values written on leaving with their
// limits (the same for both channels), refused entries, and the mixes.

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QTest>

#include "effects/effect_factory.h"
#include "effects/envelope_filter_effect.h"
#include "support/pages_test_support.h"
#include "ui/autowah_page.h"
#include "ui/mix_slider.h"
#include "ui/number_edit.h"

using pages_test::ChainPair;
using pages_test::DragSlider;
using pages_test::Labelled;
using pages_test::RecordedMessages;
using pages_test::TypeInto;
using pages_test::TypeIntoLabelled;

class AutoWahPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsItsControlsAndInitialValues() {
    AutoWahPage page;
    QCOMPARE(page.Title(), QStringLiteral("AutoWah"));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable AutoWah"));
    QCOMPARE(Labelled<QComboBox>(page, "Filter Type")->count(), 5);
    QCOMPARE(Labelled<QComboBox>(page, "Filter Type")->currentText(), QStringLiteral("LowPass"));
    QCOMPARE(Labelled<QComboBox>(page, "Filter Type")->itemText(4), QStringLiteral("AllPass"));
    QCOMPARE(Labelled<QComboBox>(page, "Freq. Scaling")->count(), 3);
    QCOMPARE(Labelled<QComboBox>(page, "Freq. Scaling")->itemText(2),
             QStringLiteral("Rev.Exponential"));
    QCOMPARE(Labelled(page, "Initial Cutoff Freq.")->text(), QStringLiteral("100"));
    QCOMPARE(Labelled(page, "Initial Resonance")->text(), QStringLiteral("0.707"));
    QCOMPARE(Labelled(page, "Final Cutoff Freq.")->text(), QStringLiteral("10000"));
    QCOMPARE(Labelled(page, "Final Resonance")->text(), QStringLiteral("0.707"));
  }

  void LeavingWritesListsAndLimitedValuesIntoBoth() {
    ChainPair<EnvelopeFilterEffect> chains(kEnvelopeFilterEffectId);
    AutoWahPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(chains.left->record.finalCutoff, 10000.0f);  // the page's, from the link on
    Labelled<QComboBox>(page, "Filter Type")->setCurrentIndex(1);
    Labelled<QComboBox>(page, "Freq. Scaling")->setCurrentIndex(2);
    TypeIntoLabelled(
        page,
        {{"Initial Cutoff Freq.", "50"}, {"Final Resonance", "0.2"}, {"Initial Resonance", "250"}});
    QVERIFY(page.OnKillActive());
    for (EnvelopeFilterEffect* effect : {chains.left, chains.right}) {
      QCOMPARE(effect->record.filterKind, 1);
      QCOMPARE(effect->record.sweepScaling, 2);
      QCOMPARE(effect->record.initialCutoff, 100.0f);
      QCOMPARE(effect->record.initialResonance, 100.0f);
      QCOMPARE(effect->record.finalCutoff, 10000.0f);
      // Both channels get the same floor, so they filter alike.
      QCOMPARE(effect->record.finalResonance, 0.5f);
    }
    // The edits show what runs.
    QCOMPARE(Labelled(page, "Initial Cutoff Freq.")->text(), QStringLiteral("100"));
    QCOMPARE(Labelled(page, "Final Resonance")->text(), QStringLiteral("0.5"));

    Labelled<QComboBox>(page, "Filter Type")->setCurrentIndex(3);
    TypeInto(Labelled(page, "Final Cutoff Freq."), QStringLiteral("30000"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.right->record.filterKind, 3);
    QCOMPARE(chains.right->record.finalCutoff, 22000.0f);
    Labelled<QComboBox>(page, "Filter Type")->setCurrentIndex(4);
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->record.filterKind, 4);
  }

  void LettersInACutoffKeepThePage() {
    RecordedMessages messages;
    ChainPair<EnvelopeFilterEffect> chains(kEnvelopeFilterEffectId);
    AutoWahPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->setChecked(true);
    Labelled<QComboBox>(page, "Filter Type")->setCurrentIndex(2);
    TypeInto(Labelled(page, "Final Cutoff Freq."), QStringLiteral("high"));
    QVERIFY(!page.OnKillActive());
    QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter a number.")});
    QCOMPARE(chains.left->record.filterKind, 0);
    QCOMPARE(chains.left->enabled, 0);
    TypeInto(Labelled(page, "Final Cutoff Freq."), QStringLiteral("3000"));
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->enabled, 1);
    QCOMPARE(chains.right->enabled, 1);
    QCOMPARE(chains.right->record.filterKind, 2);
  }

  void EnableBoxIsTakenOnlyWhenLeaving() {
    ChainPair<EnvelopeFilterEffect> chains(kEnvelopeFilterEffectId);
    AutoWahPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->click();
    QCOMPARE(chains.left->enabled, 0);
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.left->enabled, 1);
  }

  void MixSlidersSetBothGainsAtOnce() {
    ChainPair<EnvelopeFilterEffect> chains(kEnvelopeFilterEffectId);
    AutoWahPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("99%"));
    DragSlider(page.InputMixSlider()->Slider(), 512 - 300);
    QCOMPARE(page.InputMixSlider()->Text(), QStringLiteral("117%"));
    QCOMPARE(chains.left->record.dryInputGain, 212);  // trunc(300 x 0.707)
    QCOMPARE(chains.right->record.dryInputGain, 212);
    DragSlider(page.OutputMixSlider()->Slider(), 512);
    QCOMPARE(chains.right->record.dryOutputGain, 0);
  }
};

QTEST_MAIN(AutoWahPageTest)
#include "autowah_page_test.moc"
