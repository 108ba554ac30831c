// Many scenarios in one process, each as `quorvat-sim run` would run it, so
// that a platform whose program start is slow (Wine under an emulator) pays
// for it once.
#pragma once

#include <string>

// Runs every scenario named in the file `listPath` (one path a line) with
// the module at `modulePath`. For the i-th (from 0) it writes, in `outDir`:
// i.jsonl, the trace; i.status, the exit status `run` would give; i.err, its
// message. A scenario's failure is recorded and the next one runs. Throws
// RunError only when the list can't be read.
void RunBatch(const std::string& listPath, const std::string& outDir,
              const std::string& modulePath);
