// The shipped Quorvat.dll beside a host library built the way Microsoft's
// compiler builds one (harness/mshost), as a player's game would load it:
// every host import bound to an export; the thread constructed, named and
// registered by LoadLibrary alone; `this` in ECX and the stack kept across
// the host's calls; IsThreadAlive read from AL alone; the module's own member
// past the host's part of the thread; the first frames' natives as the
// scripted trace of the same inputs has them; RunScript returning once the
// host says the thread is dead; the base's members and the destructor entry
// reached through the module's own table; and how deep the module goes on
// the host's fiber through rewinds on foot and in a vehicle.
//   microsoft_host_test Quorvat.dll SCENARIO.json TRACE.jsonl
// The scenario's trace is `quorvat-sim run SCENARIO.json` of the Linux build.
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "MicrosoftHostControl.h"
#include "run/ImportPatch_win32.h"
#include "world/NativeTable.h"

using nlohmann::json;

namespace {

int failures = 0;
const char* phase = "starting";

// A module that breaks the calling conventions may well crash: say where.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  std::printf("FAILED: exception 0x%08lX at %p while %s\n",
              exception->ExceptionRecord->ExceptionCode,
              exception->ExceptionRecord->ExceptionAddress, phase);
  // Ended from the host's fiber, the process would otherwise exit with
  // status 0 under Wine, and the test pass.
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Said as it begins, so that a crash shows where it happened.
void Phase(const char* what) {
  phase = what;
  std::printf("microsoft_host_test: %s\n", what);
}

void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what.c_str());
    ++failures;
  }
}

// A module frame may use at most this much of the host's fiber.
constexpr uint32_t kStackLimit = 16 * 1024;
constexpr int32_t kEnableKey = 122;  // the scenario's settings, F11

// The world every frame of this test plays, the same as the scenario's:
// its player, character and clock. Everything else answers 0 or false.
const json kScenarioWorld = {
    {"localPlayer", 7}, {"playerIndex", 3}, {"character", 41}, {"charCondition", 0}};
constexpr int32_t kLocalPlayer = 7;
constexpr int32_t kPlayerIndex = 3;
constexpr int32_t kCharacter = 41;
constexpr uint32_t kFrameStep = 16;
// The rewinds of the second run: the car the player sits in, another parked
// near the recorded spot, and their model.
constexpr int32_t kCar = 12;
constexpr int32_t kParkedCar = 13;
constexpr int32_t kModel = 5;

struct ExpectedNative {
  std::string name;
  json args;
};

struct Game {
  int64_t frame = 0;
  int64_t lastFrame = 0;  // alive while frame < lastFrame
  bool inVehicle = false;
  // The first run: the natives to come, in order.
  const std::vector<ExpectedNative>* expected = nullptr;
  size_t nextExpected = 0;
  std::string firstMismatch;
  int badRecords = 0;
  int unknownNatives = 0;
  int callbackFailures = 0;
  // The second run, by frame: the character gets into the car, the toggle
  // key is pressed, 'Z' held, Space held.
  int64_t vehicleFrom = -1;
  std::vector<int64_t> presses;
  std::vector<std::pair<int64_t, int64_t>> scrubs;  // from, to (exclusive)
  int64_t spaceFrame = -1;
  bool togglePending = false;
  // What the module did.
  int keyPolls = 0;
  int otherKeyPolls = 0;
  int rewindsEntered = 0;
  int footImpulses = 0;
  int vehicleImpulses = 0;
};

