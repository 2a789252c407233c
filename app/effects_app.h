#pragma once
// The application object: start-up makes sure only one instance runs, lets
// the user choose the two effects, builds the sheet with their pages and one
// effect of each chosen type in both chains, and shows it as the main window.

#include <QString>
#include <memory>

#include "app/effects_sheet.h"

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

  // True: run the message loop. False: another instance runs; end at once,
  // silently. `service` is handed to the sheet's engine (the process's
  // backend when null).
  bool Start(std::unique_ptr<WaveService> service = nullptr);

  EffectsSheet* Sheet() const { return sheet_.get(); }

  // The lock in the user's runtime folder, named after the sheet's caption.
  static QString DefaultInstanceLockPath();

 private:
  void AddChosenEffect(int32_t pick);

  QString lockPath_;
  std::unique_ptr<QLockFile> instanceLock_;
  std::unique_ptr<EffectsSheet> sheet_;
};
