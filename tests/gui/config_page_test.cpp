// The Config page: the loaded effects in processing order, moved, enabled
// and mixed in both chains at once.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QToolButton>
#include <QtTest>

#include "effects/effect_factory.h"
#include "tests/gui/support/app_harness.h"
#include "ui/mix_slider.h"

using gui_test::ClickTab;
using gui_test::ListIndexOf;
using gui_test::StartedApp;

namespace {
QStringList ListTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) {
    texts.push_back(list->item(i)->text());
  }
  return texts;
}
QList<int> ChainTypes(const EffectChain& chain) {
  QList<int> types;
  for (const Effect* node = chain.head; node; node = node->next) {
    types.push_back(node->typeId);
  }
  return types;
}
// The record array mirrors the list, in order.
bool RecordsMirrorList(const EffectChain& chain) {
  int i = 0;
  for (const Effect* node = chain.head; node; node = node->next, ++i) {
    if (i >= chain.count || chain.records[i].settings != node->settings ||
        chain.records[i].enabled != node->enabled) {
      return false;
    }
  }
  return i == chain.count;
}
// Moves a mix slider as a user does, to the given mix position.
void MoveMix(MixSlider* mix, int mixPosition) {
  mix->Slider()->setValue(512 - mixPosition);
}
}  // namespace

class ConfigPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsTheChainsInOrderWhenFirstEntered();
  void MovingTheFirstEffectDownSwapsBothChains();
  void ArrowsStopAtTheEnds();
  void SelectingAnEffectShowsItsState();
  void CheckBoxEnablesBothChannels();
  void LeavingThePageTakesTheCheckBox();
  void SlidersSetBothEffectsAndLabelsTruncateThenRound();
  void EqualizerStandsAtOneHundredPercent();
};

void ConfigPageTest::ShowsTheChainsInOrderWhenFirstEntered() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Check1"));
  ClickTab(sheet, 1);
  QCOMPARE(ListTexts(page.EffectList()), QStringList({"Chorus Effect", "Reverb Effect"}));
  QCOMPARE(page.EffectList()->currentRow(), 0);
  QCOMPARE(page.SpinPosition(), 1);
  QCOMPARE(page.SpinMaximum(), 2);
  QCOMPARE(page.PositionEdit()->text(), QStringLiteral("1"));
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Chorus Effect Disabled"));
  QVERIFY(!page.EnableBox()->isChecked());
  QCOMPARE(page.LeftSelected(), sheet.LeftChain().head);
  QCOMPARE(page.RightSelected(), sheet.RightChain().head);
  QCOMPARE(sheet.LeftChain().cursor, sheet.LeftChain().head);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("100%"));
  QCOMPARE(page.OutputMix()->Text(), QStringLiteral("100%"));
  QCOMPARE(page.InputMix()->MixPosition(), 256);
}

void ConfigPageTest::MovingTheFirstEffectDownSwapsBothChains() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  ClickTab(sheet, 1);
  Effect* chorusLeft = sheet.LeftChain().head;
  page.LaterButton()->click();
  QCOMPARE(ListTexts(page.EffectList()), QStringList({"Reverb Effect", "Chorus Effect"}));
  QCOMPARE(page.EffectList()->currentRow(), 1);
  QCOMPARE(page.SpinPosition(), 2);
  QCOMPARE(page.PositionEdit()->text(), QStringLiteral("2"));
  const QList<int> moved = {kReverbEffectId, kChorusEffectId};
  QCOMPARE(ChainTypes(sheet.LeftChain()), moved);
  QCOMPARE(ChainTypes(sheet.RightChain()), moved);
  QVERIFY(RecordsMirrorList(sheet.LeftChain()));
  QVERIFY(RecordsMirrorList(sheet.RightChain()));
  // The moved effect stays selected.
  QCOMPARE(page.LeftSelected(), chorusLeft);
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Chorus Effect Disabled"));

  page.EarlierButton()->click();
  const QList<int> back = {kChorusEffectId, kReverbEffectId};
  QCOMPARE(ChainTypes(sheet.LeftChain()), back);
  QCOMPARE(ChainTypes(sheet.RightChain()), back);
  QCOMPARE(page.SpinPosition(), 1);
  QCOMPARE(page.LeftSelected(), chorusLeft);
}

void ConfigPageTest::ArrowsStopAtTheEnds() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  ClickTab(sheet, 1);
  page.EarlierButton()->click();  // already first
  QCOMPARE(ChainTypes(sheet.LeftChain()), QList<int>({kChorusEffectId, kReverbEffectId}));
  QCOMPARE(page.SpinPosition(), 1);
  page.EffectList()->setCurrentRow(1);
  page.LaterButton()->click();  // already last
  QCOMPARE(ChainTypes(sheet.LeftChain()), QList<int>({kChorusEffectId, kReverbEffectId}));
  QCOMPARE(page.SpinPosition(), 2);
  QCOMPARE(page.EffectList()->currentRow(), 1);
}

