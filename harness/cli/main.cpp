// quorvat-sim: runs the module against the stand-in host and game.
//
// Exit status: 0 the command ran; 2 the scenario is unreadable or invalid
// (one line on stderr, nothing written to the trace); 1 any other failure.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "formats/Scenario.h"
#include "run/Batch.h"
#include "run/ModuleLoader.h"
#include "run/RunError.h"
#include "run/Runner.h"
#if defined(QUORVAT_DEMO)
#include "cli/DemoCommand.h"
#endif
#if defined(QUORVAT_PLAY)
#include "cli/PlayCommand.h"
#endif

namespace {

// A subcommand: its options are added to the parser, and the returned
// action runs when the command line names it.
using Command = std::function<int()>;

Command AddRunCommand(CLI::App& app) {
  struct Options {
    std::string scenario;
    std::string trace = "-";
    std::string workdir;
    std::string module;
    std::optional<std::string> log;
  };
  auto options = std::make_shared<Options>();
  CLI::App* run = app.add_subcommand(
      "run",
      "Run a scenario in the scripted world and write the trace of every call the module "
      "makes.");
  run->add_option("SCENARIO", options->scenario, "The scenario file (JSON).")->required();
  run->add_option("--trace", options->trace,
                  "Where to write the trace (JSON Lines); '-' or absent: standard output.");
  run->add_option("--workdir", options->workdir,
                  "The directory that is the current directory while the module runs, and "
                  "the module's own folder (the Windows build loads a copy of the DLL from "
                  "there): the settings file is written there, and the module's log lands "
                  "there. Created when missing, kept afterwards. "
                  "Default: a fresh temporary directory, removed afterwards.");
  run->add_option("--log", options->log,
                  "After the run, copy the module's support log (Quorvat.log, written with "
                  "[Settings] Log=1) to this file; left as it is when the module made none.");
  run->add_option(
      "--module", options->module,
      "The module to load. Default: the Quorvat module beside this program, else the one "
      "this build made.");
  return [run, options]() -> int {
    if (!run->parsed()) return -1;
    // Everything is checked before anything is written.
    Scenario scenario = LoadScenarioFile(options->scenario);
    RunOptions runOptions;
    runOptions.modulePath = options->module.empty() ? DefaultModulePath() : options->module;
    if (!options->workdir.empty()) runOptions.workdir = options->workdir;
    runOptions.logCopy = options->log;
    RunScriptedScenarioToFile(scenario, runOptions, options->trace);
    return 0;
  };
}

// Runs each scenario of a list as `run` would, in one process (run/Batch.h).
Command AddBatchCommand(CLI::App& app) {
  struct Options {
    std::string list;
    std::string out;
    std::string module;
  };
  auto options = std::make_shared<Options>();
  CLI::App* batch = app.add_subcommand(
      "batch", "Run every scenario named in a list file (one path a line) as 'run' would.");
  batch->add_option("LIST", options->list, "The list of scenario files, one path a line.")
      ->required();
  batch->add_option("--out", options->out, "The directory for each scenario's results.")
      ->required();
  batch->add_option("--module", options->module, "The module to load, as for 'run'.");
  return [batch, options]() -> int {
    if (!batch->parsed()) return -1;
    RunBatch(options->list, options->out,
             options->module.empty() ? DefaultModulePath() : options->module);
    return 0;
  };
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quorvat-sim: runs the Quorvat module in a stand-in game and traces it."};
  // The same command line on every system: an argument starting with '/' is
  // a path (as under Wine), never a Windows-style option.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  app.set_version_flag("--version", "quorvat-sim " QUORVAT_VERSION,
                       "Print the version of Quorvat this program belongs to and exit.");
  app.footer(
      "Exit status: 0 the command ran; 2 the scenario is unreadable or invalid (one line on "
      "standard error naming the file, the JSON path and what was expected; no trace is "
      "written); 1 any other failure.");
  std::vector<Command> commands = {AddRunCommand(app), AddBatchCommand(app)};
#if defined(QUORVAT_DEMO)
  commands.push_back(AddDemoCommand(app));
#endif
#if defined(QUORVAT_PLAY)
  commands.push_back(AddPlayCommand(app));
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    // Help or the version: printed, and the command ran.
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 1;
  }

  try {
    for (auto& command : commands) {
      int status = command();
      if (status >= 0) return status;
    }
    return 1;
  } catch (const ScenarioError& e) {
    std::cerr << e.what() << '\n';
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "quorvat-sim: " << e.what() << '\n';
    return 1;
  }
}
