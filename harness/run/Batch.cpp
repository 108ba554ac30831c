#include "run/Batch.h"

#include <exception>
#include <filesystem>
#include <fstream>

#include "formats/Scenario.h"
#include "run/RunError.h"
#include "run/Runner.h"

void RunBatch(const std::string& listPath, const std::string& outDir,
              const std::string& modulePath) {
  std::ifstream list(listPath);
  if (!list) throw RunError(listPath + ": cannot read the list");
  std::filesystem::create_directories(outDir);
  std::string path;
  for (int index = 0; std::getline(list, path); ++index) {
    if (!path.empty() && path.back() == '\r') path.pop_back();
    const std::string base = outDir + "/" + std::to_string(index);
    int status = 0;
    std::string message;
    try {
      RunOptions options;
      options.modulePath = modulePath;
      // Its support log, when the module made one, for comparing builds.
      options.logCopy = base + ".log";
      RunScriptedScenarioToFile(LoadScenarioFile(path), options, base + ".jsonl");
    } catch (const ScenarioError& e) {
      status = 2;
      message = e.what();
    } catch (const std::exception& e) {
      status = 1;
      message = std::string("quorvat-sim: ") + e.what();
    }
    std::ofstream(base + ".status", std::ios::binary) << status << '\n';
    std::ofstream(base + ".err", std::ios::binary) << message << (message.empty() ? "" : "\n");
  }
}
