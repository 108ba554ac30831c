// The Windows loader: the platform's own LoadLibrary runs the module's static
// initialisation and its entry point for process attach. The module is
// loaded from a copy in the run's working directory, since it keeps its log
// beside its own file: two runs side by side then never share a log, and
// what a run leaves is where the Linux build leaves it. The module then
// calls the platform's functions directly, so the harness rewrites the
// module's import address table: keyboard, cursor, the performance counter
// and the file-status call are answered by the operating-system side, and the two settings-file
// calls are traced and then passed on to the platform, which resolves the path and reads the file
// in the current directory. The log's file is the platform's too; the harness only hears that
// the module created it. The pad is the one call the module makes through a library it finds
// itself: the harness loads its own XInput library first (WinApiControl.h), as a game does.
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "WinApiControl.h"
#include "run/ImportPatch_win32.h"
#include "run/ModuleLoader.h"
#include "run/RunError.h"

namespace {

WinApiHandler* os = nullptr;
WinApiSetHandlerFn xinputControl = nullptr;

using GetFullPathNameWFn = DWORD(WINAPI*)(LPCWSTR, DWORD, LPWSTR, LPWSTR*);
using GetPrivateProfileIntWFn = UINT(WINAPI*)(LPCWSTR, LPCWSTR, INT, LPCWSTR);
using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);
GetFullPathNameWFn platformGetFullPathNameW = nullptr;
GetPrivateProfileIntWFn platformGetPrivateProfileIntW = nullptr;
CreateFileWFn platformCreateFileW = nullptr;

DWORD WINAPI TracedGetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer,
                                    LPWSTR* filePart) {
  if (os != nullptr)
    os->OnGetFullPathNameW(reinterpret_cast<const char16_t*>(fileName), bufferLength);
  return platformGetFullPathNameW(fileName, bufferLength, buffer, filePart);
}

UINT WINAPI TracedGetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue,
                                        LPCWSTR fileName) {
  if (os != nullptr) {
    os->OnGetPrivateProfileIntW(reinterpret_cast<const char16_t*>(section),
                                reinterpret_cast<const char16_t*>(key), defaultValue);
  }
  return platformGetPrivateProfileIntW(section, key, defaultValue, fileName);
}

// Only a file this run's module made is a log of this run: one left in the
// working directory from before is never copied.
HANDLE WINAPI ReportedCreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                  DWORD attributes, HANDLE pattern) {
  HANDLE file =
      platformCreateFileW(fileName, access, shareMode, security, disposition, attributes, pattern);
  if (file != INVALID_HANDLE_VALUE && os != nullptr) {
    os->OnFileCreated(reinterpret_cast<const char16_t*>(fileName));
  }
  return file;
}

SHORT WINAPI AnswerGetAsyncKeyState(int virtualKey) {
  return os != nullptr ? os->OnGetAsyncKeyState(virtualKey) : 0;
}

SHORT WINAPI AnswerGetKeyState(int virtualKey) {
  return os != nullptr ? os->OnGetKeyState(virtualKey) : 0;
}

BOOL WINAPI AnswerGetCursorPos(POINT* point) {
  return os != nullptr ? os->OnGetCursorPos(point) : FALSE;
}

// The scenario's clock, not the machine's: the same counts as on Linux.
BOOL WINAPI AnswerQueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  return os != nullptr ? os->OnQueryPerformanceFrequency(frequency) : FALSE;
}

BOOL WINAPI AnswerQueryPerformanceCounter(LARGE_INTEGER* counter) {
  return os != nullptr ? os->OnQueryPerformanceCounter(counter) : FALSE;
}

