// Failures of a run that are not the scenario's fault: the module could not
// be loaded or misbehaved, or a file could not be written. Exit status 1.
#pragma once

#include <stdexcept>

class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The module broke the host's or the game's rules (an unknown native, a
// wrong argument count, waiting past its last frame, ...).
class ModuleFault : public RunError {
 public:
  using RunError::RunError;
};
