#include "cli/qt_handover.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "cli/render_command.h"
#include "cli/render_run.h"
#include "engine/riff_io.h"

namespace {

constexpr const char* kQtProgram = "tonalith-render-qt";

// The folder this program was started from; empty when it cannot be told.
std::string OwnFolder() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
    return {};
  }
  const std::string self(path.data(), static_cast<size_t>(length));
  return self.substr(0, self.find_last_of('/') + 1);
}

}  // namespace

int HandOverToQtProgram(const RenderOptions&, std::span<const std::string> arguments, Notifier&,
                        ProgressSink*) {
  const std::string folder = OwnFolder();
  const std::string candidates[] = {
      folder + kQtProgram,
      folder + TONALITH_QT_PROGRAM_FROM_BIN + "/" + kQtProgram,
  };
  int error = ENOENT;
  std::string tried;
  for (const std::string& program : candidates) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
      pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    execv(pointers[0], pointers.data());
    // Only a program that is not there makes the next place worth a try.
    error = errno;
    tried = program;
    if (error != ENOENT) {
      break;
    }
  }
  PrintRefusal("the program for sound devices and presets cannot be started: " + tried + ": " +
               riff::SystemErrorText(error));
  return kRenderFailed;
}
