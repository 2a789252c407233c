#include "tests/sound/sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <jack/jack.h>

extern char** environ;

namespace sound_test {
namespace {

bool Exists(const std::string& program) {
  for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
    if (access((std::string(dir) + program).c_str(), X_OK) == 0)
      return true;
  }
  return false;
}

}  // namespace

SoundServer::SoundServer() {
  Start();
}

SoundServer::~SoundServer() {
  Shutdown();
}

void SoundServer::Restart() {
  Shutdown();
  folder_.clear();
  problem_.clear();
  Start();
}

void SoundServer::Start() {
  char pattern[] = "/tmp/tonalith-sound-XXXXXX";
  if (!mkdtemp(pattern)) {
    problem_ = "cannot create a runtime folder";
    return;
  }
  folder_ = pattern;
  chmod(folder_.c_str(), 0700);
  if (!Exists("pulseaudio") || !Exists("pactl") || !Exists("pacat")) {
    problem_ = "pulseaudio, pactl or pacat is not installed (scripts/setup.sh installs them)";
    return;
  }
  const int started =
      Run({"pulseaudio", "--daemonize=yes", "--exit-idle-time=-1", "--disallow-exit", "-n",
           "--load=module-null-sink sink_name=tsink rate=44100 format=s16le "
           "channels=2",
           "--load=module-null-sink sink_name=tsink2 rate=44100 format=s16le "
           "channels=2",
           "--load=module-native-protocol-unix", "--log-target=stderr", "--log-level=0"},
          {}, 20);
  // The daemon may take a moment before it answers.
  bool answers = false;
  for (int attempt = 0; attempt < 100 && !answers; ++attempt) {
    answers = Run({"pactl", "info"}, {}, 5) == 0;
    if (!answers)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!answers) {
    problem_ = "pulseaudio did not start (exit status " + std::to_string(started) + ")";
    return;
  }
  for (const char* sink : {"tsink", "tsink2"}) {
    const pid_t player = Spawn({"pacat", "--playback", "--latency-msec=10", "--format=s16le",
                                "--rate=44100", "--channels=2", "/dev/zero"},
                               {std::string("PULSE_SINK=") + sink});
    if (player <= 0) {
      problem_ = "pacat could not be started";
      return;
    }
    keepAlive_.push_back(player);
  }
  // The sinks take up the low latency when their current idle block ends.
  std::this_thread::sleep_for(std::chrono::milliseconds(2200));
}

pid_t SoundServer::DaemonPid() const {
  std::ifstream pidFile(folder_ + "/pulse/pid");
  pid_t daemon = 0;
  return !folder_.empty() && (pidFile >> daemon) && daemon > 1 ? daemon : 0;
}

void SoundServer::Kill() {
  if (const pid_t daemon = DaemonPid()) {
    kill(daemon, SIGKILL);
    // It is gone: Shutdown has nothing to wait for.
    std::filesystem::remove(folder_ + "/pulse/pid");
  }
  for (const pid_t player : keepAlive_) {
    kill(player, SIGKILL);
    waitpid(player, nullptr, 0);
  }
  keepAlive_.clear();
}

void SoundServer::Shutdown() {
  for (const pid_t player : keepAlive_)
    Stop(player);
  keepAlive_.clear();
  // The daemon refuses "pactl exit" (it runs with --disallow-exit, which
  // keeps clients from ending it): end it through its pid file.
  const pid_t daemon = DaemonPid();
  if (daemon > 0) {
    kill(daemon, SIGTERM);
    for (int attempt = 0; attempt < 100 && kill(daemon, 0) == 0; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (kill(daemon, 0) == 0)
      kill(daemon, SIGKILL);
  }
  if (!folder_.empty()) {
    // Give the daemon a moment to leave its socket behind before removal.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

std::vector<std::string> InheritedEnvironment(const std::vector<std::string>& dropped) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text(*entry);
    const std::string name = text.substr(0, text.find('='));
    if (std::find(dropped.begin(), dropped.end(), name) == dropped.end()) {
      environment.push_back(text);
    }
  }
  return environment;
}

std::vector<std::string> SoundServer::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> environment =
      InheritedEnvironment({"XDG_RUNTIME_DIR", "HOME", "PULSE_SINK", "PULSE_SOURCE", "PULSE_SERVER",
                            "TONALITH_WAVE_BACKEND"});
  environment.push_back("XDG_RUNTIME_DIR=" + folder_);
  environment.push_back("HOME=" + folder_);
  environment.insert(environment.end(), extra.begin(), extra.end());
  return environment;
}

