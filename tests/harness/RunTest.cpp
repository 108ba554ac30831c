// Whole runs of the real module in the scripted world.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "run/Batch.h"
#include "run/RunError.h"
#include "run/Runner.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

RunResult RunJson(const std::string& json, std::optional<std::string> workdir = std::nullopt) {
  RunOptions options;
  options.modulePath = QUORVAT_MODULE_FILE;
  options.workdir = std::move(workdir);
  return RunScriptedScenario(ParseScenario(json, "test.json"), options);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("quorvat-run-test-" + std::to_string(getpid()) + "-" + std::to_string(count_++));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }

 private:
  static inline int count_ = 0;
  fs::path path_;
};

TEST(WholeRun, NoFramesLoadsRegistersAndEnds) {
  std::vector<std::string> lines = Lines(RunJson(R"({"frames": 0})").trace);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], R"({"frame":-1,"host":"SetName","args":["Quorvat"]})");
  EXPECT_EQ(lines[1], R"({"frame":-1,"host":"RegisterThread","args":[]})");
  EXPECT_EQ(lines[2], R"({"frame":0,"host":"IsThreadAlive","args":[],"result":false})");
  EXPECT_EQ(lines[3].rfind(R"({"frame":0,"end":true,"state":{"rewinding":0,)", 0), 0u) << lines[3];
}

TEST(WholeRun, ThreadLivesForTheFramesAndOnceMoreWhenReentered) {
  RunResult result = RunJson(R"({"frames": 3, "reenter": 2})");
  std::vector<std::string> alive, waits;
  for (const std::string& line : Lines(result.trace)) {
    if (line.find("\"IsThreadAlive\"") != std::string::npos) alive.push_back(line);
    if (line.find("\"Wait\"") != std::string::npos) waits.push_back(line);
  }
  const char* expected[] = {
      R"({"frame":0,"host":"IsThreadAlive","args":[],"result":true})",
      R"({"frame":1,"host":"IsThreadAlive","args":[],"result":true})",
      R"({"frame":2,"host":"IsThreadAlive","args":[],"result":true})",
      R"({"frame":3,"host":"IsThreadAlive","args":[],"result":false})",
      R"({"frame":3,"host":"IsThreadAlive","args":[],"result":true})",
      R"({"frame":4,"host":"IsThreadAlive","args":[],"result":true})",
      R"({"frame":5,"host":"IsThreadAlive","args":[],"result":false})",
  };
  ASSERT_EQ(alive.size(), std::size(expected));
  for (size_t i = 0; i < alive.size(); ++i) EXPECT_EQ(alive[i], expected[i]);
  ASSERT_EQ(waits.size(), 5u);
  EXPECT_EQ(waits[4], R"({"frame":4,"host":"Wait","args":[0]})");
  EXPECT_EQ(result.frames, 5);
  EXPECT_EQ(Lines(result.trace).back().rfind(R"({"frame":5,"end":true,)", 0), 0u);
  // The second entry keeps the module's state: the first-frame work ran once.
  EXPECT_EQ(result.state.frameCount, 6);
}

TEST(WholeRun, TimelineAppliesAtTheStartOfItsFrame) {
  RunResult result = RunJson(R"({"frames": 6, "world": {"charPos": [1, 2, 3]},
      "timeline": [{"frame": 2, "press": ["F7"]},
                   {"frame": 4, "world": {"charPos": [9, 8, 7]}, "press": ["F7"]}]})");
  std::vector<std::string> lines = Lines(result.trace);
  // The press is seen in frame 2 and only once: rewind mode starts there...
  EXPECT_TRUE(
      Contains(lines, R"({"frame":2,"native":"SetGameSpeed","hash":"0xA7F84694","args":[-1]})"));
  EXPECT_TRUE(
      Contains(lines, R"({"frame":2,"native":"CueModeSwitch","hash":"0x66C1BDEE","args":[250]})"));
  EXPECT_FALSE(
      Contains(lines, R"({"frame":3,"native":"CueModeSwitch","hash":"0x66C1BDEE","args":[250]})"));
  // ... and ends at the second press, in frame 4.
  EXPECT_TRUE(
      Contains(lines, R"({"frame":4,"native":"CueModeSwitch","hash":"0x66C1BDEE","args":[500]})"));
  EXPECT_EQ(result.state.rewinding, 0);
}

