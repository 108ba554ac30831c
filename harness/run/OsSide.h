// The operating system as the module meets it: keyboard, cursor, the module
// file's time, and the settings-file calls, each traced. One object serves
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

  SHORT OnGetAsyncKeyState(int virtualKey) override;
  SHORT OnGetKeyState(int virtualKey) override;
  BOOL OnGetCursorPos(POINT* point) override;
  DWORD OnXInputGetState(DWORD userIndex, XINPUT_STATE* state) override;
  bool OnFileModificationTime(const char* path, int64_t* seconds) override;
  void OnGetFullPathNameW(const char16_t* fileName, DWORD bufferLength) override;
  void OnGetPrivateProfileIntW(const char16_t* section, const char16_t* key,
                               INT defaultValue) override;

 private:
  static bool IsKey(int virtualKey) { return virtualKey >= 0 && virtualKey < 256; }
  void TraceKeyCall(const char* api, int virtualKey);

  TraceWriter& trace_;
  std::optional<int64_t> moduleMtime_;
  std::array<bool, 256> held_{};
  std::array<bool, 256> pressed_{};
  std::optional<CursorPos> cursor_ = CursorPos{};
  std::optional<ScriptedPad> pad_;  // no pad is connected until a scenario plugs one in
};
