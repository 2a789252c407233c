#include "app/effects_app.h"

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <algorithm>
#include <utility>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "app/sheet_setup.h"
#include "platform/wave_service.h"
#include "preset/preset_file.h"
#include "ui/message_box.h"

namespace {
// How long a second start waits for the running instance to answer: the
// running one may have taken the lock a moment before it listens.
constexpr int kConnectAttempts = 20;
constexpr int kAttemptPauseMs = 100;
constexpr int kSocketWaitMs = 2000;

// The distinct effect types of a preset, in order; false with *error when
// one comes twice (the window has one page per effect).
bool PresetTypes(const Preset& preset, const std::string& name, std::vector<int32_t>* types,
                 std::string* error) {
  for (const EffectSetup& setup : preset.effects) {
    if (std::find(types->begin(), types->end(), setup.kind->typeId) != types->end()) {
      *error = name + ": the window holds each effect once (" +
               std::string(setup.kind->renderName) + " comes twice; tonalith-render takes it)";
      return false;
    }
    types->push_back(setup.kind->typeId);
  }
  return true;
}
}  // namespace

EffectsApp::EffectsApp(QString instanceLockPath, QString sessionPath)
    : lockPath_(std::move(instanceLockPath)), session_(std::move(sessionPath)) {}

EffectsApp::~EffectsApp() {
  if (sheet_) {
    sheet_->DestroyWindow();
    sheet_.reset();
  }
}

QString EffectsApp::DefaultInstanceLockPath() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QDir::tempPath();
  }
  return folder + QLatin1Char('/') + QString::fromUtf8(EffectsSheet::kCaption) +
         QStringLiteral("-%1.lock").arg(static_cast<qulonglong>(getuid()));
}

QString EffectsApp::InstanceServerName(const QString& lockPath) {
  QString name = lockPath;
  if (name.endsWith(QStringLiteral(".lock"))) {
    name.chop(5);
  }
  return name + QStringLiteral(".socket");
}

bool EffectsApp::Start(std::unique_ptr<WaveService> service, const QString& sourceFile) {
  // One instance per user: the lock is held for the life of the program and
  // taken over when the process that held it has died.
  instanceLock_ = std::make_unique<QLockFile>(lockPath_);
  instanceLock_->setStaleLockTime(0);
  if (!instanceLock_->tryLock(0)) {
    instanceLock_.reset();
    HandToRunningInstance(InstanceServerName(lockPath_), {startPreset_, sourceFile});
    return false;
  }
  Listen();

  const std::optional<Preset> session = session_.Load();
  Preset startPreset;
  const std::vector<int32_t> types = ChooseEffects(session, &startPreset);

  sheet_ = std::make_unique<EffectsSheet>(QString::fromUtf8(EffectsSheet::kCaption), nullptr, 0,
                                          std::move(service));
  for (const int32_t type : types) {
    sheet_->AddEffect(ListPositionOf(type));
  }
  sheet_->pickA = types.size() > 0 ? ListPositionOf(types[0]) : -1;
  sheet_->pickB = types.size() > 1 ? ListPositionOf(types[1]) : -1;

  // The session's values for the effects it shares with the sheet, then the
  // start preset's.
  std::string error;
  if (session && !LoadIntoSheet(*sheet_, *session, QFile::encodeName(session_.Path()).toStdString(),
                                PresetFit::kMatchingEffects, &error)) {
    ShowMessageBox(QString::fromStdString(error));
  }
  if (!startPreset.effects.empty() &&
      !LoadIntoSheet(*sheet_, startPreset, QFile::encodeName(startPreset_).toStdString(),
                     PresetFit::kReplaceEffects, &error)) {
    ShowMessageBox(QString::fromStdString(error));
  }
  QObject::connect(sheet_.get(), &EffectsSheet::Closing, sheet_.get(), [this] { StoreSession(); });
  sheet_->CreateWindow();
  if (!sourceFile.isEmpty()) {
    sheet_->IO().SelectSourceFile(sourceFile);
  }
  if (!pending_.preset.isEmpty() || !pending_.source.isEmpty()) {
    BringToFront(std::exchange(pending_, StartFiles()));
  }
  return true;
}

