// The module's own search for an XInput library, under the platform's loader,
// with the pad turned on by the Quorvat.ini of the working directory. The
// test sits in a folder that also holds a DLL named xinput1_4.dll, as a
// game's folder may: the module must never load that one itself.
//   pad_test Quorvat.dll none    (every XInput library disabled)
//   pad_test Quorvat.dll system  (the system's own library, no controller)
//   pad_test Quorvat.dll game    (the game loads the one of its folder first)
//   pad_test Quorvat.dll wrapper (the game loads a wrapper of its folder under
//                                 xinput1_3.dll, then another component the
//                                 system's xinput1_4.dll)
#include <windows.h>
#include <xinput.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "HostControl.h"
#include "ScriptHook.h"
#include "WinApiControl.h"
#include "host/Snapshot.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what.c_str());
    ++failures;
  }
}

// A fault on the host's fiber would otherwise end the process with status 0
// under Wine, and the test would pass.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::printf("FAILED: exception 0x%08lX at %p\n", exception->ExceptionRecord->ExceptionCode,
              exception->ExceptionRecord->ExceptionAddress);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

// A game that answers every native with 0 and lets the thread run a given
// number of frames at a time.
class FrameHost : public HostHandler {
 public:
  ScriptThread* registered = nullptr;
  int framesLeft = 0;

  void OnSetName(ScriptThread*, const char*) override {}
  void OnRegisterThread(ScriptThread* thread) override { registered = thread; }
  bool OnIsThreadAlive(ScriptThread*) override { return framesLeft > 0; }
  bool OnWait(ScriptThread*, unsigned int) override {
    --framesLeft;
    return true;
  }
  void OnNative(NativeContext* context, uint32_t) override {
    if (context->resultPtr != nullptr) *static_cast<uint32_t*>(context->resultPtr) = 0;
  }
};

// The pad the game's own library reports: A held, the left trigger pulled.
class GamePad : public WinApiHandler {
 public:
  int calls = 0;

  SHORT OnGetAsyncKeyState(int) override { return 0; }
  SHORT OnGetKeyState(int) override { return 0; }
  BOOL OnGetCursorPos(POINT*) override { return FALSE; }
  DWORD OnXInputGetState(DWORD userIndex, XINPUT_STATE* state) override {
    ++calls;
    if (userIndex != 0) return ERROR_DEVICE_NOT_CONNECTED;
    *state = {};
    state->Gamepad.wButtons = 0x1000;
    state->Gamepad.bLeftTrigger = 40;
    return ERROR_SUCCESS;
  }
  bool OnFileModificationTime(const char*, int64_t*) override { return false; }
  void OnGetFullPathNameW(const char16_t*, DWORD) override {}
  void OnGetPrivateProfileIntW(const char16_t*, const char16_t*, INT) override {}
};

FrameHost host;

const wchar_t* const kLibraries[] = {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"};

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

HMODULE LoadedXInput() {
  for (const wchar_t* name : kLibraries) {
    if (HMODULE library = GetModuleHandleW(name)) return library;
  }
  return nullptr;
}

std::wstring Folder(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring text(path, length < MAX_PATH ? length : 0);
  return text.substr(0, text.find_last_of(L'\\'));
}

QuorvatSnapshot RunFrames(HMODULE module, int frames) {
  host.framesLeft = frames;
  HostRunScript(host.registered);
  QuorvatSnapshot snapshot{};
  if (auto read = Lookup<QuorvatReadSnapshotFn>(module, QUORVAT_SNAPSHOT_SYMBOL)) read(&snapshot);
  return snapshot;
}

bool Released(const QuorvatSnapshot& s) {
  return s.padButtons == 0 && s.padLeftTrigger == 0 && s.padRightTrigger == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[2] : "";
  if (mode != "none" && mode != "system" && mode != "game" && mode != "wrapper") {
    std::printf("usage: pad_test PATH_OF_Quorvat.dll none|system|game|wrapper\n");
    return 2;
  }
  SetUnhandledExceptionFilter(ReportCrash);

  GamePad pad;
  HMODULE gameLibrary = nullptr;
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  if (mode == "game" || mode == "wrapper") {
    std::wstring own = Folder(nullptr) + (mode == "game" ? L"\\xinput1_4.dll" : L"\\xinput1_3.dll");
    gameLibrary = LoadLibraryW(own.c_str());
    auto control = Lookup<WinApiSetHandlerFn>(gameLibrary, XINPUT_STANDIN_SET_HANDLER);
    Check(control != nullptr, "the game loads the XInput library of its folder");
    if (control == nullptr) return 1;
    control(&pad);
  }
  if (mode == "wrapper") {
    const std::wstring systems = std::wstring(system) + L"\\xinput1_4.dll";
    HMODULE other = LoadLibraryW(systems.c_str());
    Check(other != nullptr && lstrcmpiW(Folder(other).c_str(), system) == 0,
          "another component loads the system's XInput library");
    if (other == nullptr) return 1;
  }

  HostSetHandler(&host);
  HMODULE module = LoadLibraryA(argv[1]);
  Check(module != nullptr && host.registered != nullptr, "the module loads and registers");
  if (module == nullptr || host.registered == nullptr) return 1;

  QuorvatSnapshot s = RunFrames(module, 5);
  Check(s.padEnabled == 1 && s.frameCount == 6, "five frames run with the pad on");

  if (mode == "none") {
    Check(LoadedXInput() == nullptr, "no XInput library is loaded, so nothing is asked");
    Check(Released(s), "the pad reads as released");
  } else if (mode == "system") {
    HMODULE library = LoadedXInput();
    Check(library != nullptr && lstrcmpiW(Folder(library).c_str(), system) == 0,
          "the module loaded the system directory's XInput library, not the game folder's");
    auto getState =
        library != nullptr ? Lookup<decltype(&XInputGetState)>(library, "XInputGetState") : nullptr;
    XINPUT_STATE state{};
    Check(getState != nullptr && getState(0, &state) == ERROR_DEVICE_NOT_CONNECTED,
          "that library reports no controller connected");
    Check(Released(s), "the pad reads as released");
  } else if (mode == "wrapper") {
    Check(pad.calls == 5, "the module asks the wrapper, not the system's library");
    Check(s.padButtons == 0x1000 && s.padLeftTrigger == 40, "the wrapper's pad reaches the module");
  } else {
    Check(pad.calls == 5, "the module asks the game's library, once a frame");
    Check(s.padButtons == 0x1000 && s.padLeftTrigger == 40, "the game's pad reaches the module");
    // The game lets go of its library; the module still holds it.
    FreeLibrary(gameLibrary);
    Check(GetModuleHandleW(L"xinput1_4.dll") == gameLibrary,
          "the library stays loaded while the module uses it");
    if (failures == 0) {
      s = RunFrames(module, 5);
      Check(pad.calls == 10 && s.frameCount == 11, "the module goes on asking it");
    }
  }

  Check(FreeLibrary(module) != FALSE, "FreeLibrary unloads the module");
  if (failures == 0) std::printf("pad_test %s: all checks passed\n", mode.c_str());
  return failures == 0 ? 0 : 1;
}
