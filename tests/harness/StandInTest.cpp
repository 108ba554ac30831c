// The stand-in host library and the Windows stand-ins on their own.
#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "HostControl.h"
#include "WinApiControl.h"
#include "WindowsApi.h"
#include "run/OsSide.h"

namespace fs = std::filesystem;

namespace {

// Records the order in which the script body and the game take turns.
class TurnTaker : public HostHandler {
 public:
  std::string log;
  int frames = 3;
  void OnSetName(ScriptThread*, const char* name) override { log += std::string("name:") + name; }
  void OnRegisterThread(ScriptThread*) override { log += "reg;"; }
  bool OnIsThreadAlive(ScriptThread*) override { return frames > 0; }
  bool OnWait(ScriptThread*, unsigned int ms) override {
    log += "game" + std::to_string(ms) + ";";
    --frames;
    return true;
  }
  void OnNative(NativeContext* context, uint32_t hash) override { context->argSlots[0] = hash + 1; }
};

class Looping : public ScriptThread {
 public:
  TurnTaker* game = nullptr;
  void RunScript() override {
    while (IsThreadAlive()) {
      game->log += "frame;";
      Wait(7);
    }
  }
};

// Uses a good part of the fiber's stack, as deep call chains would.
int Deep(int n) {
  volatile char pad[1024];
  pad[0] = static_cast<char>(n);
  return n == 0 ? pad[0] : Deep(n - 1) + 1;
}

class Throwing : public ScriptThread {
 public:
  void RunScript() override {
    Wait(0);
    if (Deep(400) != 400) return;
    throw std::runtime_error("out of memory");
  }
};

struct HostReset {
  ~HostReset() {
    HostSetHandler(nullptr);
    HostForgetThreads();
  }
};

TEST(StandInHost, ScriptBodyAndGameTakeTurnsAtEachWait) {
  HostReset reset;
  TurnTaker game;
  HostSetHandler(&game);
  Looping thread;
  thread.game = &game;
  char name[] = "Looper";
  thread.SetName(name);
  ScriptHookManager::RegisterThread(&thread);
  ASSERT_EQ(HostRegisteredThread(), &thread);
  HostRunScript(HostRegisteredThread());
  EXPECT_EQ(game.log, "name:Looperreg;frame;game7;frame;game7;frame;game7;");

  NativeContext context{};
  NativeInvoke::SpeedyInvoke(&context, 41);
  EXPECT_EQ(context.argSlots[0], 42u);
  HostForgetThreads();
  EXPECT_EQ(HostRegisteredThread(), nullptr);
}

TEST(StandInHost, ExceptionsOfTheScriptBodyReachTheHostSide) {
  HostReset reset;
  TurnTaker game;
  HostSetHandler(&game);
  Throwing thread;
  EXPECT_THROW(HostRunScript(&thread), std::runtime_error);
  EXPECT_EQ(game.log, "game0;");
  // The host is usable again afterwards.
  Looping looping;
  looping.game = &game;
  game.frames = 1;
  HostRunScript(&looping);
  EXPECT_EQ(game.log, "game0;frame;game7;");
}

TEST(StandInHost, WaitOutsideAFiberRunsTheGameAtOnce) {
  HostReset reset;
  TurnTaker game;
  HostSetHandler(&game);
  Looping thread;
  thread.Wait(3);
  EXPECT_EQ(game.log, "game3;");
}

TEST(StandInHost, BuiltInGameKeepsNothingAliveAndAnswersZero) {
  HostReset reset;
  HostSetHandler(nullptr);
  Looping thread;
  EXPECT_FALSE(thread.IsThreadAlive());
  NativeContext context{};
  context.resultPtr = context.argSlots;
  context.argSlots[0] = 99;
  NativeInvoke::SpeedyInvoke(&context, 0x1CC648EA);
  EXPECT_EQ(context.argSlots[0], 0u);
}

class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("quorvat-standin-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "sub");
    fs::current_path(dir_ / "sub");
  }
  void TearDown() override {
    fs::current_path(saved_);
    fs::remove_all(dir_);
  }
  std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
  fs::path saved_, dir_;
};

TEST_F(InTempDir, FullPathResolvesAgainstTheCurrentDirectoryWithinTheBuffer) {
  std::u16string expected = Wide((dir_ / "sub" / "Quorvat.ini").string());
  WCHAR buffer[600];
  LPWSTR filePart = nullptr;
  DWORD length = GetFullPathNameW(u"Quorvat.ini", 600, buffer, &filePart);
  ASSERT_EQ(length, expected.size());
  EXPECT_EQ(std::u16string(buffer), expected);
  EXPECT_EQ(std::u16string(filePart), u"Quorvat.ini");

  // Too small by one: the size needed with its NUL, and the buffer untouched.
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(GetFullPathNameW(u"Quorvat.ini", length, buffer, nullptr), length + 1);
  EXPECT_EQ(buffer[0], u'#');
  EXPECT_EQ(GetFullPathNameW(u"Quorvat.ini", length + 1, buffer, nullptr), length);
  EXPECT_EQ(buffer[length], 0);

  EXPECT_EQ(GetFullPathNameW(u"../sub/./x//y.ini", 600, buffer, nullptr),
            Wide((dir_ / "sub" / "x" / "y.ini").string()).size());
  EXPECT_EQ(std::u16string(buffer), Wide((dir_ / "sub" / "x" / "y.ini").string()));
  EXPECT_EQ(GetFullPathNameW(u"", 600, buffer, nullptr), 0u);
}

