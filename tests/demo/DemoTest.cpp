#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "demo/Demo.h"

namespace fs = std::filesystem;

namespace {

// Per process, so that two test runs on one machine don't share a folder.
fs::path FreshDir(const std::string& name) {
  fs::path dir =
      fs::temp_directory_path() / ("quorvat-demo-test-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  return dir;
}

DemoRun RunInto(const fs::path& out, const char* script = nullptr, bool pictures = true) {
  DemoOptions options;
  options.outDir = out.string();
  options.modulePath = QUORVAT_MODULE_FILE;
  options.pictures = pictures;
  if (script != nullptr) options.script = std::string(DEMO_SCRIPT_DIR) + "/" + script;
  std::ostringstream progress;
  return RunDemo(options, progress, false);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// What `command` prints on standard output, and its exit status.
std::string Output(const std::string& command, int* status) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string text;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  *status = pclose(pipe);
  return text;
}

// Every resumed rewind put the player back where the scrubbed sample was
// recorded, and went back at least one sample.
void ExpectRestored(const DemoRun& run) {
  for (const RewindSummary& r : run.rewinds) {
    SCOPED_TRACE("rewind entered at frame " + std::to_string(r.enterFrame));
    ASSERT_GE(r.leaveFrame, 0);
    ASSERT_GE(r.playIndex, 1);
    EXPECT_LT(r.scrubbedFrame, r.enterFrame);
    EXPECT_LT(r.distance, 0.05);
  }
}

// The screens' and the overview's sizes.
constexpr uint32_t kScreenWidth = 640, kScreenHeight = 360;
constexpr uint32_t kOverviewWidth = 900, kOverviewHeight = 640;

// A PNG's signature, then its header chunk with the size, big-endian.
void ExpectPng(const std::string& path, uint32_t width, uint32_t height) {
  SCOPED_TRACE(path);
  std::ifstream in(path, std::ios::binary);
  unsigned char head[24] = {};
  ASSERT_TRUE(in.read(reinterpret_cast<char*>(head), sizeof head));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 16),
            std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
  auto big = [&](int at) {
    return uint32_t{head[at]} << 24 | uint32_t{head[at + 1]} << 16 | uint32_t{head[at + 2]} << 8 |
           head[at + 3];
  };
  EXPECT_EQ(big(16), width);
  EXPECT_EQ(big(20), height);
}

TEST(Demo, BuiltInScriptRewindsInTheCarAndOnFootAndRestoresBoth) {
  fs::path out = FreshDir("builtin");
  DemoRun run = RunInto(out);
  EXPECT_EQ(run.frames, 960);
  ASSERT_EQ(run.rewinds.size(), 2u);
  EXPECT_TRUE(run.rewinds[0].inVehicle);
  EXPECT_FALSE(run.rewinds[1].inVehicle);
  // 'Z' for 50 frames and 'X' for 10, two samples a frame.
  EXPECT_EQ(run.rewinds[0].playIndex, 80);
  ExpectRestored(run);
  // The shipped settings follow the vehicles around the player: the van
  // coming the other way and the parked cars went back with the player.
  for (const RewindSummary& r : run.rewinds) {
    EXPECT_GE(r.vehicles.size(), 2u);
    for (const VehicleReturn& v : r.vehicles) EXPECT_LT(v.distance, 0.05) << v.handle;
  }
  // Nothing records while rewinding.
  int64_t rewindFrames = 0;
  for (const RewindSummary& r : run.rewinds) rewindFrames += r.leaveFrame - r.enterFrame;
  EXPECT_EQ(run.recordedFrames, run.frames - rewindFrames);

  EXPECT_EQ(ReadFile(run.tracePath), run.trace);
  // The shipped settings' hint, and the label at the furthest point: 100
  // samples of 33 ms frames, so the clock followed the frame pace.
  EXPECT_NE(run.trace.find("\"STRING\",\"F7: rewind\"]"), std::string::npos);
  EXPECT_NE(run.trace.find("\"STRING\",\"-3.3 s\"]"), std::string::npos);
  std::string report = DemoReport(run);
  EXPECT_NE(report.find("Rewind 1: F7 at frame 400"), std::string::npos) << report;
  EXPECT_NE(report.find("    vehicle 20: recorded there (65.3, 4.0), at the resume (65.3, 4.0): "
                        "0.000 m apart\n"),
            std::string::npos)
      << report;
  // The second rewind jumps back to the mark dropped before the turn, and
  // plays on from it; the ticks show the mark on the timeline meanwhile.
  EXPECT_NE(report.find("Rewind 2: F7 at frame 840 at (113.7, 13.9), 735 samples kept\n"
                        "  jumped to the mark of frame 755\n"
                        "  resumed at frame 895, 84 samples back (2.8 s of play), on foot, from "
                        "the sample of frame 755\n"),
            std::string::npos)
      << report;
  // The tick 84 of 735 samples back: 0.6 - (84 / 735) / 5.
  EXPECT_NE(run.trace.find("{\"frame\":852,\"native\":\"DrawScreenRect\",\"hash\":\"0xDD2BFC77\","
                           "\"args\":[0.577142894,0.932920575,0.00400000019,0.0299999993,255,200,"
                           "0,255]}"),
            std::string::npos);
  EXPECT_NE(report.find(run.tracePath), std::string::npos) << report;
  // The shipped settings turn the log on: it lies beside the trace and the
  // report names it; its lines match the report's rewinds.
  EXPECT_EQ(run.logPath, (out / "Quorvat.log").string());
  EXPECT_NE(report.find("support log: " + run.logPath), std::string::npos) << report;
  const std::string log = ReadFile(out / "Quorvat.log");
  EXPECT_NE(log.find("frame 400: rewind (F7), 400 samples kept, 13.2 s of play\r\n"
                     "frame 505: play on (F7) from 80 samples back, 2.6 s\r\n"
                     "frame 755: mark, 1 marks kept\r\n"
                     "frame 840: rewind (F7), 735 samples kept, 24.2 s of play\r\n"
                     "frame 845: jump to 84 samples back\r\n"
                     "frame 895: play on (Space) from 84 samples back, 2.8 s\r\n"),
            std::string::npos)
      << log;

  // A screen for the start and three for each rewind, and the overview.
  ASSERT_EQ(run.pictures.size(), 8u);
  for (const std::string& p : run.pictures) {
    bool overview = fs::path(p).filename() == "overview.png";
    ExpectPng(p, overview ? kOverviewWidth : kScreenWidth,
              overview ? kOverviewHeight : kScreenHeight);
  }

  // The first rewind's animation as a viewer shows it: the frames, the size
  // and the run's time (to the hundredth a GIF counts in) the report gives,
  // no bars a second before the rewind, the bars (black at the top and
  // bottom) halfway through it, and no pixel left showing the page behind.
  ASSERT_TRUE(run.animation.has_value());
  const DemoAnimation& gif = *run.animation;
  EXPECT_EQ(gif.path, (out / "rewind.gif").string());
  EXPECT_NE(report.find(gif.path + ": rewind 1, frames 369 to 571, " +
                        std::to_string(gif.pictures) + " pictures of 640 x 360, 6.7 s\n"),
            std::string::npos)
      << report;
  const RewindSummary& first = run.rewinds[0];
  int64_t halfway = (first.enterFrame + first.leaveFrame) / 2;
  int64_t picture = (halfway - gif.firstFrame) * static_cast<int64_t>(gif.pictures) /
                    (gif.lastFrame - gif.firstFrame + 1);
  int status = -1;
  std::string shown = Output("/usr/bin/python3 " DEMO_SCRIPT_DIR "/gif_frames.py " + gif.path +
                                 " 0 " + std::to_string(picture),
                             &status);
  EXPECT_EQ(status, 0) << shown;
  const std::string black = "(0, 0, 0)";
  std::istringstream lines(shown);
  std::string head, atStart, atHalfway;
  std::getline(lines, head);
  std::getline(lines, atStart);
  std::getline(lines, atHalfway);
  EXPECT_EQ(head, std::to_string(gif.pictures) + " 640x360 " +
                      std::to_string(std::lround(gif.seconds * 100) * 10));
  EXPECT_EQ(atStart.rfind("0 opaque (", 0), 0u) << atStart;
  EXPECT_EQ(atStart.find(black), std::string::npos) << atStart;
  EXPECT_EQ(atHalfway, std::to_string(picture) + " opaque " + black + " " + black);

  // The same run again writes the same trace.
  DemoRun again = RunInto(FreshDir("builtin-again"), nullptr, false);
  EXPECT_TRUE(again.trace == run.trace);
  fs::remove_all(out);
  fs::remove_all(FreshDir("builtin-again"));
}

TEST(Demo, ScriptFileDrivesTheLiveWorld) {
  fs::path out = FreshDir("script");
  DemoRun run = RunInto(out, "short-rewinds.json");
  EXPECT_EQ(run.frames, 200);
  ASSERT_EQ(run.rewinds.size(), 2u);
  EXPECT_FALSE(run.rewinds[0].inVehicle);
  EXPECT_EQ(run.rewinds[0].playIndex, 10);
  EXPECT_TRUE(run.rewinds[1].inVehicle);
  EXPECT_EQ(run.rewinds[1].playIndex, 13);
  ExpectRestored(run);

  // A car on a loop wrecked by the player's car is back, whole, where it was
  // before the crash.
  DemoRun crash = RunInto(out, "crash-rewind.json", false);
  ASSERT_EQ(crash.rewinds.size(), 1u);
  ExpectRestored(crash);
  ASSERT_EQ(crash.rewinds[0].vehicles.size(), 1u);
  const VehicleReturn& car = crash.rewinds[0].vehicles[0];
  EXPECT_EQ(car.handle, 30);
  EXPECT_LE(car.conditionBefore, kWreckCondition);
  EXPECT_EQ(car.conditionAfter, 1000u);
  EXPECT_LT(car.distance, 0.05);
  fs::remove_all(out);
}

TEST(Demo, CommandLineWritesReportTraceAndPictures) {
  fs::path out = FreshDir("cli");
  std::string command = std::string(QUORVAT_SIM) + " demo --module " + QUORVAT_MODULE_FILE +
                        " --script " + DEMO_SCRIPT_DIR + "/short-rewinds.json --out " +
                        out.string() + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string report;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) report.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << report;
  EXPECT_NE(report.find("Rewind 1"), std::string::npos) << report;
  EXPECT_NE(report.find("0.000 m apart"), std::string::npos) << report;
  EXPECT_TRUE(fs::exists(out / "trace.jsonl"));
  EXPECT_TRUE(fs::exists(out / "overview.png"));
  fs::remove_all(out);
}