Game game;

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float Float(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool IsBoolNative(NativeId id) {
  switch (id) {
    case NativeId::IsCharacterInVehicle:
    case NativeId::QueryCharacterBodyMode:
    case NativeId::ProbeBoxBlocked:
    case NativeId::IsVehicleValid:
    case NativeId::IsCharacterInThisVehicle:
    case NativeId::ProbeVehicleNear:
      return true;
    default:
      return false;
  }
}

// One argument slot against the trace's value of it, by the slot's kind.
bool SameArgument(char kind, uint32_t slot, const json& want) {
  switch (kind) {
    case 'I':
      return want.is_number_integer() && static_cast<int32_t>(slot) == want.get<int64_t>();
    case 'F':
      if (want.is_string()) {
        const std::string word = want.get<std::string>();
        if (word == "nan") return Float(slot) != Float(slot);
        return Float(slot) == std::strtof(word.c_str(), nullptr);  // "inf", "-inf"
      }
      return want.is_number() && Float(slot) == static_cast<float>(want.get<double>());
    case 'B':
      return want.is_boolean() && (slot & 0xFF) == (want.get<bool>() ? 1u : 0u);
    case 'T':
      return want.is_string() &&
             want.get<std::string>() == reinterpret_cast<const char*>(static_cast<uintptr_t>(slot));
    default:
      return want.is_null();  // an out-target's address
  }
}

void CompareWithTrace(const NativeContext& context, const NativeInfo& info) {
  if (!game.firstMismatch.empty()) return;
  const std::string at = "native " + std::to_string(game.nextExpected) + " (" +
                         std::string(info.name) + ", frame " + std::to_string(game.frame) + ")";
  if (game.nextExpected >= game.expected->size()) {
    game.firstMismatch = at + ": the trace has no more natives";
    return;
  }
  const ExpectedNative& want = (*game.expected)[game.nextExpected++];
  if (want.name != info.name) {
    game.firstMismatch = at + ": the trace has " + want.name;
    return;
  }
  if (context.argCount != info.slots.size() || want.args.size() != info.slots.size()) {
    game.firstMismatch = at + ": " + std::to_string(context.argCount) +
                         " arguments, the trace has " + std::to_string(want.args.size());
    return;
  }
  for (size_t i = 0; i < info.slots.size(); ++i) {
    if (!SameArgument(info.slots[i], context.argSlots[i], want.args[i])) {
      game.firstMismatch =
          at + ": argument " + std::to_string(i) + " is not " + want.args[i].dump();
      return;
    }
  }
}

// A vector result, left in the record for the module to copy back.
void ReturnVector(NativeContext* context, int slot, float x, float y, float z) {
  uint32_t i = context->pendingVectorCount++;
  context->vectorTargets[i] =
      reinterpret_cast<void*>(static_cast<uintptr_t>(context->argSlots[slot]));
  context->vectorScratch[i] = {x, y, z, 0.0f};
}

void Write(NativeContext* context, int slot, uint32_t value) {
  std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(context->argSlots[slot])), &value,
              sizeof value);
}

void Answer(NativeContext* context, NativeId id) {
  uint32_t* slots = context->argSlots;
  auto arg = [slots](int i) { return static_cast<int32_t>(slots[i]); };
  uint32_t result = 0;
  bool truth = false;
  switch (id) {
    case NativeId::QueryLocalPlayerId:
      result = kLocalPlayer;
      break;
    case NativeId::PlayerIndexFromId:
      result = kPlayerIndex;
      break;
    case NativeId::ReadPlayerCharacter:
      Write(context, 1, kCharacter);
      break;
    case NativeId::QueryFrameStep:
      result = kFrameStep;
      break;
    case NativeId::QueryScrubStep:
      result = 200;  // two samples a frame
      break;
    case NativeId::IsCharacterInVehicle:
      truth = game.inVehicle;
      break;
    case NativeId::ReadCharacterVehicle:
      if (game.inVehicle) Write(context, 1, kCar);
      break;
    case NativeId::IsVehicleValid:
      truth = arg(0) == kCar || arg(0) == kParkedCar;
      break;
    case NativeId::IsCharacterInThisVehicle:
      truth = game.inVehicle && arg(1) == kCar;
      break;
    case NativeId::LocateVehicleNear:
      result = kParkedCar;
      break;
    case NativeId::ReadVehicleModel:
      Write(context, 1, kModel);
      break;
    case NativeId::ReadModelExtent:
      ReturnVector(context, 1, -1.0f, -2.0f, -0.5f);
      ReturnVector(context, 2, 1.0f, 2.0f, 0.5f);
      break;
    case NativeId::ReadVehicleSpeedVector:
      ReturnVector(context, 1, 3.0f, 0.0f, 0.0f);
      break;
    case NativeId::MeasurePointDistance:
      Write(context, 6, Bits(10.0f));  // far enough to be pulled
      break;
    case NativeId::SetGameSpeed:
      if (Float(slots[0]) == -1.0f) ++game.rewindsEntered;
      break;
    case NativeId::ImpelCharacter:
      ++game.footImpulses;
      break;
    case NativeId::ImpelVehicle:
      ++game.vehicleImpulses;
      break;
    default:
      break;
  }
  slots[0] = IsBoolNative(id) ? 0xA5A5A500u | (truth ? 1u : 0u) : result;
}

