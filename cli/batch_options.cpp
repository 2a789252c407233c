#include "cli/batch_options.h"

#include <map>

#include "cli/device_options.h"

namespace {

constexpr int32_t kMaxJobs = 1024;

bool HandleOutDir(std::string_view value, RenderOptions* options, std::string* error) {
  if (value.empty()) {
    *error = "--out-dir needs a folder";
    return false;
  }
  options->outDir = value;
  return true;
}

bool HandleJobs(std::string_view value, RenderOptions* options, std::string* error) {
  return ParseInt("--jobs", value, 1, kMaxJobs, &options->jobs, error);
}

constexpr RenderOptionSpec kBatchOptions[] = {
    {"--out-dir", "DIR", HandleOutDir},
    {"--jobs", "N", HandleJobs},
};

// The last part of a path; empty when it ends with '/'.
std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::span<const RenderOptionSpec> BatchRenderOptionSpecs() {
  return kBatchOptions;
}

bool CheckBatchOperands(const RenderOptions& options, std::string* error) {
  if (options.outDir.empty()) {
    *error = "--jobs is only for renders with --out-dir";
    return false;
  }
  if (UsesDevice(options)) {
    *error = "--out-dir takes no --input-device or --output-device";
    return false;
  }
  if (!options.deviceSetting.empty()) {
    *error = options.deviceSetting + " is only for runs with --input-device or --output-device";
    return false;
  }
  if (options.operands.empty()) {
    *error = "expected INPUT.wav... with --out-dir (see --help)";
    return false;
  }
  std::map<std::string_view, const std::string*> inputByName;
  for (const std::string& input : options.operands) {
    const std::string_view name = FileNameOf(input);
    if (name.empty() || name == "." || name == "..") {
      *error = "--out-dir: \"" + ShownValue(input) + "\" names no file";
      return false;
    }
    const auto [entry, added] = inputByName.emplace(name, &input);
    if (!added) {
      *error = "--out-dir: \"" + ShownValue(*entry->second) + "\" and \"" + ShownValue(input) +
               "\" would both be written to " + ShownValue(BatchOutputPath(options.outDir, input));
      return false;
    }
  }
  return true;
}

std::string BatchOutputPath(const std::string& outDir, const std::string& input) {
  const std::string_view name = FileNameOf(input);
  std::string path = outDir;
  if (path.back() != '/') {
    path += '/';
  }
  return path.append(name);
}

std::string BatchUsage() {
  return R"(
Many files:
  tonalith-render [options] --out-dir DIR [--jobs N] INPUT.wav...

  --out-dir DIR   render each INPUT.wav into DIR under its own file name
  --jobs N        files rendered at once, each on a thread of its own
                  (default: one per core this process may use)

Each output is what a render of that file alone gives. A file that fails is
reported with its name and the others go on; the exit status is then 1.
SIGINT, SIGTERM and SIGHUP stop every file after its current block.
)";
}
