// The harness's XInput library for the Windows build: XInputGetState as
// Windows' XInput exports it (stdcall, under its plain name), answered by the
// handler the harness installs. Without a handler no pad is connected.
#include <windows.h>
#include <xinput.h>

#include "WinApiControl.h"

namespace {

WinApiHandler* handler = nullptr;

}  // namespace

extern "C" __declspec(dllexport) void WinApiSetHandler(WinApiHandler* newHandler) {
  handler = newHandler;
}

extern "C" __declspec(dllexport) DWORD WINAPI XInputGetState(DWORD userIndex, XINPUT_STATE* state) {
  if (handler != nullptr) return handler->OnXInputGetState(userIndex, state);
  return ERROR_DEVICE_NOT_CONNECTED;
}
