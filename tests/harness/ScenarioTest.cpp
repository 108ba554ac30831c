#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/Scenario.h"
#include "formats/ScenarioWriter.h"

namespace fs = std::filesystem;

namespace {

TEST(ScenarioReader, DefaultsAndEveryFieldRead) {
  Scenario bare = ParseScenario(R"({"frames": 0})", "s.json");
  EXPECT_EQ(bare.frames, 0);
  EXPECT_EQ(bare.reenter, 0);
  EXPECT_FALSE(bare.settings);
  EXPECT_FALSE(bare.moduleMtime);
  WorldState world;
  bare.world.ApplyTo(world);
  EXPECT_EQ(world.character, 1);
  EXPECT_EQ(world.frameStep, 16u);
  EXPECT_EQ(world.scrubStep, 100u);
  EXPECT_EQ(world.charCondition, 200u);

  Scenario full = ParseScenario(R"({
    "frames": 10, "reenter": 2, "settings": "[Keys]\nEnableKey=90\n", "moduleMtime": -5,
    "world": {"charPos": [0.1, "nan", "-inf"], "playerValue": 4294967295, "inVehicle": true,
              "vehicles": {"-7": {"rot": [0, 0, 0, 1], "condition": 3}, "0": {}},
              "models": {"2147483647": {"b": [1, 2, 3]}}},
    "timeline": [{"frame": 0, "hold": ["Z", 37], "cursor": [-1, 2147483647]},
                 {"frame": 0, "press": ["F7"], "release": ["Z"], "cursor": null},
                 {"frame": 9, "world": {"vehicles": {"-7": null}}}]})",
                                "s.json");
  EXPECT_EQ(full.reenter, 2);
  EXPECT_EQ(*full.settings, "[Keys]\nEnableKey=90\n");
  EXPECT_EQ(*full.moduleMtime, -5);
  full.world.ApplyTo(world);
  EXPECT_EQ(world.charPos.x, 0.1f);
  EXPECT_TRUE(std::isnan(world.charPos.y));
  EXPECT_EQ(world.charPos.z, -INFINITY);
  EXPECT_EQ(world.playerValue, 4294967295u);
  ASSERT_EQ(world.vehicles.count(-7), 1u);
  EXPECT_EQ(world.vehicles[-7].condition, 3u);
  EXPECT_EQ(world.vehicles[0].condition, 1000u);
  EXPECT_EQ(world.models[2147483647].b.z, 3.0f);
  ASSERT_EQ(full.timeline.size(), 3u);
  EXPECT_EQ(full.timeline[0].hold, (std::vector<int>{90, 37}));
  EXPECT_TRUE(full.timeline[0].setsCursor);
  EXPECT_EQ(full.timeline[0].cursor->y, 2147483647);
  EXPECT_TRUE(full.timeline[1].setsCursor);
  EXPECT_FALSE(full.timeline[1].cursor);
  EXPECT_EQ(full.timeline[1].press, (std::vector<int>{118}));
  full.timeline[2].world->ApplyTo(world);
  EXPECT_EQ(world.vehicles.count(-7), 0u);
}

TEST(ScenarioReader, NumbersRoundToTheNearestFloat) {
  Scenario s = ParseScenario(
      R"({"frames": 1, "world": {"heading": 16777217, "charVel": [3.4028235e38, -1e-50, 0.1]}})",
      "s.json");
  WorldState world;
  s.world.ApplyTo(world);
  EXPECT_EQ(world.heading, 16777216.0f);
  EXPECT_EQ(world.charVel.x, 3.4028235e38f);
  EXPECT_EQ(world.charVel.y, -0.0f);
  EXPECT_EQ(world.charVel.z, 0.1f);
}

// The program run on a file: exit status, standard error, and whether the
// trace file came into being.
struct Outcome {
  int status = -1;
  std::string error;
  bool traceWritten = false;
};

