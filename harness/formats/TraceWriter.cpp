#include "formats/TraceWriter.h"

#include <charconv>
#include <cmath>

#include "host/Snapshot.h"

namespace {
constexpr size_t kFlushAt = 1 << 16;
}

// Most floats in a trace are small multiples of a power of two (0, 1, -1,
// 0.5, 255, 10.25): their exact decimal value has at most 9 significant
// digits, so the 9-digit form is that value without trailing zeros. Writing
// it directly skips the general conversion, which dominates the cost of a
// trace. Anything else is left to to_chars.
bool TraceWriter::ShortDyadic(float value) {
  static const int64_t kFivePowers[] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125};
  float magnitude = value < 0 ? -value : value;
  if (!(magnitude < 1e9f)) return false;
  for (int k = 0; k <= 9; ++k) {
    float scaled = magnitude * static_cast<float>(1 << k);  // exact: a power of two
    if (scaled >= 2147483648.0f) return false;
    auto whole = static_cast<int64_t>(scaled);
    if (static_cast<float>(whole) != scaled) continue;
    // magnitude == whole / 2^k == whole * 5^k / 10^k exactly.
    int64_t digits = whole * kFivePowers[k];
    int fraction = k;
    while (fraction > 0 && digits % 10 == 0) {
      digits /= 10;
      --fraction;
    }
    char text[24];
    char* end = std::to_chars(text, text + sizeof text, digits).ptr;
    int length = static_cast<int>(end - text);
    // Leading zeros of a pure fraction are not significant.
    if (length > 9) return false;
    if (std::signbit(value)) buffer_.push_back('-');
    if (fraction == 0) {
      buffer_.append(text, end);
    } else if (length > fraction) {
      buffer_.append(text, end - fraction);
      buffer_.push_back('.');
      buffer_.append(end - fraction, end);
    } else {
      buffer_.append("0.");
      buffer_.append(static_cast<size_t>(fraction - length), '0');
      buffer_.append(text, end);
    }
    return true;
  }
  return false;
}

TraceWriter::TraceWriter(std::FILE* file) : file_(file) {
  if (file_ != nullptr) buffer_.reserve(kFlushAt + 4096);
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
  } else if (!ShortDyadic(value)) {
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
