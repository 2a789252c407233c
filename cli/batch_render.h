#pragma once
// A batch render: every input of the command line rendered into --out-dir,
// the files spread over --jobs worker threads that each take the next file
// not yet begun.

#include "cli/render_options.h"
#include "cli/terminal_output.h"

// Renders the inputs; each worker's messages are printed on stderr with the
// name of the input they concern, and `progress` (may be null) counts the
// files done. Exit status: 0 every file done, 1 any failed, 128 + the signal
// when a stop signal ended the batch.
int RunBatchRender(const RenderOptions& options, TerminalProgress* progress);