Outcome RunSim(const std::string& scenario) {
  fs::path dir = fs::temp_directory_path() / ("quorvat-malformed-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path trace = dir / "trace.jsonl";
  fs::path error = dir / "stderr.txt";
  fs::remove(trace);
  // timeout tells a hang (124) from a failure.
  std::string command = "timeout 30 '" QUORVAT_SIM "' run '" + scenario + "' --trace '" +
                        trace.string() + "' 2>'" + error.string() + "' >/dev/null";
  int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  std::ifstream in(error);
  std::stringstream text;
  text << in.rdbuf();
  outcome.error = text.str();
  outcome.traceWritten = fs::exists(trace);
  fs::remove_all(dir);
  return outcome;
}

TEST(MalformedScenarios, EachExitsTwoNamingTheOffendingPath) {
  // File, and the path its message must name.
  const std::pair<const char*, const char*> cases[] = {
      {"truncated.json", "(root)"},
      {"not-an-object.json", "(root)"},
      {"empty-file.json", "(root)"},
      {"trailing-garbage.json", "(root)"},
      {"missing-frames.json", "frames"},
      {"frames-negative.json", "frames"},
      {"frames-as-float.json", "frames"},
      {"frames-huge.json", "frames"},
      {"frames-too-many.json", "frames"},
      {"frames-as-string.json", "frames"},
      {"frames-null.json", "frames"},
      {"reenter-past-limit.json", "reenter"},
      {"unknown-field.json", "frame"},
      {"duplicate-field.json", "frames"},
      {"unknown-world-field.json", "world.charpos"},
      {"charpos-two-floats.json", "world.charPos"},
      {"timeline-bool-in-charpos.json", "timeline[3].world.charPos[1]"},
      {"timeline-out-of-order.json", "timeline[1].frame"},
      {"timeline-entry-without-frame.json", "timeline[0].frame"},
      {"timeline-frame-as-float.json", "timeline[0].frame"},
      {"unknown-key-name.json", "timeline[0].hold[0]"},
      {"key-code-out-of-range.json", "timeline[0].press[0]"},
      {"key-held-and-released.json", "timeline[0].release[0]"},
      {"cursor-one-number.json", "timeline[0].cursor"},
      {"pad-a-number.json", "timeline[0].pad"},
      {"pad-buttons-over-word.json", "timeline[1].pad.buttons"},
      {"pad-trigger-over-byte.json", "timeline[0].pad.rt"},
      {"pad-unknown-field.json", "timeline[0].pad.a"},
      {"unsigned-out-of-range.json", "world.playerValue"},
      {"unsigned-negative.json", "world.charCondition"},
      {"clock-negative.json", "timeline[0].world.clockUs"},
      {"locate-null.json", "world.locate"},
      {"locate-misspelt-in-timeline.json", "timeline[0].world.locate"},
      {"integer-out-of-range.json", "world.character"},
      {"bool-given-as-number.json", "world.inVehicle"},
      {"float-bad-word.json", "world.heading"},
      {"float-beyond-range.json", "world.heading"},
      {"vehicle-handle-hex.json", "world.vehicles[\"0x10\"]"},
      {"vehicle-unknown-field.json", "world.vehicles[\"5\"].speed"},
      {"vehicle-rot-three-floats.json", "world.vehicles[\"5\"].rot"},
      {"model-null.json", "world.models[\"5\"]"},
      {"settings-a-number.json", "settings"},
      {"module-mtime-float.json", "moduleMtime"},
      {"nested-too-deep.json", "world[0][0]"},
  };
  size_t corpus = 0;
  for (const auto& entry : fs::directory_iterator(MALFORMED_DIR)) {
    corpus += entry.path().extension() == ".json";
  }
  EXPECT_EQ(corpus, std::size(cases)) << "every file of the corpus has its case here";

  for (const auto& [file, path] : cases) {
    std::string scenario = std::string(MALFORMED_DIR) + "/" + file;
    Outcome outcome = RunSim(scenario);
    EXPECT_EQ(outcome.status, 2) << file << ": " << outcome.error;
    EXPECT_FALSE(outcome.traceWritten) << file;
    // One line: the file, then the path, then what was expected.
    ASSERT_FALSE(outcome.error.empty()) << file;
    EXPECT_EQ(outcome.error.find('\n'), outcome.error.size() - 1) << file << ": " << outcome.error;
    std::string prefix = scenario + ": " + path;
    EXPECT_EQ(outcome.error.rfind(prefix, 0), 0u) << file << ": " << outcome.error;
    EXPECT_NE(outcome.error.find("expected", prefix.size()), std::string::npos)
        << file << ": " << outcome.error;
  }
}

TEST(MalformedScenarios, MissingFileAndDirectoryAreUnreadable) {
  Outcome missing = RunSim("/nonexistent/quorvat.json");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.error.rfind("/nonexistent/quorvat.json: ", 0), 0u) << missing.error;
  Outcome directory = RunSim(MALFORMED_DIR);
  EXPECT_EQ(directory.status, 2) << directory.error;
}

}  // namespace

namespace {

// Every field the format has, in the writer's layout: what a recorded
// session looks like, and what reads back to the same values.
constexpr const char* kWrittenScenario = R"({
  "frames": 10,
  "reenter": 2,
  "settings": "[Keys]\nEnableKey=69 ; \"E\"\n",
  "moduleMtime": -5,
  "world": {
    "localPlayer": 3,
    "playerIndex": -4,
    "character": 5,
    "playerValue": 4294967295,
    "frameStep": 16,
    "scrubStep": 200,
    "charValue": 7,
    "inVehicle": true,
    "vehicle": 11,
    "charPos": [0.7,"nan","-inf"],
    "heading": -0.0,
    "charVel": [1e-45,3.4028235e+38,-2.5],
    "charCondition": 0,
    "footValue": -1,
    "bodyMode": false,
    "boxBlocked": true,
    "nearVehicle": 12,
    "clockUs": 4294967295,
    "locate": "nearest",
    "vehicles": {"-7":{"pos":[1.0,2.0,3.0],"rot":[0.0,0.0,-0.70710677,0.70710677],"vel":[0.0,0.0,0.0],"condition":3,"model":-2},"12":null},
    "models": {"7":{"a":[-1.0,-2.3,-0.7],"b":[1.0,2.3,0.7]}}
  },
  "timeline": [
    {"frame":0,"hold":["Z",69],"cursor":[-1,2147483647],"pad":{"buttons":65535,"lt":31,"rt":255}},
    {"frame":0,"release":["Z"],"press":["F7","SPACE","X","LEFT","RIGHT"],"cursor":null,"pad":null},
    {"frame":9,"world":{"charVel":[0.0,1.8,0.0],"clockUs":0,"locate":"fixed","vehicles":{"-7":null}},"pad":{}}
  ]
}
)";

TEST(ScenarioWriter, WritesWhatItReadsFieldForField) {
  Scenario read = ParseScenario(kWrittenScenario, "s.json");
  EXPECT_EQ(ScenarioText(read), kWrittenScenario);
}

TEST(ScenarioWriter, RefusesSettingsThatAreNotUtf8) {
  Scenario scenario;
  scenario.settings = std::string("\xFF\xFE[\0K", 5);  // UTF-16 with its mark
  EXPECT_THROW(ScenarioText(scenario), std::runtime_error);
}

}  // namespace
