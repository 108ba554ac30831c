// The module's load-time side: its static objects and the entry point the
// platform calls when the module is attached to the process.
#include "host/CustomFiberThread.h"
#include "platform.h"
#include "state/History.h"

// Defined together, in this order, so that the histories exist before the
// thread that records into them and outlive it at unload.
HistorySet historySet;
CustomFiberThread scriptThread;

CustomFiberThread::CustomFiberThread() {
  static char name[] = "Quorvat";
  SetName(name);
}

extern "C" QUORVAT_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ScriptHookManager::RegisterThread(&scriptThread);
  return TRUE;
}
