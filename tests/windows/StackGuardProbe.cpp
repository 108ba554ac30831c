// A DLL with the module's stack guard and entry point, and one protected
// function that overruns its buffer when asked to.
#include <stdint.h>
#include <string.h>

#include "platform.h"

extern "C" uintptr_t __stack_chk_guard;

extern "C" __declspec(dllexport) uintptr_t ProbeGuard() {
  return __stack_chk_guard;
}

extern "C" __declspec(dllexport) __attribute__((noinline)) int ProbeCopy(const char* text) {
  char buffer[8];
  strcpy(buffer, text);
  return buffer[0];
}
