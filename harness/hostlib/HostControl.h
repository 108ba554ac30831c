// The stand-in host library's side door for the harness: how the harness
// (or a test) plays the game behind the host interface of ScriptHook.h.
// A plug-in never includes this header.
#pragma once

#include "ScriptHook.h"

// What the stand-in host asks of the game. Every call of the host interface
// is reported here, in the order the plug-in makes it. A handler never
// throws: on Windows the harness, the host library and the plug-in are
// binaries of their own, each with its own unwinder, and an exception can't
// cross from one's frames into another's.
class HostHandler {
 public:
  virtual ~HostHandler() = default;
  virtual void OnSetName(ScriptThread* thread, const char* name) = 0;
  virtual void OnRegisterThread(ScriptThread* thread) = 0;
  virtual bool OnIsThreadAlive(ScriptThread* thread) = 0;
  // Called on the host's side once the script fiber has switched out in
  // Wait: the game runs its next frame here, then the host switches back in.
  // False ends the run instead: the script body stays suspended in its Wait.
  virtual bool OnWait(ScriptThread* thread, unsigned int milliseconds) = 0;
  virtual void OnNative(NativeContext* context, uint32_t hash) = 0;
};

// Installs the game; null restores the built-in one, which answers every
// native with zeros, keeps no thread alive and records nothing.
SCRIPTHOOK_API void HostSetHandler(HostHandler* handler);

// The thread most recently registered, or null.
SCRIPTHOOK_API ScriptThread* HostRegisteredThread();

// Forgets the registered thread, as before a fresh load of a plug-in.
SCRIPTHOOK_API void HostForgetThreads();

// Runs the thread's script body on a fiber of its own until it returns, or
// until OnWait answers false. Each Wait switches back to the caller's side,
// which calls OnWait and switches in again.
SCRIPTHOOK_API void HostRunScript(ScriptThread* thread);
