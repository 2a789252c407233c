#pragma once
// The application object: start-up makes sure only one instance runs, lets
// the user choose the two effects (or takes them from a preset it was
// started with), builds the sheet with their pages and one effect of each
// chosen type in both chains, and shows it as the main window.
//
// The session is remembered: when the window closes its whole setup is
// stored, and the next start preselects the last pair in the choice dialog
// and gives the pages the last values.
//
// The running instance holds a per-user lock and listens on a local socket
// beside it. A second start finds the lock taken, hands the running one the
// files from its command line (or nothing) and ends: the running window
// comes to the front, loads the preset and makes the WAV file its source.

#include <QString>
#include <memory>

#include "app/effects_sheet.h"
#include "app/session_store.h"
#include "app/start_files.h"

class QLocalServer;
class QLocalSocket;
class QLockFile;
class WaveService;

class EffectsApp {
 public:
  // `instanceLockPath` names the per-user lock that finds a running
  // instance; `sessionPath` the remembered session.
  explicit EffectsApp(QString instanceLockPath = DefaultInstanceLockPath(),
                      QString sessionPath = SessionStore::DefaultPath());
  // Takes the sheet down a second time (harmless after its window closed),
  // then destroys it, which closes any device or file still open.
  ~EffectsApp();
  EffectsApp(const EffectsApp&) = delete;
  EffectsApp& operator=(const EffectsApp&) = delete;

  // A preset file to start with (`tonalith --preset FILE`, or a file opened
  // from the desktop): its effects are loaded without the choice dialog. A
  // preset that cannot be read is reported and the dialog runs as usual.
  void SetStartPreset(const QString& path) { startPreset_ = path; }

  // True: run the message loop; `sourceFile`, when not empty, is then the
  // source. False: another instance runs and has been handed the start
  // preset and `sourceFile`; end at once, silently. `service` is handed to
  // the sheet's engine (the process's backend when null).
  bool Start(std::unique_ptr<WaveService> service = nullptr, const QString& sourceFile = {});

  EffectsSheet* Sheet() const { return sheet_.get(); }
  SessionStore& Session() { return session_; }

  // The lock in the user's runtime folder, named after the sheet's caption.
  static QString DefaultInstanceLockPath();
  // The socket the instance holding the lock at `lockPath` listens on.
  static QString InstanceServerName(const QString& lockPath);

 private:
  // The effect types to load: the start preset's, else the choice dialog's
  // (preselecting the session's first two effects).
  std::vector<int32_t> ChooseEffects(const std::optional<Preset>& session, Preset* startPreset);
  // Takes the current page's data and stores the whole setup.
  void StoreSession();
  void Listen();
  // A second start's request: lines naming its files (see start_files.h).
  void OnRequest(QLocalSocket* socket);
  // The window comes to the front, loads the preset, then takes the source.
  void BringToFront(const StartFiles& files);
  // Hands `files` to the instance listening at `serverName`; false when
  // none answers.
  static bool HandToRunningInstance(const QString& serverName, const StartFiles& files);

  QString lockPath_;
  QString startPreset_;
  SessionStore session_;
  std::unique_ptr<QLockFile> instanceLock_;
  std::unique_ptr<QLocalServer> server_;
  // Files handed over before the sheet exists (during the effect choice).
  StartFiles pending_;
  std::unique_ptr<EffectsSheet> sheet_;
};