pid_t SoundServer::Spawn(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment,
                         const std::string& errorPath) const {
  return SpawnProcess(argv, Environment(extraEnvironment),
                      errorPath.empty() ? folder_ + "/client.log" : errorPath);
}

pid_t SpawnProcess(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, const std::string& errorPath) {
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envs;
  for (const std::string& e : environment)
    envs.push_back(const_cast<char*>(e.c_str()));
  envs.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envs.data());
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

bool SoundServer::Wait(pid_t pid, double timeoutSeconds, int* status) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int64_t>(timeoutSeconds * 1000));
  int raw = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t done = waitpid(pid, &raw, WNOHANG);
    if (done == pid) {
      if (status)
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &raw, 0);
  return false;
}

int SoundServer::Run(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extraEnvironment,
                     double timeoutSeconds) const {
  const pid_t pid = Spawn(argv, extraEnvironment);
  if (pid < 0)
    return -1;
  int status = -1;
  return Wait(pid, timeoutSeconds, &status) ? status : -1;
}

void SoundServer::Stop(pid_t pid) {
  if (pid <= 0)
    return;
  kill(pid, SIGINT);
  if (!Wait(pid, 5))
    return;
}

namespace {

void Quiet(const char*) {}

// Whether a client can reach the server `name` now.
bool JackAnswers(const std::string& name) {
  // libjack's complaints while the server starts are expected.
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  jack_status_t status{};
  jack_client_t* client = jack_client_open(
      "tonalith-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
      name.c_str());
  if (!client) {
    return false;
  }
  jack_client_close(client);
  return true;
}

// jackd2's files of server `name` in /dev/shm (its socket and semaphores),
// which a killed server leaves behind.
void RemoveJackFiles(const std::string& name) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
    const std::string file = entry.path().filename().string();
    if (file.rfind("jack_" + name + "_", 0) == 0 ||
        (file.rfind("jack_sem.", 0) == 0 && file.find("_" + name + "_") != std::string::npos)) {
      std::filesystem::remove(entry.path(), ignored);
    }
  }
}

// What jackd said in `log` beyond its banner.
std::string JackdComplaints(const std::string& log) {
  std::ifstream in(log);
  std::string said;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.find("Copyright") == std::string::npos &&
        line.rfind("jackdmp", 0) != 0 && line.rfind("This is free", 0) != 0 &&
        line.rfind("under certain", 0) != 0) {
      said += (said.empty() ? "" : "; ") + line;
    }
  }
  return said;
}

// Whether a jackd process runs on this machine (any user's, any name).
bool AnyJackdRuns() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
    std::ifstream comm(entry.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name == "jackd") {
      return true;
    }
  }
  return false;
}

}  // namespace

JackServer::JackServer(int32_t period) : period_(period) {
  Start();
}

JackServer::~JackServer() {
  Shutdown();
}

void JackServer::Restart() {
  Shutdown();
  problem_.clear();
  Start();
}

void JackServer::Start() {
  static int serial = 0;
  name_ = "tonalith-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  char pattern[] = "/tmp/tonalith-jack-XXXXXX";
  if (!mkdtemp(pattern)) {
    problem_ = "cannot create a folder for the server";
    return;
  }
  folder_ = pattern;
  if (!Exists("jackd")) {
    problem_ = "jackd is not installed (scripts/setup.sh installs jackd2)";
    return;
  }
  problem_ = Launch();
  // jackd2 keeps a few server slots in a registry in /dev/shm, and the slot
  // of a server that was killed is only taken back by a server of the same
  // name. When killed servers have used them all and no server runs at all,
  // the registry is stale: it goes, and the server gets a fresh one.
  if (problem_.find("Too many servers") != std::string::npos && !AnyJackdRuns()) {
    std::error_code ignored;
    std::filesystem::remove("/dev/shm/jack-shm-registry", ignored);
    problem_ = Launch();
  }
}

