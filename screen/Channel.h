// The screen's end of the stream (stream/ScreenStream.h): whole messages in
// and out over one descriptor.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "stream/ScreenStream.h"

// The game's process is gone or sent what no game would.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Message {
  uint32_t kind = 0;
  std::string body;
};

// Waits for the next message; false when the game has closed its end
// between messages. Throws StreamError for a broken or malformed one.
bool ReadMessage(int fd, Message& message);
// Throws StreamError when the game's end is closed.
void WriteMessage(int fd, uint32_t kind, const std::string& body);

// Takes the records of a body in order. Throws StreamError when the body
// ends before what it announces.
class BodyReader {
 public:
  explicit BodyReader(const std::string& body) : body_(body) {}

  template <typename Record>
  Record Take() {
    Record record;
    TakeBytes(&record, sizeof record);
    return record;
  }
  std::string TakeText(uint32_t length);
  bool AtEnd() const { return at_ == body_.size(); }

 private:
  void TakeBytes(void* to, size_t count);

  const std::string& body_;
  size_t at_ = 0;
};

template <typename Record>
void Append(std::string& body, const Record& record) {
  body.append(reinterpret_cast<const char*>(&record), sizeof record);
}
