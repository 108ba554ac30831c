// A stand-in host library built as the game's own is: the classes of
// ScriptHook.h compiled by clang in Microsoft mode (Microsoft's decorated
// names, virtual table and __thiscall), with no C runtime and no exceptions.
// It drives a registered thread as a game's host does, RunScript on a fiber
// of its own resumed once a frame after each Wait, and logs what the plug-in
// did at the interface for the Windows tests to check (MicrosoftHostControl.h).
//
// Everything a plug-in calls on the script fiber (Wait, IsThreadAlive,
// SpeedyInvoke) is answered on the host's side of a fiber switch: the script
// fiber holds nothing but the plug-in's frames and these entry points, so the
// depth painted on its stack is the plug-in's own.
#define SCRIPTHOOK_BUILD
#define MSHOST_BUILD
#include <intrin.h>

#include "MicrosoftHostControl.h"

extern "C" {
__declspec(dllimport) void* __stdcall ConvertThreadToFiber(void* parameter);
__declspec(dllimport) int __stdcall ConvertFiberToThread();
__declspec(dllimport) void* __stdcall CreateFiber(unsigned long stackBytes,
                                                  void(__stdcall* start)(void*), void* parameter);
__declspec(dllimport) void __stdcall SwitchToFiber(void* fiber);
__declspec(dllimport) void __stdcall DeleteFiber(void* fiber);
}

static_assert(sizeof(ScriptThread) == 20, "a table pointer and the host's four words");

namespace {

// IsThreadAlive answers in AL only; the rest of EAX holds this, so that a
// plug-in that reads more than AL sees true for ever.
constexpr uint32_t kAliveUpperBytes = 0xA5A5A500u;
// Marks the host's own part of a thread.
constexpr uintptr_t kOwnPartMark = 0x0571A6E5u;
constexpr unsigned long kFiberStackBytes = 1024 * 1024;
constexpr uint32_t kPaintBytes = 64 * 1024;
constexpr uint32_t kPaint = 0xDEADBEEFu;

enum class Request { kNative, kAlive, kWait, kFinished };

struct Run {
  ScriptThread* thread;
  void* hostFiber;
  void* scriptFiber;
  Request request;
  NativeContext* context;
  uint32_t hash;
  unsigned int milliseconds;
  bool alive;
  bool saidDead;
  uintptr_t firstWaitStackPointer;
  uintptr_t stackTop;
  volatile uint32_t* paintBottom;
};

MsHostGame game;
MsHostLog hostLog;
Run* running;

void* CurrentFiber() {
  void* fiber;
  asm("movl %%fs:0x10, %0" : "=r"(fiber));
  return fiber;
}

// The run whose script fiber is executing this, if any.
Run* OnScriptFiber() {
  return running != nullptr && CurrentFiber() == running->scriptFiber ? running : nullptr;
}

void AskHostSide(Run* run, Request request) {
  if (run->saidDead) ++hostLog.callsAfterDeath;
  run->request = request;
  SwitchToFiber(run->hostFiber);
}

void Answer(NativeContext* context, uint32_t hash) {
  if (game.answerNative != nullptr) {
    game.answerNative(game.user, context, hash);
  } else if (context != nullptr && context->resultPtr != nullptr) {
    *static_cast<uint32_t*>(context->resultPtr) = 0;
  }
}

bool AskGameAlive() {
  return game.threadAlive != nullptr && game.threadAlive(game.user) != 0;
}

// Fills the stack below the caller's frame with kPaint, top down, so that
// each page is touched after the one above it, as a growing stack touches
// them. Returns the lowest word painted.
__declspec(noinline) volatile uint32_t* PaintStack() {
  volatile uint32_t* top = static_cast<volatile uint32_t*>(_AddressOfReturnAddress()) - 64;
  volatile uint32_t* bottom = top - kPaintBytes / 4;
  for (volatile uint32_t* word = top; word >= bottom; --word) *word = kPaint;
  return bottom;
}

void __stdcall FiberEntry(void* parameter) {
  Run* run = static_cast<Run*>(parameter);
  run->stackTop = reinterpret_cast<uintptr_t>(_AddressOfReturnAddress());
  run->paintBottom = PaintStack();
  run->thread->RunScript();
  run->request = Request::kFinished;
  SwitchToFiber(run->hostFiber);
}

void MeasureStack(const Run& run) {
  volatile uint32_t* word = run.paintBottom;
  uintptr_t top = run.stackTop;
  while (reinterpret_cast<uintptr_t>(word) < top && *word == kPaint) ++word;
  uint32_t used = static_cast<uint32_t>(top - reinterpret_cast<uintptr_t>(word));
  if (used > hostLog.stackUsed) hostLog.stackUsed = used;
  if (word == run.paintBottom) hostLog.stackPastPaint = 1;
}

// Serves what the script fiber asked; false ends the run.
bool Serve(Run* run) {
  switch (run->request) {
    case Request::kNative:
      Answer(run->context, run->hash);
      return true;
    case Request::kAlive:
      run->alive = AskGameAlive();
      if (!run->alive) run->saidDead = true;
      return true;
    case Request::kWait:
      if (run->saidDead) return false;
      ++hostLog.frames;
      if (game.nextFrame != nullptr) game.nextFrame(game.user, run->milliseconds);
      return true;
    case Request::kFinished:
      break;
  }
  return false;
}

void CopyName(const char* name) {
  uint32_t i = 0;
  for (; name != nullptr && name[i] != '\0' && i + 1 < sizeof hostLog.name; ++i) {
    hostLog.name[i] = name[i];
  }
  hostLog.name[i] = '\0';
}

}  // namespace

