// tonalith-render-qt: tonalith-render with what needs Qt, its sound device
// modes and presets; tonalith-render hands it the command lines that ask for
// them.
#include <span>
#include <string>
#include <vector>

#include "cli/device_run.h"
#include "cli/preset_files.h"
#include "cli/render_command.h"

namespace {

int RunQtModes(const RenderOptions& options, std::span<const std::string>, Notifier& notifier,
               ProgressSink* progress) {
  switch (options.mode) {
    case RenderMode::kListDevices:
      return ListDevices(options);
    case RenderMode::kListPresets:
      return ListFactoryPresets();
    case RenderMode::kWritePreset:
      return WritePresetFromOptions(options);
    default:
      return RunDeviceRender(options, notifier, progress);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return RenderMain(arguments, {RunQtModes, LoadPreset});
}
