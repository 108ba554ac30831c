// The plug-in's one script thread. The host runs RunScript on its script
// thread, one slice per game frame.
#pragma once

#include <cstdint>

#include "ScriptHook.h"

class CustomFiberThread : public ScriptThread {
 public:
  // Initialises no member (enableKey is zero in the zero-filled static object
  // until the first frame reads it from the settings file); names the thread.
  CustomFiberThread();
  void RunScript() override;
  ~CustomFiberThread() override {}

  // The virtual-key code that toggles rewind mode.
  int32_t enableKey;
};

extern CustomFiberThread scriptThread;

// One frame of work: everything RunScript does between two Waits. Exposed so
// that benchmarks and tests can run frames without a host fiber.
void RunFrame();
