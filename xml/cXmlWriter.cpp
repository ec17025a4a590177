// The writer's layout rules live in the flags: a start tag stays open until
// something follows it (so an element without content can still become
// "/>"), and a line end is owed after any written name or escape, paid
// before the next start tag or after the next end tag. Text gets no line
// end or indentation of its own, so texts round-trip unchanged.
#include "xml/cXmlWriter.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "API/core/FxUtf8.h"
#include "API/core/cFxString.h"
#include "xml/cFxFile.h"

namespace {

// Bytes of one writer call that the stream's buffer cannot take at once
// (a call longer than the most asked for at once, or a stream without a
// buffer of some size): put into the write buffer a piece at a time, each
// piece asking for room for its longest form once and then filled without
// a check per byte; without a buffer, gathered locally and written in as
// few Write calls as possible.
class cByteRun {
 public:
  // The most room asked for at once.
  static constexpr uint32_t cMostRoom = 1024;

  explicit cByteRun(cFxFile* stream) : mStream(stream) { Begin(cLeastRoom); }
  ~cByteRun() { End(); }
  cByteRun(const cByteRun&) = delete;
  cByteRun& operator=(const cByteRun&) = delete;

  // Where `count` bytes (at most cMostRoom) may go one after another;
  // Advance names the end of those written.
  uint8_t* Room(uint32_t count) {
    if (static_cast<uint32_t>(mEnd - mNext) < count) {
      End();
      Begin(count);
    }
    return mNext;
  }
  void Advance(uint8_t* next) { mNext = next; }

 private:
  // Room asked of the stream's buffer at least: a tag or a short text.
  static constexpr uint32_t cLeastRoom = 64;

  void Begin(uint32_t least) {
    uint32_t room = 0;
    uint8_t* space =
        mStream != nullptr ? mStream->GetWriteSpace(least > cLeastRoom ? least : cLeastRoom, room) : nullptr;
    mDirect = space != nullptr;
    mNext = mDirect ? space : mLocal;
    mEnd = mDirect ? space + room : mLocal + sizeof mLocal;
  }
  // A failed write needs no answer here: the stream remembers it for the
  // one who closes it.
  void End() {
    if (mDirect) {
      mStream->CommitWriteSpace(mNext);
    } else if (mNext != mLocal && mStream != nullptr) {
      mStream->Write(mLocal, static_cast<int>(mNext - mLocal));
    }
  }

