// A game for in-process tests of the module: records every native call as
// the host received it and answers from per-hash callbacks; plays the
// keyboard, the cursor and the module file's status.
#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "HostControl.h"
#include "WinApiControl.h"
#include "host/CustomFiberThread.h"
#include "log/SupportLog.h"
#include "state/History.h"
#include "state/RewindState.h"

struct RecordedCall {
  uint32_t hash;
  uint32_t argCount;
  std::array<uint32_t, 17> slots;
  bool pointersAtSlot0;
};

inline float SlotFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

inline uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// Puts the module's static state back to how a fresh load finds it.
inline void ResetModule() {
  CloseSupportLog();
  rewindState = RewindState{};
  historySet = HistorySet{};
  scriptThread.enableKey = 0;
  HistoryMemory::failHook = nullptr;
}

class FakeGame : public HostHandler, public WinApiHandler {
 public:
  using Answer = std::function<void(NativeContext&)>;

  FakeGame() {
    HostSetHandler(this);
    WinApiSetHandler(this);
  }
  ~FakeGame() override {
    HostSetHandler(nullptr);
    WinApiSetHandler(nullptr);
  }

  std::vector<RecordedCall> calls;
  std::map<uint32_t, Answer> answers;
  std::set<int> held;
  std::set<int> pressed;
  int aliveAnswers = 0;  // how many more IsThreadAlive calls answer true
  int waits = 0;
  bool hasMtime = false;
  int64_t mtime = 0;
  bool padConnected = false;
  XINPUT_GAMEPAD pad = {};
  int padPolls = 0;

  std::vector<RecordedCall> CallsOf(uint32_t hash) const {
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : calls)
      if (c.hash == hash) out.push_back(c);
    return out;
  }

  void OnSetName(ScriptThread*, const char*) override {}
  void OnRegisterThread(ScriptThread*) override {}
  bool OnIsThreadAlive(ScriptThread*) override { return aliveAnswers-- > 0; }
  bool OnWait(ScriptThread*, unsigned int) override {
    ++waits;
    return true;
  }
  void OnNative(NativeContext* context, uint32_t hash) override {
    RecordedCall call{hash, context->argCount, {}, false};
    std::memcpy(call.slots.data(), context->argSlots, sizeof context->argSlots);
    call.pointersAtSlot0 =
        context->resultPtr == &context->argSlots[0] && context->argsPtr == &context->argSlots[0];
    calls.push_back(call);
    context->argSlots[0] = 0;
    auto it = answers.find(hash);
    if (it != answers.end()) it->second(*context);
  }

  SHORT OnGetAsyncKeyState(int vk) override {
    SHORT state = held.count(vk) ? static_cast<SHORT>(0x8000) : 0;
    if (pressed.erase(vk)) state = static_cast<SHORT>(state | 1);
    return state;
  }
  SHORT OnGetKeyState(int vk) override { return held.count(vk) ? static_cast<SHORT>(0x8000) : 0; }
  BOOL OnGetCursorPos(POINT* point) override {
    point->x = 0;
    point->y = 0;
    return TRUE;
  }
  DWORD OnXInputGetState(DWORD, XINPUT_STATE* state) override {
    ++padPolls;
    if (!padConnected) return ERROR_DEVICE_NOT_CONNECTED;
    *state = {};
    state->Gamepad = pad;
    return ERROR_SUCCESS;
  }
  bool OnFileModificationTime(const char*, int64_t* seconds) override {
    if (hasMtime) *seconds = mtime;
    return hasMtime;
  }
  void OnGetFullPathNameW(const char16_t*, DWORD) override {}
  void OnGetPrivateProfileIntW(const char16_t*, const char16_t*, INT) override {}
};

// Writes a value through the out-pointer in slot `slot`.
template <typename T>
void WriteOut(NativeContext& context, int slot, T value) {
  std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(context.argSlots[slot])), &value,
              sizeof value);
}