std::vector<int32_t> EffectsApp::ChooseEffects(const std::optional<Preset>& session,
                                               Preset* startPreset) {
  std::vector<int32_t> types;
  if (!startPreset_.isEmpty()) {
    const std::string name = QFile::encodeName(startPreset_).toStdString();
    std::string error;
    Preset preset;
    if (ReadPresetFile(name, &preset, &error) && PresetTypes(preset, name, &types, &error) &&
        !types.empty()) {
      *startPreset = std::move(preset);
      return types;
    }
    if (error.empty()) {
      error = name + ": the preset has no effects to load";
    }
    ShowMessageBox(QString::fromStdString(error));
    types.clear();
  }

  EffectChoiceDialog choice;
  if (session) {
    std::vector<int32_t> picks;
    for (const EffectSetup& setup : session->effects) {
      const int32_t pick = ListPositionOf(setup.kind->typeId);
      if (pick >= 0 && std::find(picks.begin(), picks.end(), pick) == picks.end()) {
        picks.push_back(pick);
      }
    }
    if (!picks.empty()) {
      choice.Preselect(picks[0], picks.size() > 1 ? picks[1] : -1);
    }
  }
  choice.exec();  // however it is closed, the current picks are loaded
  for (const int32_t pick : {choice.pickA, choice.pickB}) {
    const std::span<const EffectPageKind> kinds = EffectPageKinds();
    if (pick >= 0 && pick < static_cast<int32_t>(kinds.size())) {
      types.push_back(kinds[static_cast<size_t>(pick)].typeId);
    }
  }
  return types;
}

void EffectsApp::StoreSession() {
  // What the current page shows counts, as if it were left; an entry it
  // refuses keeps the value its effects hold.
  sheet_->TakeCurrentPageData(true);
  session_.Store(CaptureSheet(*sheet_, true));
}

void EffectsApp::Listen() {
  // The lock is ours, so a socket left behind by an instance that died can
  // go.
  const QString name = InstanceServerName(lockPath_);
  QLocalServer::removeServer(name);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) {
    server_.reset();  // a second start then simply ends, as it always did
    return;
  }
  QLocalServer* server = server_.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [this, server] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      // The second start writes its lines and hangs up; what came last is
      // read before the socket goes.
      QObject::connect(socket, &QLocalSocket::disconnected, socket, [this, socket] {
        OnRequest(socket);
        socket->deleteLater();
      });
      QObject::connect(socket, &QLocalSocket::readyRead, socket,
                       [this, socket] { OnRequest(socket); });
      OnRequest(socket);
    }
  });
}

void EffectsApp::OnRequest(QLocalSocket* socket) {
  bool request = false;
  StartFiles files;
  while (socket->canReadLine()) {
    ReadStartRequestLine(QString::fromUtf8(socket->readLine()).chopped(1), &files);
    request = true;
  }
  // Acted on once the socket's signal is over: a message box about the
  // preset runs an event loop, in which the socket may hang up and go.
  if (request) {
    QMetaObject::invokeMethod(
        server_.get(), [this, files] { BringToFront(files); }, Qt::QueuedConnection);
  }
}

void EffectsApp::BringToFront(const StartFiles& files) {
  if (sheet_) {
    // The preset first: the source handed over replaces one it may name.
    if (!files.preset.isEmpty()) {
      sheet_->BringToFront();
      LoadPresetFile(*sheet_, files.preset);
    }
    sheet_->BringToFront(files.source);
    return;
  }
  // Still choosing the effects: the choice comes to the front, and the files
  // wait for the sheet.
  if (!files.preset.isEmpty()) {
    pending_.preset = files.preset;
  }
  if (!files.source.isEmpty()) {
    pending_.source = files.source;
  }
  if (QWidget* dialog = QApplication::activeModalWidget()) {
    dialog->raise();
    dialog->activateWindow();
  }
}

bool EffectsApp::HandToRunningInstance(const QString& serverName, const StartFiles& files) {
  for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (socket.waitForConnected(kSocketWaitMs)) {
      socket.write(StartRequest(files));
      socket.waitForBytesWritten(kSocketWaitMs);
      const bool handed = socket.bytesToWrite() == 0;
      socket.disconnectFromServer();
      if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(kSocketWaitMs);
      }
      return handed;
    }
    QThread::msleep(kAttemptPauseMs);
  }
  return false;
}
