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
}
