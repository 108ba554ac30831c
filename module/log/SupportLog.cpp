#include "log/SupportLog.h"

#include <cstddef>

#include "host/CustomFiberThread.h"
#include "platform.h"
#include "settings/PlayerText.h"
#include "state/History.h"
#include "state/RewindState.h"

#ifndef QUORVAT_VERSION
#error "QUORVAT_VERSION must give the module's version"
#endif

namespace {

// Whatever a player's game runs for: a log that grows past a mebibyte is
// stuck in a loop, and more of it helps nobody.
constexpr uint32_t kLogCap = 1048576;
// The longest path Windows hands out, in UTF-16 units with its NUL.
constexpr DWORD kLongestPath = 32768;

// Static, not on the host's fiber stack: a path alone may take 64 KiB, and
// its line three times that in UTF-8, after up to about 130 bytes of the
// [Pad] line's own.
WCHAR widePath[kLongestPath];
WCHAR logPath[kLongestPath + 16];
char lineBytes[256 + 3 * kLongestPath];

std::size_t WideLength(const WCHAR* wide, std::size_t most) {
  std::size_t length = 0;
  while (length < most && wide[length] != 0) ++length;
  return length;
}

// The log names keys as the hint does, but for the space bar, which the
// hint never shows.
void AddLogKeyName(TextBuffer& text, int32_t key) {
  if (key == VK_SPACE) {
    text.Add("Space");
  } else {
    AddKeyName(text, key);
  }
}

void AddKey(TextBuffer& text, const char* name, int32_t key) {
  text.Add(name);
  text.AddSigned(key);
  text.Add(" (");
  AddLogKeyName(text, key);
  text.Add(')');
}

void AddCause(TextBuffer& text, RewindCause how) {
  const RewindState& s = rewindState;
  switch (how) {
    case RewindCause::ToggleKey:
      AddLogKeyName(text, scriptThread.enableKey);
      break;
    case RewindCause::PadChord:
      text.Add("pad ");
      AddButtonNames(text, s.padToggleButtons);
      break;
    case RewindCause::ResumeKey:
      AddLogKeyName(text, s.resumeKey);
      break;
    case RewindCause::LetGo:
      text.Add("let go");
      break;
  }
}

void AddButtons(TextBuffer& text, const char* name, uint16_t mask) {
  text.Add(name);
  text.AddUnsigned(mask);
  text.Add(" (");
  if (mask == 0) {
    text.Add("none");
  } else {
    AddButtonNames(text, mask);
  }
  text.Add(')');
}

TextBuffer NewLine() {
  return TextBuffer(lineBytes, sizeof lineBytes - 2);  // room for CR LF
}

TextBuffer EventLine() {
  TextBuffer text = NewLine();
  text.Add("frame ");
  text.AddUnsigned(rewindState.framesRun);
  text.Add(": ");
  return text;
}

bool WriteBytes(const char* bytes, uint32_t count) {
  RewindState& s = rewindState;
  DWORD written = 0;
  if (!WriteFile(s.logFile, bytes, count, &written, nullptr) || written != count) {
    s.logEnded = 1;  // what is there stays; nothing after a gap
    return false;
  }
  s.logBytes += count;
  return true;
}

// One write per line, handed to the system at once: a game that crashes
// right after an event still leaves that event's line.
void WriteLine(TextBuffer& text) {
  RewindState& s = rewindState;
  if (s.logFile == nullptr || s.logEnded != 0) return;
  text.bytes[text.length++] = '\r';
  text.bytes[text.length++] = '\n';
  const uint32_t count = static_cast<uint32_t>(text.length);
  if (count <= kLogCap - s.logBytes) {
    WriteBytes(text.bytes, count);
    return;
  }
  s.logEnded = 1;
  static const char kFull[] = "log full: nothing more is written\r\n";
  if (sizeof kFull - 1 <= kLogCap - s.logBytes) WriteBytes(kFull, sizeof kFull - 1);
}

void AddTwoDigits(TextBuffer& text, WORD value) {
  text.Add(static_cast<char>('0' + value / 10 % 10));
  text.Add(static_cast<char>('0' + value % 10));
}

void WriteStartLine(const SYSTEMTIME& now) {
  TextBuffer text = NewLine();
  text.Add("Quorvat " QUORVAT_VERSION " log, started ");
  text.AddUnsigned(now.wYear);
  text.Add('-');
  AddTwoDigits(text, now.wMonth);
  text.Add('-');
  AddTwoDigits(text, now.wDay);
  text.Add(' ');
  AddTwoDigits(text, now.wHour);
  text.Add(':');
  AddTwoDigits(text, now.wMinute);
  text.Add(':');
  AddTwoDigits(text, now.wSecond);
  WriteLine(text);
}

void WritePathLine(const char* label, const WCHAR* path, std::size_t length) {
  TextBuffer text = NewLine();
  text.Add(label);
  AddUtf16(text, path, length);
  WriteLine(text);
}

void WriteSettingsLines() {
  const RewindState& s = rewindState;
  TextBuffer keys = NewLine();
  AddKey(keys, "[Keys] EnableKey=", scriptThread.enableKey);
  AddKey(keys, " OlderKey=", s.olderKey);
  AddKey(keys, " NewerKey=", s.newerKey);
  AddKey(keys, " ResumeKey=", s.resumeKey);
  keys.Add(" Hold=");
  keys.AddUnsigned(s.holdEnabled);
  keys.Add(" MarkKey=");
  keys.AddSigned(s.markKey);
  keys.Add(" (");
  if (s.markKey == 0) {
    keys.Add("none");
  } else {
    AddLogKeyName(keys, s.markKey);
  }
  keys.Add(')');
  WriteLine(keys);

  TextBuffer settings = NewLine();
  settings.Add("[Settings] RecSize=");
  settings.AddUnsigned(s.recSize);
  settings.Add(" Push=");
  settings.AddSigned(s.pushMode);
  settings.Add(" RecSeconds=");
  settings.AddUnsigned(s.recSeconds);
  settings.Add(" Log=");
  settings.AddUnsigned(s.logEnabled);
  WriteLine(settings);

  TextBuffer pad = NewLine();
  pad.Add("[Pad] Enable=");
  pad.AddUnsigned(s.padEnabled);
  if (s.padEnabled != 0) {
    AddButtons(pad, " ToggleButtons=", s.padToggleButtons);
    AddButtons(pad, " MarkButtons=", s.markButtons);
    pad.Add(", ");
    // Looked for now, as the first poll would: the line says what the pad
    // will be read through.
    const DWORD length = FindXInputLibrary(widePath, kLongestPath);
    if (length != 0 && length < kLongestPath) {
      pad.Add("XInput from ");
      AddUtf16(pad, widePath, length);
    } else {
      pad.Add("no XInput library found: the pad is not read");
    }
  }
  WriteLine(pad);

  TextBuffer overlay = NewLine();
  overlay.Add("[Overlay] Hint=");
  overlay.AddUnsigned(s.hintEnabled);
  overlay.Add(" Seconds=");
  overlay.AddUnsigned(s.secondsEnabled);
  WriteLine(overlay);

  TextBuffer world = NewLine();
  world.Add("[World] Vehicles=");
  world.AddUnsigned(s.vehicleCount);
  WriteLine(world);
}

// The loader's name for this module's own file: the log goes in its
// folder, which need not be the game's current directory.
DWORD ModulePath() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&OpenSupportLog), &self)) {
    return 0;
  }
  const DWORD length = GetModuleFileNameW(self, widePath, kLongestPath);
  return length < kLongestPath ? length : 0;
}

