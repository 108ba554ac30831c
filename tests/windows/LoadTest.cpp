// The module under the platform's own loader. LoadLibrary alone must run the
// module's static initialisation (the thread constructed and named) and the
// entry point's registration, in that order; the call records the DLL hands
// the host must have the host's 164-byte layout; the module's frames must
// run on a stack aligned to 4 bytes only, as a host may call them; and
// unloading must destroy the thread.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "HostControl.h"
#include "ScriptHook.h"
#include "host/Snapshot.h"

static_assert(sizeof(NativeContext) == 164, "the host's call record is 164 bytes");
static_assert(offsetof(NativeContext, argSlots) == 0x60, "argument slots start at 0x60");

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++failures;
  }
}

class RecordingHost : public HostHandler {
 public:
  std::vector<std::string> events;
  ScriptThread* named = nullptr;
  ScriptThread* registered = nullptr;
  int framesLeft = 0;
  int natives = 0;
  int badRecords = 0;

  void OnSetName(ScriptThread* thread, const char* name) override {
    events.push_back(std::string("SetName ") + name);
    named = thread;
  }
  void OnRegisterThread(ScriptThread* thread) override {
    events.push_back("RegisterThread");
    registered = thread;
  }
  bool OnIsThreadAlive(ScriptThread*) override { return framesLeft > 0; }
  bool OnWait(ScriptThread*, unsigned int) override {
    --framesLeft;
    return true;
  }
  void OnNative(NativeContext* context, uint32_t hash) override {
    ++natives;
    // The module fills the record the host reads: result and arguments both
    // at slot 0, which sits at 0x60 of a 164-byte record.
    auto* base = reinterpret_cast<char*>(context);
    bool sound = context->argsPtr == base + 0x60 && context->resultPtr == context->argsPtr &&
                 context->argCount <= 17 && context->pendingVectorCount == 0;
    if (!sound) ++badRecords;
    uint32_t answer = 0;
    if (hash == 0x330A9C0Cu) answer = 16;  // the frame step: let every frame record
    if (context->resultPtr != nullptr) *static_cast<uint32_t*>(context->resultPtr) = answer;
  }
};

// Calls fn with the stack pointer 4, 8 or 12 bytes past a 16-byte boundary at
// the call, as a host built for 4-byte stacks may.
__attribute__((noinline)) void CallOnStackOffset(void (*fn)(), uint32_t offset) {
  asm volatile(
      "mov %%esp, %%esi\n\t"
      "and $-16, %%esp\n\t"
      "sub %%edi, %%esp\n\t"
      "call *%%ebx\n\t"
      "mov %%esi, %%esp\n\t"
      :
      : "b"(fn), "D"(offset)
      : "esi", "eax", "ecx", "edx", "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5",
        "xmm6", "xmm7");
}

RecordingHost host;

// Through void(*)(), the one function type any other converts to cleanly.
template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void RunRegisteredScript() {
  host.registered->RunScript();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: load_test PATH_OF_Quorvat.dll\n");
    return 2;
  }
  HostSetHandler(&host);
  HMODULE module = LoadLibraryA(argv[1]);
  Check(module != nullptr, "LoadLibrary loads the module");
  if (module == nullptr) return 1;

  Check(host.events.size() == 2 && host.events[0] == "SetName Quorvat" &&
            host.events[1] == "RegisterThread",
        "loading names the thread \"Quorvat\", then registers it, and does nothing else");
  Check(host.registered != nullptr && host.registered == host.named,
        "the thread registered is the one named");
  Check(HostRegisteredThread() == host.registered, "the host keeps the registered thread");
  Check(host.natives == 0, "no native is called at load");

  Check(GetProcAddress(module, "DllMain") != nullptr, "DllMain is exported under its plain name");
  Check(GetProcAddress(module, "DllMain@12") == nullptr, "no decorated DllMain@12 export");
  auto readSnapshot = Lookup<QuorvatReadSnapshotFn>(module, QUORVAT_SNAPSHOT_SYMBOL);
  Check(readSnapshot != nullptr, "QuorvatReadSnapshot is exported");
  if (readSnapshot != nullptr) readSnapshot(nullptr);  // anyone may call it: no crash

  // A second attach-less call of the entry point with another reason changes
  // nothing and still answers TRUE.
  using EntryFn = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
  auto entry = Lookup<EntryFn>(module, "DllMain");
  if (entry != nullptr) {
    Check(entry(module, DLL_THREAD_ATTACH, nullptr) == TRUE, "the entry point answers TRUE");
    Check(host.events.size() == 2, "a thread attach registers nothing");
  }

  if (host.registered != nullptr && readSnapshot != nullptr) {
    // Ten frames on each misaligned stack: the first runs the first-frame
    // block, all of them record.
    const uint32_t offsets[] = {4, 8, 12};
    for (uint32_t offset : offsets) {
      host.framesLeft = 10;
      CallOnStackOffset(RunRegisteredScript, offset);
    }
    QuorvatSnapshot snapshot{};
    readSnapshot(&snapshot);
    Check(snapshot.frameCount == 31,
          "31 frames counted (the first block sets 1, each frame adds 1)");
    Check(snapshot.sampleCount == 30, "every frame recorded a sample");
    Check(host.natives > 0 && host.badRecords == 0,
          "every call record has the host's layout (slot 0 at 0x60, both pointers on it)");
  }

  Check(FreeLibrary(module) != FALSE, "FreeLibrary unloads the module");
  Check(HostRegisteredThread() == nullptr, "unloading destroys the registered thread");

  if (failures == 0) std::printf("load_test: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
