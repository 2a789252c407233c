// tonalith-render-devices: tonalith-render with its sound device modes, which
// tonalith-render hands the command lines that ask for a device over to.
#include <string>
#include <vector>

#include "cli/device_run.h"
#include "cli/render_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return RenderMain(arguments, RunDeviceModes);
}
