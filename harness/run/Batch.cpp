#include "run/Batch.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "formats/Scenario.h"
#include "run/RunError.h"
#include "run/Runner.h"

namespace {

// Runs one scenario into `tracePath`; throws what `run` would report.
void RunOne(const std::string& scenarioPath, const std::string& tracePath,
            const std::string& modulePath) {
  Scenario scenario = LoadScenarioFile(scenarioPath);
  RunOptions options;
  options.modulePath = modulePath;
  std::FILE* out = std::fopen(tracePath.c_str(), "wb");
  if (out == nullptr) throw RunError(tracePath + ": cannot open for the trace");
  options.trace = out;
  try {
    RunScriptedScenario(scenario, options);
  } catch (...) {
    std::fclose(out);
    throw;
  }
  if (std::fclose(out) != 0) throw RunError(tracePath + ": cannot write the trace");
}

}  // namespace

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
      RunOne(path, base + ".jsonl", modulePath);
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
