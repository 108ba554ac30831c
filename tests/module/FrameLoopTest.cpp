// The frame loop under the host's fiber, the first-frame block, the build
// stamp and the settings file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FakeGame.h"
#include "host/Natives.h"

namespace {

constexpr uint32_t kCueNormalPlay = 0x27C1B7C6;
constexpr uint32_t kDrawScreenText = 0x247F4D85;
constexpr uint32_t kQueryLocalPlayerId = 0x1CC648EA;

// Runs each test in a directory of its own, the settings file's home.
class FrameLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    char pattern[] = "/tmp/quorvat-frameloop-XXXXXX";
    dir = mkdtemp(pattern);
    previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    game.answers[kDrawScreenText] = [this](NativeContext& c) {
      texts.push_back(reinterpret_cast<const char*>(static_cast<uintptr_t>(c.argSlots[3])));
    };
  }
  void TearDown() override {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
  }
  void RunFrames(int frames) {
    game.aliveAnswers = frames;
    HostRunScript(&scriptThread);
  }
  void WriteSettings(const std::string& text) { std::ofstream(dir / "Quorvat.ini") << text; }

  FakeGame game;
  std::filesystem::path dir;
  std::filesystem::path previous;
  std::vector<std::string> texts;
};

TEST_F(FrameLoop, NotAliveAtOnceDoesNothingAtAll) {
  RunFrames(0);
  EXPECT_TRUE(game.calls.empty());
  EXPECT_EQ(game.waits, 0);
  EXPECT_EQ(rewindState.frameCount, 0);
  EXPECT_EQ(scriptThread.enableKey, 0);
}

TEST_F(FrameLoop, EnteringTheScriptAgainDoesNotRerunTheFirstFrame) {
  RunFrames(3);
  EXPECT_EQ(game.waits, 3);
  EXPECT_EQ(game.CallsOf(kCueNormalPlay).size(), 1u);  // the gate stays closed here
  EXPECT_EQ(rewindState.frameCount, 4);
  RunFrames(2);
  EXPECT_EQ(game.CallsOf(kCueNormalPlay).size(), 1u);
  EXPECT_EQ(game.CallsOf(kQueryLocalPlayerId).size(), 5u);
  EXPECT_EQ(rewindState.frameCount, 6);
}

TEST_F(FrameLoop, TheStampShowsOnFramesOneToNinetyNineOnly) {
  RunFrames(150);
  EXPECT_EQ(texts.size(), 99u);
  EXPECT_EQ(rewindState.frameCount, 100);
  RunFrames(10);
  EXPECT_EQ(texts.size(), 99u);
}

TEST_F(FrameLoop, TheStampIsTheModificationTimePlusTwoHours) {
  struct Case {
    bool exists;
    int64_t mtime;
    const char* text;
  };
  const Case cases[] = {
      {true, 14 * 3600 + 7 * 60, ":: 16.070"},
      {true, 1700000000 - 1700000000 % 86400 + 23 * 3600 + 59 * 60 + 59, ":: 25.590"},
      {true, 0, ":: 2.000"},
      {false, 0, ":: 2.000"},  // a file that can't be found reads as midnight 1970
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ResetModule();
    texts.clear();
    game.hasMtime = c.exists;
    game.mtime = c.mtime;
    RunFrames(1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], c.text);
  }
}

TEST_F(FrameLoop, ATimeTheRuntimeCannotBreakDownShowsNoStamp) {
  // Before 1970, and past the Windows runtime's last time, 3001-01-01 07:59:59.
  for (int64_t mtime : {int64_t{-1}, int64_t{32535244800}}) {
    ResetModule();
    texts.clear();
    game.hasMtime = true;
    game.mtime = mtime;
    RunFrames(5);
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(rewindState.buildStamp, 0.0f);
    EXPECT_EQ(rewindState.frameCount, 6);
  }
}

TEST_F(FrameLoop, SettingsDefaultWithoutAFile) {
  rewindState.recSize = 1;
  rewindState.pushMode = 5;
  RunFrames(1);
  EXPECT_EQ(scriptThread.enableKey, 118);
  EXPECT_EQ(rewindState.recSize, 2000u);
  EXPECT_EQ(rewindState.pushMode, 1);
}

TEST_F(FrameLoop, SettingsComeFromTheFileInTheCurrentDirectory) {
  WriteSettings("[Settings]\nRecSize=500\n");
  RunFrames(1);
  EXPECT_EQ(scriptThread.enableKey, 118);
  EXPECT_EQ(rewindState.recSize, 500u);
  EXPECT_EQ(rewindState.pushMode, 1);

  // Read once per load: editing the file later changes nothing.
  WriteSettings("[Settings]\nRecSize=7\n");
  RunFrames(2);
  EXPECT_EQ(rewindState.recSize, 500u);
}

TEST_F(FrameLoop, SettingsFollowThePlatformReader) {
  WriteSettings(
      "[keys]\n  enablekey =  0x7A  \n[Settings]\nPush=-1\nRecSize=12abc\n"
      "[Other]\nEnableKey=5\n");
  RunFrames(1);
  EXPECT_EQ(scriptThread.enableKey, 0x7A);
  EXPECT_EQ(rewindState.recSize, 12u);
  EXPECT_EQ(rewindState.pushMode, -1);
}

TEST_F(FrameLoop, AKeyUnderTheWrongSectionIsNotFound) {
  WriteSettings("[Keys]\nRecSize=5\nPush=0\n");
  RunFrames(1);
  EXPECT_EQ(rewindState.recSize, 2000u);
  EXPECT_EQ(rewindState.pushMode, 1);
}

// The log is made on the first frame or not at all: a game that found it
// held by another doesn't take it over once that one ends.
TEST_F(FrameLoop, ALogHeldByAnotherGameIsNotTakenOverLater) {
  WriteSettings("[Settings]\nLog=1\n");
  const std::filesystem::path log = dir / "Quorvat.log";
  std::ofstream(log) << "the other game's log\n";
  const int other = open(log.c_str(), O_WRONLY);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  RunFrames(1);
  close(other);
  RunFrames(2);
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "the other game's log");
  EXPECT_EQ(rewindState.logFile, nullptr);
}

}  // namespace
