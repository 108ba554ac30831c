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
#else
#include "WindowsStandIn.h"
#define QUORVAT_EXPORT __attribute__((visibility("default")))
#endif