void AnswerNative(void*, NativeContext* context, uint32_t hash) {
  try {
    auto* base = reinterpret_cast<char*>(context);
    bool sound = context->argsPtr == base + 0x60 && context->resultPtr == context->argsPtr &&
                 context->argCount <= 17 && context->pendingVectorCount == 0;
    if (!sound) {
      ++game.badRecords;
      return;
    }
    const NativeInfo* info = FindNative(hash);
    if (info == nullptr) {
      ++game.unknownNatives;
      return;
    }
    if (game.expected != nullptr) CompareWithTrace(*context, *info);
    Answer(context, info->id);
  } catch (...) {
    ++game.callbackFailures;
  }
}

uint32_t ThreadAlive(void*) {
  return game.frame < game.lastFrame ? 1 : 0;
}

void NextFrame(void*, unsigned int) {
  ++game.frame;
  game.inVehicle = game.vehicleFrom >= 0 && game.frame >= game.vehicleFrom;
  for (int64_t press : game.presses) {
    if (game.frame == press) game.togglePending = true;
  }
}

// The operating system as the module meets it in this test: the keys of the
// schedule above, the cursor at rest, and no file at the module's build path,
// as the scenario says.
SHORT WINAPI AnswerGetAsyncKeyState(int key) {
  if (key != kEnableKey) {
    ++game.otherKeyPolls;
    return 0;
  }
  ++game.keyPolls;
  SHORT state = game.togglePending ? 1 : 0;
  game.togglePending = false;
  return state;
}

SHORT WINAPI AnswerGetKeyState(int key) {
  bool down = key == VK_SPACE && game.frame == game.spaceFrame;
  for (const auto& [from, to] : game.scrubs) {
    if (key == 'Z' && game.frame >= from && game.frame < to) down = true;
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

BOOL WINAPI AnswerGetCursorPos(POINT* point) {
  point->x = 0;
  point->y = 0;
  return TRUE;
}

int __cdecl AnswerStat64(const char*, struct _stat64*) {
  errno = ENOENT;
  return -1;
}

// The module's frees, passed on; those of `watched` counted.
using FreeFn = void(__cdecl*)(void*);
FreeFn platformFree = nullptr;
void* watched = nullptr;
int watchedFrees = 0;

void __cdecl CountingFree(void* block) {
  if (block != nullptr && block == watched) ++watchedFrees;
  platformFree(block);
}

template <typename Fn>
void* Address(Fn function) {
  return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(function));
}

bool PatchOs(HMODULE module) {
  bool all =
      PatchImport(module, "USER32.dll", "GetAsyncKeyState", Address(AnswerGetAsyncKeyState)) !=
          nullptr &&
      PatchImport(module, "USER32.dll", "GetKeyState", Address(AnswerGetKeyState)) != nullptr &&
      PatchImport(module, "USER32.dll", "GetCursorPos", Address(AnswerGetCursorPos)) != nullptr &&
      PatchImport(module, "msvcrt.dll", "_stat64", Address(AnswerStat64)) != nullptr;
  void* free = PatchImport(module, "msvcrt.dll", "free", Address(CountingFree));
  platformFree = reinterpret_cast<FreeFn>(reinterpret_cast<void (*)()>(free));
  return all && free != nullptr;
}

// The names the module imports from `dll`, read from its loaded image.
std::vector<std::string> ImportedNames(HMODULE module, const char* dll) {
  std::vector<std::string> names;
  auto* base = reinterpret_cast<const uint8_t*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       directory.VirtualAddress != 0 && import->Name != 0; ++import) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
    auto* entry = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
    for (; entry->u1.AddressOfData != 0; ++entry) {
      if (IMAGE_SNAP_BY_ORDINAL(entry->u1.Ordinal)) {
        names.push_back("#" + std::to_string(IMAGE_ORDINAL(entry->u1.Ordinal)));
      } else {
        names.push_back(reinterpret_cast<const char*>(
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + entry->u1.AddressOfData)->Name));
      }
    }
  }
  return names;
}

