// The support log's file: it never passes its mebibyte, a write that fails
// or falls short ends it, its paths are the system's whole, and the
// out-of-memory line comes once a run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FakeGame.h"
#include "log/SupportLog.h"
#include "record/RecordFrame.h"

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
  bool OnShortWriteSucceeds() override { return shortWriteSucceeds; }
  bool OnXInputLibraryPresent() override { return xinputPresent; }

  std::vector<std::string> Lines(const std::filesystem::path& folder) {
    std::ifstream in(folder / "Quorvat.log", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // What the file holds after the header.
  std::string Events() {
    std::ifstream in(folder_ / "Quorvat.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    for (int line = 0; line < 9; ++line) all.erase(0, all.find("\r\n") + 2);
    return all;
  }

  int writes = 0;
  int failingWrite = 0;
  DWORD allowed = 0;
  bool shortWriteSucceeds = false;
  bool xinputPresent = true;

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
      {full.size(), full},
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

TEST_F(LogFile, AWriteThatFailsOrFallsShortEndsTheLogWithWhatWasWritten) {
  for (const bool succeeds : {false, true}) {
    Fresh();
    failingWrite = 10;  // the first event's line, after the nine of the header
    allowed = 5;
    shortWriteSucceeds = succeeds;
    OpenSupportLog();
    LogRewindEntry(RewindCause::PadChord);
    LogRewindLeave(RewindCause::LetGo);
    EXPECT_EQ(Events(), "frame") << "the short write answers " << succeeds;
    EXPECT_EQ(writes, 10);
  }
}

TEST_F(LogFile, APathLongerThanWindowsUsualLimitIsWrittenWhole) {
  const std::filesystem::path deep =
      std::filesystem::current_path() / std::string(150, 'd') / std::string(150, 'e');
  std::filesystem::create_directories(deep);
  std::filesystem::current_path(deep);
  const std::u16string settings = (deep / "Quorvat.ini").u16string();
  ASSERT_LT(settings.size(), std::size(rewindState.settingsPath));
  settings.copy(rewindState.settingsPath, settings.size());
  OpenSupportLog();
  const std::vector<std::string> lines = Lines(deep);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[1], "module: " + (deep / "Quorvat.dll").string() + "\r");
  EXPECT_EQ(lines[2], "game: " + std::filesystem::read_symlink("/proc/self/exe").string() + "\r");
  EXPECT_EQ(lines[3], "settings file: " + (deep / "Quorvat.ini").string() + "\r");
}

TEST_F(LogFile, ThePadLineSaysWhenThereIsNoXInputLibrary) {
  for (const bool present : {true, false}) {
    Fresh();
    xinputPresent = present;
    rewindState.padEnabled = 1;
    rewindState.padToggleButtons = 32;
    OpenSupportLog();
    const std::vector<std::string> lines = Lines(std::filesystem::current_path());
    ASSERT_GE(lines.size(), 7u);
    const std::string start = "[Pad] Enable=1 ToggleButtons=32 (Back) MarkButtons=0 (none), ";
    if (present) {
      EXPECT_EQ(lines[6].rfind(start + "XInput from /", 0), 0u) << lines[6];
    } else {
      EXPECT_EQ(lines[6], start + "no XInput library found: the pad is not read\r");
    }
  }
}

TEST_F(LogFile, OnlyTheFirstFailedPushIsLogged) {
  answers[0x330A9C0C] = [](NativeContext& c) { c.argSlots[0] = 16; };  // QueryFrameStep
  OpenSupportLog();
  HistoryMemory::failHook = [](std::size_t) { return true; };
  RecordFrame(0);
  RecordFrame(0);
  HistoryMemory::failHook = nullptr;
  EXPECT_EQ(Events(), "frame 0: out of memory: the history keeps 0 samples\r\n");
}

}  // namespace
