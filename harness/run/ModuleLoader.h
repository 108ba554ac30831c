// Loading the module the way the platform does, one file per operating
// system. Loading installs the operating-system side first, so that what the
// module asks while it loads is answered and traced.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "WinApiControl.h"
#include "host/Snapshot.h"

class LoadedModule {
 public:
  virtual ~LoadedModule() = default;
  // The module's state through its exported reader.
  virtual void ReadSnapshot(QuorvatSnapshot* out) = 0;
  // Detaches and unloads the module, and makes sure it is gone, so that the
  // next load starts from fresh static state. Throws RunError otherwise.
  virtual void Unload() = 0;
};

// Loads the module at `path` as the module of a run in `folder` (the run's
// working directory), routes its operating-system calls to `os` and calls its
// entry point for process attach. The module's own file, in whose folder it
// keeps its log, is then Quorvat.dll in `folder`: the Windows loader loads a
// copy it makes there (unless `path` is that file), removed again at unload;
// the Linux stand-in reports that name for the module loaded from `path`.
// Throws RunError.
std::unique_ptr<LoadedModule> LoadModule(const std::string& path,
                                         const std::filesystem::path& folder, WinApiHandler& os);

// The module built next to this program.
std::string DefaultModulePath();
