// The stand-in host library. A script body runs on a fiber of its own: Wait
// switches back to the host's side, which lets the game run its next frame
// (HostHandler::OnWait) and then switches in again, just as the game's own
// host resumes a script thread once per frame.
#include "ScriptHook.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>

#include "HostControl.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ucontext.h>

#include <cstdlib>
#endif

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define QUORVAT_FIBER_ASAN 1
#endif

namespace {

// The game when the harness has installed none: nothing is alive and every
// native answers zero.
class IdleHost : public HostHandler {
 public:
  void OnSetName(ScriptThread*, const char*) override {}
  void OnRegisterThread(ScriptThread*) override {}
  bool OnIsThreadAlive(ScriptThread*) override { return false; }
  bool OnWait(ScriptThread*, unsigned int) override { return true; }
  void OnNative(NativeContext* context, uint32_t) override {
    if (context != nullptr && context->resultPtr != nullptr) {
      std::memset(context->resultPtr, 0, sizeof(uint32_t));
    }
  }
};

IdleHost idleHost;
HostHandler* handler = &idleHost;
ScriptThread* registeredThread = nullptr;

constexpr size_t kFiberStackBytes = 1024 * 1024;

// One run of a script body on its fiber. Only one runs at a time; a nested
// HostRunScript (a script body starting another) keeps the outer one aside.
struct FiberRun {
  ScriptThread* thread = nullptr;
  bool finished = false;
  unsigned int waitMilliseconds = 0;
  std::exception_ptr failure;
#if defined(_WIN32)
  LPVOID hostFiber = nullptr;
  LPVOID scriptFiber = nullptr;
#else
  ucontext_t hostContext{};
  ucontext_t scriptContext{};
  void* stack = nullptr;
#endif
#if defined(QUORVAT_FIBER_ASAN)
  void* hostFakeStack = nullptr;
  void* scriptFakeStack = nullptr;
  const void* hostStackBottom = nullptr;
  size_t hostStackSize = 0;
#endif
};

FiberRun* currentRun = nullptr;
// True while code runs on currentRun's fiber rather than on the host's side.
bool onScriptFiber = false;

void RunBody(FiberRun* run) {
  try {
    run->thread->RunScript();
  } catch (...) {
    // An exception can't unwind across the fiber's first frame; the host's
    // side rethrows it.
    run->failure = std::current_exception();
  }
  run->finished = true;
}

#if defined(_WIN32)

void WINAPI FiberEntry(LPVOID parameter) {
  auto* run = static_cast<FiberRun*>(parameter);
  RunBody(run);
  onScriptFiber = false;
  SwitchToFiber(run->hostFiber);
}

// GetCurrentFiber reads the thread block through fs:, which GCC's bounds
// check takes for an access to an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
LPVOID CurrentFiber() {
  return GetCurrentFiber();
}
#pragma GCC diagnostic pop

void SwitchToHost(FiberRun* run) {
  onScriptFiber = false;
  SwitchToFiber(run->hostFiber);
  onScriptFiber = true;
}

void SwitchToScript(FiberRun* run) {
  onScriptFiber = true;
  SwitchToFiber(run->scriptFiber);
  onScriptFiber = false;
}

#else

void FiberEntry() {
  FiberRun* run = currentRun;
#if defined(QUORVAT_FIBER_ASAN)
  __sanitizer_finish_switch_fiber(nullptr, &run->hostStackBottom, &run->hostStackSize);
#endif
  RunBody(run);
  onScriptFiber = false;
#if defined(QUORVAT_FIBER_ASAN)
  // Null: this fiber's fake stack is done with for good.
  __sanitizer_start_switch_fiber(nullptr, run->hostStackBottom, run->hostStackSize);
#endif
  setcontext(&run->hostContext);
}

void SwitchToHost(FiberRun* run) {
  onScriptFiber = false;
#if defined(QUORVAT_FIBER_ASAN)
  __sanitizer_start_switch_fiber(&run->scriptFakeStack, run->hostStackBottom, run->hostStackSize);
#endif
  swapcontext(&run->scriptContext, &run->hostContext);
#if defined(QUORVAT_FIBER_ASAN)
  __sanitizer_finish_switch_fiber(run->scriptFakeStack, &run->hostStackBottom, &run->hostStackSize);
#endif
  onScriptFiber = true;
}

void SwitchToScript(FiberRun* run) {
  onScriptFiber = true;
#if defined(QUORVAT_FIBER_ASAN)
  __sanitizer_start_switch_fiber(&run->hostFakeStack, run->stack, kFiberStackBytes);
#endif
  swapcontext(&run->hostContext, &run->scriptContext);
#if defined(QUORVAT_FIBER_ASAN)
  __sanitizer_finish_switch_fiber(run->hostFakeStack, nullptr, nullptr);
#endif
  onScriptFiber = false;
}

#endif

}  // namespace

