// The settings-file reader over arbitrary file contents, sections and keys.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "ProfileReader.h"

namespace {
std::u16string Widen(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// One of the names the module asks for, or any.
std::u16string Name(FuzzedDataProvider& in, std::initializer_list<const char*> usual) {
  const uint8_t pick = in.ConsumeIntegral<uint8_t>();
  if ((pick & 1) != 0) return Widen(usual.begin()[(pick >> 1) % usual.size()]);
  return Widen(in.ConsumeRandomLengthString(16));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::u16string section = Name(in, {"Settings", "Keys", "Overlay", "Pad"});
  const std::u16string key =
      Name(in, {"RecSize", "RecSeconds", "Hold", "EnableKey", "Seconds", "ToggleButtons"});
  const int32_t defaultValue = in.ConsumeIntegral<int32_t>();
  const std::string contents = in.ConsumeRemainingBytesAsString();

  const uint32_t value = ProfileIntFromText(contents, section, key, defaultValue);
  // The reader keeps no state: the same question gets the same answer.
  if (ProfileIntFromText(contents, section, key, defaultValue) != value) std::abort();
  // Without an '=' there is no key, so the default is all it can answer.
  if (contents.find('=') == std::string::npos && value != static_cast<uint32_t>(defaultValue)) {
    std::abort();
  }
  return 0;
}