  cFxFile* mStream;
  bool mDirect = false;
  uint8_t* mNext = nullptr;
  uint8_t* mEnd = nullptr;
  uint8_t mLocal[cMostRoom];
};

const wchar16* const kEmpty = u"";
inline const wchar16* OrEmpty(const wchar16* text) { return text ? text : kEmpty; }

// The five characters that may not appear as themselves, all below 64:
// one bit each.
constexpr uint64_t kEscapedUnits =
    (1ull << '&') | (1ull << '<') | (1ull << '>') | (1ull << '"') | (1ull << '\'');
constexpr bool NeedsEscape(wchar16 unit) { return unit < 64 && ((kEscapedUnits >> unit) & 1) != 0; }

// Whether a unit is written as the one byte it is: ASCII that needs no
// escape. One entry per ASCII unit, so the test is one look-up.
struct sPlainUnits {
  bool mPlain[0x80];
  constexpr sPlainUnits() : mPlain() {
    for (wchar16 unit = 0; unit < 0x80; ++unit) mPlain[unit] = !NeedsEscape(unit);
  }
};
constexpr sPlainUnits kPlainUnits;
inline bool IsPlainUnit(wchar16 unit) { return unit < 0x80 && kPlainUnits.mPlain[unit]; }

// The escape of a character that needs one.
inline const char* EscapeOf(wchar16 unit) {
  switch (unit) {
    case u'&': return "&amp;";
    case u'<': return "&lt;";
    case u'>': return "&gt;";
    case u'"': return "&quot;";
    default: return "&apos;";
  }
}

// The most bytes one unit of a text can take: the escape "&quot;".
constexpr uint32_t cLongestUnitBytes = 6;
// Units written between two asks for room.
constexpr uint32_t cStretchUnits = cByteRun::cMostRoom / cLongestUnitBytes;

// `count` units of a text at `out`, the five characters escaped; answers
// the end and sets `escaped` when an escape was written. Texts are mostly
// plain ASCII, so where the processor allows eight units that need neither
// an escape nor more than a byte go out at a time.
inline uint8_t* PutEscaped(uint8_t* out, const wchar16* text, uint32_t count, bool& escaped) {
  uint32_t i = 0;
  while (i < count) {
#if defined(__SSE2__)
    while (count - i >= 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      __m128i stops = _mm_cmpeq_epi16(units, _mm_set1_epi16('&'));
      stops = _mm_or_si128(stops, _mm_cmpeq_epi16(units, _mm_set1_epi16('<')));
      stops = _mm_or_si128(stops, _mm_cmpeq_epi16(units, _mm_set1_epi16('>')));
      stops = _mm_or_si128(stops, _mm_cmpeq_epi16(units, _mm_set1_epi16('"')));
      stops = _mm_or_si128(stops, _mm_cmpeq_epi16(units, _mm_set1_epi16('\'')));
      // Units from 0x80 up have a bit of 0xFF80 set.
      const __m128i high = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
      stops = _mm_or_si128(stops, _mm_xor_si128(_mm_cmpeq_epi16(high, _mm_setzero_si128()), _mm_set1_epi8(-1)));
      // All eight are written as bytes; only the plain ones are kept.
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
      const uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(stops));
      const uint32_t plain = mask == 0 ? 8 : static_cast<uint32_t>(__builtin_ctz(mask)) / 2;
      out += plain;
      i += plain;
      if (plain != 8) break;
    }
#endif
    // The units the groups leave (a short text, the end of a longer one, or
    // those after a unit that stops a group) go a unit at a time while
    // they are plain.
    while (i < count && IsPlainUnit(text[i])) *out++ = static_cast<uint8_t>(text[i++]);
    if (i == count) break;
    const wchar16 unit = text[i++];
    if (NeedsEscape(unit)) {
      for (const char* escape = EscapeOf(unit); *escape; ++escape) *out++ = static_cast<uint8_t>(*escape);
      escaped = true;
    } else {
      out = FxPutUtf8Unit(out, unit);
    }
  }
  return out;
}

#if defined(__SSE2__)
// Whether the units loaded are all ASCII: none has a bit of 0xFF80 set.
inline bool AllAscii(__m128i units) {
  const __m128i high = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
}
#endif

// `count` units of a name (nearly always ASCII) at `out`, which has room
// for three bytes a unit; answers the end. Where the processor allows, an
// ASCII name goes out in groups of eight units, or of four when shorter,
// the last group ending at the name's end and overlapping the one before:
// an ASCII unit is one byte wherever it is written from, so the overlap
// writes the same bytes twice. A group with other units goes unit by unit.
inline uint8_t* PutUnits(uint8_t* out, const wchar16* units, uint32_t count) {
  uint32_t i = 0;
#if defined(__SSE2__)
  if (count >= 8) {
    for (;;) {
      const uint32_t at = count - i >= 8 ? i : count - 8;
      const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + at));
      if (!AllAscii(eight)) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + at), _mm_packus_epi16(eight, eight));
      if (at + 8 == count) return out + count;
      i = at + 8;
    }
  } else if (count >= 4) {
    const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(units));
    const __m128i last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(units + count - 4));
    if (AllAscii(_mm_unpacklo_epi64(first, last))) {
      const int firstBytes = _mm_cvtsi128_si32(_mm_packus_epi16(first, first));
      const int lastBytes = _mm_cvtsi128_si32(_mm_packus_epi16(last, last));
      std::memcpy(out, &firstBytes, 4);
      std::memcpy(out + count - 4, &lastBytes, 4);
      return out + count;
    }
  }
#endif
  // Every unit before `i` is ASCII and written, one byte each.
  for (out += i; i < count; ++i) out = FxPutUtf8Unit(out, units[i]);
  return out;
}

// Eight TABs at a time: `count` TABs at `out`, which has room for the next
// multiple of eight; answers the end.
inline uint8_t* PutTabs(uint8_t* out, uint32_t count) {
  constexpr uint64_t cEightTabs = 0x0909090909090909ull;
  for (uint32_t i = 0; i < count; i += 8) std::memcpy(out + i, &cEightTabs, 8);
  return out + count;
}