TEST(Demo, ReportNamesTheRemappedKeyAndThePadsChordThatStartedEachRewind) {
  fs::path out = FreshDir("trigger");
  fs::create_directories(out);
  fs::path script = out / "trigger.json";
  std::ofstream(script) << R"({"frames": 50,
    "settings": "[Keys]\nEnableKey=82\n[Pad]\nEnable=1\nToggleButtons=48\n",
    "world": {"frameStep": 33, "charVel": [1, 0, 0]},
    "timeline": [{"frame": 10, "press": [82]}, {"frame": 20, "press": [82]},
                 {"frame": 30, "pad": {"buttons": 48}}, {"frame": 32, "pad": {"buttons": 16}},
                 {"frame": 40, "pad": {"buttons": 48}}]})";
  DemoOptions options;
  options.outDir = (out / "run").string();
  fs::create_directories(options.outDir);
  std::ofstream(out / "run" / "Quorvat.log") << "an earlier run's";
  options.modulePath = QUORVAT_MODULE_FILE;
  options.script = script.string();
  options.pictures = false;
  std::ostringstream progress;
  std::string report = DemoReport(RunDemo(options, progress, false));
  EXPECT_NE(report.find("Rewind 1: R at frame 10"), std::string::npos) << report;
  EXPECT_NE(report.find("Rewind 2: pad Start+Back at frame 30"), std::string::npos) << report;
  // Settings without Log: no log, none named, and an earlier run's is gone.
  EXPECT_EQ(report.find("Quorvat.log"), std::string::npos) << report;
  EXPECT_FALSE(fs::exists(out / "run" / "Quorvat.log"));
  fs::remove_all(out);
}

