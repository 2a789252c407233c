#pragma once
// What needs Qt (the sound devices and presets) is a program of its own,
// tonalith-render-qt, so that a file render loads neither Qt nor the sound
// system's libraries: tonalith-render hands it every command line that asks
// for a device or a preset.
//
// It is looked for next to tonalith-render (the build tree), then where the
// installation puts it (the libexec folder, found from the bin folder).

#include <span>
#include <string>

#include "cli/render_options.h"
#include "engine/notifier.h"

// Replaces this process with tonalith-render-qt, given the same arguments.
// Returns only when that program cannot be started, after saying why on
// stderr: the exit status then. tonalith-render's QtModes::run.
int HandOverToQtProgram(const RenderOptions& options, std::span<const std::string> arguments,
                        Notifier& notifier, ProgressSink* progress);
