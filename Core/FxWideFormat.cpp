// The 16-bit printf-style formatter. The C library's wide formatter works on
// the platform's wchar_t, which is 32 bits on POSIX, so wide formats are
// parsed here; numbers are still rendered by the narrow snprintf (their
// digits are ASCII) and then widened.
#include <cstdio>
#include <cstring>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

namespace {

constexpr int32_t cMaxFloatPrecision = 3900;
constexpr int32_t cMaxIntPrecision = 4096;
constexpr size_t cNumberBuffer = 4400;

struct sSink {
  wchar16* mOut;
  uint32_t mCapacity;
  uint32_t mCount;
  bool mCut;

  void Put(wchar16 unit) {
    if (mCount < mCapacity)
      mOut[mCount++] = unit;
    else
      mCut = true;
  }
  void Repeat(wchar16 unit, int32_t times) {
    for (int32_t i = 0; i < times && !mCut; ++i) Put(unit);
  }
};

struct sConversion {
  bool mLeft = false;
  bool mPlus = false;
  bool mSpace = false;
  bool mAlternate = false;
  bool mZero = false;
  int32_t mWidth = 0;
  int32_t mPrecision = -1;  // -1: none given
};

enum eLength { eLengthNone, eLengthHH, eLengthH, eLengthL, eLengthLL, eLengthBigL, eLengthZ, eLengthJ, eLengthT };

bool IsDigit(wchar16 c) { return c >= u'0' && c <= u'9'; }

int32_t ReadNumber(const wchar16*& p) {
  int32_t value = 0;
  while (IsDigit(*p)) {
    if (value < 100000000) value = value * 10 + (*p - u'0');
    ++p;
  }
  return value;
}

// Text of known length with width and precision (precision limits the
// characters taken).
template <typename tChar>
void PutText(sSink& sink, const sConversion& conv, const tChar* text) {
  static const char cNull[] = "(null)";
  if (!text) {
    PutText(sink, conv, cNull);
    return;
  }
  int32_t length = 0;
  while (text[length] && (conv.mPrecision < 0 || length < conv.mPrecision)) ++length;
  int32_t pad = conv.mWidth > length ? conv.mWidth - length : 0;
  if (!conv.mLeft) sink.Repeat(u' ', pad);
  for (int32_t i = 0; i < length && !sink.mCut; ++i) {
    if constexpr (sizeof(tChar) == 1)
      sink.Put(FxConvertChar<wchar16>(text[i]));
    else
      sink.Put(static_cast<wchar16>(text[i]));
  }
  if (conv.mLeft) sink.Repeat(u' ', pad);
}

void PutUnit(sSink& sink, const sConversion& conv, wchar16 unit) {
  int32_t pad = conv.mWidth > 1 ? conv.mWidth - 1 : 0;
  if (!conv.mLeft) sink.Repeat(u' ', pad);
  sink.Put(unit);
  if (conv.mLeft) sink.Repeat(u' ', pad);
}

// Digits and signs from the narrow formatter are ASCII.
void PutAscii(sSink& sink, const char* text, int32_t from, int32_t to) {
  for (int32_t i = from; i < to; ++i) sink.Put(static_cast<wchar16>(static_cast<unsigned char>(text[i])));
}

// A number already rendered without width; pads to the width, with zeros
// after the sign and radix prefix when the 0 flag asks for them.
void PutNumber(sSink& sink, const sConversion& conv, const char* digits, bool zeroPadAllowed) {
  int32_t length = static_cast<int32_t>(std::strlen(digits));
  int32_t pad = conv.mWidth > length ? conv.mWidth - length : 0;
  bool zeros = !conv.mLeft && conv.mZero && zeroPadAllowed;
  int32_t prefix = 0;
  if (zeros) {
    if (digits[0] == '-' || digits[0] == '+' || digits[0] == ' ') prefix = 1;
    if (digits[prefix] == '0' && (digits[prefix + 1] == 'x' || digits[prefix + 1] == 'X')) prefix += 2;
  }
  if (!conv.mLeft && !zeros) sink.Repeat(u' ', pad);
  PutAscii(sink, digits, 0, prefix);
  if (zeros) sink.Repeat(u'0', pad);
  PutAscii(sink, digits, prefix, length);
  if (conv.mLeft) sink.Repeat(u' ', pad);
}

// The narrow format of one conversion without width: "%" flags precision length conv.
void BuildNarrowFormat(char* out, const sConversion& conv, const char* length, char conversion, int32_t maxPrecision) {
  char* p = out;
  *p++ = '%';
  if (conv.mLeft) *p++ = '-';
  if (conv.mPlus) *p++ = '+';
  if (conv.mSpace) *p++ = ' ';
  if (conv.mAlternate) *p++ = '#';
  if (conv.mPrecision >= 0) {
    int32_t precision = conv.mPrecision < maxPrecision ? conv.mPrecision : maxPrecision;
    p += std::snprintf(p, 16, ".%d", static_cast<int>(precision));
  }
  while (*length) *p++ = *length++;
  *p++ = conversion;
  *p = 0;
}

}  // namespace

