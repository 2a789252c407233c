#include "app/start_files.h"

#include <QFile>
#include <QFileInfo>

namespace {
const QString kPresetOption = QStringLiteral("--preset");
// Enough of a file's beginning to see a WAV header or a JSON object after
// some white space.
constexpr qint64 kHeadBytes = 64;
}  // namespace

StartFiles ParseStartArguments(const QStringList& arguments, QStringList* unknown) {
  StartFiles files;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == kPresetOption && i + 1 < arguments.size()) {
      files.preset = QFileInfo(arguments[++i]).absoluteFilePath();
    } else if (!argument.isEmpty() && !argument.startsWith(QLatin1Char('-'))) {
      const QString path = QFileInfo(argument).absoluteFilePath();
      (IsPresetFile(path) ? files.preset : files.source) = path;
    } else {
      unknown->push_back(argument);
    }
  }
  return files;
}

bool IsPresetFile(const QString& path) {
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray head = file.read(kHeadBytes);
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WAVE") {
      return false;
    }
    if (head.trimmed().startsWith('{')) {
      return true;
    }
  }
  return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}

QByteArray StartRequest(const StartFiles& files) {
  QByteArray request;
  if (!files.preset.isEmpty()) {
    request += (kPresetOption + QLatin1Char(' ') + files.preset).toUtf8() + '\n';
  }
  if (!files.source.isEmpty() || request.isEmpty()) {
    request += files.source.toUtf8() + '\n';
  }
  return request;
}

void ReadStartRequestLine(const QString& line, StartFiles* files) {
  const QString prefix = kPresetOption + QLatin1Char(' ');
  if (line.startsWith(prefix)) {
    files->preset = line.mid(prefix.size());
  } else if (!line.isEmpty()) {
    files->source = line;
  }
}
