#include "cli/batch_render.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/batch_options.h"
#include "cli/file_render.h"
#include "cli/render_command.h"
#include "cli/render_run.h"
#include "cli/stop_signals.h"
#include "engine/riff_io.h"

namespace {

// The cores this process may run on (a job runner may give it fewer than the
// machine has).
int32_t AvailableCores() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
    return std::max(1, CPU_COUNT(&cores));
  }
  return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

// What the workers say, each message whole on stderr with the input it
// concerns, and the files done on the progress bar.
class BatchReport {
 public:
  BatchReport(TerminalProgress* progress, size_t files) : progress_(progress), files_(files) {}

  void Show(const std::string& input, const std::string& text, const std::string& detail) {
    std::string lines = input + ": " + text + "\n";
    // A detail that only names the file adds nothing to the name in front.
    if (!detail.empty() && detail != input) {
      lines += detail + "\n";
    }
    const std::lock_guard lock(mutex_);
    if (progress_) {
      progress_->Clear();
    }
    std::fputs(lines.c_str(), stderr);
    std::fflush(stderr);
  }

  void FileEnded(bool failed) {
    const std::lock_guard lock(mutex_);
    ++done_;
    failed_ += failed ? 1 : 0;
    if (progress_) {
      progress_->SetProgress(static_cast<int32_t>(done_ * ProgressSink::kProgressRange / files_));
    }
  }

  size_t Failed() {
    const std::lock_guard lock(mutex_);
    return failed_;
  }

  void ClearProgress() {
    const std::lock_guard lock(mutex_);
    if (progress_) {
      progress_->SetProgress(0);
    }
  }

 private:
  std::mutex mutex_;
  TerminalProgress* progress_;
  const size_t files_;
  size_t done_ = 0;
  size_t failed_ = 0;
};

// The engine's messages about one input, told with its name.
class InputNotifier : public Notifier {
 public:
  InputNotifier(BatchReport& report, const std::string& input) : report_(report), input_(input) {}
  void ShowMessage(const std::string& text, const std::string& detail = {}) override {
    report_.Show(input_, text, detail);
  }

 private:
  BatchReport& report_;
  const std::string& input_;
};

// Renders the inputs from `next` on until none is left or a stop signal came.
// Each file's render ends with its line of levels, as a single render does.
void RenderInputs(const RenderOptions& options, std::atomic<size_t>& next, BatchReport& report) {
  const size_t count = options.operands.size();
  for (size_t i = next++; i < count && StopSignals::Received() == 0; i = next++) {
    const std::string& input = options.operands[i];
    const std::string output = BatchOutputPath(options.outDir, input);
    InputNotifier notifier(report, input);
    std::string refusal;
    std::optional<RunLevels> levels;
    const FileRenderResult result =
        RenderFile(options, input, output, notifier, nullptr, &refusal, &levels);
    if (levels) {
      notifier.ShowMessage(LevelSummaryText(*levels));
    }
    if (result == FileRenderResult::kRefused) {
      notifier.ShowMessage(refusal);
    } else if (result == FileRenderResult::kStopped) {
      notifier.ShowMessage("stopped; " + output + " holds the part rendered before the stop");
    }
    report.FileEnded(result == FileRenderResult::kFailed || result == FileRenderResult::kRefused);
  }
}

}  // namespace

int RunBatchRender(const RenderOptions& options, TerminalProgress* progress) {
  struct stat folder {};
  const int error = stat(options.outDir.c_str(), &folder) != 0 ? errno
                    : S_ISDIR(folder.st_mode)                  ? 0
                                                               : ENOTDIR;
  if (error != 0) {
    PrintRefusal("--out-dir " + ShownValue(options.outDir) + ": " + riff::SystemErrorText(error));
    return kRenderFailed;
  }
  const size_t files = options.operands.size();
  const auto jobs = static_cast<size_t>(options.jobs > 0 ? options.jobs : AvailableCores());
  BatchReport report(progress, files);
  std::atomic<size_t> next{0};
  const StopSignals stopSignals;
  {
    // This thread is one of the workers.
    std::vector<std::jthread> workers;
    for (size_t i = 1; i < std::min(jobs, files); ++i) {
      try {
        workers.emplace_back([&] { RenderInputs(options, next, report); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the ones there share the files
      }
    }
    RenderInputs(options, next, report);
  }
  report.ClearProgress();
  if (const int signal = StopSignals::Received()) {
    return kRenderStoppedBase + signal;
  }
  if (const size_t failed = report.Failed()) {
    PrintRefusal(std::to_string(failed) + " of " + std::to_string(files) + " files failed");
    return kRenderFailed;
  }
  return kRenderDone;
}