uintptr_t ImageSize(HMODULE module) {
  auto* base = reinterpret_cast<const uint8_t*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew)
      ->OptionalHeader.SizeOfImage;
}

// IsThreadAlive as the module calls it, for what the host leaves in EAX.
uint32_t CallIsThreadAlive(void* member, ScriptThread* self) {
  uint32_t eax;
  asm volatile("calll *%2" : "=a"(eax), "+c"(self) : "S"(member) : "edx", "memory", "cc");
  return eax;
}

std::vector<ExpectedNative> ReadTraceNatives(const std::string& path, int64_t* frames) {
  std::vector<ExpectedNative> natives;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    json entry = json::parse(line);
    if (entry.contains("native")) {
      natives.push_back({entry["native"].get<std::string>(), entry["args"]});
    }
    if (entry.contains("end")) *frames = entry["frame"].get<int64_t>();
  }
  return natives;
}

std::string FullPath(const char* path) {
  char full[MAX_PATH * 4];
  DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
  return length > 0 && length < sizeof full ? std::string(full) : std::string(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  SetUnhandledExceptionFilter(ReportCrash);
  if (argc != 4) {
    std::printf("usage: microsoft_host_test Quorvat.dll SCENARIO.json TRACE.jsonl\n");
    return 2;
  }
  const std::string modulePath = FullPath(argv[1]);
  json scenario;
  std::vector<ExpectedNative> expected;
  int64_t traceFrames = -1;
  try {
    std::ifstream in(argv[2]);
    scenario = json::parse(in);
    expected = ReadTraceNatives(argv[3], &traceFrames);
  } catch (const std::exception& error) {
    std::printf("FAILED: reading the scenario and its trace: %s\n", error.what());
    return 1;
  }
  Check(scenario.value("world", json::object()) == kScenarioWorld,
        "the scenario's world is the one this test's game plays");
  Check(!expected.empty() && traceFrames == scenario.value("frames", -1),
        "the trace holds natives and ends after the scenario's frames");

  // The settings file, in a folder of its own that is the current directory.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder =
      std::string(temp) + "quorvat-microsoft-host-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  SetCurrentDirectoryA(folder.c_str());
  {
    std::ofstream ini("Quorvat.ini", std::ios::binary);
    ini << scenario.value("settings", std::string());
  }

  HMODULE host = GetModuleHandleA("ScriptHook.dll");
  Check(host != nullptr && GetProcAddress(host, "MsHostTheLog") != nullptr,
        "ScriptHook.dll is the Microsoft-mode host");
  MsHostLog& log = *MsHostTheLog();
  const MsHostGame callbacks = {nullptr, AnswerNative, ThreadAlive, NextFrame};
  MsHostSetGame(&callbacks);

  Phase("loading the module");
  HMODULE module = LoadLibraryA(modulePath.c_str());
  Check(module != nullptr, "LoadLibrary loads " + modulePath);
  if (module == nullptr) return 1;

  // Before any frame: every name the module asks of the host is there.
  std::vector<std::string> imports = ImportedNames(module, "ScriptHook.dll");
  Check(!imports.empty(), "the module imports from ScriptHook.dll");
  int unbound = 0;
  for (const std::string& name : imports) {
    bool bound = GetProcAddress(host, name.c_str()) != nullptr;
    Check(bound, "the host exports " + name);
    unbound += bound ? 0 : 1;
  }
  // The platform's loader would have refused the module; Wine binds such an
  // import to a stub that aborts when called.
  if (unbound > 0) return 1;

  ScriptThread* thread = log.registered;
  auto base = reinterpret_cast<uintptr_t>(module);
  auto at = reinterpret_cast<uintptr_t>(thread);
  Check(log.constructions == 1 && log.namings == 1 && log.registrations == 1,
        "loading constructs, names and registers one thread, once each");
  Check(std::strcmp(log.name, "Quorvat") == 0, "the thread is named \"Quorvat\"");
  Check(thread != nullptr && at >= base && at < base + ImageSize(module),
        "the registered thread is the module's own static object");
  Check(log.constructed == thread && log.named == thread,
        "the constructor and SetName get the registered thread in ECX");
  Check(log.natives == 0 && log.frames == 0, "nothing runs at load");
  if (thread == nullptr) return 1;
  Check(PatchOs(module), "the module imports the keys, cursor, file status and free it is given");

  // The host's answer really carries garbage above AL.
  void* isThreadAlive =
      reinterpret_cast<void*>(GetProcAddress(host, "?IsThreadAlive@ScriptThread@@QAE_NXZ"));
  game.lastFrame = 0;
  Check(CallIsThreadAlive(isThreadAlive, thread) == 0xA5A5A500u,
        "the host answers false as 0xA5A5A500");
  game.lastFrame = 1;
  Check(CallIsThreadAlive(isThreadAlive, thread) == 0xA5A5A501u,
        "the host answers true as 0xA5A5A501");
  log.alives = 0;

  // First run: the scenario's frames, natives as its trace has them.
  Phase("running the scenario's frames");
  game.expected = &expected;
  game.lastFrame = traceFrames;
  Check(MsHostRunScript(thread) == kMsHostReturned,
        "RunScript returns once IsThreadAlive says false");
  Check(game.firstMismatch.empty(), "the natives are the trace's: " + game.firstMismatch);
  Check(game.nextExpected == expected.size(), "every native of the trace came");
  Check(log.frames == traceFrames && game.frame == traceFrames,
        "one Wait a frame, each returning after the game's frame");
  game.expected = nullptr;

  // The member the module adds sits where this host's part ends.
  int32_t memberPastBase = 0;
  std::memcpy(&memberPastBase, reinterpret_cast<const char*>(thread) + MsHostThreadSize(),
              sizeof memberPastBase);
  Check(memberPastBase == kEnableKey,
        "the module's enable key from the settings sits right past the host's part");

  Phase("running the frames with rewinds");
  // Second run, entered afresh: a long one with a rewind on foot (entered and
  // left with the toggle key) and one in a car (left with Space).
  const int64_t start = game.frame;
  const int64_t seated = start + 260;
  game.presses = {start + 150, start + 210, seated + 150};
  game.scrubs = {{start + 151, start + 191}, {seated + 151, seated + 191}};
  game.vehicleFrom = seated;
  game.spaceFrame = seated + 210;
  game.lastFrame = seated + 300;
  Check(MsHostRunScript(thread) == kMsHostReturned, "RunScript returns again at the end");
  Check(game.rewindsEntered == 2 && game.footImpulses > 0 && game.vehicleImpulses > 0,
        "both rewinds ran, on foot and in the vehicle");

  Check(log.frames == game.lastFrame, "every frame handed over");
  Check(log.alives == log.frames + 2, "IsThreadAlive asked at every entry and after every Wait");
  Check(log.otherThis == 0, "Wait and IsThreadAlive get the running thread in ECX");
  Check(log.waitsAtOtherStackPointer == 0, "the stack is balanced from one Wait to the next");
  Check(log.callsAfterDeath == 0, "nothing is called after IsThreadAlive says false");
  Check(log.ownPartChanged == 0, "the host's own part of the thread is left alone");
  Check(game.keyPolls == game.frame && game.otherKeyPolls == 0,
        "every frame polls the enable key, read from the member past the host's part");
  std::memcpy(&memberPastBase, reinterpret_cast<const char*>(thread) + MsHostThreadSize(),
              sizeof memberPastBase);
  Check(memberPastBase == kEnableKey, "the module's member survives the host's writes");
  Check(game.badRecords == 0 && game.unknownNatives == 0 && game.callbackFailures == 0,
        "every call record has the host's layout and a known native");
  std::printf("stack: %u bytes at most below the fiber's entry%s\n", log.stackUsed,
              log.stackPastPaint != 0 ? " (or more: past the painted part)" : "");
  Check(log.stackPastPaint == 0 && log.stackUsed <= kStackLimit,
        "a module frame uses at most 16 KB of the host's fiber");

  // The base's members through the module's table.
  Phase("calling through the module's virtual table");
  const char* baseNames[] = {"RunTick", "RunScript", "OnStart", "OnKill"};
  for (uint32_t slot : {0u, 2u, 3u}) {
    MsHostCall call{};
    MsHostCallVirtual(thread, slot, 0, nullptr, &call);
    Check(log.baseReached[slot] == thread && call.stackLeftBy == 0,
          std::string("slot ") + std::to_string(slot) + " reaches the base's " + baseNames[slot]);
  }

  // The destructor entry, slot 4, on copies of the thread: flags 0 destroys,
  // flags 1 destroys and frees; each pops its argument and returns `this`.
  const size_t size = MsHostThreadSize() + sizeof(int32_t);
  alignas(8) unsigned char copy[64];
  auto destroy = [&log](void* object, uint32_t flags, int frees, const char* what) {
    MsHostCall call{};
    watched = object;
    watchedFrees = 0;
    MsHostCallVirtual(static_cast<ScriptThread*>(object), 4, 1, &flags, &call);
    watched = nullptr;
    char seen[128];
    std::snprintf(seen, sizeof seen, " (returned 0x%08X, stack left by %d, destroyed %p, freed %d)",
                  call.eax, call.stackLeftBy, static_cast<void*>(log.destroyed), watchedFrees);
    Check(call.eax == reinterpret_cast<uintptr_t>(object) && call.stackLeftBy == 0 &&
              log.destroyed == object && watchedFrees == frees,
          what + std::string(seen));
  };
  std::memcpy(copy, thread, size);
  destroy(copy, 0, 0,
          "slot 4 with flags 0 destroys, frees nothing, pops its argument, returns this");
  void* heapCopy = std::malloc(size);
  std::memcpy(heapCopy, thread, size);
  destroy(heapCopy, 1, 1,
          "slot 4 with flags 1 destroys and frees, pops its argument, returns this");

  Phase("unloading the module");
  uint32_t destructions = log.destructions;
  Check(FreeLibrary(module) != FALSE, "FreeLibrary unloads the module");
  Check(
      log.destructions == destructions + 1 && log.destroyed == thread && log.registered == nullptr,
      "unloading destroys the registered thread");

  DeleteFileA("Quorvat.ini");
  SetCurrentDirectoryA(temp);
  RemoveDirectoryA(folder.c_str());
  if (failures == 0) std::printf("microsoft_host_test: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
