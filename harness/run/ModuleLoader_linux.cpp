#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "run/ModuleLoader.h"
#include "run/RunError.h"

namespace {

using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);

std::string LastDlError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}

class LinuxModule : public LoadedModule {
 public:
  LinuxModule(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}
  ~LinuxModule() override {
    if (handle_ != nullptr) {
      Detach();
      dlclose(handle_);
    }
    WinApiSetHandler(nullptr);
  }

  void Attach() {
    auto entry = reinterpret_cast<DllMainFn>(dlsym(handle_, "DllMain"));
    if (entry == nullptr) throw RunError(path_ + ": the module exports no DllMain");
    if (entry(nullptr, DLL_PROCESS_ATTACH, nullptr) == FALSE) {
      throw RunError(path_ + ": DllMain refused the process attach");
    }
  }

  void ReadSnapshot(QuorvatSnapshot* out) override {
    auto reader = reinterpret_cast<QuorvatReadSnapshotFn>(dlsym(handle_, QUORVAT_SNAPSHOT_SYMBOL));
    if (reader == nullptr) {
      throw RunError(path_ + ": the module exports no " QUORVAT_SNAPSHOT_SYMBOL);
    }
    reader(out);
  }

  void Unload() override {
    if (handle_ == nullptr) return;
    Detach();
    void* handle = handle_;
    handle_ = nullptr;
    if (dlclose(handle) != 0) throw RunError(path_ + ": cannot unload: " + LastDlError());
    if (void* still = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(still);
      throw RunError(path_ +
                     ": the module stayed loaded after unloading; a second run would "
                     "start from its old static state");
    }
  }

 private:
  void Detach() {
    // The platform's process-detach call (reason 0) precedes the unload.
    if (auto entry = reinterpret_cast<DllMainFn>(dlsym(handle_, "DllMain"))) {
      entry(nullptr, 0, nullptr);
    }
  }

  std::string path_;
  void* handle_;
};

}  // namespace

// The stand-in already names the module's file as Quorvat.dll in the
// current directory, which is the run's folder while the module runs.
std::unique_ptr<LoadedModule> LoadModule(const std::string& path, const std::filesystem::path&,
                                         WinApiHandler& os) {
  std::string absolute = std::filesystem::absolute(path).string();
  if (void* stale = dlopen(absolute.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
    dlclose(stale);
    throw RunError(absolute +
                   ": the module is already loaded; its static state would not be fresh");
  }
  WinApiSetHandler(&os);
  void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    WinApiSetHandler(nullptr);
    throw RunError("cannot load the module: " + LastDlError());
  }
  auto module = std::make_unique<LinuxModule>(absolute, handle);
  module->Attach();
  return module;
}

std::string DefaultModulePath() {
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    auto beside = self.parent_path() / "Quorvat.so";
    if (std::filesystem::exists(beside, error)) return beside.string();
  }
#if defined(QUORVAT_BUILT_MODULE)
  return QUORVAT_BUILT_MODULE;
#else
  return "Quorvat.so";
#endif
}