// The file status the module takes of its own built file: the scenario's
// time, or a missing file; filled as the Linux stand-in fills it.
int __cdecl AnswerStat64(const char* path, struct _stat64* status) {
  int64_t seconds = 0;
  if (path == nullptr || status == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (os == nullptr || !os->OnFileModificationTime(path, &seconds)) {
    errno = ENOENT;
    return -1;
  }
  std::memset(status, 0, sizeof *status);
  status->st_mode = _S_IFREG | 0644;
  status->st_nlink = 1;
  status->st_atime = seconds;
  status->st_mtime = seconds;
  status->st_ctime = seconds;
  return 0;
}

// Through void(*)(), the one function type any other converts to cleanly.
template <typename Fn>
void* Address(Fn function) {
  return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(function));
}

template <typename Fn>
Fn As(void* address) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

std::string LastError() {
  return "error " + std::to_string(GetLastError());
}

std::filesystem::path ProgramFolder() {
  wchar_t self[MAX_PATH * 4] = {};
  DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return {};
  return std::filesystem::path(self).parent_path();
}

// Loaded once, by its path, and kept for the life of the process, as a game
// keeps its XInput library; every module loaded afterwards finds it by name.
void LoadXInputStandIn() {
  if (xinputControl != nullptr) return;
  std::error_code error;
  const std::filesystem::path folder = ProgramFolder();
  std::filesystem::path path = folder / "xinput" / XINPUT_STANDIN_FILE;
  if (folder.empty() || !std::filesystem::exists(path, error)) path = QUORVAT_BUILT_XINPUT;
  const std::string name = path.string();
  HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) {
    throw RunError("cannot load the harness's XInput library " + name + ": " + LastError());
  }
  // Another library of that name already loaded would be the one the module
  // finds, and the scenario's pad would never reach it.
  if (GetModuleHandleW(XINPUT_STANDIN_FILE) != library) {
    throw RunError(name + ": another library of its name is already loaded");
  }
  xinputControl =
      As<WinApiSetHandlerFn>(Address(GetProcAddress(library, XINPUT_STANDIN_SET_HANDLER)));
  if (xinputControl == nullptr) {
    // Wine hands out its own XInput unless told otherwise.
    throw RunError(name + ": exports no " XINPUT_STANDIN_SET_HANDLER
                          " (under Wine, run with WINEDLLOVERRIDES=xinput1_4=n,b, as "
                          "scripts/wine-run does)");
  }
}

void SetHandler(WinApiHandler* handler) {
  os = handler;
  if (xinputControl != nullptr) xinputControl(handler);
}

