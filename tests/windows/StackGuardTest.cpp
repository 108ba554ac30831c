// The module's stack guard under the platform's loader, in a probe DLL built
// with the same guard, entry point and flags: seeded at load (not the value
// it starts with, never a zero upper half, another in each process), and an
// overrun ends the process at once with the stack cookie status, reaching no
// exception handler and running nothing after it.
//   stack_guard_test               runs the checks, starting itself as below
//   stack_guard_test guard         prints the probe's guard
//   stack_guard_test overrun       overruns the probe's buffer
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const uintptr_t kUnseeded = 0xBB40E64E;

LONG WINAPI Seen(EXCEPTION_POINTERS* exception) {
  std::printf("handler saw 0x%08lX\n", exception->ExceptionRecord->ExceptionCode);
  std::fflush(stdout);
  return EXCEPTION_CONTINUE_SEARCH;
}

int Child(const char* what) {
  HMODULE probe = LoadLibraryW(L"stack_guard_probe.dll");
  if (probe == nullptr) return 3;
  auto guard = reinterpret_cast<uintptr_t (*)()>(
      reinterpret_cast<void (*)()>(GetProcAddress(probe, "ProbeGuard")));
  auto copy = reinterpret_cast<int (*)(const char*)>(
      reinterpret_cast<void (*)()>(GetProcAddress(probe, "ProbeCopy")));
  if (std::strcmp(what, "guard") == 0) {
    std::printf("%08lx\n", static_cast<unsigned long>(guard()));
    return 0;
  }
  AddVectoredExceptionHandler(1, Seen);
  copy("far more than the eight bytes of the buffer");
  std::printf("the overrun returned\n");
  return 0;
}

// Runs this program with `what`; its exit status and what it printed.
DWORD Run(const char* self, const char* what, std::string& output) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read, write;
  CreatePipe(&read, &write, &inherit, 0);
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = write;
  start.hStdError = write;
  PROCESS_INFORMATION process;
  std::string command = std::string("\"") + self + "\" " + what;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                      &process)) {
    return 0xFFFFFFFF;
  }
  CloseHandle(write);
  char chunk[256];
  DWORD got;
  while (ReadFile(read, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(read);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return Child(argv[1]);
  int failures = 0;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) std::printf("FAILED: %s\n", what.c_str());
    failures += !ok;
  };
  std::string first, second;
  check(Run(argv[0], "guard", first) == 0 && Run(argv[0], "guard", second) == 0,
        "the probe did not load");
  first = first.substr(0, first.find_first_of("\r\n"));
  second = second.substr(0, second.find_first_of("\r\n"));
  const uintptr_t guard = std::strtoul(first.c_str(), nullptr, 16);
  check(guard != kUnseeded, "the guard was not seeded at load: " + first);
  check((guard & 0xFFFF0000u) != 0, "the guard's upper half is 0: " + first);
  check(first != second, "two processes got the same guard: " + first);
  std::string output;
  const DWORD status = Run(argv[0], "overrun", output);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(status));
  check(status == STATUS_STACK_BUFFER_OVERRUN, std::string("an overrun ended the process with ") +
                                                   hex + ", not the stack cookie failure's");
  check(output.empty(), "after the overrun: " + output);
  if (failures == 0) std::printf("guard %s seeded, an overrun ends the process\n", first.c_str());
  return failures == 0 ? 0 : 1;
}
