// The operating system as the module meets it: keyboard, cursor, game pad,
// performance counter, the module file's time, and the settings-file calls,
// each traced. One object serves
// every way of reaching it: the Linux stand-ins call it through
// WinApiHandler, and a Windows build can route patched imports to it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "WinApiControl.h"
#include "formats/Scenario.h"
#include "formats/TraceWriter.h"

class OsSide : public WinApiHandler {
 public:
  OsSide(TraceWriter& trace, std::optional<int64_t> moduleMtime);

  // The input part of a timeline entry: release, hold, press, cursor, pad.
  void ApplyInput(const TimelineEntry& entry);
  // Moves the performance counter on by `microseconds`: the one way time
  // passes for the module. The host calls it at the start of every frame
  // after the first with the world's answer (World::ClockStepUs).
  void AdvanceClock(uint32_t microseconds) { counter_ += microseconds; }
  int64_t Counter() const { return counter_; }

  SHORT OnGetAsyncKeyState(int virtualKey) override;
  SHORT OnGetKeyState(int virtualKey) override;
  BOOL OnGetCursorPos(POINT* point) override;
  DWORD OnXInputGetState(DWORD userIndex, XINPUT_STATE* state) override;
  BOOL OnQueryPerformanceFrequency(LARGE_INTEGER* frequency) override;
  BOOL OnQueryPerformanceCounter(LARGE_INTEGER* counter) override;
  bool OnFileModificationTime(const char* path, int64_t* seconds) override;
  void OnGetFullPathNameW(const char16_t* fileName, DWORD bufferLength) override;
  void OnGetPrivateProfileIntW(const char16_t* section, const char16_t* key,
                               INT defaultValue) override;
  void OnFileCreated(const char16_t* path) override;
  // Whether the module created a file during this run: only then has it a
  // support log of this run to copy.
  bool ModuleCreatedAFile() const { return fileCreated_; }

 private:
  static bool IsKey(int virtualKey) { return virtualKey >= 0 && virtualKey < 256; }
  void TraceKeyCall(const char* api, int virtualKey);
  void TraceCall(const char* api);

  TraceWriter& trace_;
  std::optional<int64_t> moduleMtime_;
  std::array<bool, 256> held_{};
  std::array<bool, 256> pressed_{};
  std::optional<CursorPos> cursor_ = CursorPos{};
  std::optional<ScriptedPad> pad_;  // no pad is connected until a scenario plugs one in
  // Microseconds. At most 2147483647 steps of at most 4294967295 after the
  // start: it never comes near the end of its range.
  int64_t counter_ = 1000000000;
  bool fileCreated_ = false;
};