TEST(WholeRun, SettingsFileIsWrittenIntoTheWorkingDirectory) {
  TempDir dir;
  const char* settings = "[Keys]\nEnableKey=0x78\n[Settings]\nRecSize=12\nPush=0\n";
  std::string json = std::string(R"({"frames": 2, "settings": )") +
                     R"("[Keys]\nEnableKey=0x78\n[Settings]\nRecSize=12\nPush=0\n"})";
  RunResult result = RunJson(json, dir.Path().string());
  EXPECT_EQ(result.state.enableKey, 120);
  EXPECT_EQ(result.state.recSize, 12u);
  EXPECT_EQ(result.state.pushMode, 0);
  EXPECT_EQ(ReadFile(dir.Path() / "Quorvat.ini"), settings);
  // The module looked the file up against the working directory.
  EXPECT_TRUE(Contains(Lines(result.trace),
                       R"({"frame":0,"api":"GetFullPathNameW","args":["Quorvat.ini",500]})"));

  // null: no such file, even where one was left behind.
  RunResult defaults = RunJson(R"({"frames": 2, "settings": null})", dir.Path().string());
  EXPECT_FALSE(fs::exists(dir.Path() / "Quorvat.ini"));
  EXPECT_EQ(defaults.state.enableKey, 118);
  EXPECT_EQ(defaults.state.recSize, 2000u);
  EXPECT_EQ(defaults.state.pushMode, 1);
}

TEST(WholeRun, ModuleTimeComesFromTheScenario) {
  RunResult stamped = RunJson(R"({"frames": 1, "moduleMtime": 1700000000})");
  RunResult again = RunJson(R"({"frames": 1, "moduleMtime": 1700000000})");
  RunResult other = RunJson(R"({"frames": 1, "moduleMtime": 1650000000})");
  RunResult missing = RunJson(R"({"frames": 1, "moduleMtime": null})");
  EXPECT_EQ(stamped.state.buildStamp, again.state.buildStamp);
  EXPECT_NE(stamped.state.buildStamp, other.state.buildStamp);
  EXPECT_NE(stamped.state.buildStamp, missing.state.buildStamp);
}

TEST(WholeRun, ACurrentDirectoryIsPutBack) {
  fs::path before = fs::current_path();
  RunJson(R"({"frames": 1})");
  EXPECT_EQ(fs::current_path(), before);
}

std::vector<fs::path> SampleScenarios() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(SCENARIO_DIR)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(WholeRun, SampleScenariosRunToTheirEnd) {
  std::vector<fs::path> files = SampleScenarios();
  ASSERT_GE(files.size(), 4u);
  for (const fs::path& file : files) {
    Scenario scenario = LoadScenarioFile(file.string());
    RunOptions options;
    options.modulePath = QUORVAT_MODULE_FILE;
    RunResult result = RunScriptedScenario(scenario, options);
    EXPECT_EQ(result.frames, scenario.frames + scenario.reenter) << file;
    RunResult second = RunScriptedScenario(scenario, options);
    EXPECT_TRUE(result.trace == second.trace) << file << ": two runs differ";
  }
}

