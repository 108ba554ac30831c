#include "run/Runner.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "HostControl.h"
#include "formats/TraceWriter.h"
#include "run/GameHost.h"
#include "run/ModuleLoader.h"
#include "run/OsSide.h"
#include "run/RunError.h"
#include "world/ScriptedWorld.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsFile = "Quorvat.ini";
constexpr const char* kLogFile = "Quorvat.log";

// The working directory of a run, and the process's current directory
// while the module runs; both are put back however the run ends.
class WorkDir {
 public:
  explicit WorkDir(const std::optional<std::string>& given) {
    std::error_code error;
    if (given) {
      path_ = fs::absolute(*given, error);
      if (!error) fs::create_directories(path_, error);
      if (error || !fs::is_directory(path_)) {
        throw RunError(*given + ": cannot use as the working directory: " + error.message());
      }
      return;
    }
    fs::path base = fs::temp_directory_path(error);
    if (error) base = "/tmp";
    std::random_device random;
    for (int attempt = 0; attempt < 100 && !temporary_; ++attempt) {
      path_ = base / ("quorvat-sim-" + std::to_string(random()));
      temporary_ = fs::create_directory(path_, error) && !error;
    }
    if (!temporary_)
      throw RunError("cannot create a temporary working directory in " + base.string());
  }

  ~WorkDir() {
    std::error_code error;
    if (!saved_.empty()) fs::current_path(saved_, error);
    if (temporary_) fs::remove_all(path_, error);
  }

  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  void WriteSettings(const std::optional<std::string>& contents) const {
    fs::path file = path_ / kSettingsFile;
    std::error_code error;
    if (!contents) {
      // The scenario says there is no such file: one left from earlier
      // doesn't count.
      if (fs::exists(file, error)) fs::remove(file, error);
      if (error) throw RunError(file.string() + ": cannot remove: " + error.message());
      return;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(contents->data(), static_cast<std::streamsize>(contents->size()));
    out.close();
    if (!out) throw RunError(file.string() + ": cannot write the settings file");
  }

  const fs::path& Path() const { return path_; }

  void Enter() {
    std::error_code error;
    saved_ = fs::current_path(error);
    if (!error) fs::current_path(path_, error);
    if (error) throw RunError(path_.string() + ": cannot change into: " + error.message());
  }

 private:
  fs::path path_;
  fs::path saved_;
  bool temporary_ = false;
};

// Restores the built-in host when the run ends, however it ends.
struct HostInstalled {
  explicit HostInstalled(HostHandler& handler) {
    HostForgetThreads();
    HostSetHandler(&handler);
  }
  ~HostInstalled() {
    HostSetHandler(nullptr);
    HostForgetThreads();
  }
};

// Copies the support log the module made in the working directory, once the
// module is unloaded (its file closed), whether the run ended well or in a
// fault: the log says what led up to it.
class LogCopy {
 public:
  LogCopy(const std::optional<std::string>& target, const fs::path& workdir, const OsSide& os)
      : os_(os), from_(workdir / kLogFile) {
    if (target) to_ = fs::absolute(*target);
  }
  // True when it copied one.
  bool Copy() const {
    if (to_.empty() || !os_.ModuleCreatedAFile()) return false;
    std::error_code error;
    // Asked for the very file the module wrote (by whatever path): it is
    // already there, and copying a file onto itself fails.
    if (fs::equivalent(from_, to_, error)) return true;
    error.clear();
    fs::copy_file(from_, to_, fs::copy_options::overwrite_existing, error);
    if (error) throw RunError(to_.string() + ": cannot copy the log: " + error.message());
    return true;
  }

 private:
  const OsSide& os_;
  fs::path from_;
  fs::path to_;
};

}  // namespace

RunResult RunScenario(const Scenario& scenario, World& world, const RunOptions& options) {
  std::string modulePath = fs::absolute(options.modulePath).string();
  WorkDir workdir(options.workdir);
  workdir.WriteSettings(scenario.settings);

  RunResult result;
  TraceWriter trace(options.trace);
  OsSide os(trace, scenario.moduleMtime);
  const LogCopy log(options.logCopy, workdir.Path(), os);
  GameHost host(world, os, trace, scenario.timeline);
  HostInstalled installed(host);
  workdir.Enter();

  trace.SetFrame(-1);
  std::unique_ptr<LoadedModule> module = LoadModule(modulePath, workdir.Path(), os);
  if (options.frameCheck) {
    host.SetFrameCheck([&options, &module, &trace]() {
      QuorvatSnapshot state{};
      module->ReadSnapshot(&state);
      return options.frameCheck(trace.Frame(), state);
    });
  }
  if (options.liveInput) {
    host.SetLiveInput([&options, &module, &trace](std::vector<TimelineEntry>& now) {
      QuorvatSnapshot state{};
      module->ReadSnapshot(&state);
      return options.liveInput(trace.Frame(), state, now);
    });
  }
  ScriptThread* thread = HostRegisteredThread();
  if (thread == nullptr) throw RunError(modulePath + ": the module registered no script thread");

  trace.SetFrame(0);
  host.StartFrame();
  const int64_t entries[] = {scenario.frames, scenario.reenter};
  for (int i = 0; i < 2; ++i) {
    // A second entry only when the scenario asks for one.
    if (i == 1 && (entries[1] == 0 || host.Stopped())) break;
    host.BeginEntry(entries[i]);
    HostRunScript(thread);
    if (!host.Fault().empty()) {
      try {
        module->Unload();
        log.Copy();
      } catch (const RunError&) {
        // The fault is the news; a log that can't be had on top of it isn't.
      }
      throw ModuleFault(host.Fault());
    }
  }

  result.frames = trace.Frame();
  module->ReadSnapshot(&result.state);
  trace.EndLineOf(result.state);
  module->Unload();
  result.logCopied = log.Copy();
  if (!trace.Flush()) throw RunError("cannot write the trace");
  if (options.trace == nullptr) result.trace = trace.Text();
  return result;
}

RunResult RunScriptedScenario(const Scenario& scenario, const RunOptions& options) {
  ScriptedWorld world(scenario.world);
  return RunScenario(scenario, world, options);
}

void RunScriptedScenarioToFile(const Scenario& scenario, RunOptions options,
                               const std::string& tracePath) {
  std::FILE* out = stdout;
  if (tracePath != "-") {
    out = std::fopen(tracePath.c_str(), "wb");
    if (out == nullptr) throw RunError(tracePath + ": cannot open for the trace");
  }
#if defined(_WIN32)
  else {
    _setmode(_fileno(stdout), _O_BINARY);
  }
#endif
  options.trace = out;
  try {
    RunScriptedScenario(scenario, options);
  } catch (...) {
    if (out != stdout) std::fclose(out);
    throw;
  }
  if (out != stdout && std::fclose(out) != 0) {
    throw RunError(tracePath + ": cannot write the trace");
  }
}