// Quorvat.log in the folder of `modulePath`; false when the path names no
// folder.
bool LogPathBeside(const WCHAR* modulePath, DWORD length) {
  DWORD folder = length;
  while (folder > 0 && modulePath[folder - 1] != '\\' && modulePath[folder - 1] != '/') --folder;
  if (folder == 0) return false;
  for (DWORD i = 0; i < folder; ++i) logPath[i] = modulePath[i];
  const char name[] = "Quorvat.log";
  for (std::size_t i = 0; i < sizeof name; ++i) logPath[folder + i] = static_cast<WCHAR>(name[i]);
  return true;
}

}  // namespace

void OpenSupportLog() {
  RewindState& s = rewindState;
  const DWORD moduleLength = ModulePath();
  if (moduleLength == 0 || !LogPathBeside(widePath, moduleLength)) return;
  // Shared for reading only: a second game started from the same folder
  // can't take it over, and writes no log of its own.
  const HANDLE file = CreateFileW(logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  s.logFile = file;
  SYSTEMTIME now = {};
  GetLocalTime(&now);

  WriteStartLine(now);
  WritePathLine("module: ", widePath, moduleLength);
  DWORD gameLength = GetModuleFileNameW(nullptr, widePath, kLongestPath);
  if (gameLength >= kLongestPath) gameLength = 0;
  WritePathLine("game: ", widePath, gameLength);
  WritePathLine("settings file: ", s.settingsPath, WideLength(s.settingsPath, 500));
  WriteSettingsLines();
}

void LogRewindEntry(RewindCause how) {
  const RewindState& s = rewindState;
  if (s.logFile == nullptr || s.logEnded != 0) return;
  TextBuffer text = EventLine();
  text.Add("rewind (");
  AddCause(text, how);
  text.Add("), ");
  text.AddUnsigned(historySet.posX.SampleCount());
  text.Add(" samples kept");
  if (FrameClockOn(s)) {
    // The running sum the history in seconds keeps: no walk over the
    // history, however long.
    text.Add(", ");
    AddTenths(text, historySet.frameMsTotal);
    text.Add(" s of play");
  }
  WriteLine(text);
}

void LogRewindLeave(RewindCause how) {
  const RewindState& s = rewindState;
  if (s.logFile == nullptr || s.logEnded != 0) return;
  TextBuffer text = EventLine();
  text.Add("play on (");
  AddCause(text, how);
  text.Add(") from ");
  text.AddSigned(s.playIndex);
  text.Add(" samples back");
  if (FrameClockOn(s)) {
    text.Add(", ");
    AddTenths(text, s.scrubBackMs);
    text.Add(" s");
  }
  WriteLine(text);
}

void LogMark() {
  const RewindState& s = rewindState;
  if (s.logFile == nullptr || s.logEnded != 0) return;
  TextBuffer text = EventLine();
  text.Add("mark, ");
  text.AddUnsigned(s.markCount);
  text.Add(" marks kept");
  WriteLine(text);
}

void LogJump() {
  const RewindState& s = rewindState;
  if (s.logFile == nullptr || s.logEnded != 0) return;
  TextBuffer text = EventLine();
  text.Add("jump to ");
  text.AddSigned(s.playIndex);
  text.Add(" samples back");
  WriteLine(text);
}

void LogOutOfMemory() {
  RewindState& s = rewindState;
  if (s.outOfMemorySeen != 0) return;
  s.outOfMemorySeen = 1;
  if (s.logFile == nullptr || s.logEnded != 0) return;
  TextBuffer text = EventLine();
  text.Add("out of memory: the history keeps ");
  text.AddUnsigned(historySet.posX.SampleCount());
  text.Add(" samples");
  WriteLine(text);
}

void CloseSupportLog() {
  RewindState& s = rewindState;
  if (s.logFile != nullptr) CloseHandle(s.logFile);
  s.logFile = nullptr;
}

namespace {

// The system would close the file at exit; closing it at unload lets a
// host that loads the module again write a fresh log in the same folder.
struct LogClosedAtUnload {
  ~LogClosedAtUnload() { CloseSupportLog(); }
} logClosedAtUnload;

}  // namespace