std::string JackServer::Launch() {
  std::vector<std::string> environment = InheritedEnvironment({"HOME", "JACK_DEFAULT_SERVER"});
  environment.push_back("HOME=" + folder_);
  environment.push_back("JACK_NO_AUDIO_RESERVATION=1");
  const std::vector<std::string> argv = {
      "jackd", "--no-realtime",        "-n", name_, "-d", "dummy", "-r", std::to_string(kRate),
      "-p",    std::to_string(period_)};
  const std::string log = folder_ + "/jackd.log";
  std::filesystem::remove(log);
  // Everything the child needs is made before the fork: a child of a process
  // with threads may only make async-signal-safe calls.
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envs;
  for (const std::string& e : environment)
    envs.push_back(const_cast<char*>(e.c_str()));
  envs.push_back(nullptr);
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  pid_ = fork();
  if (pid_ == 0) {
    // The server goes with this process, however it ends (a sanitizer's
    // abort, a test killed on its timeout).
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execvpe(args[0], args.data(), envs.data());
    _exit(127);
  }
  close(out);
  if (pid_ <= 0) {
    return "jackd could not be started";
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (JackAnswers(name_)) {
      return "";
    }
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return "jackd ended at once: " + JackdComplaints(log);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "jackd did not answer within ten seconds";
}

void JackServer::Kill() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    killed_ = true;
  }
}

void JackServer::Shutdown() {
  if (killed_) {
    // A server of the same name takes the killed one's slot back and gives
    // it up when it stops.
    killed_ = false;
    Launch();
  }
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    SoundServer::Wait(pid_, 5);  // killed if it does not end
    pid_ = -1;
  }
  RemoveJackFiles(name_);
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
  }
}

std::vector<std::string> JackServer::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> environment =
      InheritedEnvironment({"JACK_DEFAULT_SERVER", "TONALITH_WAVE_BACKEND"});
  environment.push_back("JACK_DEFAULT_SERVER=" + name_);
  environment.push_back("JACK_NO_AUDIO_RESERVATION=1");
  environment.insert(environment.end(), extra.begin(), extra.end());
  return environment;
}

pid_t JackServer::Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
                        const std::string& errorPath) const {
  return SpawnProcess(argv, Environment(extra),
                      errorPath.empty() ? folder_ + "/client.log" : errorPath);
}

std::string Retried(const char* what, int tries,
                    const std::function<std::string(int attempt)>& once,
                    const std::function<void()>& fresh) {
  std::string problem = "not run";
  for (int attempt = 0; attempt < tries && !problem.empty(); ++attempt) {
    problem = once(attempt);
    if (!problem.empty()) {
      std::fprintf(stderr, "%s try %d: %s\n", what, attempt + 1, problem.c_str());
      fresh();
    }
  }
  return problem;
}

CpuLoad::CpuLoad() {
  const long cores = std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L);
  for (long i = 0; i < cores; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      // Never outlives the test, even one that is killed.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      alarm(300);
      volatile uint64_t spins = 0;
      for (;;) {
        const uint64_t next = spins + 1;
        spins = next;
      }
    }
    if (pid > 0)
      spinners_.push_back(pid);
  }
}

CpuLoad::~CpuLoad() {
  for (const pid_t pid : spinners_) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

std::vector<int16_t> ReadWaveSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  std::vector<int16_t> samples;
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0)
    return samples;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
      // parecord leaves the size open while it runs: take what is there.
      const size_t available = bytes.size() - (at + 8);
      const size_t count =
          (size == 0 || size == 0xffffffffu || size > available ? available : size) / 2;
      samples.resize(count);
      std::memcpy(samples.data(), bytes.data() + at + 8, count * 2);
      return samples;
    }
    at += 8 + size + (size & 1);
  }
  return samples;
}

int64_t FindExactly(const std::vector<int16_t>& heard, const std::vector<int16_t>& wanted) {
  if (wanted.empty() || heard.size() < wanted.size())
    return -1;
  for (size_t start = 0; start + wanted.size() <= heard.size(); ++start) {
    if (heard[start] != wanted[0])
      continue;
    if (std::equal(wanted.begin(), wanted.end(), heard.begin() + static_cast<ptrdiff_t>(start))) {
      return static_cast<int64_t>(start);
    }
  }
  return -1;
}

}  // namespace sound_test
