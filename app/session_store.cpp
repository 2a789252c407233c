#include "app/session_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <utility>

#include "preset/preset_file.h"
#include "ui/message_box.h"

SessionStore::SessionStore(QString path) : path_(std::move(path)) {}

QString SessionStore::DefaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/tonalith/session.json");
}

std::optional<Preset> SessionStore::Load() {
  if (!QFileInfo::exists(path_)) {
    return std::nullopt;
  }
  Preset session;
  std::string error;
  if (ReadPresetFile(QFile::encodeName(path_).toStdString(), &session, &error)) {
    return session;
  }
  const QString aside = path_ + QStringLiteral(".damaged");
  QFile::remove(aside);
  const bool moved = QFile::rename(path_, aside);
  ShowMessageBox(moved ? QStringLiteral("The last session could not be read; it was set aside as "
                                        "%1 and the program starts with its defaults.")
                             .arg(aside)
                       : QStringLiteral("The last session %1 could not be read; the program "
                                        "starts with its defaults.")
                             .arg(path_),
                 nullptr, QString::fromStdString(error));
  return std::nullopt;
}

bool SessionStore::Store(const Preset& session) {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  std::string error;
  if (!WritePresetFile(QFile::encodeName(path_).toStdString(), session, &error)) {
    std::fprintf(stderr, "tonalith: the session was not kept: %s\n", error.c_str());
    return false;
  }
  return true;
}
