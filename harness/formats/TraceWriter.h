// The trace: JSON Lines, one object per thing the module asked of the host,
// the game or the operating system. Lines are built in a buffer and written
// out in large blocks; the run's speed depends on it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

struct QuorvatSnapshot;

class TraceWriter {
 public:
  // Writes to `file` (not owned); null keeps everything in memory (Text()).
  explicit TraceWriter(std::FILE* file);
  ~TraceWriter();
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  // The frame that the next lines carry: -1 while the module loads.
  void SetFrame(int64_t frame) { frame_ = frame; }
  int64_t Frame() const { return frame_; }
  // While muted nothing is written: a run that has failed records no more.
  void Mute() { muted_ = true; }
  bool Muted() const { return muted_; }

  // A line is BeginLine, fields, EndLine. Fields after the first start with
  // a comma, which the Key* helpers write.
  void BeginLine();
  void EndLine();
  void Key(std::string_view name);  // ,"name":
  void Raw(std::string_view text) { buffer_.append(text); }
  void Int(int64_t value);
  void Unsigned(uint64_t value);
  void Float(float value);
  void Bool(bool value) { buffer_.append(value ? "true" : "false"); }
  void Null() { buffer_.append("null"); }
  void String(std::string_view utf8);
  void String16(std::u16string_view text);

  void EndLineOf(const QuorvatSnapshot& state);

  // Hands what is buffered to the file. False when the file reported an error.
  bool Flush();
  const std::string& Text() const { return buffer_; }

 private:
  bool ShortDyadic(float value);

  std::FILE* file_;
  std::string buffer_;
  size_t lineStart_ = 0;
  int64_t frame_ = -1;
  bool muted_ = false;
  bool failed_ = false;
};

// The shortest text of at most 9 significant digits that gives back the
// float, written the same on every platform; "nan", "inf", "-inf" quoted.
std::string FormatTraceFloat(float value);