TEST_F(InTempDir, SettingsReadThroughTheWideCall) {
  std::ofstream(dir_ / "sub" / "Quorvat.ini") << "[Settings]\nRecSize = 42\n";
  WCHAR path[600];
  GetFullPathNameW(u"Quorvat.ini", 600, path, nullptr);
  EXPECT_EQ(GetPrivateProfileIntW(u"Settings", u"RecSize", 2000, path), 42u);
  EXPECT_EQ(GetPrivateProfileIntW(u"Settings", u"Push", 1, path), 1u);
  EXPECT_EQ(GetPrivateProfileIntW(u"Settings", u"RecSize", -7, u"/nonexistent/Quorvat.ini"),
            static_cast<UINT>(-7));
}

TEST_F(InTempDir, FileStatusFromTheDiskOrFromTheHarness) {
  fs::path file = dir_ / "sub" / "module.so";
  std::ofstream(file) << "x";
  struct _stat64 status {};
  ASSERT_EQ(_stat64(file.c_str(), &status), 0);
  struct utimbuf times {};
  times.actime = 1234567890;
  times.modtime = 1234567890;
  ASSERT_EQ(utime(file.c_str(), &times), 0);
  ASSERT_EQ(_stat64(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_mtime, 1234567890);
  EXPECT_EQ(_stat64((dir_ / "missing").c_str(), &status), -1);

  TraceWriter trace(nullptr);
  OsSide scripted(trace, int64_t{32535215999});
  WinApiSetHandler(&scripted);
  EXPECT_EQ(_stat64("/anything", &status), 0);
  EXPECT_EQ(status.st_mtime, 32535215999);
  OsSide missing(trace, std::nullopt);
  WinApiSetHandler(&missing);
  EXPECT_EQ(_stat64(file.c_str(), &status), -1);
  WinApiSetHandler(nullptr);
}

TEST(StandInTime, UtcConversionCoversTheWindowsRangeOnly) {
  int64_t t = 0;
  struct tm* utc = _gmtime64(&t);
  ASSERT_NE(utc, nullptr);
  EXPECT_EQ(utc->tm_year, 70);
  t = 1700000000;
  utc = _gmtime64(&t);
  ASSERT_NE(utc, nullptr);
  EXPECT_EQ(utc->tm_year + 1900, 2023);
  EXPECT_EQ(utc->tm_hour, 22);
  t = 32535215999;
  utc = _gmtime64(&t);
  ASSERT_NE(utc, nullptr);
  EXPECT_EQ(utc->tm_year + 1900, 3000);
  EXPECT_EQ(utc->tm_mon, 11);
  EXPECT_EQ(utc->tm_mday, 31);
  EXPECT_EQ(utc->tm_sec, 59);
  t = 32535244799;  // the runtime's last: 3001-01-01 07:59:59
  utc = _gmtime64(&t);
  ASSERT_NE(utc, nullptr);
  EXPECT_EQ(utc->tm_year + 1900, 3001);
  EXPECT_EQ(utc->tm_hour, 7);
  t = 32535244800;
  EXPECT_EQ(_gmtime64(&t), nullptr);
  t = -1;
  EXPECT_EQ(_gmtime64(&t), nullptr);
  EXPECT_EQ(_gmtime64(nullptr), nullptr);
}

TEST(StandInKeys, HeldKeysPressesAndTheCursor) {
  TraceWriter trace(nullptr);
  OsSide os(trace, std::nullopt);
  WinApiSetHandler(&os);
  TimelineEntry entry;
  entry.hold = {32};
  entry.press = {118};
  entry.setsCursor = true;
  entry.cursor = CursorPos{-4, 9};
  os.ApplyInput(entry);
  EXPECT_EQ(GetKeyState(32), static_cast<SHORT>(0x8000));
  EXPECT_EQ(GetAsyncKeyState(32), static_cast<SHORT>(0x8000));
  // A press shows once, to GetAsyncKeyState only, and doesn't hold the key.
  EXPECT_EQ(GetKeyState(118), 0);
  EXPECT_EQ(GetAsyncKeyState(118), 1);
  EXPECT_EQ(GetAsyncKeyState(118), 0);
  EXPECT_EQ(GetKeyState(70000), 0);
  POINT point{};
  EXPECT_EQ(GetCursorPos(&point), TRUE);
  EXPECT_EQ(point.x, -4);
  EXPECT_EQ(point.y, 9);

  TimelineEntry later;
  later.release = {32};
  later.setsCursor = true;
  os.ApplyInput(later);
  EXPECT_EQ(GetKeyState(32), 0);
  point = {1, 1};
  EXPECT_EQ(GetCursorPos(&point), FALSE);
  EXPECT_EQ(point.x, 1);
  WinApiSetHandler(nullptr);
  EXPECT_EQ(GetCursorPos(&point), TRUE);
  EXPECT_EQ(point.x, 0);
}

}  // namespace
