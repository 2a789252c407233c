#pragma once
// tonalith-render from its arguments to its exit status.

#include <span>
#include <string>

#include "cli/render_options.h"
#include "engine/notifier.h"

// Exit statuses.
inline constexpr int kRenderDone = 0;
inline constexpr int kRenderFailed = 1;   // the run failed (its message was shown)
inline constexpr int kRenderRefused = 2;  // the command line was refused
// A file render ended early by a signal exits with this plus its number
// (130 SIGINT, 129 SIGHUP, 143 SIGTERM); the output holds the blocks so far.
inline constexpr int kRenderStoppedBase = 128;

// What needs Qt: the sound devices (Qt's event loop, ALSA and JACK) and presets
// (Qt's JSON). tonalith-render runs file renders itself and hands every
// other command line over to tonalith-render-qt (cli/qt_handover.h), which
// runs it (cli/qt_main.cpp).
struct QtModes {
  // Runs the device list, a run with a device, --list-presets,
  // --write-preset, and a render with a --preset the parse did not read.
  int (*run)(const RenderOptions& options, std::span<const std::string> arguments,
             Notifier& notifier, ProgressSink* progress) = nullptr;
  // Reads --preset during the parse; null where presets are handed over.
  PresetLoader loadPreset = nullptr;
};

// Parses the arguments after the program name and does what they ask.
int RenderMain(std::span<const std::string> arguments, const QtModes& qt);

// The file-to-file mode: sets both chains up as the options ask and runs the
// engine's file run, which SIGINT, SIGTERM and SIGHUP end after the current
// block. Messages go to `notifier`; `progress` may be null.
int RunFileRender(const RenderOptions& options, Notifier& notifier, ProgressSink* progress);
