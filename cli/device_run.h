#pragma once
// tonalith-render's device modes: the device list, and live, record and play
// runs driven by the engine's streaming loop on a Qt event loop. They are
// part of tonalith-render-qt, which tonalith-render hands such command lines
// over to.

#include "cli/render_options.h"
#include "engine/notifier.h"

// Prints the numbered input and output devices, or with --driver jack the
// server's capture and playback ports, on stdout.
int ListDevices(const RenderOptions& options);

// Runs a live, record or play run until it ends by itself, --seconds pass, or
// SIGINT / SIGTERM arrives; each stops the run cleanly (devices reset and
// closed, the WAV file finished). Messages go to `notifier`.
int RunDeviceRender(const RenderOptions& options, Notifier& notifier, ProgressSink* progress);
