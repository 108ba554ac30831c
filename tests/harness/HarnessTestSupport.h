// Building call records by hand, as the module's call layer would, and a
// game host that keeps its trace in memory.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>

#include "formats/TraceWriter.h"
#include "run/GameHost.h"
#include "run/OsSide.h"
#include "world/ScriptedWorld.h"

inline uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

struct Record {
  NativeContext context{};
  explicit Record(std::initializer_list<uint32_t> slots) {
    // Garbage where the module leaves the record alone.
    std::memset(&context, 0xCD, sizeof context);
    context.resultPtr = context.argSlots;
    context.argsPtr = context.argSlots;
    context.pendingVectorCount = 0;
    context.argCount = static_cast<uint32_t>(slots.size());
    size_t i = 0;
    for (uint32_t slot : slots) context.argSlots[i++] = slot;
  }
  // The record points into itself; a copy points into the copy.
  Record(const Record& other) : context(other.context) { Repoint(); }
  Record& operator=(const Record& other) {
    context = other.context;
    Repoint();
    return *this;
  }
  void Repoint() {
    context.resultPtr = context.argSlots;
    context.argsPtr = context.argSlots;
  }
  uint32_t Result() const { return context.argSlots[0]; }
};

// A game with the scripted world of `world`, tracing into memory.
struct TestGame {
  explicit TestGame(const WorldPatch& world = {}, std::vector<TimelineEntry> entries = {},
                    std::optional<int64_t> mtime = std::nullopt)
      : timeline(std::move(entries)),
        trace(nullptr),
        os(trace, mtime),
        scripted(world),
        host(scripted, os, trace, timeline) {}

  void Call(Record& record, uint32_t hash) { host.OnNative(&record.context, hash); }
  // The last line written, without its newline.
  std::string LastLine() const {
    const std::string& text = trace.Text();
    if (text.empty()) return "";
    size_t end = text.size() - 1;
    size_t start = text.rfind('\n', end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
  }

  std::vector<TimelineEntry> timeline;
  TraceWriter trace;
  OsSide os;
  ScriptedWorld scripted;
  GameHost host;
};
