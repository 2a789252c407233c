#include "tests/support/file_size_limit.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace test_support {

std::string RunWithFileSizeLimit(uint64_t limitBytes, const std::function<std::string()>& body) {
  int channel[2];
  if (pipe(channel) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t child = fork();
  if (child < 0) {
    throw std::runtime_error("fork failed");
  }
  if (child == 0) {
    close(channel[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limitBytes;
    limit.rlim_max = limitBytes;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      _exit(2);
    }
    const std::string text = body();
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t put = write(channel[1], text.data() + done, text.size() - done);
      if (put <= 0) {
        _exit(3);
      }
      done += static_cast<size_t>(put);
    }
    _exit(0);
  }
  close(channel[1]);
  std::string text;
  char buffer[1024];
  for (;;) {
    const ssize_t got = read(channel[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    text.append(buffer, static_cast<size_t>(got));
  }
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the limited child failed");
  }
  return text;
}

}  // namespace test_support
