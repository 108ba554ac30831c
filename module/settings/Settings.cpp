#include "settings/Settings.h"

#include "host/CustomFiberThread.h"
#include "platform.h"
#include "state/History.h"
#include "state/RewindState.h"

namespace {

// A value outside 1 ... 254 names no key (and 0 is what a missing or
// unreadable value gives): the key keeps its default.
int32_t KeyOrDefault(UINT value, int32_t fallback) {
  return value >= 1 && value <= 254 ? static_cast<int32_t>(value) : fallback;
}

// Read as signed, so that a negative value turns it off rather than reading
// as a huge count; more than ten minutes counts as ten minutes.
uint32_t SecondsOrOff(int32_t value) {
  constexpr int32_t kLongest = 600;
  if (value <= 0) return 0;
  return static_cast<uint32_t>(value < kLongest ? value : kLongest);
}

// Signed too: a negative count turns it off; more than the slots there are
// counts as all of them.
uint8_t VehiclesOrOff(int32_t value) {
  if (value <= 0) return 0;
  return static_cast<uint8_t>(value < kMostVehicles ? value : kMostVehicles);
}

}  // namespace

void ReadSettings() {
  // Zero-filled so that a resolution that writes nothing leaves an empty
  // name, with which every read falls back to its default. Kept: the
  // support log's header names the file the settings came from.
  WCHAR* path = rewindState.settingsPath;
  LPWSTR filePart = nullptr;
  GetFullPathNameW(PLATFORM_WIDE("Quorvat.ini"), 500, path, &filePart);

  scriptThread.enableKey = static_cast<int32_t>(
      GetPrivateProfileIntW(PLATFORM_WIDE("Keys"), PLATFORM_WIDE("EnableKey"), 118, path));
  rewindState.recSize =
      GetPrivateProfileIntW(PLATFORM_WIDE("Settings"), PLATFORM_WIDE("RecSize"), 2000, path);
  rewindState.pushMode = static_cast<int32_t>(
      GetPrivateProfileIntW(PLATFORM_WIDE("Settings"), PLATFORM_WIDE("Push"), 1, path));

  // The pad is opt-in: with it off its chord is not even read, and the pad
  // is never asked.
  rewindState.padEnabled =
      GetPrivateProfileIntW(PLATFORM_WIDE("Pad"), PLATFORM_WIDE("Enable"), 0, path) != 0 ? 1 : 0;
  if (rewindState.padEnabled != 0) {
    rewindState.padToggleButtons = static_cast<uint16_t>(
        GetPrivateProfileIntW(PLATFORM_WIDE("Pad"), PLATFORM_WIDE("ToggleButtons"), 32, path));
  }

  RewindState& s = rewindState;
  s.olderKey = KeyOrDefault(
      GetPrivateProfileIntW(PLATFORM_WIDE("Keys"), PLATFORM_WIDE("OlderKey"), 'Z', path), 'Z');
  s.newerKey = KeyOrDefault(
      GetPrivateProfileIntW(PLATFORM_WIDE("Keys"), PLATFORM_WIDE("NewerKey"), 'X', path), 'X');
  s.resumeKey = KeyOrDefault(
      GetPrivateProfileIntW(PLATFORM_WIDE("Keys"), PLATFORM_WIDE("ResumeKey"), VK_SPACE, path),
      VK_SPACE);
  s.hintEnabled =
      GetPrivateProfileIntW(PLATFORM_WIDE("Overlay"), PLATFORM_WIDE("Hint"), 0, path) != 0 ? 1 : 0;
  s.secondsEnabled =
      GetPrivateProfileIntW(PLATFORM_WIDE("Overlay"), PLATFORM_WIDE("Seconds"), 0, path) != 0 ? 1
                                                                                              : 0;
  s.holdEnabled =
      GetPrivateProfileIntW(PLATFORM_WIDE("Keys"), PLATFORM_WIDE("Hold"), 0, path) != 0 ? 1 : 0;
  s.recSeconds = SecondsOrOff(static_cast<int32_t>(
      GetPrivateProfileIntW(PLATFORM_WIDE("Settings"), PLATFORM_WIDE("RecSeconds"), 0, path)));
  s.logEnabled =
      GetPrivateProfileIntW(PLATFORM_WIDE("Settings"), PLATFORM_WIDE("Log"), 0, path) != 0 ? 1 : 0;

  // The toggle's query takes a press of its key first, so the same key
  // could never mark; the same chord would mark or jump at every toggle.
  const UINT markKey =
      GetPrivateProfileIntW(PLATFORM_WIDE("Keys"), PLATFORM_WIDE("MarkKey"), 0, path);
  s.markKey =
      markKey >= 1 && markKey <= 254 && static_cast<int32_t>(markKey) != scriptThread.enableKey
          ? static_cast<int32_t>(markKey)
          : 0;
  if (s.padEnabled != 0) {
    const uint16_t markButtons = static_cast<uint16_t>(
        GetPrivateProfileIntW(PLATFORM_WIDE("Pad"), PLATFORM_WIDE("MarkButtons"), 0, path));
    s.markButtons = markButtons != s.padToggleButtons ? markButtons : 0;
  }

  s.vehicleCount = VehiclesOrOff(static_cast<int32_t>(
      GetPrivateProfileIntW(PLATFORM_WIDE("World"), PLATFORM_WIDE("Vehicles"), 0, path)));
  // Read before anything is recorded: every world part has this many slots.
  historySet.worldParts.SetSlots(s.vehicleCount);
}
