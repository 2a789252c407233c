#pragma once
// The application's standard message box: modal, one OK button, the text
// exactly as given. Tests route the messages to a recorder instead, so that
// nothing blocks on the offscreen platform.

#include <QString>
#include <functional>
#include <string>

#include "engine/notifier.h"

class QWidget;

// Title of every message box the program shows.
inline constexpr const char* kMessageBoxTitle = "Tonalith";

// Shows `text` in a modal box with one OK button, with `detail` (if any) as
// its informative text, and returns when the user has closed it; with a
// recorder installed, hands `text` to it and returns at once.
void ShowMessageBox(const QString& text, QWidget* parent = nullptr, const QString& detail = {});

// Receives every message instead of the box. An empty function restores the
// box. Returns the recorder that was installed before.
using MessageRecorder = std::function<void(const QString& text)>;
MessageRecorder SetMessageRecorder(MessageRecorder recorder);

// The notifier handed to engine code in the desktop program.
class MessageBoxNotifier : public Notifier {
 public:
  explicit MessageBoxNotifier(QWidget* parent = nullptr) : parent_(parent) {}
  void ShowMessage(const std::string& text, const std::string& detail = {}) override;

 private:
  QWidget* parent_ = nullptr;
};
