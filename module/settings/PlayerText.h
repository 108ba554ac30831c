// The pieces of text a player reads, shared by the start-up hint, the
// seconds label and the support log: key and button names, seconds in
// tenths and the system's paths, appended to a fixed buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

// Appends to a caller's buffer, always NUL-terminated, dropping what
// doesn't fit rather than writing past it.
struct TextBuffer {
  char* bytes;
  std::size_t capacity;  // counting the NUL
  std::size_t length = 0;

  TextBuffer(char* buffer, std::size_t size) : bytes(buffer), capacity(size) {
    if (capacity != 0) bytes[0] = '\0';
  }
  void Add(const char* text);
  void Add(char c);
  void AddSigned(int64_t value);
  void AddUnsigned(uint64_t value);
};

// "F7", "R", "5", or "key 36" for any other code.
void AddKeyName(TextBuffer& text, int32_t key);
// The buttons of an XInput mask from the lowest bit up, joined by '+'
// ("Start+Back"); nothing for 0.
void AddButtonNames(TextBuffer& text, uint16_t mask);
// Milliseconds as seconds in tenths, halves rounded up, in integers ("1.5"
// for 1450 to 1549): the runtimes' float formatting rounds halves
// differently on Windows and Linux.
void AddTenths(TextBuffer& text, uint64_t milliseconds);
// UTF-16 from the system as UTF-8, a pair of surrogates as one character
// and a surrogate without its other half as U+FFFD.
void AddUtf16(TextBuffer& text, const WCHAR* wide, std::size_t length);
