// The script-hosting library's programming interface, as a plug-in sees it.
//
// The game's own host library is closed; this header declares the same
// interface so that the module builds against either the game's library or
// the project's stand-ins (harness/hostlib, and harness/mshost built the way
// Microsoft's compiler builds it). It lives apart from all of them: it is
// the boundary, not part of any one side. Everything here is 32-bit code:
// the call record below holds 32-bit addresses.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#if defined(SCRIPTHOOK_BUILD)
#define SCRIPTHOOK_API __declspec(dllexport)
#else
#define SCRIPTHOOK_API __declspec(dllimport)
#endif
#else
#define SCRIPTHOOK_API __attribute__((visibility("default")))
#endif

// The record a plug-in hands the host for one native call. Its layout is
// shared with the host library byte for byte: 164 bytes, 32-bit addresses,
// little-endian.
struct NativeScratchVector {
  float x;
  float y;
  float z;
  float unused;  // written by the host, never read by a plug-in
};

struct NativeContext {
  void* resultPtr;                       // 0x00: slot 0; the host writes the result there
  uint32_t argCount;                     // 0x04: argument slots in use
  void* argsPtr;                         // 0x08: slot 0
  uint32_t pendingVectorCount;           // 0x0C: vector results left for copying back, 0 to 4
  void* vectorTargets[4];                // 0x10: caller-side Vector3 of each pending result
  NativeScratchVector vectorScratch[4];  // 0x20
  uint32_t argSlots[17];                 // 0x60: 4-byte argument slots
};

static_assert(sizeof(void*) == 4, "the host interface is 32-bit only");
static_assert(sizeof(NativeContext) == 164, "NativeContext is 164 bytes");

// A script thread: the host calls RunScript on its own script thread and
// resumes it once per game frame after each Wait. The order of the virtual
// functions is the order of the host library's virtual table.
class SCRIPTHOOK_API ScriptThread {
 public:
  ScriptThread();
  virtual void RunTick();
  virtual void RunScript();
  virtual void OnStart();
  virtual void OnKill();
#if defined(__MINGW32__)
  // A host library built with Microsoft's compiler has one destructor entry
  // here, where g++ would put its two: the scalar deleting destructor, called
  // with this in ECX and one flags argument that it pops (bit 0: free the
  // storage as well), returning this. Taking the slot with that shape keeps
  // such a host's stack whole when it destroys a thread; g++'s own two
  // destructors follow, out of the host's sight.
  virtual ScriptThread* DeletingDestructor(unsigned int flags) {
    this->~ScriptThread();
    if ((flags & 1) != 0) ::operator delete(this);
    return this;
  }
#endif
  virtual ~ScriptThread();

  void SetName(char* name);
  // Yields to the game; returns once the game has advanced to its next frame.
  void Wait(unsigned int milliseconds);
  // True while the host wants the thread to keep running.
  bool IsThreadAlive();

  ScriptThread(const ScriptThread&) = delete;
  ScriptThread& operator=(const ScriptThread&) = delete;

 private:
  // The host's own bookkeeping for the thread; a plug-in never touches it.
  [[maybe_unused]] void* host_[4];
};

class SCRIPTHOOK_API ScriptHookManager {
 public:
  static void RegisterThread(ScriptThread* thread);
};

class SCRIPTHOOK_API NativeInvoke {
 public:
  // Runs the native named by hash to completion: reads the argument slots,
  // writes the result into slot 0 and the out-values, and may leave vector
  // results in the record for the caller to copy back.
  static void SpeedyInvoke(NativeContext* context, uint32_t hash);
};
