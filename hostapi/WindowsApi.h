// The Windows functions the module calls, declared under their Windows names
// for the Linux build, where this header stands where <windows.h> does on
// Windows. The harness's stand-in (harness/winapi/WindowsStandIn.cpp)
// defines them: it reads the settings file by the platform's rules and takes
// the keyboard, the cursor and the module file's status from the harness.
//
// Only what the module uses is here; the types have the Windows sizes.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>

#define WINAPI
#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_ATTACH 1
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_RIGHT 0x27
#define ERROR_SUCCESS 0
#define ERROR_DEVICE_NOT_CONNECTED 1167
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define CREATE_ALWAYS 2
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

#if defined(WINAPI_STANDIN_BUILD)
#define WINAPI_STANDIN_API __attribute__((visibility("default")))
#else
#define WINAPI_STANDIN_API
#endif

typedef int32_t BOOL;
typedef int32_t INT;
typedef uint32_t UINT;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int16_t SHORT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef void* HINSTANCE;
typedef void* HMODULE;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;

// A signed 64-bit count with the Windows layout: 8 bytes, the low half
// first, readable whole or by halves.
union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  };
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  int64_t QuadPart;
};
static_assert(sizeof(LARGE_INTEGER) == 8, "LARGE_INTEGER has the Windows size");

struct POINT {
  LONG x;
  LONG y;
};

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// XInput's records, 12 and 16 bytes as on Windows.
struct XINPUT_GAMEPAD {
  WORD wButtons;
  BYTE bLeftTrigger;
  BYTE bRightTrigger;
  SHORT sThumbLX;
  SHORT sThumbLY;
  SHORT sThumbRX;
  SHORT sThumbRY;
};
struct XINPUT_STATE {
  DWORD dwPacketNumber;
  XINPUT_GAMEPAD Gamepad;
};

// The runtime's file-status record with a 64-bit time, as on Windows.
struct _stat64 {
  uint32_t st_dev;
  uint16_t st_ino;
  uint16_t st_mode;
  int16_t st_nlink;
  int16_t st_uid;
  int16_t st_gid;
  uint32_t st_rdev;
  int64_t st_size;
#if defined(st_mtime)
  // The C library spells the times as macros over timespec members; follow
  // it, so that `st_mtime` names the seconds whichever header came first.
  struct Time64 {
    int64_t tv_sec;
    int64_t tv_nsec;
  };
  Time64 st_atim;
  Time64 st_mtim;
  Time64 st_ctim;
#else
  int64_t st_atime;
  int64_t st_mtime;
  int64_t st_ctime;
#endif
};

// A wide-character literal of the platform's wide type.
#define PLATFORM_WIDE(text) u##text

extern "C" {
WINAPI_STANDIN_API DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer,
                                          LPWSTR* filePart);
WINAPI_STANDIN_API UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue,
                                              LPCWSTR fileName);
WINAPI_STANDIN_API SHORT GetAsyncKeyState(int virtualKey);
WINAPI_STANDIN_API SHORT GetKeyState(int virtualKey);
WINAPI_STANDIN_API BOOL GetCursorPos(POINT* point);
// 0 and the pad's state, or ERROR_DEVICE_NOT_CONNECTED with nothing written.
WINAPI_STANDIN_API DWORD XInputGetState(DWORD userIndex, XINPUT_STATE* state);
// The performance counter, in counts of the frequency a second. Without a
// handler the frequency is 1000000 and the counter stays at 0 (no test relies
// on wall time); a null out-pointer gets FALSE and nothing written.
WINAPI_STANDIN_API BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
WINAPI_STANDIN_API BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
// The module's own file and the game's: with FROM_ADDRESS, any address
// gives the module's handle. GetModuleFileNameW names the module
// "Quorvat.dll" in the current directory (a run's working directory, where
// quorvat-sim puts the DLL on Windows) and the game by this program's full
// path, with '/' between names; a short buffer gets the name cut, its NUL
// at the end, and the buffer's size back, as on Windows.
WINAPI_STANDIN_API BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module);
WINAPI_STANDIN_API DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// Only what the support log asks: a file opened for writing, emptied or
// created, shared for reading only (a second writer of the same file, in
// this process or another, is refused), written by whole requests, closed.
WINAPI_STANDIN_API HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPVOID security,
                                      DWORD disposition, DWORD flags, HANDLE templateFile);
WINAPI_STANDIN_API BOOL WriteFile(HANDLE file, LPCVOID bytes, DWORD count, DWORD* written,
                                  LPVOID overlapped);
WINAPI_STANDIN_API BOOL CloseHandle(HANDLE object);
WINAPI_STANDIN_API void GetLocalTime(SYSTEMTIME* time);
// Where the XInput library the pad is read through lives: on Linux the
// stand-in's own file (its XInputGetState answers the pad). Writes the path
// as GetModuleFileNameW does and returns its length, 0 when there is none.
WINAPI_STANDIN_API DWORD FindXInputLibrary(LPWSTR buffer, DWORD size);
WINAPI_STANDIN_API int _stat64(const char* path, struct _stat64* status);
// Like the Windows runtime's: null for times before 1970 or after 07:59:59 UTC
// on 1 January 3001.
WINAPI_STANDIN_API struct tm* _gmtime64(const int64_t* time);
}
