#include "ui/message_box.h"

#include <QMessageBox>
#include <utility>

namespace {
MessageRecorder& Recorder() {
  static MessageRecorder recorder;
  return recorder;
}
}  // namespace

void ShowMessageBox(const QString& text, QWidget* parent, const QString& detail) {
  if (const MessageRecorder& recorder = Recorder()) {
    recorder(text);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kMessageBoxTitle), text, QMessageBox::Ok,
                  parent);
  box.setInformativeText(detail);
  box.exec();
}

MessageRecorder SetMessageRecorder(MessageRecorder recorder) {
  return std::exchange(Recorder(), std::move(recorder));
}

void MessageBoxNotifier::ShowMessage(const std::string& text, const std::string& detail) {
  ShowMessageBox(QString::fromStdString(text), parent_, QString::fromStdString(detail));
}
