#include "TraceWriter.h"

#include <charconv>
#include <cmath>

#include "state/Snapshot.h"

namespace {
constexpr size_t kFlushAt = 1 << 16;
}

TraceWriter::TraceWriter(std::FILE* file) : file_(file) {
  buffer_.reserve(file_ != nullptr ? kFlushAt + 4096 : 4096);
}

TraceWriter::~TraceWriter() {
  Flush();
}

void TraceWriter::BeginLine() {
  lineStart_ = buffer_.size();
  buffer_.append("{\"frame\":");
  Int(frame_);
}

void TraceWriter::EndLine() {
  if (muted_) {
    buffer_.resize(lineStart_);
    return;
  }
  buffer_.append("}\n");
  if (file_ != nullptr && buffer_.size() >= kFlushAt) Flush();
}

void TraceWriter::Key(std::string_view name) {
  buffer_.push_back(',');
  buffer_.push_back('"');
  buffer_.append(name);
  buffer_.append("\":");
}

void TraceWriter::Int(int64_t value) {
  char text[24];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  buffer_.append(text, end);
}

void TraceWriter::Unsigned(uint64_t value) {
  char text[24];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  buffer_.append(text, end);
}

void TraceWriter::Float(float value) {
  if (std::isnan(value)) {
    buffer_.append("\"nan\"");
  } else if (std::isinf(value)) {
    buffer_.append(value > 0 ? "\"inf\"" : "\"-inf\"");
  } else {
    char text[32];
    // Through double: to_chars of a float with a precision goes by the
    // float's own shortest form on some runtimes; the double's digits are
    // the same everywhere.
    auto end = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                             std::chars_format::general, 9)
                   .ptr;
    buffer_.append(text, end);
  }
}

void TraceWriter::String(std::string_view utf8) {
  static const char kHex[] = "0123456789abcdef";
  buffer_.push_back('"');
  for (char c : utf8) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        buffer_.append("\\\"");
        break;
      case '\\':
        buffer_.append("\\\\");
        break;
      case '\n':
        buffer_.append("\\n");
        break;
      case '\r':
        buffer_.append("\\r");
        break;
      case '\t':
        buffer_.append("\\t");
        break;
      default:
        if (byte < 0x20 || byte >= 0x7F) {
          // Control characters and every byte beyond ASCII are written as
          // code points of the same value, so that any bytes make valid JSON.
          buffer_.append("\\u00");
          buffer_.push_back(kHex[byte >> 4]);
          buffer_.push_back(kHex[byte & 15]);
        } else {
          buffer_.push_back(c);
        }
    }
  }
  buffer_.push_back('"');
}

void TraceWriter::String16(std::u16string_view text) {
  static const char kHex[] = "0123456789abcdef";
  buffer_.push_back('"');
  for (char16_t unit : text) {
    if (unit == u'"') {
      buffer_.append("\\\"");
    } else if (unit == u'\\') {
      buffer_.append("\\\\");
    } else if (unit >= 0x20 && unit < 0x7F) {
      buffer_.push_back(static_cast<char>(unit));
    } else {
      // One escape per UTF-16 unit: surrogate pairs stay pairs, as JSON has it.
      buffer_.append("\\u");
      for (int shift = 12; shift >= 0; shift -= 4) buffer_.push_back(kHex[(unit >> shift) & 15]);
    }
  }
  buffer_.push_back('"');
}

void TraceWriter::EndLineOf(const QuorvatSnapshot& s) {
  BeginLine();
  Raw(",\"end\":true,\"state\":{\"rewinding\":");
  Int(s.rewinding);
  Raw(",\"playIndex\":");
  Int(s.playIndex);
  Raw(",\"playLength\":");
  Int(s.playLength);
  Raw(",\"timeScaleRamp\":");
  Float(s.timeScaleRamp);
  Raw(",\"letterboxHeight\":");
  Float(s.letterboxHeight);
  Raw(",\"settleFrames\":");
  Int(s.settleFrames);
  Raw(",\"cursorIdleFrames\":");
  Int(s.cursorIdleFrames);
  Raw(",\"frameCount\":");
  Int(s.frameCount);
  Raw(",\"recSize\":");
  Unsigned(s.recSize);
  Raw(",\"pushMode\":");
  Int(s.pushMode);
  Raw(",\"enableKey\":");
  Int(s.enableKey);
  Raw(",\"charValue\":");
  Unsigned(s.charValue);
  Raw(",\"buildStamp\":");
  Float(s.buildStamp);
  Raw(",\"sampleCount\":");
  Unsigned(s.sampleCount);
  Raw("}");
  EndLine();
}

bool TraceWriter::Flush() {
  if (file_ == nullptr) return !failed_;
  if (!buffer_.empty()) {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
    buffer_.clear();
  }
  if (std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}

std::string FormatTraceFloat(float value) {
  TraceWriter writer(nullptr);
  writer.Float(value);
  return writer.Text();
}