void ConfigPageTest::SelectingAnEffectShowsItsState() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  // The reverb is enabled and mixed elsewhere (as its own page does).
  Effect* reverbLeft = sheet.LeftChain().tail;
  sheet.LeftChain().SetEnabled(reverbLeft, 1);
  reverbLeft->SetDryInputMix(512);
  ClickTab(sheet, 1);
  page.EffectList()->setCurrentRow(1);
  QCOMPARE(page.SpinPosition(), 2);
  QCOMPARE(page.LeftSelected(), reverbLeft);
  QCOMPARE(page.RightSelected(), sheet.RightChain().tail);
  QVERIFY(page.EnableBox()->isChecked());
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Reverb Effect Enabled"));
  QCOMPARE(page.InputMix()->MixPosition(), 512);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("200%"));
}

void ConfigPageTest::CheckBoxEnablesBothChannels() {
  StartedApp program(ListIndexOf("Delay"), ListIndexOf("Equalizer"));
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  ClickTab(sheet, 1);
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Delay Effect Disabled"));
  page.EnableBox()->click();
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Delay Effect Enabled"));
  QCOMPARE(sheet.LeftChain().head->enabled, 1);
  QCOMPARE(sheet.RightChain().head->enabled, 1);
  QCOMPARE(sheet.LeftChain().records[0].enabled, 1);
  QCOMPARE(sheet.RightChain().records[0].enabled, 1);
  QCOMPARE(sheet.LeftChain().records[1].enabled, 0);
  page.EnableBox()->click();
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Delay Effect Disabled"));
  QCOMPARE(sheet.RightChain().records[0].enabled, 0);
}

void ConfigPageTest::LeavingThePageTakesTheCheckBox() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  ClickTab(sheet, 1);
  page.EnableBox()->setChecked(true);  // ticked without a click report
  QCOMPARE(sheet.LeftChain().head->enabled, 0);
  ClickTab(sheet, 0);
  QCOMPARE(sheet.LeftChain().head->enabled, 1);
  QCOMPARE(sheet.RightChain().head->enabled, 1);
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Chorus Effect Enabled"));
  // Coming back shows the flag the effect holds.
  sheet.LeftChain().SetEnabled(sheet.LeftChain().head, 0);
  ClickTab(sheet, 1);
  QVERIFY(!page.EnableBox()->isChecked());
}

void ConfigPageTest::SlidersSetBothEffectsAndLabelsTruncateThenRound() {
  StartedApp program;
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  ClickTab(sheet, 1);
  Effect* left = sheet.LeftChain().head;
  Effect* right = sheet.RightChain().head;

  MoveMix(page.InputMix(), 100);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("39%"));
  QCOMPARE(left->GetDryInputMix(), 99);  // the chorus reads 100 back as 99
  QCOMPARE(right->GetDryInputMix(), 99);
  ClickTab(sheet, 0);
  ClickTab(sheet, 1);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("39%"));  // trunc(99 x 0.390625 + 0.5)
  QCOMPARE(page.InputMix()->MixPosition(), 99);

  // 255 reads back unchanged: 99.6 % truncates while moving and rounds when shown.
  MoveMix(page.OutputMix(), 255);
  QCOMPARE(page.OutputMix()->Text(), QStringLiteral("99%"));
  QCOMPARE(left->GetDryOutputMix(), 255);
  QCOMPARE(right->GetDryOutputMix(), 255);
  ClickTab(sheet, 0);
  ClickTab(sheet, 1);
  QCOMPARE(page.OutputMix()->Text(), QStringLiteral("100%"));

  MoveMix(page.InputMix(), 512);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("200%"));
  QCOMPARE(left->GetDryInputMix(), 512);
  MoveMix(page.InputMix(), 0);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("0%"));
  QCOMPARE(right->GetDryInputMix(), 0);
  // The reverb, not selected, kept its levels.
  QCOMPARE(sheet.LeftChain().tail->GetDryInputMix(), 256);
}

void ConfigPageTest::EqualizerStandsAtOneHundredPercent() {
  StartedApp program(ListIndexOf("Equalizer"), ListIndexOf("Delay"));
  EffectsSheet& sheet = program.Sheet();
  ConfigPage& page = sheet.Config();
  ClickTab(sheet, 1);
  QCOMPARE(page.EnableBox()->text(), QStringLiteral("Equalizer Effect Disabled"));
  QCOMPARE(page.InputMix()->MixPosition(), 256);
  QCOMPARE(page.OutputMix()->MixPosition(), 256);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("100%"));
  MoveMix(page.InputMix(), 400);
  QCOMPARE(sheet.LeftChain().head->GetDryInputMix(), 256);
  page.EffectList()->setCurrentRow(1);
  page.EffectList()->setCurrentRow(0);
  QCOMPARE(page.InputMix()->Text(), QStringLiteral("100%"));
}

QTEST_MAIN(ConfigPageTest)
#include "config_page_test.moc"