// The writer's output primitives over the byte run of the current call and
// the writer's pending-line-end flag, asking for room piece by piece: for a
// call whose longest form is more than is asked for at once.
struct sPieceOutput {
  cByteRun& mRun;
  uint8_t& mNewlinePending;

  // An ASCII character.
  void Char(char c) {
    uint8_t* out = mRun.Room(1);
    *out = static_cast<uint8_t>(c);
    mRun.Advance(out + 1);
  }
  // Any string, even an empty one, leaves a line end owed.
  void String(sXmlName text) {
    const wchar16* units = text.mUnits;
    uint32_t length = text.mLength;
    while (length != 0) {
      const uint32_t stretch = length < cStretchUnits ? length : cStretchUnits;
      mRun.Advance(PutUnits(mRun.Room(stretch * kFxUtf8::cMaxUnitBytes), units, stretch));
      units += stretch;
      length -= stretch;
    }
    mNewlinePending = 1;
  }
  void Escaped(const wchar16* text, uint32_t length) {
    bool escaped = false;
    while (length != 0) {
      const uint32_t stretch = length < cStretchUnits ? length : cStretchUnits;
      // Room for the longest form of every unit of the stretch, which also
      // covers the eight bytes written at a time for eight units.
      mRun.Advance(PutEscaped(mRun.Room(stretch * cLongestUnitBytes), text, stretch, escaped));
      text += stretch;
      length -= stretch;
    }
    // An escape is a written string: it leaves a line end owed.
    if (escaped) mNewlinePending = 1;
  }
  void Tabs(uint32_t count) {
    while (count != 0) {
      const uint32_t stretch = count < cByteRun::cMostRoom ? count : cByteRun::cMostRoom;
      mRun.Advance(PutTabs(mRun.Room((stretch + 7) & ~7u), stretch));
      count -= stretch;
    }
  }
  void LineEnd() {
    uint8_t* out = mRun.Room(2);
    out[0] = '\r';
    out[1] = '\n';
    mRun.Advance(out + 2);
  }
};

// The same primitives into room the stream's buffer gave for the whole
// call, which holds its longest form: no piece asks again. Nearly every
// call fits.
struct sRoomOutput {
  uint8_t* mOut;
  uint8_t& mNewlinePending;

  void Char(char c) { *mOut++ = static_cast<uint8_t>(c); }
  void String(sXmlName text) {
    mOut = PutUnits(mOut, text.mUnits, text.mLength);
    mNewlinePending = 1;
  }
  void Escaped(const wchar16* text, uint32_t length) {
    bool escaped = false;
    mOut = PutEscaped(mOut, text, length, escaped);
    if (escaped) mNewlinePending = 1;
  }
  void Tabs(uint32_t count) { mOut = PutTabs(mOut, count); }
  void LineEnd() {
    mOut[0] = '\r';
    mOut[1] = '\n';
    mOut += 2;
  }
};

template <class tOutput>
void PutQualifiedName(tOutput& out, sXmlName name, sXmlName prefix) {
  if (prefix.mLength != 0) {
    out.String(prefix);
    out.Char(':');
  }
  out.String(name);
}

// The longest forms of a call's parts, in bytes: three a unit of a name
// and one for the colon after a prefix, the escape's six a unit of a text,
// the indentation rounded up to the eight TABs written at a time. Counted
// wide, so no length wraps.
inline uint64_t NameRoom(sXmlName name, sXmlName prefix) {
  return kFxUtf8::cMaxUnitBytes * (static_cast<uint64_t>(name.mLength) + prefix.mLength) + 1;
}
inline uint64_t TextRoom(uint32_t length) { return static_cast<uint64_t>(cLongestUnitBytes) * length; }
inline uint64_t TabsRoom(uint32_t count) { return (static_cast<uint64_t>(count) + 7) & ~7ull; }

// Writes one call laid out by `layout` (called with an output): straight
// into the stream's buffer when it has room for the call's longest form
// `most` (nearly always), else piece by piece.
template <class tLayout>
void WriteCall(cFxFile* stream, uint8_t& newlinePending, uint64_t most, const tLayout& layout) {
  uint32_t room = 0;
  uint8_t* space = stream != nullptr && most <= cByteRun::cMostRoom
                       ? stream->GetWriteSpace(static_cast<uint32_t>(most), room)
                       : nullptr;
  if (space != nullptr) {
    sRoomOutput out{space, newlinePending};
    layout(out);
    stream->CommitWriteSpace(out.mOut);
  } else {
    cByteRun run(stream);
    sPieceOutput out{run, newlinePending};
    layout(out);
  }
}

}  // namespace

