#include "tests/gui/support/app_harness.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "tests/support/wave_builder.h"

namespace gui_test {

MessageLog::MessageLog() {
  previous_ = SetMessageRecorder([this](const QString& text) { texts.push_back(text); });
}

MessageLog::~MessageLog() {
  SetMessageRecorder(std::move(previous_));
}

void PickInList(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

namespace {
void AnswerWhenOpen(const std::function<void(EffectChoiceDialog&)>& answer, int attemptsLeft) {
  auto* dialog = qobject_cast<EffectChoiceDialog*>(QApplication::activeModalWidget());
  if (!dialog) {
    if (attemptsLeft > 0) {
      QTimer::singleShot(10, [answer, attemptsLeft] { AnswerWhenOpen(answer, attemptsLeft - 1); });
    }
    return;
  }
  if (answer) {
    answer(*dialog);
  }
  dialog->OkButton()->click();
}
}  // namespace

void AnswerChoiceDialog(std::function<void(EffectChoiceDialog&)> answer) {
  QTimer::singleShot(0, [answer] { AnswerWhenOpen(answer, 500); });
}

int ListIndexOf(const char* listText) {
  const auto kinds = EffectPageKinds();
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (QString::fromUtf8(kinds[i].listText) == QString::fromUtf8(listText)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

namespace {
std::function<void(EffectChoiceDialog&)> Picking(int pickA, int pickB) {
  if (pickA < 0) {
    return nullptr;
  }
  return [pickA, pickB](EffectChoiceDialog& dialog) {
    PickInList(dialog.ListA(), pickA);
    PickInList(dialog.ListB(), pickB);
  };
}
}  // namespace

StartedApp::StartedApp(int pickA, int pickB, int inputs, int outputs) {
  Start(Picking(pickA, pickB), inputs, outputs);
}

StartedApp::StartedApp() {
  Start(nullptr, 2, 2);
}

StartedApp::StartedApp(const QString& sessionPath, const QString& preset, int pickA, int pickB)
    : sessionPath_(sessionPath) {
  Start(Picking(pickA, pickB), 2, 2, preset);
}

void StartedApp::Start(std::function<void(EffectChoiceDialog&)> answer, int inputs, int outputs,
                       const QString& preset) {
  lockPath_ = lockFolder_.filePath(QStringLiteral("instance.lock"));
  if (sessionPath_.isEmpty()) {
    sessionPath_ = lockFolder_.filePath(QStringLiteral("session.json"));
  }
  auto service = std::make_unique<LoggedWaveService>(inputs, outputs, log_);
  service_ = service.get();
  app_ = std::make_unique<EffectsApp>(lockPath_, sessionPath_);
  app_->SetStartPreset(preset);
  // Without a preset the choice dialog opens; with one it may not, and the
  // answer then finds no dialog and gives up.
  AnswerChoiceDialog(std::move(answer));
  started = app_->Start(std::move(service));
}

QStringList TabCaptions(const EffectsSheet& sheet) {
  QStringList captions;
  for (int i = 0; i < sheet.count(); ++i) {
    captions.push_back(sheet.tabText(i));
  }
  return captions;
}

void ClickTab(EffectsSheet& sheet, int index) {
  sheet.tabBar()->setCurrentIndex(index);
}

QString WriteWave(const QTemporaryDir& folder, const char* name, const WaveFormat& format,
                  const std::vector<uint8_t>& data) {
  const QString path = folder.filePath(QString::fromUtf8(name));
  test_support::WriteFileBytes(path.toStdString(), test_support::BuildWave(format, data));
  return path;
}

void SelectFiles(IOPage& page, const QString& input, const QString& output) {
  page.SetFileChooser([input, output](IOPage::FileDialogKind kind) {
    return kind == IOPage::FileDialogKind::kOpenInput ? input : output;
  });
  page.InputSelectButton()->click();
  page.OutputSelectButton()->click();
}

}  // namespace gui_test
