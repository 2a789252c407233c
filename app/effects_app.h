#pragma once
// The application object: start-up makes sure only one instance runs, lets
// the user choose the two effects, builds the sheet with their pages and one
// effect of each chosen type in both chains, and shows it as the main window.
//
// The running instance holds a per-user lock and listens on a local socket
// beside it. A second start finds the lock taken, hands the running one the
// WAV file from its command line (or nothing) and ends: the running window
// comes to the front, with that file as its source.

#include <QString>
#include <memory>

#include "app/effects_sheet.h"

class QLocalServer;
class QLocalSocket;
class QLockFile;
class WaveService;

class EffectsApp {
 public:
  // `instanceLockPath` names the per-user lock that finds a running instance.
  explicit EffectsApp(QString instanceLockPath = DefaultInstanceLockPath());
  // Takes the sheet down a second time (harmless after its window closed),
  // then destroys it, which closes any device or file still open.
  ~EffectsApp();
  EffectsApp(const EffectsApp&) = delete;
  EffectsApp& operator=(const EffectsApp&) = delete;

  // True: run the message loop; `sourceFile`, when not empty, is then the
  // source. False: another instance runs and has been handed `sourceFile`;
  // end at once, silently. `service` is handed to the sheet's engine (the
  // process's backend when null).
  bool Start(std::unique_ptr<WaveService> service = nullptr, const QString& sourceFile = {});

  EffectsSheet* Sheet() const { return sheet_.get(); }

  // The lock in the user's runtime folder, named after the sheet's caption.
  static QString DefaultInstanceLockPath();
  // The socket the instance holding the lock at `lockPath` listens on.
  static QString InstanceServerName(const QString& lockPath);

 private:
  void AddChosenEffect(int32_t pick);
  void Listen();
  // A second start's request: one line, the file it was given (may be empty).
  void OnRequest(QLocalSocket* socket);
  void BringToFront(const QString& sourceFile);
  // Hands `sourceFile` to the instance listening at `serverName`; false when
  // none answers.
  static bool HandToRunningInstance(const QString& serverName, const QString& sourceFile);

  QString lockPath_;
  std::unique_ptr<QLockFile> instanceLock_;
  std::unique_ptr<QLocalServer> server_;
  // A file handed over before the sheet exists (during the effect choice).
  QString pendingSource_;
  std::unique_ptr<EffectsSheet> sheet_;
};
