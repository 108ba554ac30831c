// XInputGetState for the Windows build. The DLL has no static import of an
// XInput library: a machine without one must still load the plug-in, and a
// DLL of that name dropped into the game's folder must never be picked up.
// The library is found on the first call, which comes on the first frame
// with the pad on:
//   1. one the game has already loaded, so that a pad wrapper the player
//      installed for the game serves the plug-in too;
//   2. otherwise one from the system directory, by its full path.
// None found: every call answers "not connected" and nothing is asked.
#include "platform.h"

namespace {

using XInputGetStateFn = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);

const wchar_t* const kLibraries[] = {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"};

bool searched = false;
XInputGetStateFn getState = nullptr;

XInputGetStateFn StateFunction(HMODULE library) {
  // Through void(*)(), the one function type any other converts to cleanly.
  return reinterpret_cast<XInputGetStateFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "XInputGetState")));
}

XInputGetStateFn FindLoaded() {
  for (const wchar_t* name : kLibraries) {
    // A reference of our own: a game may let go of its library (some free it
    // when their controller support shuts down) while the plug-in still
    // calls into it.
    HMODULE library = nullptr;
    if (!GetModuleHandleExW(0, name, &library)) continue;
    if (XInputGetStateFn function = StateFunction(library)) return function;
    FreeLibrary(library);
  }
  return nullptr;
}

XInputGetStateFn LoadFromSystemDirectory() {
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
    // The library's own dependencies are looked for beside it, in the
    // system directory, not in the game's folder.
    HMODULE library = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) continue;
    if (XInputGetStateFn function = StateFunction(library)) return function;
    FreeLibrary(library);
  }
  return nullptr;
}

}  // namespace

// A library found stays loaded for the life of the process: unloading it from
// the plug-in's own unload would run under the loader's lock.
extern "C" DWORD WINAPI XInputGetState(DWORD userIndex, XINPUT_STATE* state) {
  if (!searched) {
    searched = true;
    getState = FindLoaded();
    if (getState == nullptr) getState = LoadFromSystemDirectory();
  }
  if (getState == nullptr) return ERROR_DEVICE_NOT_CONNECTED;
  return getState(userIndex, state);
}
