// The side door of the Windows stand-ins for the harness: the operating
// system as the module meets it. The harness installs a handler that answers
// the keyboard, the cursor and the module file's status, and hears of the
// settings-file calls so that it can trace them.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#include <xinput.h>
#else
#include "WindowsApi.h"
#endif

class WinApiHandler {
 public:
  virtual ~WinApiHandler() = default;
  virtual SHORT OnGetAsyncKeyState(int virtualKey) = 0;
  virtual SHORT OnGetKeyState(int virtualKey) = 0;
  // Writes the position and returns TRUE, or returns FALSE and writes nothing.
  virtual BOOL OnGetCursorPos(POINT* point) = 0;
  // Fills the state and returns 0, or returns ERROR_DEVICE_NOT_CONNECTED and
  // writes nothing.
  virtual DWORD OnXInputGetState(DWORD userIndex, XINPUT_STATE* state) = 0;
  // The performance counter: write the count and return TRUE, or return FALSE
  // and write nothing (a null pointer). By default the plain behaviour of the
  // stand-ins without a handler.
  virtual BOOL OnQueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    return PlainPerformanceFrequency(frequency);
  }
  virtual BOOL OnQueryPerformanceCounter(LARGE_INTEGER* counter) {
    return PlainPerformanceCounter(counter);
  }
  // 1000000 counts a second, and a counter that stays at 0: no test relies
  // on wall time.
  static BOOL PlainPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = 1000000;
    return TRUE;
  }
  static BOOL PlainPerformanceCounter(LARGE_INTEGER* counter) {
    if (counter == nullptr) return FALSE;
    counter->QuadPart = 0;
    return TRUE;
  }
  // The modification time (seconds since 1970, UTC) of the file at `path`;
  // false when the file is to be reported missing.
  virtual bool OnFileModificationTime(const char* path, int64_t* seconds) = 0;
  // Notifications only: the stand-ins answer these themselves.
  virtual void OnGetFullPathNameW(const char16_t* fileName, DWORD bufferLength) = 0;
  virtual void OnGetPrivateProfileIntW(const char16_t* section, const char16_t* key,
                                       INT defaultValue) = 0;
  // The module created the file at `path` (its support log): the harness
  // copies only a log this run made.
  virtual void OnFileCreated(const char16_t* path) { (void)path; }
  // How many of `bytes` one write may put on the disk: all of them, unless
  // a test plays a disk that fills up. Linux only.
  virtual DWORD OnWriteFile(DWORD bytes) { return bytes; }
  // Whether a write that put fewer bytes on the disk than asked still
  // answers TRUE, as Windows may: then only the count tells. Linux only.
  virtual bool OnShortWriteSucceeds() { return false; }
  // Whether there is an XInput library to be found: a test plays a machine
  // without one. Linux only.
  virtual bool OnXInputLibraryPresent() { return true; }
  // A settings read a test answers itself, as the file it stands for would
  // read: true and `*value`, without the disk; false reads the file. Linux
  // only.
  virtual bool OnProfileInt(const char16_t* section, const char16_t* key, INT defaultValue,
                            UINT* value) {
    (void)section, (void)key, (void)defaultValue, (void)value;
    return false;
  }
};

#if !defined(_WIN32)
// Installs the handler; null restores the plain behaviour: keys up, cursor at
// 0, 0, no pad connected, the real file status, and a performance counter
// that stays at 0 with 1000000 counts a second.
extern "C" WINAPI_STANDIN_API void WinApiSetHandler(WinApiHandler* handler);
#else
// On Windows the module finds its XInput library by name among those already
// loaded, so the harness's stand-in for it is a DLL under XInput's own name
// (xinput/xinput1_4.dll in the build), loaded by its path before the module
// as a game loads its own. Only XInputGetState reaches the handler through
// it; the DLL exports its handler control under this plain name.
#define XINPUT_STANDIN_FILE L"xinput1_4.dll"
#define XINPUT_STANDIN_SET_HANDLER "WinApiSetHandler"
extern "C" {
typedef void (*WinApiSetHandlerFn)(WinApiHandler* handler);
}
#endif
