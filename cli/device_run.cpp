#include "cli/device_run.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "cli/render_command.h"
#include "cli/render_run.h"
#include "effects/effect_chain.h"
#include "engine/jack_run.h"
#include "engine/wave_engine.h"
#include "platform/alsa_device_list.h"
#include "platform/jack_client.h"

namespace {

// Signals reach the event loop through a pipe: the handler only writes a byte.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Counts the engine's messages while passing them on.
class CountingNotifier : public Notifier {
 public:
  explicit CountingNotifier(Notifier& inner) : inner_(inner) {}
  void ShowMessage(const std::string& text, const std::string& detail = {}) override {
    ++count;
    inner_.ShowMessage(text, detail);
  }
  int count = 0;

 private:
  Notifier& inner_;
};

// The entries by their product names, or JACK ports by their own names.
void PrintDeviceList(const char* title, const std::vector<WaveDeviceCaps>& caps) {
  std::printf("%s:\n", title);
  if (caps.empty()) {
    std::printf("  (none)\n");
  }
  for (size_t i = 0; i < caps.size(); ++i) {
    const std::string& name = caps[i].jackPort ? caps[i].pcmName : caps[i].productName;
    std::printf("  %zu  %s\n", i, name.c_str());
  }
}

// The engine of a run or a list: ALSA's devices, or a JACK server's ports.
std::unique_ptr<WaveEngine> MakeEngine(const RenderOptions& options, Notifier* notifier) {
  if (!options.jack) {
    ShowAlsaDiagnostics(options.verbose);
    return std::make_unique<WaveEngine>(notifier);
  }
  ShowJackDiagnostics(options.verbose);
  return std::make_unique<WaveEngine>(notifier, CreateDevicelessWaveService(),
                                      JackPortListing::kListed);
}

// "latency 5.3 ms (JACK server "default": 48000 Hz, period 256 frames)"
void PrintLatency(const RunStatus& status) {
  if (status.jack) {
    std::fprintf(stderr,
                 "tonalith-render: latency %.1f ms (JACK server \"%s\": %d Hz, period %d "
                 "frames)\n",
                 status.LatencyMs(), DefaultJackServerName().c_str(), status.sampleRate,
                 status.periodFrames);
  } else {
    std::fprintf(stderr, "tonalith-render: latency %.1f ms (%d frames at %d Hz)\n",
                 status.LatencyMs(), status.latencyFrames, status.sampleRate);
  }
}

// ALSA's own diagnostics are shown with --verbose; otherwise a run that had
// some says how many on one line at its end.
void SummariseDiagnostics(const RenderOptions& options) {
  const int32_t count = AlsaDiagnosticCount();
  if (!options.verbose && count > 0) {
    std::fprintf(stderr, "tonalith-render: %d %s of the sound system not shown (--verbose)\n",
                 static_cast<int>(count), count == 1 ? "diagnostic" : "diagnostics");
  }
}

// The block length, the device settings, and the operands as the input and
// output files of the ends that are not devices.
WaveRunSettings RunSettingsFrom(const RenderOptions& options) {
  WaveRunSettings settings;
  settings.blockBytes = options.blockBytes;
  settings.bufferCount = options.buffers;
  settings.sampleRate = options.rate;
  settings.channels = options.channels;
  settings.bitsPerSample = options.bits;
  settings.jackClientName = options.jackName;
  size_t operand = 0;
  // kJackUnconnected is a device too: ports left unconnected.
  settings.inputIsFile = options.inputDevice == -1;
  if (settings.inputIsFile) {
    settings.inputFileName = options.operands.at(operand++);
  } else {
    settings.inputDeviceId = options.inputDevice;
  }
  settings.outputIsFile = options.outputDevice == -1;
  if (settings.outputIsFile) {
    settings.outputFileName = options.operands.at(operand++);
  } else {
    settings.outputDeviceId = options.outputDevice;
  }
  return settings;
}

}  // namespace

