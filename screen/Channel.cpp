#include "Channel.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// False when the other end closed before the first byte.
bool ReadFully(int fd, void* to, size_t count) {
  char* at = static_cast<char*>(to);
  size_t got = 0;
  while (got < count) {
    ssize_t n = read(fd, at + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw StreamError(std::string("reading the game's stream: ") + std::strerror(errno));
    if (n == 0) {
      if (got == 0) return false;
      throw StreamError("the game's stream ended inside a message");
    }
    got += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool ReadMessage(int fd, Message& message) {
  MessageHead head{};
  if (!ReadFully(fd, &head, sizeof head)) return false;
  if (head.bytes > kMaxMessageBytes) {
    throw StreamError("a message of " + std::to_string(head.bytes) + " bytes on the game's stream");
  }
  message.kind = head.kind;
  message.body.resize(head.bytes);
  if (head.bytes > 0 && !ReadFully(fd, message.body.data(), head.bytes)) {
    throw StreamError("the game's stream ended inside a message");
  }
  return true;
}

void WriteMessage(int fd, uint32_t kind, const std::string& body) {
  std::string all;
  Append(all, MessageHead{kind, static_cast<uint32_t>(body.size())});
  all += body;
  size_t sent = 0;
  while (sent < all.size()) {
    // A closed end is an error to report, not a signal that ends the window.
    ssize_t n = send(fd, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw StreamError(std::string("writing to the game: ") + std::strerror(errno));
    sent += static_cast<size_t>(n);
  }
}

std::string BodyReader::TakeText(uint32_t length) {
  if (length > body_.size() - at_) throw StreamError("a text runs past the end of its message");
  std::string text = body_.substr(at_, length);
  at_ += length;
  return text;
}

void BodyReader::TakeBytes(void* to, size_t count) {
  if (count > body_.size() - at_) throw StreamError("a message ends before its records do");
  std::memcpy(to, body_.data() + at_, count);
  at_ += count;
}