TEST(Demo, UnreadableScriptIsAScenarioErrorAndWritesNothing) {
  fs::path out = FreshDir("bad");
  DemoOptions options;
  options.outDir = out.string();
  options.modulePath = QUORVAT_MODULE_FILE;
  options.script = std::string(DEMO_SCRIPT_DIR) + "/no-such-script.json";
  std::ostringstream progress;
  EXPECT_THROW(RunDemo(options, progress, false), ScenarioError);
  EXPECT_FALSE(fs::exists(out));
}

TEST(Demo, PicturesSurviveAScriptWithVehiclesAtNanAndAtTheEdgeOfTheFloats) {
  fs::path out = FreshDir("odd");
  fs::create_directories(out);
  fs::path script = out / "odd.json";
  std::ofstream(script) << R"({"frames": 40,
    "world": {"frameStep": 33, "charVel": [1, 0, 0],
              "vehicles": {"12": {"pos": ["nan", 0, 0]}, "13": {"pos": [3e38, -3e38, 0]},
                           "14": {"pos": [1, 1, 0], "rot": ["inf", 0, 0, 1]}}},
    "timeline": [{"frame": 20, "press": ["F7"]}, {"frame": 30, "hold": ["SPACE"]}]})";
  DemoOptions options;
  options.outDir = (out / "pictures").string();
  options.modulePath = QUORVAT_MODULE_FILE;
  options.script = script.string();
  std::ostringstream progress;
  DemoRun run = RunDemo(options, progress, false);
  ASSERT_EQ(run.rewinds.size(), 1u);
  EXPECT_GE(run.pictures.size(), 4u);
  for (const std::string& p : run.pictures) {
    bool overview = fs::path(p).filename() == "overview.png";
    ExpectPng(p, overview ? kOverviewWidth : kScreenWidth,
              overview ? kOverviewHeight : kScreenHeight);
  }
  fs::remove_all(out);
}

