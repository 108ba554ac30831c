// The game's end of the stream to the screen, quorvat-screen: the 64-bit
// program beside this one that draws the demo's pictures and owns the play
// window. The stream itself is described in stream/ScreenStream.h.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stream/ScreenStream.h"

// The screen program beside this one. Throws RunError, saying how to build
// it, when it isn't there.
std::string ScreenProgramPath();

class ScreenLink {
 public:
  // Starts the screen program with `args`. Throws RunError.
  explicit ScreenLink(const std::vector<std::string>& args);
  // Closes the stream and waits a moment for the screen to end; one that
  // doesn't is killed.
  ~ScreenLink();
  ScreenLink(const ScreenLink&) = delete;
  ScreenLink& operator=(const ScreenLink&) = delete;

  // Throws RunError when the screen has gone.
  void Send(uint32_t kind, const std::string& body);
  // The body of the next message, which must be of `kind`. Throws RunError
  // when the screen has gone, sends something else, or has not answered
  // within `timeoutMs`.
  std::string Receive(uint32_t kind, int timeoutMs);

 private:
  [[noreturn]] void Broken(const std::string& what);
  [[noreturn]] void Lost();
  void ReadFully(void* to, size_t count, int timeoutMs);
  void Close();

  std::string program_;
  int fd_ = -1;
  pid_t pid_ = -1;
};

template <typename Record>
void Append(std::string& body, const Record& record) {
  body.append(reinterpret_cast<const char*>(&record), sizeof record);
}
