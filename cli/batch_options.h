#pragma once
// The batch options of tonalith-render: several inputs, each rendered into a
// folder under its own name, spread over worker threads.
//
//   tonalith-render [options] --out-dir DIR [--jobs N] INPUT.wav...

#include <span>
#include <string>

#include "cli/render_options.h"

std::span<const RenderOptionSpec> BatchRenderOptionSpecs();

// Whether the command line asks for a batch render (--out-dir or --jobs).
inline bool UsesBatch(const RenderOptions& options) {
  return !options.outDir.empty() || options.jobs > 0;
}

// At least one input, no device, and no two inputs that would be written to
// the same output.
bool CheckBatchOperands(const RenderOptions& options, std::string* error);

// Where a batch writes `input`: DIR/<the input's file name>.
std::string BatchOutputPath(const std::string& outDir, const std::string& input);

// The --help lines of the batch options.
std::string BatchUsage();
