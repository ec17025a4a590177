#include "bridge/Utf8.h"

#include "API/core/FxUtf8.h"

namespace {
constexpr char32_t cReplacement = 0xFFFD;

// Converts, answering false at the first lone surrogate unless `replace`.
bool Convert(const std::u16string& text, std::string& out, bool replace) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t point = FxReadUtf16(text.data(), text.size(), i);
    if (FxIsSurrogate(point)) {
      if (!replace) return false;
      point = cReplacement;
    }
    FxAppendUtf8(point, out);
  }
  return true;
}
}  // namespace

bool Utf16ToUtf8(const std::u16string& text, std::string& out) { return Convert(text, out, false); }

std::string Utf16ForDisplay(const std::u16string& text) {
  std::string out;
  Convert(text, out, true);
  return out;
}

bool Utf8ToUtf16(const std::string& text, std::u16string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t point;
    const size_t sequence = FxDecodeUtf8(text.data() + i, text.size() - i, point);
    if (sequence == 0) return false;
    FxAppendUtf16(point, out);
    i += sequence;
  }
  return true;
}

bool IsWhiteSpace(char32_t point) {
  if (point <= 0x20) return point == 0x20 || (point >= 0x09 && point <= 0x0D) || point >= 0x1C;
  if (point < 0x85) return false;
  return point == 0x85 || point == 0xA0 || point == 0x1680 || (point >= 0x2000 && point <= 0x200A) ||
         point == 0x2028 || point == 0x2029 || point == 0x202F || point == 0x205F || point == 0x3000;
}