// What IsThreadAlive answers, in the whole of EAX. Called from the member's
// own code below with the member's `this`.
extern "C" uint32_t MsHostAliveWord(ScriptThread* self) {
  ++hostLog.alives;
  bool alive;
  if (Run* run = OnScriptFiber()) {
    if (self != run->thread) ++hostLog.otherThis;
    AskHostSide(run, Request::kAlive);
    alive = run->alive;
  } else {
    alive = AskGameAlive();
  }
  return kAliveUpperBytes | (alive ? 1u : 0u);
}

ScriptThread::ScriptThread()
    : host_{this, nullptr, reinterpret_cast<void*>(~uintptr_t{0}),
            reinterpret_cast<void*>(kOwnPartMark)} {
  hostLog.constructed = this;
  ++hostLog.constructions;
}

ScriptThread::~ScriptThread() {
  hostLog.destroyed = this;
  ++hostLog.destructions;
  if (hostLog.registered == this) hostLog.registered = nullptr;
}

void ScriptThread::RunTick() {
  hostLog.baseReached[0] = this;
}
void ScriptThread::RunScript() {
  hostLog.baseReached[1] = this;
}
void ScriptThread::OnStart() {
  hostLog.baseReached[2] = this;
}
void ScriptThread::OnKill() {
  hostLog.baseReached[3] = this;
}

void ScriptThread::SetName(char* name) {
  hostLog.named = this;
  ++hostLog.namings;
  CopyName(name);
}

void ScriptThread::Wait(unsigned int milliseconds) {
  Run* run = OnScriptFiber();
  if (run == nullptr) return;  // not from a script body: there is no frame to hand over
  uintptr_t stackPointer = reinterpret_cast<uintptr_t>(_AddressOfReturnAddress());
  if (run->firstWaitStackPointer == 0) {
    run->firstWaitStackPointer = stackPointer;
  } else if (stackPointer != run->firstWaitStackPointer) {
    ++hostLog.waitsAtOtherStackPointer;
  }
  if (this != run->thread) {
    ++hostLog.otherThis;
  } else {
    // The host's part: {this, frame, ~frame, mark}, rewritten every frame.
    uintptr_t frame = reinterpret_cast<uintptr_t>(host_[1]);
    if (host_[0] != this || ~frame != reinterpret_cast<uintptr_t>(host_[2]) ||
        reinterpret_cast<uintptr_t>(host_[3]) != kOwnPartMark) {
      ++hostLog.ownPartChanged;
    }
    host_[0] = this;
    host_[1] = reinterpret_cast<void*>(frame + 1);
    host_[2] = reinterpret_cast<void*>(~(frame + 1));
    host_[3] = reinterpret_cast<void*>(kOwnPartMark);
  }
  run->milliseconds = milliseconds;
  AskHostSide(run, Request::kWait);
}

