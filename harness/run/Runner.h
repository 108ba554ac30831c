// One run of a scenario: prepare the working directory, load the module
// into the stand-in host, drive its script thread frame by frame, write the
// trace and unload the module again.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "formats/Scenario.h"
#include "host/Snapshot.h"
#include "world/World.h"

struct RunOptions {
  std::string modulePath;
  // The process's current directory during the run; created when missing.
  // None: a fresh temporary directory, removed afterwards.
  std::optional<std::string> workdir;
  // Where the trace goes; null: kept in memory only (RunResult::trace).
  std::FILE* trace = nullptr;
  // Where to copy the module's support log after the run (relative to the
  // current directory when the run starts), when this run's module created
  // one; otherwise the file is left as it is. None: no copy.
  std::optional<std::string> logCopy;
  // Called at the end of every frame (each Wait) with the module's state;
  // a non-empty answer stops the run there as a fault, with that message.
  // For long checked runs such as the soak; none: no check.
  std::function<std::string(int64_t frame, const QuorvatSnapshot& state)> frameCheck;
  // Input that arrives while the run goes on, from a person at the keyboard:
  // asked at the start of every frame, after the scenario's entries of that
  // frame, with the module's state as the last frame left it, for entries
  // to apply now (their `frame` is not looked at). False ends the run
  // there, before the module's work of that frame: the run then lasts
  // `frame` frames, as a scenario of that many would. None: the scenario
  // alone drives the run.
  std::function<bool(int64_t frame, const QuorvatSnapshot& state, std::vector<TimelineEntry>& now)>
      liveInput;
};

struct RunResult {
  int64_t frames = 0;  // frames run: the Waits that returned
  QuorvatSnapshot state{};
  std::string trace;       // the whole trace, when RunOptions::trace was null
  bool logCopied = false;  // the module made a log and it went to RunOptions::logCopy
};

// Runs `scenario` against `world`. Throws RunError (a ModuleFault when the
// module broke the rules).
RunResult RunScenario(const Scenario& scenario, World& world, const RunOptions& options);

// The same in the scripted world of the scenario.
RunResult RunScriptedScenario(const Scenario& scenario, const RunOptions& options);

// The same, writing the trace to the file at `tracePath` ("-": standard
// output), as `quorvat-sim run` does; options.trace is ignored. Throws
// RunError also when the trace can't be opened or written.
void RunScriptedScenarioToFile(const Scenario& scenario, RunOptions options,
                               const std::string& tracePath);