ScriptThread::ScriptThread() : host_{} {}
void ScriptThread::RunTick() {}
void ScriptThread::RunScript() {}
void ScriptThread::OnStart() {}
void ScriptThread::OnKill() {}
ScriptThread::~ScriptThread() {
  if (registeredThread == this) registeredThread = nullptr;
}

void ScriptThread::SetName(char* name) {
  handler->OnSetName(this, name);
}

void ScriptThread::Wait(unsigned int milliseconds) {
  FiberRun* run = currentRun;
  if (run == nullptr || run->thread != this || !onScriptFiber) {
    // Called outside a fiber (a test driving frames by hand): the game runs
    // its frame right here.
    handler->OnWait(this, milliseconds);
    return;
  }
  run->waitMilliseconds = milliseconds;
  SwitchToHost(run);
}

bool ScriptThread::IsThreadAlive() {
  return handler->OnIsThreadAlive(this);
}

void ScriptHookManager::RegisterThread(ScriptThread* thread) {
  registeredThread = thread;
  handler->OnRegisterThread(thread);
}

void NativeInvoke::SpeedyInvoke(NativeContext* context, uint32_t hash) {
  handler->OnNative(context, hash);
}

void HostSetHandler(HostHandler* newHandler) {
  handler = newHandler != nullptr ? newHandler : &idleHost;
}

ScriptThread* HostRegisteredThread() {
  return registeredThread;
}

void HostForgetThreads() {
  registeredThread = nullptr;
}

void HostRunScript(ScriptThread* thread) {
  if (thread == nullptr) return;
  FiberRun run;
  run.thread = thread;
  FiberRun* outerRun = currentRun;
  bool outerOnFiber = onScriptFiber;
  currentRun = &run;

#if defined(_WIN32)
  bool converted = false;
  run.hostFiber = ConvertThreadToFiber(nullptr);
  if (run.hostFiber == nullptr) {
    run.hostFiber = CurrentFiber();  // already a fiber
  } else {
    converted = true;
  }
  run.scriptFiber = CreateFiber(kFiberStackBytes, FiberEntry, &run);
  if (run.scriptFiber == nullptr) {
    if (converted) ConvertFiberToThread();
    currentRun = outerRun;
    throw std::bad_alloc();
  }
#else
  run.stack = std::malloc(kFiberStackBytes);
  if (run.stack == nullptr) {
    currentRun = outerRun;
    throw std::bad_alloc();
  }
  getcontext(&run.scriptContext);
  run.scriptContext.uc_stack.ss_sp = run.stack;
  run.scriptContext.uc_stack.ss_size = kFiberStackBytes;
  run.scriptContext.uc_link = nullptr;
  makecontext(&run.scriptContext, FiberEntry, 0);
#endif

  SwitchToScript(&run);
  // When the game gives up between frames, the script body stays suspended in
  // Wait and its fiber is dropped with it.
  while (!run.finished && handler->OnWait(thread, run.waitMilliseconds)) {
    SwitchToScript(&run);
  }

#if defined(_WIN32)
  DeleteFiber(run.scriptFiber);
  if (converted) ConvertFiberToThread();
#else
  std::free(run.stack);
#endif
  currentRun = outerRun;
  onScriptFiber = outerOnFiber;
  if (run.failure) std::rethrow_exception(run.failure);
}
