#include "app/effects_app.h"

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <utility>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "platform/wave_service.h"

namespace {
// How long a second start waits for the running instance to answer: the
// running one may have taken the lock a moment before it listens.
constexpr int kConnectAttempts = 20;
constexpr int kAttemptPauseMs = 100;
constexpr int kSocketWaitMs = 2000;
}  // namespace

EffectsApp::EffectsApp(QString instanceLockPath) : lockPath_(std::move(instanceLockPath)) {}

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
    HandToRunningInstance(InstanceServerName(lockPath_), sourceFile);
    return false;
  }
  Listen();

  EffectChoiceDialog choice;
  choice.exec();  // however it is closed, the current picks are loaded

  sheet_ = std::make_unique<EffectsSheet>(QString::fromUtf8(EffectsSheet::kCaption), nullptr, 0,
                                          std::move(service));
  sheet_->pickA = choice.pickA;
  sheet_->pickB = choice.pickB;
  AddChosenEffect(sheet_->pickA);
  AddChosenEffect(sheet_->pickB);
  sheet_->CreateWindow();
  if (!sourceFile.isEmpty()) {
    sheet_->IO().SelectSourceFile(sourceFile);
  }
  if (!pendingSource_.isEmpty()) {
    sheet_->BringToFront(std::exchange(pendingSource_, QString()));
  }
  return true;
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
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket,
                       [this, socket] { OnRequest(socket); });
      OnRequest(socket);
    }
  });
}

void EffectsApp::OnRequest(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    return;  // the rest of the line is on its way
  }
  const QString sourceFile = QString::fromUtf8(socket->readLine()).chopped(1);
  socket->disconnectFromServer();
  BringToFront(sourceFile);
}

void EffectsApp::BringToFront(const QString& sourceFile) {
  if (sheet_) {
    sheet_->BringToFront(sourceFile);
    return;
  }
  // Still choosing the effects: the choice comes to the front, and the file
  // waits for the sheet.
  if (!sourceFile.isEmpty()) {
    pendingSource_ = sourceFile;
  }
  if (QWidget* dialog = QApplication::activeModalWidget()) {
    dialog->raise();
    dialog->activateWindow();
  }
}

bool EffectsApp::HandToRunningInstance(const QString& serverName, const QString& sourceFile) {
  for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (socket.waitForConnected(kSocketWaitMs)) {
      socket.write(sourceFile.toUtf8() + '\n');
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

void EffectsApp::AddChosenEffect(int32_t pick) {
  const std::span<const EffectPageKind> kinds = EffectPageKinds();
  if (pick < 0 || pick >= static_cast<int32_t>(kinds.size())) {
    return;
  }
  const EffectPageKind& kind = kinds[static_cast<size_t>(pick)];
  PropertyPage* page = sheet_->EffectPage(pick);
  sheet_->AddPage(page);
  // An effect the factory cannot make is not linked; the page then holds a
  // null effect.
  Effect* left = sheet_->LeftChain().Append(kind.typeId);
  Effect* right = sheet_->RightChain().Append(kind.typeId);
  kind.link(*page, left, right, &sheet_->LeftChain(), &sheet_->RightChain());
}
