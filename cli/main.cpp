// tonalith-render: the command-line renderer.
#include <string>
#include <vector>

#include "cli/qt_handover.h"
#include "cli/render_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return RenderMain(arguments, {HandOverToQtProgram, nullptr});
}