int32_t FxWFormatV(wchar16* out, uint32_t capacity, const wchar16* format, va_list args) {
  sSink sink{out, capacity, 0, false};
  va_list ap;
  va_copy(ap, args);
  char number[cNumberBuffer];
  char narrowFormat[48];

  for (const wchar16* p = format ? format : u""; *p && !sink.mCut;) {
    if (*p != u'%') {
      sink.Put(*p++);
      continue;
    }
    const wchar16* start = p++;
    sConversion conv;
    for (;; ++p) {
      if (*p == u'-') conv.mLeft = true;
      else if (*p == u'+') conv.mPlus = true;
      else if (*p == u' ') conv.mSpace = true;
      else if (*p == u'#') conv.mAlternate = true;
      else if (*p == u'0') conv.mZero = true;
      else break;
    }
    if (*p == u'*') {
      ++p;
      int width = va_arg(ap, int);
      if (width < 0) {
        conv.mLeft = true;
        width = width == -2147483647 - 1 ? 2147483647 : -width;
      }
      conv.mWidth = width;
    } else {
      conv.mWidth = ReadNumber(p);
    }
    if (*p == u'.') {
      ++p;
      if (*p == u'*') {
        ++p;
        int precision = va_arg(ap, int);
        conv.mPrecision = precision < 0 ? -1 : precision;
      } else {
        conv.mPrecision = ReadNumber(p);
      }
    }

    eLength length = eLengthNone;
    bool wideFlag = false;  // 'w' or 'l' on s/c
    if (*p == u'h') {
      ++p;
      length = eLengthH;
      if (*p == u'h') {
        ++p;
        length = eLengthHH;
      }
    } else if (*p == u'l') {
      ++p;
      length = eLengthL;
      wideFlag = true;
      if (*p == u'l') {
        ++p;
        length = eLengthLL;
      }
    } else if (*p == u'L') {
      ++p;
      length = eLengthBigL;
    } else if (*p == u'z') {
      ++p;
      length = eLengthZ;
    } else if (*p == u'j') {
      ++p;
      length = eLengthJ;
    } else if (*p == u't') {
      ++p;
      length = eLengthT;
    } else if (*p == u'w') {
      ++p;
      wideFlag = true;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      p += 3;
      length = eLengthLL;
    } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
      p += 3;
    }

    wchar16 conversion = *p;
    if (conversion == 0) {
      // A lone '%' at the end: copy what was there.
      for (const wchar16* q = start; q < p; ++q) sink.Put(*q);
      break;
    }
    ++p;

    switch (conversion) {
      case u'%':
        sink.Put(u'%');
        break;
      case u's':
        if (length == eLengthH)
          PutText(sink, conv, va_arg(ap, const char*));
        else
          PutText(sink, conv, va_arg(ap, const wchar16*));
        break;
      case u'S':
        if (wideFlag)
          PutText(sink, conv, va_arg(ap, const wchar16*));
        else
          PutText(sink, conv, va_arg(ap, const char*));
        break;
      case u'c': {
        int value = va_arg(ap, int);
        if (length == eLengthH)
          PutUnit(sink, conv, FxConvertChar<wchar16>(static_cast<char>(value)));
        else
          PutUnit(sink, conv, static_cast<wchar16>(value));
        break;
      }
      case u'C': {
        int value = va_arg(ap, int);
        if (wideFlag)
          PutUnit(sink, conv, static_cast<wchar16>(value));
        else
          PutUnit(sink, conv, FxConvertChar<wchar16>(static_cast<char>(value)));
        break;
      }
      case u'd':
      case u'i':
      case u'u':
      case u'o':
      case u'x':
      case u'X': {
        bool isSigned = conversion == u'd' || conversion == u'i';
        char narrowConversion = static_cast<char>(conversion);
        BuildNarrowFormat(narrowFormat, conv, "ll", narrowConversion, cMaxIntPrecision);
        // Every length reads its own type and is then rendered as 64-bit.
        if (isSigned) {
          long long value;
          switch (length) {
            case eLengthHH: value = static_cast<signed char>(va_arg(ap, int)); break;
            case eLengthH: value = static_cast<short>(va_arg(ap, int)); break;
            case eLengthL: value = va_arg(ap, long); break;
            case eLengthLL: value = va_arg(ap, long long); break;
            case eLengthZ: value = static_cast<long long>(va_arg(ap, ptrdiff_t)); break;
            case eLengthJ: value = static_cast<long long>(va_arg(ap, intmax_t)); break;
            case eLengthT: value = static_cast<long long>(va_arg(ap, ptrdiff_t)); break;
            default: value = va_arg(ap, int); break;
          }
          std::snprintf(number, sizeof number, narrowFormat, value);
        } else {
          unsigned long long value;
          switch (length) {
            case eLengthHH: value = static_cast<unsigned char>(va_arg(ap, unsigned)); break;
            case eLengthH: value = static_cast<unsigned short>(va_arg(ap, unsigned)); break;
            case eLengthL: value = va_arg(ap, unsigned long); break;
            case eLengthLL: value = va_arg(ap, unsigned long long); break;
            case eLengthZ: value = va_arg(ap, size_t); break;
            case eLengthJ: value = static_cast<unsigned long long>(va_arg(ap, uintmax_t)); break;
            case eLengthT: value = static_cast<unsigned long long>(va_arg(ap, ptrdiff_t)); break;
            default: value = va_arg(ap, unsigned); break;
          }
          std::snprintf(number, sizeof number, narrowFormat, value);
        }
        PutNumber(sink, conv, number, conv.mPrecision < 0);
        break;
      }
      case u'p': {
        std::snprintf(number, sizeof number, "%p", va_arg(ap, void*));
        PutNumber(sink, conv, number, false);
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        char narrowConversion = static_cast<char>(conversion);
        double finite = 0;
        if (length == eLengthBigL) {
          BuildNarrowFormat(narrowFormat, conv, "L", narrowConversion, cMaxFloatPrecision);
          long double value = va_arg(ap, long double);
          finite = static_cast<double>(value - value);
          std::snprintf(number, sizeof number, narrowFormat, value);
        } else {
          BuildNarrowFormat(narrowFormat, conv, "", narrowConversion, cMaxFloatPrecision);
          double value = va_arg(ap, double);
          finite = value - value;  // 0 for finite values, NaN otherwise
          std::snprintf(number, sizeof number, narrowFormat, value);
        }
        PutNumber(sink, conv, number, finite == 0);
        break;
      }
      case u'n':
        (void)va_arg(ap, void*);
        break;
      default:
        for (const wchar16* q = start; q < p; ++q) sink.Put(*q);
        break;
    }
  }
  va_end(ap);

  if (sink.mCut) return -1;
  if (sink.mCount < capacity) out[sink.mCount] = 0;
  return static_cast<int32_t>(sink.mCount);
}