__attribute__((naked)) bool ScriptThread::IsThreadAlive() {
  asm("pushl %ecx\n\t"
      "calll _MsHostAliveWord\n\t"
      "addl $4, %esp\n\t"
      "retl");
}

void ScriptHookManager::RegisterThread(ScriptThread* thread) {
  hostLog.registered = thread;
  ++hostLog.registrations;
}

void NativeInvoke::SpeedyInvoke(NativeContext* context, uint32_t hash) {
  ++hostLog.natives;
  if (Run* run = OnScriptFiber()) {
    run->context = context;
    run->hash = hash;
    AskHostSide(run, Request::kNative);
  } else {
    Answer(context, hash);
  }
}

// The host never allocates a thread; a thread's storage is its plug-in's.
void operator delete(void*) {}
void operator delete(void*, unsigned int) {}

MSHOST_API void MsHostSetGame(const MsHostGame* newGame) {
  game = newGame != nullptr ? *newGame : MsHostGame{};
}

MSHOST_API MsHostLog* MsHostTheLog() {
  return &hostLog;
}

MSHOST_API uint32_t MsHostThreadSize() {
  return sizeof(ScriptThread);
}

MSHOST_API int32_t MsHostRunScript(ScriptThread* thread) {
  if (thread == nullptr || running != nullptr) return kMsHostRefused;
  Run run{};
  run.thread = thread;
  bool converted = false;
  run.hostFiber = ConvertThreadToFiber(nullptr);
  if (run.hostFiber != nullptr) {
    converted = true;
  } else {
    run.hostFiber = CurrentFiber();  // already a fiber
  }
  run.scriptFiber = CreateFiber(kFiberStackBytes, FiberEntry, &run);
  if (run.scriptFiber == nullptr) {
    if (converted) ConvertFiberToThread();
    return kMsHostNoFiber;
  }
  running = &run;
  int32_t outcome = kMsHostReturned;
  for (;;) {
    SwitchToFiber(run.scriptFiber);
    if (run.request == Request::kFinished) break;
    if (!Serve(&run)) {
      // Left suspended in its Wait; the fiber goes with it.
      outcome = kMsHostStopped;
      break;
    }
  }
  MeasureStack(run);
  running = nullptr;
  DeleteFiber(run.scriptFiber);
  if (converted) ConvertFiberToThread();
  return outcome;
}

MSHOST_API void MsHostCallVirtual(ScriptThread* thread, uint32_t slot, uint32_t argCount,
                                  const uint32_t* args, MsHostCall* result) {
  uint32_t eax;
  uint32_t left = argCount;
  asm volatile(
      "movl %%esp, %%edi\n\t"
      "1:\n\t"
      "testl %%edx, %%edx\n\t"
      "jz 2f\n\t"
      "decl %%edx\n\t"
      "pushl (%%esi,%%edx,4)\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "movl (%%ecx), %%eax\n\t"
      "calll *(%%eax,%%ebx,4)\n\t"
      "movl %%esp, %%edx\n\t"
      "subl %%edi, %%edx\n\t"
      "movl %%edi, %%esp\n\t"
      : "=a"(eax), "+d"(left), "+c"(thread)
      : "b"(slot), "S"(args)
      : "edi", "memory", "cc");
  result->eax = eax;
  result->stackLeftBy = static_cast<int32_t>(left);
}

extern "C" int __stdcall DllEntry(void*, unsigned long, void*) {
  return 1;
}