// The mirror of the module's histories, from frames alone.
LiveFrame Recorded(int64_t frame, float x) {
  LiveFrame f;
  f.frame = frame;
  f.recorded = true;
  f.bodyPos = {x, 0, 1};
  return f;
}

LiveFrame RewindFrame(int64_t frame, float fill, int32_t modeSwitch = 0) {
  LiveFrame f;
  f.frame = frame;
  f.overlay = true;
  f.modeSwitch = modeSwitch;
  f.rects.push_back({0.5f, 0.9f, 0.2f, 0.01f, 255, 255, 255, 255});
  f.rects.push_back({0.6f - fill / 2, 0.9f, fill, 0.01f, 100, 100, 100, 255});
  return f;
}

TEST(FindRewinds, TakesTheScrubbedSampleFromTheTimelineFillOfATrimmedHistory) {
  std::vector<LiveFrame> frames;
  for (int i = 0; i < 10; ++i) frames.push_back(Recorded(i, static_cast<float>(i)));
  // The module held up to three samples, then (as a history in seconds
  // does after a long frame) trimmed two at once, then grew to four:
  // frames 6 to 9 are kept.
  std::vector<uint32_t> held = {1, 2, 3, 3, 3, 3, 1, 2, 3, 4, 4, 4, 4};
  // The player in car 11 had wrecked car 30; each rewind frame puts both
  // back, car 30 by the sample's vehicles around the player. Only the last
  // placement before the resume counts, and the player's own car is the
  // player's.
  LiveVehicle wreck;
  wreck.condition = 200;
  frames.push_back(RewindFrame(10, 0.0f, 250));
  frames.back().vehicles[30] = wreck;
  frames.push_back(RewindFrame(11, 0.05f));  // (1 / 4) / 5: index 1 of 4
  frames.back().inVehicle = true;
  frames.back().vehicle = 11;
  frames.back().placed = {{11, {8, 0, 1}}, {30, {5, 6, 0.5f}}};
  LiveFrame leave = Recorded(12, 8);
  leave.modeSwitch = 500;
  leave.vehicles[30].pos = {5, 6.5f, 0.5f};
  leave.vehicles[11].pos = {8, 0, 1};
  frames.push_back(leave);

  std::vector<RewindSummary> rewinds = FindRewinds(frames, held, {});
  ASSERT_EQ(rewinds.size(), 1u);
  EXPECT_EQ(rewinds[0].samples, 4);
  EXPECT_EQ(rewinds[0].playIndex, 1);
  EXPECT_EQ(rewinds[0].scrubbedFrame, 8);
  EXPECT_EQ(rewinds[0].deepestFrame, 11);
  EXPECT_DOUBLE_EQ(rewinds[0].distance, 0.0);
  EXPECT_NE(
      RewindReport(rewinds, 33)
          .find("  1 vehicle around the player put back:\n"
                "    vehicle 30: recorded there (5.0, 6.0), at the resume (5.0, 6.5): 0.500 m "
                "apart, mended from 200 to 1000\n"),
      std::string::npos)
      << RewindReport(rewinds, 33);
}

TEST(FindRewinds, ARewindWithoutAFillOrNotLeftIsReportedAsUnknown) {
  std::vector<LiveFrame> frames = {Recorded(0, 0), Recorded(1, 1)};
  LiveFrame enter;
  enter.frame = 2;
  enter.modeSwitch = 250;
  frames.push_back(enter);
  LiveFrame leave = Recorded(3, 1);
  leave.modeSwitch = 500;
  frames.push_back(leave);
  frames.push_back(RewindFrame(4, 0, 250));

  std::vector<RewindSummary> rewinds = FindRewinds(frames, {1, 2, 2, 3, 3}, {});
  ASSERT_EQ(rewinds.size(), 2u);
  EXPECT_EQ(rewinds[0].leaveFrame, 3);
  EXPECT_EQ(rewinds[0].playIndex, -1);
  EXPECT_LT(rewinds[0].distance, 0);
  EXPECT_EQ(rewinds[1].leaveFrame, -1);
  EXPECT_NE(RewindReport(rewinds, 33).find("still rewinding"), std::string::npos);
}

}  // namespace
