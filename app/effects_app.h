#pragma once
// The application object: start-up makes sure only one instance runs, lets
// the user choose the two effects (or takes them from a preset it was
// started with), builds the sheet with their pages and one effect of each
// chosen type in both chains, and shows it as the main window.
//
// The session is remembered: when the window closes its whole setup is
// stored, and the next start preselects the last pair in the choice dialog
// and gives the pages the last values.

#include <QString>
#include <memory>

#include "app/effects_sheet.h"
#include "app/session_store.h"

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

  // True: run the message loop. False: another instance runs; end at once,
  // silently. `service` is handed to the sheet's engine (the process's
  // backend when null).
  bool Start(std::unique_ptr<WaveService> service = nullptr);

  EffectsSheet* Sheet() const { return sheet_.get(); }
  SessionStore& Session() { return session_; }

  // The lock in the user's runtime folder, named after the sheet's caption.
  static QString DefaultInstanceLockPath();

 private:
  // The effect types to load: the start preset's, else the choice dialog's
  // (preselecting the session's first two effects).
  std::vector<int32_t> ChooseEffects(const std::optional<Preset>& session, Preset* startPreset);
  // Takes the current page's data and stores the whole setup.
  void StoreSession();

  QString lockPath_;
  QString startPreset_;
  SessionStore session_;
  std::unique_ptr<QLockFile> instanceLock_;
  std::unique_ptr<EffectsSheet> sheet_;
};
