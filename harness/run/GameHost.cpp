#include "run/GameHost.h"

#include <cstdio>
#include <cstring>

namespace {

// Texts the module hands over are short; a longer one is taken as unterminated.
constexpr size_t kMaxText = 4096;

std::string Hex(uint32_t hash) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", hash);
  return text;
}

std::string Name(const NativeInfo& info) {
  return "native " + std::string(info.name) + " (" + Hex(info.hash) + ")";
}

}  // namespace

std::string GameHost::At() const {
  return " at frame " + std::to_string(trace_.Frame());
}

GameHost::GameHost(World& world, OsSide& os, TraceWriter& trace,
                   const std::vector<TimelineEntry>& timeline)
    : world_(world), os_(os), trace_(trace), timeline_(timeline) {}

void GameHost::BeginEntry(int64_t frames) {
  entryFrames_ = frames;
  entryWaits_ = 0;
}

void GameHost::StartFrame() {
  world_.BeginFrame(trace_.Frame());
  while (nextEntry_ < timeline_.size() && timeline_[nextEntry_].frame <= trace_.Frame()) {
    const TimelineEntry& entry = timeline_[nextEntry_++];
    os_.ApplyInput(entry);
    world_.Apply(entry);
  }
  TakeLiveInput();
  // After the entries: a frame's own clockUs sets how long the frame lasted.
  if (trace_.Frame() > 0) os_.AdvanceClock(world_.ClockStepUs());
}

void GameHost::TakeLiveInput() {
  if (!liveInput_ || stopped_) return;
  std::vector<TimelineEntry> now;
  try {
    stopped_ = !liveInput_(now);
  } catch (const std::exception& error) {
    // Nothing may throw through the host library: the run ends as on a fault.
    SetFault(error.what());
    return;
  }
  if (stopped_) return;
  for (const TimelineEntry& entry : now) {
    os_.ApplyInput(entry);
    world_.Apply(entry);
  }
}

void GameHost::SetFault(std::string message) {
  if (!fault_.empty()) return;
  fault_ = std::move(message);
  trace_.Mute();
}

void GameHost::OnSetName(ScriptThread*, const char* name) {
  trace_.BeginLine();
  trace_.Raw(",\"host\":\"SetName\",\"args\":[");
  if (name != nullptr) {
    trace_.String(std::string_view(name, strnlen(name, kMaxText)));
  } else {
    trace_.Null();
  }
  trace_.Raw("]");
  trace_.EndLine();
}

void GameHost::OnRegisterThread(ScriptThread*) {
  trace_.BeginLine();
  trace_.Raw(",\"host\":\"RegisterThread\",\"args\":[]");
  trace_.EndLine();
}

bool GameHost::OnIsThreadAlive(ScriptThread*) {
  bool alive = fault_.empty() && !stopped_ && entryWaits_ < entryFrames_;
  trace_.BeginLine();
  trace_.Raw(",\"host\":\"IsThreadAlive\",\"args\":[],\"result\":");
  trace_.Bool(alive);
  trace_.EndLine();
  return alive;
}

bool GameHost::OnWait(ScriptThread*, unsigned int milliseconds) {
  trace_.BeginLine();
  trace_.Raw(",\"host\":\"Wait\",\"args\":[");
  trace_.Unsigned(milliseconds);
  trace_.Raw("]");
  trace_.EndLine();
  if (stopped_ || entryWaits_ >= entryFrames_) {
    SetFault("the script body waited for frame " + std::to_string(trace_.Frame() + 1) +
             " after IsThreadAlive had answered false");
  }
  if (fault_.empty() && frameCheck_) {
    try {
      std::string broken = frameCheck_();
      if (!broken.empty()) SetFault(std::move(broken));
    } catch (const std::exception& error) {
      SetFault(error.what());
    }
  }
  if (!fault_.empty()) return false;
  ++entryWaits_;
  trace_.SetFrame(trace_.Frame() + 1);
  StartFrame();
  return fault_.empty();
}

void GameHost::OnNative(NativeContext* context, uint32_t hash) {
  if (context == nullptr) {
    SetFault("native " + Hex(hash) + " called without a call record at frame " +
             std::to_string(trace_.Frame()));
    return;
  }
  if (!fault_.empty()) {
    context->argSlots[0] = 0;  // the run is over; let the module reach its Wait
    return;
  }
  const NativeInfo* info = FindNative(hash);
  if (info == nullptr) {
    SetFault("unknown native hash " + Hex(hash) + At());
    context->argSlots[0] = 0;
    return;
  }
  if (context->argCount != info->slots.size()) {
    SetFault(Name(*info) + " called with " + std::to_string(context->argCount) +
             " argument slots, expected " + std::to_string(info->slots.size()) + At());
    return;
  }
  if (context->resultPtr != context->argSlots || context->argsPtr != context->argSlots) {
    SetFault(Name(*info) +
             ": the call record's result and argument pointers must both name slot 0" + At());
    return;
  }
  for (size_t i = 0; i < info->slots.size(); ++i) {
    char kind = info->slots[i];
    if ((kind == 'O' || kind == 'V' || kind == 'T') && context->argSlots[i] == 0) {
      SetFault(Name(*info) + ": slot " + std::to_string(i) + " holds a null address" + At());
      return;
    }
    if (kind == 'T') {
      const char* text =
          reinterpret_cast<const char*>(static_cast<uintptr_t>(context->argSlots[i]));
      if (strnlen(text, kMaxText) == kMaxText) {
        SetFault(Name(*info) + ": the text in slot " + std::to_string(i) + " is not terminated" +
                 At());
        return;
      }
    }
  }
  TraceNative(*info, *context);
  NativeCall call(context, *info);
  world_.Answer(call);
}

void GameHost::TraceNative(const NativeInfo& info, const NativeContext& context) {
  static const char kHex[] = "0123456789ABCDEF";
  trace_.BeginLine();
  trace_.Raw(",\"native\":\"");
  trace_.Raw(info.name);
  trace_.Raw("\",\"hash\":\"0x");
  char digits[8];
  for (int i = 0; i < 8; ++i) digits[i] = kHex[(info.hash >> (28 - 4 * i)) & 15];
  trace_.Raw(std::string_view(digits, 8));
  trace_.Raw("\",\"args\":[");
  for (size_t i = 0; i < info.slots.size(); ++i) {
    if (i > 0) trace_.Raw(",");
    uint32_t slot = context.argSlots[i];
    switch (info.slots[i]) {
      case 'I':
        trace_.Int(static_cast<int32_t>(slot));
        break;
      case 'F': {
        float value;
        std::memcpy(&value, &slot, sizeof value);
        trace_.Float(value);
        break;
      }
      case 'B':
        trace_.Bool((slot & 0xFF) != 0);
        break;
      case 'T':
        trace_.String(reinterpret_cast<const char*>(static_cast<uintptr_t>(slot)));
        break;
      default:
        trace_.Null();
    }
  }
  trace_.Raw("]");
  trace_.EndLine();
}
