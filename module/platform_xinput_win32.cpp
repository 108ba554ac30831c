// XInputGetState for the Windows build. The DLL has no static import of an
// XInput library: a machine without one must still load the plug-in, and a
// DLL of that name dropped into the game's folder must never be loaded by it.
// The library is found on the first call, which comes on the first frame
// with the pad on, among xinput1_4.dll, xinput1_3.dll and xinput9_1_0.dll:
//   1. one the process has already loaded (asked by name, which loads
//      nothing) from a folder other than Windows' own: a wrapper the player
//      put beside the game for a pad that is no XInput pad, loaded by the
//      game. It wins over the system's, which some other component may have
//      loaded too: only the wrapper sees the player's pad.
//   2. otherwise one the process has already loaded from Windows' own
//      folders;
//   3. otherwise one loaded by the plug-in from the system directory, by its
//      full path (GetSystemDirectoryW), in the order above. The library's
//      own imports are then looked for in the system directory alone
//      (LOAD_LIBRARY_SEARCH_SYSTEM32). Where the system lacks that flag
//      (Windows 7 without its loader update, Vista) they are looked for as
//      LOAD_WITH_ALTERED_SEARCH_PATH says: in the library's folder (the
//      system directory) first, then the rest of the standard order (the
//      Windows directories, the current directory, PATH); the game's folder
//      only when it is one of those.
// A library taken in 1 or 2 is held with a reference of the plug-in's own.
// None found: every call answers "not connected" and nothing is asked.
// FindXInputLibrary runs the same search (once, whichever comes first) and
// names the library found, for the support log.
#include "platform.h"

namespace {

using XInputGetStateFn = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);

const wchar_t* const kLibraries[] = {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"};

bool searched = false;
XInputGetStateFn getState = nullptr;
HMODULE found = nullptr;  // the library getState lives in

XInputGetStateFn StateFunction(HMODULE library) {
  // Through void(*)(), the one function type any other converts to cleanly.
  return reinterpret_cast<XInputGetStateFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "XInputGetState")));
}

wchar_t Folded(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Whether `path` names a file right inside `folder` (a path without a
// trailing backslash, `length` characters), letters compared regardless of
// case as the file system does.
bool IsInFolder(const wchar_t* path, const wchar_t* folder, UINT length) {
  if (length == 0) return false;
  for (UINT i = 0; i < length; ++i) {
    if (Folded(path[i]) != Folded(folder[i])) return false;
  }
  if (path[length] != L'\\') return false;
  for (const wchar_t* c = path + length + 1; *c != L'\0'; ++c) {
    if (*c == L'\\') return false;
  }
  return true;
}

// Windows' own folders are the system directory and, for a 32-bit process
// on 64-bit Windows, the folder its system DLLs really come from, under
// whose name the loader lists them.
bool IsWindowsOwn(HMODULE library) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(library, path, MAX_PATH);
  // A name too long to read is no wrapper of the game's folder we can tell.
  if (length == 0 || length >= MAX_PATH) return true;
  wchar_t folder[MAX_PATH];
  UINT folderLength = GetSystemDirectoryW(folder, MAX_PATH);
  if (folderLength < MAX_PATH && IsInFolder(path, folder, folderLength)) return true;
  folderLength = GetSystemWow64DirectoryW(folder, MAX_PATH);  // 0 on 32-bit Windows
  return folderLength < MAX_PATH && IsInFolder(path, folder, folderLength);
}

XInputGetStateFn FindLoaded(HMODULE* from) {
  HMODULE windowsOwn = nullptr;
  XInputGetStateFn windowsOwnFunction = nullptr;
  for (const wchar_t* name : kLibraries) {
    // A reference of our own: a game may let go of its library (some free it
    // when their controller support shuts down) while the plug-in still
    // calls into it.
    HMODULE library = nullptr;
    if (!GetModuleHandleExW(0, name, &library)) continue;
    XInputGetStateFn function = StateFunction(library);
    if (function != nullptr && !IsWindowsOwn(library)) {
      if (windowsOwn != nullptr) FreeLibrary(windowsOwn);
      *from = library;
      return function;
    }
    if (function != nullptr && windowsOwn == nullptr) {
      windowsOwn = library;
      windowsOwnFunction = function;
    } else {
      FreeLibrary(library);
    }
  }
  *from = windowsOwn;
  return windowsOwnFunction;
}

XInputGetStateFn LoadFromSystemDirectory(HMODULE* from) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  for (const wchar_t* name : kLibraries) {
    size_t at = length;
    path[at++] = L'\\';
    const wchar_t* c = name;
    while (*c != L'\0' && at < MAX_PATH - 1) path[at++] = *c++;
    if (*c != L'\0') return nullptr;  // no room for the name: load nothing rather than a stub of it
    path[at] = L'\0';
    HMODULE library = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The flag is refused as an invalid parameter where the loader predates it.
    if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
      library = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (library == nullptr) continue;
    if (XInputGetStateFn function = StateFunction(library)) {
      *from = library;
      return function;
    }
    FreeLibrary(library);
  }
  return nullptr;
}

void Search() {
  if (searched) return;
  searched = true;
  getState = FindLoaded(&found);
  if (getState == nullptr) getState = LoadFromSystemDirectory(&found);
  if (getState == nullptr) found = nullptr;
}

}  // namespace

// A library found stays loaded for the life of the process: unloading it from
// the plug-in's own unload would run under the loader's lock.
extern "C" DWORD WINAPI XInputGetState(DWORD userIndex, XINPUT_STATE* state) {
  Search();
  if (getState == nullptr) return ERROR_DEVICE_NOT_CONNECTED;
  return getState(userIndex, state);
}

DWORD FindXInputLibrary(LPWSTR buffer, DWORD size) {
  Search();
  if (found == nullptr) return 0;
  return GetModuleFileNameW(found, buffer, size);
}
