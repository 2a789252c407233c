#include "tests/support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace test_support {

ProcessResult RunProcess(const std::vector<std::string>& argv, bool stderrOnTerminal) {
  int outPipe[2];
  int errPipe[2];  // [0] read by the parent, [1] the child's stderr
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  if (stderrOnTerminal) {
    if (openpty(&errPipe[0], &errPipe[1], nullptr, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
  } else if (pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<char*> args;
  for (const std::string& a : argv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) {
    throw std::runtime_error("fork failed");
  }
  if (child == 0) {
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    if (stderrOnTerminal) {
      close(errPipe[0]);
      close(errPipe[1]);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  ProcessResult result;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[4096];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
          sinks[i]->append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace test_support
