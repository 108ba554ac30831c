// The support log's file: it never passes its mebibyte, a write that fails
// ends it, and the out-of-memory line comes once a run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FakeGame.h"
#include "log/SupportLog.h"

namespace {

constexpr uint32_t kCap = 1048576;

// A game whose disk takes only `allowed` bytes of its `failingWrite`-th
// write (counting from 1), and the log made in a folder of its own.
class LogFile : public ::testing::Test, public FakeGame {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("quorvat-log-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    Fresh();
  }
  // The module as loaded anew, with the log on.
  void Fresh() {
    ResetModule();
    scriptThread.enableKey = 118;
    rewindState.logEnabled = 1;
    writes = 0;
  }
  void TearDown() override {
    ResetModule();
    std::filesystem::current_path(saved_);
    std::filesystem::remove_all(folder_);
  }

  DWORD OnWriteFile(DWORD bytes) override { return ++writes == failingWrite ? allowed : bytes; }

  // What the file holds after the header.
  std::string Events() {
    std::ifstream in(folder_ / "Quorvat.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    for (int line = 0; line < 8; ++line) all.erase(0, all.find("\r\n") + 2);
    return all;
  }

  int writes = 0;
  int failingWrite = 0;
  DWORD allowed = 0;

 private:
  std::filesystem::path folder_;
  std::filesystem::path saved_;
};

TEST_F(LogFile, NeverPassesItsCapAndSaysSoWhenThereIsRoom) {
  // A long line, then two shorter ones that would fit after the full line.
  const std::string longLine =
      "frame 0: rewind (pad Up+Down+Left+Right+Start+Back+LS+RS+LB+RB+A+B+X+Y), 0 samples "
      "kept\r\n";
  const std::string full = "log full: nothing more is written\r\n";
  const struct {
    size_t room;
    std::string events;
  } rows[] = {
      {longLine.size(), longLine},
      {longLine.size() - 1, full},
      {full.size() - 1, ""},
  };
  for (const auto& row : rows) {
    Fresh();
    rewindState.padToggleButtons = 0xF3FF;
    OpenSupportLog();
    rewindState.logBytes = kCap - static_cast<uint32_t>(row.room);
    LogRewindEntry(RewindCause::PadChord);
    LogRewindLeave(RewindCause::ResumeKey);
    LogOutOfMemory();
    EXPECT_EQ(Events(), row.events) << row.room << " bytes left";
    EXPECT_LE(rewindState.logBytes, kCap);
  }
}

TEST_F(LogFile, AWriteThatFailsEndsTheLogWithWhatWasWritten) {
  failingWrite = 9;  // the first event's line, after the eight of the header
  allowed = 5;
  OpenSupportLog();
  LogRewindEntry(RewindCause::PadChord);
  LogRewindLeave(RewindCause::LetGo);
  EXPECT_EQ(Events(), "frame");
  EXPECT_EQ(writes, 9);
}

TEST_F(LogFile, APathLongerThanWindowsUsualLimitIsWrittenWhole) {
  const std::filesystem::path deep =
      std::filesystem::current_path() / std::string(150, 'd') / std::string(150, 'e');
  std::filesystem::create_directories(deep);
  std::filesystem::current_path(deep);
  OpenSupportLog();
  std::ifstream in(deep / "Quorvat.log", std::ios::binary);
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  EXPECT_EQ(line, "module: " + (deep / "Quorvat.dll").string() + "\r");
}

TEST_F(LogFile, OnlyTheFirstFailedPushIsLogged) {
  OpenSupportLog();
  LogOutOfMemory();
  LogOutOfMemory();
  EXPECT_EQ(Events(), "frame 0: out of memory: the history keeps 0 samples\r\n");
}

}  // namespace
