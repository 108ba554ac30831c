// The stack cookies of the Windows build: the guard that every protected
// function (-fstack-protector-strong) copies below its locals on entry and
// compares on return, the routine it calls when the copy was overwritten,
// and the DLL's entry point, which seeds the guard.
//
// The compiler's stack-protector library would provide both, but it seeds
// the guard from the crypto provider, which loads a library while the
// loader lock is held, and reports a failure by writing to a file
// descriptor and exiting through the C runtime. Here the guard is mixed from
// counters the system keeps anyway, as Microsoft's runtime seeds its own
// cookie, and a failure ends the process on the spot.
#include <stdint.h>

#include "platform.h"

// The DLL start of mingw-w64's runtime: static constructors, then DllMain.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);

extern "C" {

// Not 0 even before it is seeded: a 0 guard matches a string's terminator,
// the one value an overrun by a string copy is sure to write.
uintptr_t __stack_chk_guard = 0xBB40E64E;

// Never returns, never unwinds: the frame that called it is corrupt, and
// running any more of it, or any handler the game installed, is what an
// attacker who overran the buffer wants.
[[noreturn]] __attribute__((no_stack_protector)) void __stack_chk_fail() {
  // Windows 8 and later end the process in the kernel, without dispatching
  // an exception to anyone, and report it as a stack cookie failure.
  if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
    asm volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
  }
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  for (;;) {
  }
}

}  // extern "C"

namespace {

// Counters that differ between processes, between starts and, through the
// guard's own address, between load addresses. Nothing here loads a library
// or takes a lock: it runs under the loader lock.
__attribute__((no_stack_protector)) uintptr_t FreshGuard() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uintptr_t guard = reinterpret_cast<uintptr_t>(&__stack_chk_guard);
  guard ^= now.dwHighDateTime ^ now.dwLowDateTime;
  guard ^= GetCurrentProcessId() ^ (static_cast<uintptr_t>(GetCurrentThreadId()) << 16);
  guard ^= GetTickCount();
  guard ^= static_cast<uintptr_t>(counter.LowPart) ^ static_cast<uintptr_t>(counter.HighPart);
  // A guard with a zero high half would be half a string terminator.
  if ((guard & 0xFFFF0000u) == 0) guard |= (guard | 0x4711u) << 16;
  return guard;
}

}  // namespace

// The DLL's entry point (the link names it in place of the runtime's). A
// protected function reads the guard on entry and again on return, so the
// guard may only change while no protected frame is live: before the first
// one runs. The runtime's start runs the module's static constructors before
// DllMain, so DllMain, or a constructor, would be too late; this runs before
// all of them, itself unprotected, and seeds once, at process attach. The
// TLS callbacks that the loader runs even before it are the runtime's own,
// built without cookies.
extern "C" __attribute__((no_stack_protector)) BOOL WINAPI QuorvatEntry(HANDLE module, DWORD reason,
                                                                        LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) __stack_chk_guard = FreshGuard();
  return DllMainCRTStartup(module, reason, reserved);
}
