#include "settings/Settings.h"

#include "host/CustomFiberThread.h"
#include "platform.h"
#include "state/RewindState.h"

void ReadSettings() {
  // Zero-filled so that a resolution that writes nothing leaves an empty
  // name, with which every read falls back to its default.
  WCHAR path[500] = {};
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
}
