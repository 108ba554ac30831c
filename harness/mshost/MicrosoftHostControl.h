// The side door of the Microsoft-mode stand-in host (MicrosoftHost.cpp): how
// a test plays the game behind it and reads what the plug-in did at the host
// interface. Plain C functions and structures, so that a test built by g++
// and the host built by clang in Microsoft mode agree on them; a plug-in
// never includes this header.
#pragma once

#include <cstdint>

#include "ScriptHook.h"

#if defined(MSHOST_BUILD)
#define MSHOST_API extern "C" __declspec(dllexport)
#else
#define MSHOST_API extern "C" __declspec(dllimport)
#endif

// The game. The host calls these on its own side, never on the script
// fiber, and they must not throw: the host is built without exceptions. A
// null function: every native answers 0, the thread is never alive.
struct MsHostGame {
  void* user;
  void (*answerNative)(void* user, NativeContext* context, uint32_t hash);
  // Nonzero while the thread is to keep running.
  uint32_t (*threadAlive)(void* user);
  // The script body has waited: the game runs its next frame here.
  void (*nextFrame)(void* user, unsigned int milliseconds);
};

// What the host saw. `this` of each member call is what the plug-in passed
// in ECX.
struct MsHostLog {
  ScriptThread* constructed;  // the last thread constructed
  ScriptThread* named;        // the last thread named
  char name[32];              // its name, cut to 31 characters
  ScriptThread* registered;   // the thread the host holds; null once destroyed
  uint32_t constructions;
  uint32_t namings;
  uint32_t registrations;

  uint32_t frames;   // Waits that handed a frame to the game
  uint32_t natives;  // SpeedyInvoke calls
  uint32_t alives;   // IsThreadAlive calls
  // Wait or IsThreadAlive calls on a script fiber whose `this` was not the
  // thread the fiber runs.
  uint32_t otherThis;
  // Waits of a run entered with a stack pointer other than its first Wait's:
  // the plug-in's loop calls Wait from one place, so any other means a call
  // left the stack unbalanced.
  uint32_t waitsAtOtherStackPointer;
  // Host calls after IsThreadAlive answered false; a Wait among them ends
  // the run there.
  uint32_t callsAfterDeath;
  // Waits that found the host's own part of the thread changed since the host
  // last wrote it.
  uint32_t ownPartChanged;
  // The deepest any run's script fiber went, in bytes below the fiber's
  // entry; stackPastPaint is nonzero when it reached the end of the painted
  // part, so that the figure is only a lower bound.
  uint32_t stackUsed;
  uint32_t stackPastPaint;

  // The base's own virtual members (RunTick, RunScript, OnStart, OnKill), as
  // reached through a thread's table: `this` of the last call of each.
  ScriptThread* baseReached[4];

  ScriptThread* destroyed;  // `this` of the last destructor call
  uint32_t destructions;
};

// A call through a thread's virtual table, as Microsoft's compiler makes it.
struct MsHostCall {
  uint32_t eax;         // what the member returned
  int32_t stackLeftBy;  // the stack pointer after the call less before it: 0
                        // when the member popped exactly its arguments
};

enum : int32_t {
  kMsHostReturned = 0,  // RunScript returned
  kMsHostStopped = 1,   // the script body waited after being told it was dead
  kMsHostRefused = 2,   // no thread, or a run already going on
  kMsHostNoFiber = 3,   // the fiber could not be made
};

// Installs the game; null restores the idle one.
MSHOST_API void MsHostSetGame(const MsHostGame* game);

// The log, which the test may also clear.
MSHOST_API MsHostLog* MsHostTheLog();

// The size of ScriptThread as this host lays it out: where a plug-in's own
// members begin.
MSHOST_API uint32_t MsHostThreadSize();

// Runs the thread's RunScript, through its virtual table, on a fresh fiber:
// each Wait switches back here, the game runs a frame and the fiber is
// resumed. Returns one of the kMsHost outcomes.
MSHOST_API int32_t MsHostRunScript(ScriptThread* thread);

// Calls entry `slot` of the thread's virtual table with `this` in ECX and the
// arguments pushed right to left, the member to pop them.
MSHOST_API void MsHostCallVirtual(ScriptThread* thread, uint32_t slot, uint32_t argCount,
                                  const uint32_t* args, MsHostCall* result);