// The module's file in the run's folder: a copy of the one asked for, unless
// that is the file already. The copy goes again once the module is unloaded,
// so that a temporary folder can be removed and a given one keeps only what
// the run made in it.
class ModuleFile {
 public:
  ModuleFile(const std::filesystem::path& source, const std::filesystem::path& folder)
      : path_(folder / "Quorvat.dll"), name_(path_.string()) {
    // Over a module still loaded from there the copy would fail, and loading
    // would hand back the old one.
    if (GetModuleHandleW(path_.c_str()) != nullptr) {
      throw RunError(name_ + ": the module is already loaded; its static state would not be fresh");
    }
    std::error_code error;
    if (std::filesystem::equivalent(source, path_, error)) return;
    if (!CopyFileW(source.c_str(), path_.c_str(), FALSE)) {
      throw RunError("cannot copy the module " + source.string() + " to " + name_ + ": " +
                     LastError());
    }
    copied_ = true;
    // A read-only source gives a read-only copy, which could not be removed.
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  ~ModuleFile() {
    if (copied_) DeleteFileW(path_.c_str());
  }
  ModuleFile(const ModuleFile&) = delete;
  ModuleFile& operator=(const ModuleFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  const std::string& Name() const { return name_; }

 private:
  std::filesystem::path path_;
  std::string name_;
  bool copied_ = false;
};

class WindowsModule : public LoadedModule {
 public:
  WindowsModule(std::unique_ptr<ModuleFile> file, HMODULE handle)
      : file_(std::move(file)),
        path_(file_->Path().wstring()),
        name_(file_->Name()),
        handle_(handle) {}
  ~WindowsModule() override {
    // FreeLibrary runs the entry point for process detach; the file can go
    // only after it.
    if (handle_ != nullptr) FreeLibrary(handle_);
    SetHandler(nullptr);
  }

  void PatchImports() {
    Patch("USER32.dll", "GetAsyncKeyState", Address(AnswerGetAsyncKeyState));
    Patch("USER32.dll", "GetKeyState", Address(AnswerGetKeyState));
    Patch("USER32.dll", "GetCursorPos", Address(AnswerGetCursorPos));
    Patch("msvcrt.dll", "_stat64", Address(AnswerStat64));
    Patch("KERNEL32.dll", "QueryPerformanceFrequency", Address(AnswerQueryPerformanceFrequency));
    Patch("KERNEL32.dll", "QueryPerformanceCounter", Address(AnswerQueryPerformanceCounter));
    platformGetFullPathNameW = As<GetFullPathNameWFn>(
        Patch("KERNEL32.dll", "GetFullPathNameW", Address(TracedGetFullPathNameW)));
    platformGetPrivateProfileIntW = As<GetPrivateProfileIntWFn>(
        Patch("KERNEL32.dll", "GetPrivateProfileIntW", Address(TracedGetPrivateProfileIntW)));
    platformCreateFileW =
        As<CreateFileWFn>(Patch("KERNEL32.dll", "CreateFileW", Address(ReportedCreateFileW)));
  }

  void ReadSnapshot(QuorvatSnapshot* out) override {
    auto reader =
        As<QuorvatReadSnapshotFn>(Address(GetProcAddress(handle_, QUORVAT_SNAPSHOT_SYMBOL)));
    if (reader == nullptr) {
      throw RunError(name_ + ": the module exports no " QUORVAT_SNAPSHOT_SYMBOL);
    }
    reader(out);
  }

  void Unload() override {
    if (handle_ == nullptr) return;
    HMODULE handle = handle_;
    handle_ = nullptr;
    if (!FreeLibrary(handle)) throw RunError(name_ + ": cannot unload: " + LastError());
    SetHandler(nullptr);
    if (GetModuleHandleW(path_.c_str()) != nullptr) {
      throw RunError(name_ +
                     ": the module stayed loaded after unloading; a second run would "
                     "start from its old static state");
    }
  }

 private:
  void* Patch(const char* dll, const char* function, void* replacement) {
    void* previous = PatchImport(handle_, dll, function, replacement);
    if (previous == nullptr) {
      throw RunError(name_ + ": the module imports no " + function + " from " + dll +
                     "; the harness can't stand in for it");
    }
    return previous;
  }

  std::unique_ptr<ModuleFile> file_;  // destroyed last, once the module is unloaded
  std::wstring path_;
  std::string name_;
  HMODULE handle_;
};

}  // namespace

std::unique_ptr<LoadedModule> LoadModule(const std::string& path,
                                         const std::filesystem::path& folder,
                                         WinApiHandler& handler) {
  auto file = std::make_unique<ModuleFile>(std::filesystem::absolute(path),
                                           std::filesystem::absolute(folder));
  LoadXInputStandIn();
  SetHandler(&handler);
  HMODULE handle = LoadLibraryW(file->Path().c_str());
  if (handle == nullptr) {
    SetHandler(nullptr);
    throw RunError("cannot load the module " + file->Name() + ": " + LastError());
  }
  auto module = std::make_unique<WindowsModule>(std::move(file), handle);
  module->PatchImports();
  return module;
}

std::string DefaultModulePath() {
  std::filesystem::path folder = ProgramFolder();
  if (!folder.empty()) {
    std::error_code error;
    auto beside = folder / "Quorvat.dll";
    if (std::filesystem::exists(beside, error)) return beside.string();
  }
#if defined(QUORVAT_BUILT_MODULE)
  return QUORVAT_BUILT_MODULE;
#else
  return "Quorvat.dll";
#endif
}
