#pragma once
// The remembered session: the whole setup of the window (its effects with
// every value, the block length and the I/O settings) kept as a session
// preset in the user's configuration folder, written when the window closes
// and read at the next start.
//
// A session file that cannot be read is set aside (renamed, ".damaged"
// appended) with a one-line notice, and the program starts with its
// defaults.

#include <QString>
#include <optional>

#include "preset/preset.h"

class SessionStore {
 public:
  explicit SessionStore(QString path = DefaultPath());

  // $XDG_CONFIG_HOME/tonalith/session.json ($HOME/.config when unset).
  static QString DefaultPath();

  const QString& Path() const { return path_; }

  // The stored session; none when there is no file, or when it is damaged
  // (it is then set aside and the notice shown).
  std::optional<Preset> Load();
  // Writes the session, creating its folder; a failure is reported on
  // stderr (the program is ending) and returns false.
  bool Store(const Preset& session);

 private:
  QString path_;
};
