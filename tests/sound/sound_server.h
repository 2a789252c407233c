#pragma once
// A private PulseAudio daemon for one test: its own runtime folder, two null
// sinks ("tsink", "tsink2") at 44100 Hz stereo 16-bit, stopped and removed
// again at the end. Clients started through Spawn/Run reach it through the
// environment (XDG_RUNTIME_DIR, HOME, PULSE_SINK, PULSE_SOURCE).
//
// An idle null sink renders in blocks of two seconds, so a capture from its
// monitor would see its first frames only up to two seconds late (and miss
// what was played meanwhile). Each sink therefore gets a silent low-latency
// stream for the daemon's life, which keeps it rendering in real time as a
// sound card does; silence adds nothing to what else is played into it.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sound_test {

class SoundServer {
 public:
  SoundServer();
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // Stops the daemon and starts a fresh one in a new runtime folder.
  void Restart();
  // Kills the daemon and its helper streams at once (SIGKILL), as a crash
  // would; Restart brings a fresh one.
  void Kill();

  // Empty when the daemon runs; otherwise why it could not be started.
  const std::string& Problem() const { return problem_; }
  const std::string& Folder() const { return folder_; }

  // Starts a client in the background with the server's environment plus
  // `extraEnvironment` ("NAME=value"), its stderr appended to `errorPath`
  // (a log shared by all clients when empty). Returns its process id, or -1.
  pid_t Spawn(const std::vector<std::string>& argv,
              const std::vector<std::string>& extraEnvironment,
              const std::string& errorPath = {}) const;
  // Runs a client to its end; its exit status, or -1.
  int Run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
          double timeoutSeconds = 30) const;
  // Ends a background client with SIGINT (then SIGKILL after a grace time)
  // and reaps it.
  static void Stop(pid_t pid);
  // Waits for a background client to end by itself; false after the timeout
  // (the client is then killed).
  static bool Wait(pid_t pid, double timeoutSeconds, int* status = nullptr);

 private:
  void Start();
  void Shutdown();
  pid_t DaemonPid() const;
  std::vector<std::string> Environment(const std::vector<std::string>& extra) const;

  std::string folder_;
  std::string problem_;
  std::vector<pid_t> keepAlive_;
};

// A private JACK server for one test: jackd2 with its dummy driver (no sound
// card, no real-time privileges, paced by a timer) at kRate with a period of
// `period` frames, under a name of its own, its log in a private folder.
// Clients reach it through Environment() (JACK_DEFAULT_SERVER) or its name.
// On a loaded machine the dummy driver notes "XRun"s of its own in the log;
// count a client's through its xrun callback instead.
class JackServer {
 public:
  static constexpr int32_t kRate = 48000;

  explicit JackServer(int32_t period = 256);
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  // Stops the server and starts a fresh one under a new name.
  void Restart();
  // Kills the server at once (SIGKILL), as a crash would.
  void Kill();

  // Empty when the server runs; otherwise why it could not be started.
  const std::string& Problem() const { return problem_; }
  const std::string& Name() const { return name_; }
  const std::string& Folder() const { return folder_; }
  int32_t Period() const { return period_; }

  // This process's environment for a client of the server, plus `extra`.
  std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;
  // As SoundServer's, with Environment(); stderr to `errorPath` (the
  // folder's client.log when empty).
  pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra = {},
              const std::string& errorPath = {}) const;

 private:
  void Start();
  // Starts jackd under name_; "" once it answers, else why not.
  std::string Launch();
  void Shutdown();

  int32_t period_;
  std::string name_;
  std::string folder_;
  std::string problem_;
  pid_t pid_ = -1;
  bool killed_ = false;
};

// Runs `once` (which returns "" or what was wrong) up to `tries` times,
// calling `fresh` (a fresh server) after each try that went wrong, which is
// reported on stderr with `what`. Returns the last try's problem.
std::string Retried(const char* what, int tries,
                    const std::function<std::string(int attempt)>& once,
                    const std::function<void()>& fresh);

// Starts `argv` in the background with exactly `environment`, stdout to
// /dev/null and stderr appended to `errorPath`. Returns its pid, or -1.
pid_t SpawnProcess(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, const std::string& errorPath);

// This process's environment without the variables named in `dropped`.
std::vector<std::string> InheritedEnvironment(const std::vector<std::string>& dropped);

// Keeps every core busy while it lives (one spinning process per core), as
// a loaded machine is.
class CpuLoad {
 public:
  CpuLoad();
  ~CpuLoad();
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;

 private:
  std::vector<pid_t> spinners_;
};

// Interleaved 16-bit samples of a WAV file written by parecord or the engine
// (the data chunk, wherever it is); empty when the file cannot be read.
std::vector<int16_t> ReadWaveSamples(const std::string& path);

// Where `wanted` first appears whole and exactly inside `heard` (sample
// index), or -1.
int64_t FindExactly(const std::vector<int16_t>& heard, const std::vector<int16_t>& wanted);

}  // namespace sound_test
