#include "cli/DemoCommand.h"

#include <unistd.h>

#include <chrono>
#include <iomanip>
#include <iostream>
#include <memory>

#include "demo/Demo.h"

std::function<int()> AddDemoCommand(CLI::App& app) {
  auto options = std::make_shared<DemoOptions>();
  auto script = std::make_shared<std::string>();
  CLI::App* demo = app.add_subcommand(
      "demo",
      "Run the module in the live world: the player walks, drives, rewinds and resumes. "
      "Writes the trace and pictures of the screen and the route, then prints a report.");
  demo->add_option("--out", options->outDir,
                   "The folder for the trace and the pictures (created when missing).")
      ->capture_default_str();
  demo->add_option("--script", *script,
                   "A scenario file whose timeline drives the live world instead of the "
                   "built-in script.");
  demo->add_option("--module", options->modulePath,
                   "The module to load. Default: the Quorvat module built next to this program.");
  return [demo, options, script]() -> int {
    if (!demo->parsed()) return -1;
    if (!script->empty()) options->script = *script;
    auto start = std::chrono::steady_clock::now();
    std::cerr << "quorvat-sim demo: running "
              << (options->script ? *options->script : std::string("the built-in script")) << "\n";
    DemoRun run = RunDemo(*options, std::cerr, isatty(2) != 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << DemoReport(run) << "Took " << std::fixed << std::setprecision(1) << seconds
              << " s.\n";
    return 0;
  };
}