void cXmlWriter::Begin(cFxFile& stream) {
  mStream = &stream;
  mDepth = 0;
  mTagOpen = 0;
  mEmpty = 0;
  const sXmlName declaration(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  WriteCall(mStream, mNewlinePending, NameRoom(declaration, nullptr) + 2, [&](auto& out) {
    out.String(declaration);
    out.LineEnd();
  });
  mNewlinePending = 0;
  mAtLineStart = 1;
}

void cXmlWriter::StartElement(sXmlName name, sXmlName prefix) {
  const uint64_t most = 1 + 2 + TabsRoom(mDepth) + 1 + NameRoom(name, prefix);
  WriteCall(mStream, mNewlinePending, most, [&](auto& out) {
    if (mTagOpen) {
      out.Char('>');
      mTagOpen = 0;
    }
    if (mNewlinePending) {
      out.LineEnd();
      mNewlinePending = 0;
      mAtLineStart = 1;
    }
    if (mAtLineStart) {
      out.Tabs(mDepth);
      mAtLineStart = 0;
    }
    out.Char('<');
    PutQualifiedName(out, name, prefix);
  });
  ++mDepth;
  mTagOpen = 1;
  mEmpty = 1;
}

void cXmlWriter::Attribute(sXmlName name, const wchar16* value, uint32_t valueLength, sXmlName prefix) {
  const uint32_t length = value ? valueLength : 0;
  value = OrEmpty(value);
  const uint64_t most = 1 + NameRoom(name, prefix) + 2 + TextRoom(length) + 1;
  WriteCall(mStream, mNewlinePending, most, [&](auto& out) {
    out.Char(' ');
    PutQualifiedName(out, name, prefix);
    out.Char('=');
    out.Char('"');
    out.Escaped(value, length);
    out.Char('"');
  });
}

void cXmlWriter::Attribute(sXmlName name, const wchar16* value, sXmlName prefix) {
  Attribute(name, value, FxWStrLen(value), prefix);
}

void cXmlWriter::NamespaceDeclaration(sXmlName prefix, const wchar16* uri) {
  // A declaration is written as the attribute whose prefix is "xmlns" and
  // whose name is the declared prefix.
  Attribute(prefix, OrEmpty(uri), sXmlName(u"xmlns"));
}

void cXmlWriter::Text(const wchar16* text, uint32_t length) {
  if (text == nullptr) length = 0;
  text = OrEmpty(text);
  WriteCall(mStream, mNewlinePending, 1 + TextRoom(length), [&](auto& out) {
    if (mTagOpen) {
      out.Char('>');
      mTagOpen = 0;
    }
    out.Escaped(text, length);
  });
  mEmpty = 0;
}

void cXmlWriter::Text(const wchar16* text) { Text(text, FxWStrLen(text)); }

// The parser passes end tags without a matching start tag through; such
// an end tag must not wrap the depth round to four billion TABs.
void cXmlWriter::LeaveLevel() {
  if (mDepth > 0) --mDepth;
}

void cXmlWriter::EndElement(sXmlName name, sXmlName prefix) {
  const uint64_t most = 1 + TabsRoom(mDepth) + 2 + NameRoom(name, prefix) + 1 + 2;
  WriteCall(mStream, mNewlinePending, most, [&](auto& out) {
    if (mEmpty) {
      mEmpty = 0;
      mTagOpen = 0;
      out.Char('/');
      out.Char('>');
      LeaveLevel();
    } else {
      if (mTagOpen) {
        out.Char('>');
        mTagOpen = 0;
      }
      LeaveLevel();
      if (mAtLineStart) {
        out.Tabs(mDepth);
        mAtLineStart = 0;
      }
      out.Char('<');
      out.Char('/');
      PutQualifiedName(out, name, prefix);
      out.Char('>');
    }
    if (mNewlinePending) {
      out.LineEnd();
      mNewlinePending = 0;
      mAtLineStart = 1;
    }
  });
}