TEST(WholeRun, TheProgramWritesTheSameTraceEveryTimeToFileOrStandardOutput) {
  TempDir dir;
  fs::path scenario = SampleScenarios().front();
  std::string base = "timeout 60 '" QUORVAT_SIM "' run '" + scenario.string() + "'";
  for (const char* name : {"a.jsonl", "b.jsonl"}) {
    std::string command = base + " --trace '" + (dir.Path() / name).string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  ASSERT_EQ(std::system((base + " > '" + (dir.Path() / "c.jsonl").string() + "'").c_str()), 0);
  std::string a = ReadFile(dir.Path() / "a.jsonl");
  EXPECT_FALSE(a.empty());
  EXPECT_TRUE(a == ReadFile(dir.Path() / "b.jsonl"));
  EXPECT_TRUE(a == ReadFile(dir.Path() / "c.jsonl"));

  RunOptions options;
  options.modulePath = QUORVAT_MODULE_FILE;
  EXPECT_TRUE(a == RunScriptedScenario(LoadScenarioFile(scenario.string()), options).trace);
}

TEST(WholeRun, AModuleThatCannotBeLoadedIsARunError) {
  RunOptions options;
  options.modulePath = "/nonexistent/Quorvat.so";
  EXPECT_THROW(RunScriptedScenario(ParseScenario(R"({"frames": 1})", "t.json"), options), RunError);
  int status = std::system("'" QUORVAT_SIM "' run '" SCENARIO_DIR
                           "/on-foot-recording.json' --module /nonexistent/Quorvat.so "
                           ">/dev/null 2>&1");
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// --log gets the log this run's module wrote: after a fault too, over a file
// already there, and when it names that very file, by its own path or
// another way to it.
TEST(WholeRun, TheLogIsCopiedAfterAFaultOverAnOldFileAndOntoItself) {
  TempDir dir;
  const fs::path work = dir.Path() / "work";
  fs::create_directories(work);
  fs::create_directory_symlink(work, dir.Path() / "link");
  const struct {
    fs::path target;
    bool fault;
  } rows[] = {
      {dir.Path() / "fault.log", true},
      {dir.Path() / "old.log", false},
      {work / "Quorvat.log", false},
      {dir.Path() / "link" / "Quorvat.log", false},
  };
  for (const auto& row : rows) {
    std::ofstream(row.target, std::ios::binary) << "an old file\n";
    RunOptions options;
    options.modulePath = QUORVAT_MODULE_FILE;
    options.workdir = work.string();
    options.logCopy = row.target.string();
    if (row.fault) {
      options.frameCheck = [](int64_t frame, const QuorvatSnapshot&) {
        return frame == 1 ? std::string("a planted fault") : std::string();
      };
    }
    const Scenario scenario =
        ParseScenario(R"({"frames": 3, "settings": "[Settings]\nLog=1\n"})", "t.json");
    if (row.fault) {
      EXPECT_THROW(RunScriptedScenario(scenario, options), ModuleFault);
    } else {
      EXPECT_NO_THROW(EXPECT_TRUE(RunScriptedScenario(scenario, options).logCopied)) << row.target;
    }
    const std::string log = ReadFile(row.target);
    EXPECT_EQ(log.rfind("Quorvat ", 0), 0u) << row.target << ": " << log;
    EXPECT_EQ(log, ReadFile(work / "Quorvat.log")) << row.target;
  }
}

// A run's module closes its log when it is unloaded: a long batch doesn't
// run out of descriptors.
TEST(WholeRun, ABatchLeavesNoLogOpenFromRunToRun) {
  TempDir dir;
  const fs::path scenario = dir.Path() / "log.json";
  std::ofstream(scenario) << R"({"frames": 1, "settings": "[Settings]\nLog=1\n"})";
  const fs::path list = dir.Path() / "list.txt";
  {
    std::ofstream out(list);
    for (int i = 0; i < 60; ++i) out << scenario.string() << '\n';
  }
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 40;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  RunBatch(list.string(), (dir.Path() / "out").string(), QUORVAT_MODULE_FILE);
  setrlimit(RLIMIT_NOFILE, &saved);
  for (int i = 0; i < 60; ++i) {
    const fs::path base = dir.Path() / "out" / std::to_string(i);
    EXPECT_EQ(ReadFile(base.string() + ".status"), "0\n")
        << i << ": " << ReadFile(base.string() + ".err");
    EXPECT_TRUE(fs::exists(base.string() + ".log")) << i;
  }
}

}  // namespace