int ListDevices(const RenderOptions& options) {
  const std::unique_ptr<WaveEngine> engine = MakeEngine(options, nullptr);
  if (options.jack) {
    const std::string server = DefaultJackServerName();
    if (engine->jackSampleRate == 0) {
      std::fprintf(stderr, "%s\nserver \"%s\": %s\n", jack_run_messages::kNoServer, server.c_str(),
                   engine->jackListingError.c_str());
      return kRenderFailed;
    }
    std::printf("JACK server \"%s\": %d Hz, period %d frames\n", server.c_str(),
                engine->jackSampleRate, engine->jackPeriodFrames);
    PrintDeviceList("Capture ports (--input-device)", engine->inputCaps);
    PrintDeviceList("Playback ports (--output-device)", engine->outputCaps);
    return kRenderDone;
  }
  PrintDeviceList("Input devices", engine->inputCaps);
  PrintDeviceList("Output devices", engine->outputCaps);
  SummariseDiagnostics(options);
  return kRenderDone;
}

int RunDeviceRender(const RenderOptions& options, Notifier& outer, ProgressSink* progress) {
  static int argc = 1;
  static char name[] = "tonalith-render";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> ownApp;
  if (!QCoreApplication::instance()) {
    ownApp = std::make_unique<QCoreApplication>(argc, argv);
  }

  // A recording past a file-size limit is a failed write (EFBIG), which ends
  // the run with its message and a valid file, as a full disk does. Ignored
  // for the rest of the process, from before the first device is opened: the
  // sound server's client library sizes files of its own for shared memory,
  // and does without them when it cannot.
  std::signal(SIGXFSZ, SIG_IGN);

  CountingNotifier notifier(outer);
  WaveRunSettings settings = RunSettingsFrom(options);
  // The chains outlive the engine, which releases them when it closes a run.
  EffectChain left;
  EffectChain right;
  const std::unique_ptr<WaveEngine> ownEngine = MakeEngine(options, &notifier);
  WaveEngine& engine = *ownEngine;
  if (options.jack && engine.jackSampleRate > 0) {
    settings.sampleRate = engine.jackSampleRate;  // the effects run at the server's rate
  }
  if (settings.inputIsFile) {
    // The effects run at the file's own rate, which the device plays.
    const std::optional<int32_t> rate = ReadSourceRate(settings.inputFileName, notifier);
    if (!rate) {
      return kRenderFailed;
    }
    settings.sampleRate = *rate;
  }
  std::string refusal;
  if (!AppendRequestedEffects(options, left, right, settings.sampleRate, &refusal)) {
    PrintRefusal(refusal);
    return kRenderRefused;
  }
  engine.settings = settings;
  engine.leftChain = &left;
  engine.rightChain = &right;
  engine.progress = progress;
  // The run's end, whatever brings it, ends the event loop.
  engine.runEnded = [] { QCoreApplication::quit(); };

  // Ctrl-C, SIGTERM and --seconds stop the run as the Stop button does.
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    return kRenderFailed;
  }
  QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&engine] {
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    engine.StopRun();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt {};
  struct sigaction oldTerm {};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [&engine] { engine.StopRun(); });
  if (options.seconds > 0) {
    limit.start(static_cast<int>(options.seconds * 1000));
  }

  const int messagesBefore = notifier.count;
  // A start that cannot stream has shown why, and left nothing open.
  const bool started = engine.StartRun();
  if (started) {
    if (!options.quiet) {
      PrintLatency(engine.Status());
    }
    QCoreApplication::exec();
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  if (started) {
    PrintLevelSummary(engine.Levels().Run());
  }

  const RunStatus status = engine.Status();
  if (status.xruns > 0) {
    std::fprintf(stderr, "tonalith-render: %d %s\n", status.xruns,
                 status.jack ? "xruns (late periods)" : "underruns or overruns");
  }
  if (status.droppedFrames > 0) {
    std::fprintf(stderr, "tonalith-render: %lld frames lost: the disk did not keep up\n",
                 static_cast<long long>(status.droppedFrames));
  }
  SummariseDiagnostics(options);
  return started && notifier.count == messagesBefore ? kRenderDone : kRenderFailed;
}
