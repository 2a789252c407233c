// The Graphic EQ page: its first showing, band sliders, the frequency and
// gain boxes, the spacing list, and both kernels redesigned at once.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <cmath>
#include <vector>

#include "app/effects_sheet.h"
#include "app/io_page.h"
#include "effects/effect_factory.h"
#include "effects/equalizer_effect.h"
#include "support/app_harness.h"
#include "support/pages_test_support.h"
#include "ui/eq_page.h"

using pages_test::ChainPair;
using pages_test::DragSlider;

namespace {
// The kernel spectrum of a prepared equalizer.
std::vector<Complex> KernelOf(const EqualizerEffect* eq) {
  return eq->record.kernel;
}

// The equalizer holds a copy of exactly this curve.
bool HoldsCurve(const EqualizerEffect* eq, const EqualizerBandCurve& curve) {
  return pages_test::SameCurve(eq->record.curve.View(), curve);
}

bool SameSpectrum(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].re != b[i].re || a[i].im != b[i].im) {
      return false;
    }
  }
  return true;
}

// Both chains as the I/O page leaves them: 44100 samples per second, blocks
// of `blockFrames` frames.
void SetRunSettings(ChainPair<EqualizerEffect>& chains, int32_t blockFrames) {
  for (EffectChain* chain : {&chains.leftChain, &chains.rightChain}) {
    chain->sampleRate = 44100;
    chain->blockFrames = blockFrames;
  }
}
}  // namespace

class EQPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { EQPage::SetCurrentBand(0); }

  void FirstShowingGivesEveryBandOneDecibelWithTheSlidersAtZero() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    EQPage page;
    chains.LinkTo(page);
    // The page's curves reach both equalizers when it is linked to them.
    QVERIFY(HoldsCurve(chains.left, page.LeftCurve()));
    QVERIFY(HoldsCurve(chains.right, page.RightCurve()));
    page.OnSetActive();
    QVERIFY(HoldsCurve(chains.left, page.LeftCurve()));
    QVERIFY(HoldsCurve(chains.right, page.RightCurve()));
    for (int band = 0; band < 16; ++band) {
      QCOMPARE(page.BandSlider(band)->value(), 0);
      QCOMPARE(page.BandSlider(band)->minimum(), -20);
      QCOMPARE(page.BandSlider(band)->maximum(), 60);
      QCOMPARE(page.LeftCurve()[band].y, 1.0f);
      QCOMPARE(page.RightCurve()[band].y, 1.0f);
      QCOMPARE(page.LeftCurve()[band].x, static_cast<float>(band * 0.20943951023333332));
    }
    QCOMPARE(page.GainEdit()->text(), QStringLiteral("1"));
    QCOMPARE(page.SpacingList()->count(), 4);
    QCOMPARE(page.SpacingList()->currentText(), QStringLiteral("Linear"));
    QCOMPARE(page.SpacingList()->itemText(3), QStringLiteral("1/4 Octaves"));
    QCOMPARE(page.EnableBox()->text(), QStringLiteral("Enable EQ"));
    QCOMPARE(page.Title(), QStringLiteral("Graphic EQ"));
  }

  void SliderAtTheTopSetsTwentyDecibelsAndSelectsItsBand() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    EQPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.BandSlider(3), -20);
    QCOMPARE(page.LeftCurve()[3].y, 20.0f);
    QCOMPARE(page.RightCurve()[3].y, 20.0f);
    QCOMPARE(page.GainEdit()->text(), QStringLiteral("20"));
    QCOMPARE(EQPage::CurrentBand(), 3);
    DragSlider(page.BandSlider(9), 60);
    QCOMPARE(page.RightCurve()[9].y, -60.0f);
    QCOMPARE(page.GainEdit()->text(), QStringLiteral("-60"));
    QCOMPARE(page.LeftCurve()[3].y, 20.0f);
    QCOMPARE(page.LeftCurve()[4].y, 1.0f);
  }

  void APressAndReleaseWithoutAMoveSelectsTheBand() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    EQPage page;
    chains.LinkTo(page);
    page.show();
    page.OnSetActive();
    QSlider* slider = page.BandSlider(7);
    slider->setValue(-6);
    EQPage::SetCurrentBand(0);
    page.OnSetActive();
    QCOMPARE(page.FrequencySpin()->value(), 0);
    // A click on the thumb: pressed and released where it stands.
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.upsideDown = !slider->invertedAppearance();
    const QPoint thumb =
        slider->style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
            .center();
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    QCOMPARE(EQPage::CurrentBand(), 7);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb);
    QCOMPARE(slider->value(), -6);
    QCOMPARE(EQPage::CurrentBand(), 7);
    QCOMPARE(page.GainEdit()->text(), QStringLiteral("6"));
    QVERIFY(std::abs(page.FrequencySpin()->value() - 7 * 1470) <= 1);
    // A band never moved before takes its slider's value.
    EQPage::SetCurrentBand(0);
    page.BandSlider(2)->setSliderDown(true);
    page.BandSlider(2)->setSliderDown(false);
    QCOMPARE(EQPage::CurrentBand(), 2);
    QCOMPARE(page.LeftCurve()[2].y, 0.0f);
    QCOMPARE(page.RightCurve()[2].y, 0.0f);
  }

  void BandLimitsNeverCrossAndKeepTheFrequenciesRising() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    EQPage page;
    chains.LinkTo(page);
    // The I/O page's defaults (22000 Hz, blocks of 128 bytes: 32 frames of
    // 16-bit stereo, a margin of 1375 Hz), shorter margins, and a long block.
    for (const int32_t blockFrames : {32, 64, 128, 8192}) {
      for (EffectChain* chain : {&chains.leftChain, &chains.rightChain}) {
        chain->sampleRate = 22000;
        chain->blockFrames = blockFrames;
      }
      for (int spacing = 0; spacing < 4; ++spacing) {
        page.SpacingList()->setCurrentIndex(spacing);
        page.OnSetActive();
        for (int band = 1; band < 15; ++band) {
          QSlider* slider = page.BandSlider(band);
          DragSlider(slider, slider->value() == 0 ? -1 : 0);
          QSpinBox* spin = page.FrequencySpin();
          const auto hzOf = [&page](int b) {
            return page.LeftCurve()[static_cast<size_t>(b)].x * 22000 / 6.283185307;
          };
          const QString where =
              QStringLiteral("block %1 spacing %2 band %3").arg(blockFrames).arg(spacing).arg(band);
          QVERIFY2(spin->minimum() <= spin->value() && spin->value() <= spin->maximum(),
                   qPrintable(where));
          QVERIFY2(spin->minimum() > hzOf(band - 1), qPrintable(where));
          QVERIFY2(spin->maximum() < hzOf(band + 1), qPrintable(where));
          QVERIFY2(std::abs(spin->value() - hzOf(band)) < 1.0, qPrintable(where));
          // To either limit and a step past it: the band stays between its
          // neighbours, and so does every other.
          for (const int target : {spin->maximum(), spin->minimum()}) {
            spin->setValue(target);
            spin->stepUp();
            spin->stepDown();
            for (int b = 1; b < 16; ++b) {
              QVERIFY2(page.LeftCurve()[static_cast<size_t>(b)].x >
                           page.LeftCurve()[static_cast<size_t>(b - 1)].x,
                       qPrintable(where));
            }
            QCOMPARE(page.RightCurve()[static_cast<size_t>(band)].x,
                     page.LeftCurve()[static_cast<size_t>(band)].x);
          }
          page.SpacingList()->setCurrentIndex(spacing == 0 ? 1 : 0);
          page.SpacingList()->setCurrentIndex(spacing);
        }
      }
    }
  }

  void EndBandsArePinnedAndInnerBandsStayBetweenTheirNeighbours() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    EQPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    QSpinBox* spin = page.FrequencySpin();
    QCOMPARE(spin->minimum(), 0);
    QCOMPARE(spin->maximum(), 0);
    QCOMPARE(spin->value(), 0);
    DragSlider(page.BandSlider(15), 10);
    QCOMPARE(spin->minimum(), 22050);
    QCOMPARE(spin->maximum(), 22050);
    QCOMPARE(spin->value(), 22050);
    spin->stepUp();
    QCOMPARE(spin->value(), 22050);
    // Linear bands sit 1470 Hz apart; the margin is 2 x 44100 / 4096 = 21 Hz.
    DragSlider(page.BandSlider(5), 10);
    QVERIFY(std::abs(spin->value() - 7350) <= 1);
    QVERIFY(std::abs(spin->minimum() - (5880 + 21)) <= 1);
    QVERIFY(std::abs(spin->maximum() - (8820 - 21)) <= 1);
  }

  void NoMarginWhileTheBlockLengthIsUnknown() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 0);
    EQPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.BandSlider(5), 10);
    QVERIFY(std::abs(page.FrequencySpin()->minimum() - 5880) <= 1);
    QVERIFY(std::abs(page.FrequencySpin()->maximum() - 8820) <= 1);
  }

  void SteppingTheFrequencyMovesTheBandWithoutARedesign() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    chains.Prepare(64, 44100);
    EQPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    DragSlider(page.BandSlider(5), 10);
    const std::vector<Complex> before = KernelOf(chains.left);
    page.FrequencySpin()->setValue(7300);  // within 5880 + 1378 .. 8820 - 1378
    const float expected = static_cast<float>(7300.0 / 44100 * 6.283185307);
    QCOMPARE(page.LeftCurve()[5].x, expected);
    QCOMPARE(page.RightCurve()[5].x, expected);
    QVERIFY(SameSpectrum(KernelOf(chains.left), before));
    // The next slider move redesigns with the new frequency.
    DragSlider(page.BandSlider(5), 5);
    QVERIFY(!SameSpectrum(KernelOf(chains.left), before));
    chains.Release();
  }

  void SpacingChangeMovesEveryFrequencyAndRedesignsBothKernels() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    EQPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    chains.Prepare(64, 44100);
    DragSlider(page.BandSlider(2), -12);
    const EqualizerBandCurve linear = page.LeftCurve();
    const std::vector<Complex> leftBefore = KernelOf(chains.left);
    const std::vector<Complex> rightBefore = KernelOf(chains.right);

    page.SpacingList()->setCurrentIndex(1);
    for (int band = 0; band < 15; ++band) {
      QVERIFY(page.LeftCurve()[band].x != linear[band].x);
      QCOMPARE(page.LeftCurve()[band].y, linear[band].y);
      QCOMPARE(page.RightCurve()[band].x, page.LeftCurve()[band].x);
    }
    QCOMPARE(page.LeftCurve()[15].x, 3.1415927f);
    // 1/2 octave at 44100: the lowest band near 22050 x 2^-7.5 = 122 Hz.
    QVERIFY(std::abs(page.LeftCurve()[0].x * 44100 / 6.283185307 - 121.8) < 1.0);
    QVERIFY(!SameSpectrum(KernelOf(chains.left), leftBefore));
    QVERIFY(!SameSpectrum(KernelOf(chains.right), rightBefore));

    // The redesigned kernel is the one the new curve gives.
    EqualizerEffect reference;
    reference.SetBandCurve(page.LeftCurve());
    reference.Prepare(reference.settings, 64, 44100);
    QVERIFY(SameSpectrum(KernelOf(chains.left), KernelOf(&reference)));
    QVERIFY(SameSpectrum(KernelOf(chains.right), KernelOf(&reference)));
    reference.Release();
    chains.Release();
  }

  // In the program: the I/O page's block length reaches the chains as the
  // frames a run prepares them with, so starting a run leaves the limits of
  // the band shown as they were.
  void BandLimitsAreTheSameBeforeAndDuringARun() {
    gui_test::MessageLog messages;
    gui_test::StartedApp program(gui_test::ListIndexOf("Equalizer"),
                                 gui_test::ListIndexOf("Delay"));
    EffectsSheet& sheet = program.Sheet();
    auto* page = dynamic_cast<EQPage*>(sheet.EffectPage(0));
    QVERIFY(page != nullptr);
    const int eqTab = sheet.indexOf(page);
    gui_test::PickInList(sheet.IO().BlockLengthList(), 5);  // "8192": 4096 bytes
    gui_test::ClickTab(sheet, eqTab);
    DragSlider(page->BandSlider(5), 10);
    const int lower = page->FrequencySpin()->minimum();
    const int upper = page->FrequencySpin()->maximum();
    // 22000 Hz and 1024 frames of 16-bit stereo: a margin of 2 x 22000 /
    // 1024 = 42 Hz from the neighbours at 2933 and 4400 Hz.
    QVERIFY(std::abs(lower - (2933 + 42)) <= 1);
    QVERIFY(std::abs(upper - (4400 - 42)) <= 1);

    gui_test::ClickTab(sheet, 0);
    sheet.IO().StartButtonWidget()->click();
    QVERIFY(sheet.LeftChain().prepared);
    gui_test::ClickTab(sheet, eqTab);
    QCOMPARE(page->FrequencySpin()->minimum(), lower);
    QCOMPARE(page->FrequencySpin()->maximum(), upper);
    gui_test::ClickTab(sheet, 0);
    sheet.IO().StartButtonWidget()->click();
    QVERIFY(!sheet.LeftChain().prepared);
    QVERIFY(messages.texts.isEmpty());
  }

  void EnableBoxSwitchesBothEqualizers() {
    ChainPair<EqualizerEffect> chains(kEqualizerEffectId);
    SetRunSettings(chains, 4096);
    EQPage page;
    chains.LinkTo(page);
    page.OnSetActive();
    page.EnableBox()->click();
    QCOMPARE(chains.left->enabled, 1);
    QCOMPARE(chains.right->enabled, 1);
    page.EnableBox()->setChecked(false);
    QVERIFY(page.OnKillActive());
    QCOMPARE(chains.rightChain.records[0].enabled, 0);
  }
};

QTEST_MAIN(EQPageTest)
#include "eq_page_test.moc"
