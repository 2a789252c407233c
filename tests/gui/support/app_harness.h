#pragma once
// Helpers for the desktop program's tests: message boxes routed to a log,
// the effect choice dialog answered by the test, a whole start-up on the
// simulated wave service with a private instance lock.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "app/effects_app.h"
#include "platform/simulated_wave_service.h"
#include "ui/message_box.h"

class EffectChoiceDialog;
class QComboBox;

namespace gui_test {

// Collects every message box text while it lives.
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  QStringList texts;

 private:
  MessageRecorder previous_;
};

// A choice made in a drop-down list the way a user makes it: the selection
// moves and the list reports the activation.
void PickInList(QComboBox* list, int index);

// When the next modal EffectChoiceDialog opens, runs `answer` on it and then
// clicks its "OK" button.
void AnswerChoiceDialog(std::function<void(EffectChoiceDialog&)> answer);

// Index of `listText` in the choice lists; -1 when that effect is not there.
int ListIndexOf(const char* listText);

// What happened to a simulated service, kept beyond the service's life.
struct ServiceLog {
  int closes = 0;
  int openWhenDestroyed = -1;
};

// The simulated service, counting device closes into a log that outlives it.
class LoggedWaveService : public SimulatedWaveService {
 public:
  LoggedWaveService(int inputs, int outputs, std::shared_ptr<ServiceLog> log)
      : SimulatedWaveService(inputs, outputs), log_(std::move(log)) {}
  ~LoggedWaveService() override { log_->openWhenDestroyed = OpenDeviceCount(); }
  WaveResult Close(WaveHandle handle) override {
    ++log_->closes;
    return SimulatedWaveService::Close(handle);
  }

 private:
  std::shared_ptr<ServiceLog> log_;
};

// A started program: its own lock folder and session file, the simulated
// service (2 inputs, 2 outputs unless told otherwise) and the two picks made
// in the dialog.
class StartedApp {
 public:
  StartedApp(int pickA, int pickB, int inputs = 2, int outputs = 2);
  // With the defaults of the dialog left as they are.
  StartedApp();
  // With the session file `sessionPath`, started with the preset `preset`
  // when it is not empty; if the dialog opens, the picks are made in it when
  // given (not -1), else the ones it shows are taken.
  StartedApp(const QString& sessionPath, const QString& preset, int pickA = -1, int pickB = -1);

  EffectsApp& App() { return *app_; }
  EffectsSheet& Sheet() { return *app_->Sheet(); }
  SimulatedWaveService& Service() { return *service_; }
  const QString& LockPath() const { return lockPath_; }
  const QString& SessionPath() const { return sessionPath_; }
  const ServiceLog& Log() const { return *log_; }
  // Ends the program as the end of the message loop does: the application
  // object is destroyed (the service with it).
  void Quit() { app_.reset(); }
  bool started = false;

 private:
  void Start(std::function<void(EffectChoiceDialog&)> answer, int inputs, int outputs,
             const QString& preset = QString());

  QTemporaryDir lockFolder_;
  QString lockPath_;
  QString sessionPath_;
  std::shared_ptr<ServiceLog> log_ = std::make_shared<ServiceLog>();
  SimulatedWaveService* service_ = nullptr;  // owned by the sheet's engine
  std::unique_ptr<EffectsApp> app_;
};

// The tab captions of the sheet, left to right.
QStringList TabCaptions(const EffectsSheet& sheet);

// Makes `index` the current tab as a click on it does.
void ClickTab(EffectsSheet& sheet, int index);

// Writes a WAV file of `format` holding `data` into `folder`; its path.
QString WriteWave(const QTemporaryDir& folder, const char* name, const WaveFormat& format,
                  const std::vector<uint8_t>& data);

// Chooses `input` and `output` through the I/O page's Select buttons.
void SelectFiles(IOPage& page, const QString& input, const QString& output);

}  // namespace gui_test
