// The one door to the operating system: the Windows functions the module
// calls, under their Windows names. On Windows they are the platform's own;
// the Linux build gets the harness's stand-ins with the same declarations.
#pragma once

#if defined(_WIN32)
#include <sys/stat.h>
#include <time.h>
#include <windows.h>
// Declarations only: the module finds the XInput library itself at run time
// (platform_xinput_win32.cpp), so that a machine without one still loads it.
#include <xinput.h>
#define PLATFORM_WIDE(text) L##text
#define QUORVAT_EXPORT __declspec(dllexport)
// The full path of the XInput library the pad is read through, found as the
// first XInputGetState would find it (platform_xinput_win32.cpp), written as
// GetModuleFileNameW writes it; 0 when there is none.
DWORD FindXInputLibrary(LPWSTR buffer, DWORD size);
#else
#include "WindowsApi.h"
#define QUORVAT_EXPORT __attribute__((visibility("default")))
#endif
