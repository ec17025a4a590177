// The pull parser: a byte reader over chunks of the stream, a character
// reader (UTF-8 to 16-bit units, line counting), a tokenizer driven by a
// byte-class table, and one routine per construct of the grammar.
#include "xml/cXmlParser.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "API/core/FxError.h"
#include "API/core/FxUtf8.h"
#include "API/core/cFxException.h"
#include "xml/XmlStringCaches.h"
#include "xml/cFxFile.h"

namespace {

// Token kinds. A single character is its own token (its code unit).
namespace kXmlToken {
constexpr int32_t cWhitespace = 0x10000;
constexpr int32_t cName = 0x10001;
constexpr int32_t cDeclarationStart = 0x10002;  // "<?"
constexpr int32_t cDeclarationEnd = 0x10003;    // "?>"
constexpr int32_t cEmptyElementEnd = 0x10004;   // "/>"
constexpr int32_t cEndTagStart = 0x10005;       // "</"
constexpr int32_t cCommentStart = 0x10006;      // "<!--"
constexpr int32_t cEnd = 0x10007;               // end of input
}  // namespace kXmlToken

// Classes of the ASCII characters; every code unit from 128 up counts as a
// name character (start and continuation), but no byte from 128 up is in
// any class: it needs decoding first.
namespace kCharClass {
constexpr uint8_t cSpace = 0x1;      // space, TAB, CR, LF
constexpr uint8_t cNameStart = 0x2;  // letters, '_', ':'
constexpr uint8_t cName = 0x4;       // letters, digits, '.', '-', '_', ':'
constexpr uint8_t cPlain = 0x8;      // ASCII but '<', '&', CR, LF: text as it stands
constexpr uint8_t cNameRun = 0x10;   // name characters but ':', which splits a name
}  // namespace kCharClass

struct sCharClassTable {
  uint8_t mClass[256] = {};
  constexpr void Add(const char* characters, uint8_t charClass) {
    for (; *characters; ++characters) mClass[static_cast<uint8_t>(*characters)] |= charClass;
  }
  constexpr void Remove(const char* characters, uint8_t charClass) {
    for (; *characters; ++characters) mClass[static_cast<uint8_t>(*characters)] &= ~charClass;
  }
  constexpr sCharClassTable() {
    for (int c = 0; c < 128; ++c) mClass[c] = kCharClass::cPlain;
    Remove("<&\r\n", kCharClass::cPlain);
    Add(" \t\r\n", kCharClass::cSpace);
    Add("_:", kCharClass::cNameStart | kCharClass::cName);
    Add("._-0123456789", kCharClass::cName | kCharClass::cNameRun);
    Add("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
        kCharClass::cNameStart | kCharClass::cName | kCharClass::cNameRun);
  }
};
constexpr sCharClassTable kClassTable;

// For characters: -1 (end of input) and units from 256 up are in no class.
inline bool HasClass(int32_t c, uint8_t charClass) {
  return static_cast<uint32_t>(c) < 256 && (kClassTable.mClass[c] & charClass) != 0;
}
inline bool IsNameStart(int32_t c) { return c >= 128 || HasClass(c, kCharClass::cNameStart); }
inline bool IsNameChar(int32_t c) { return c >= 128 || HasClass(c, kCharClass::cName); }
inline bool IsByteOf(uint8_t byte, uint8_t charClass) { return (kClassTable.mClass[byte] & charClass) != 0; }

#if defined(__SSE2__)
// The bits of the sixteen `bytes` that end a run of plain bytes: '<', '&',
// CR, LF, and those from 0x80 up, which need decoding (their sign bit).
inline uint32_t PlainStops(__m128i bytes) {
  __m128i stops = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                               _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&')));
  stops = _mm_or_si128(stops, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
  stops = _mm_or_si128(stops, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
  return static_cast<uint32_t>(_mm_movemask_epi8(stops) | _mm_movemask_epi8(bytes));
}
#endif

// Whether the line break `c` after `previous` starts a new line: it does
// unless it completes a CR LF or LF CR pair, so the same break twice is two
// lines.
inline bool StartsLine(int32_t previous, int32_t c) { return (previous != '\n' && previous != '\r') || previous == c; }

#if defined(__SSE2__)
// The bits of the sixteen `bytes` equal to `byte`.
inline uint32_t BitsOf(__m128i bytes, char byte) {
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte))));
}
#endif

// Copies the character data that starts at `from` as it stands, plain
// bytes and line breaks, to `out` as units, up to the first '<', '&' or
// byte from 0x80 up, or `end`, and answers how many it copied. `previous`
// is the character before `from` and is left on the last one copied;
// `line` counts the breaks as StartsLine says. `out` has room for
// end - from units. Sixteen bytes are taken at a time where the processor
// allows, breaks and all, so the layout between two tags (a line break and
// the indentation) costs one step.
inline uint32_t CopyTextBytes(const uint8_t* from, const uint8_t* end, wchar16* out, int32_t& previous,
                              int32_t& line) {
  const uint8_t* const start = from;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (end - from >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const uint32_t stops =
        BitsOf(bytes, '<') | BitsOf(bytes, '&') | static_cast<uint32_t>(_mm_movemask_epi8(bytes));
    // All sixteen are written; only those before the first stop are kept.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
    const uint32_t count = stops != 0 ? static_cast<uint32_t>(__builtin_ctz(stops)) : 16;
    if (count != 0) {
      const uint32_t taken = (1u << count) - 1;
      const uint32_t cr = BitsOf(bytes, '\r') & taken;
      const uint32_t lf = BitsOf(bytes, '\n') & taken;
      if ((cr | lf) != 0) {
        // Bit i of afterCr and afterLf: the character before byte i.
        const uint32_t afterCr = (cr << 1) | (previous == '\r' ? 1u : 0u);
        const uint32_t afterLf = (lf << 1) | (previous == '\n' ? 1u : 0u);
        for (uint32_t starts = (cr & ~afterLf) | (lf & ~afterCr); starts != 0; starts &= starts - 1) ++line;
      }
      previous = from[count - 1];
    }
    if (count != 16) return static_cast<uint32_t>(from - start) + count;
    from += 16;
    out += 16;
  }
#endif
  for (; from != end; ++from) {
    const uint8_t byte = *from;
    if (!IsByteOf(byte, kCharClass::cPlain)) {
      if (byte != '\n' && byte != '\r') break;
      if (StartsLine(previous, byte)) ++line;
    }
    *out++ = byte;
    previous = byte;
  }
  return static_cast<uint32_t>(from - start);
}

// The number of plain bytes but `quote` that start at `from`, up to `end`:
// an attribute value as it stands in the input.
inline uint32_t QuotedRunLength(const uint8_t* from, const uint8_t* end, uint8_t quote) {
  const uint8_t* const start = from;
#if defined(__SSE2__)
  while (end - from >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i quotes = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(quote)));
    const uint32_t mask = PlainStops(bytes) | static_cast<uint32_t>(_mm_movemask_epi8(quotes));
    if (mask != 0) return static_cast<uint32_t>(from - start) + static_cast<uint32_t>(__builtin_ctz(mask));
    from += 16;
  }
#endif
  while (from != end && *from != quote && IsByteOf(*from, kCharClass::cPlain)) ++from;
  return static_cast<uint32_t>(from - start);
}

// The number of name characters but ':' that start at `from`, up to `end`:
// the rest of a tag name once its first character is read.
inline uint32_t NameRunLength(const uint8_t* from, const uint8_t* end) {
  const uint8_t* const start = from;
#if defined(__SSE2__)
  // Unsigned range tests on signed compares: b in [low, low + count) when
  // b - low - 128 < count - 128.
  const auto inRange = [](__m128i bytes, int low, int count) {
    return _mm_cmplt_epi8(_mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(low + 128))),
                          _mm_set1_epi8(static_cast<char>(count - 128)));
  };
  while (end - from >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    // Setting bit 0x20 folds the upper-case letters onto the lower-case ones
    // and takes no other byte into 'a'..'z'.
    __m128i run = inRange(_mm_or_si128(bytes, _mm_set1_epi8(0x20)), 'a', 26);
    run = _mm_or_si128(run, inRange(bytes, '0', 10));
    run = _mm_or_si128(run, inRange(bytes, '-', 2));  // '-' and '.'
    run = _mm_or_si128(run, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('_')));
    const uint32_t stops = ~static_cast<uint32_t>(_mm_movemask_epi8(run)) & 0xFFFF;
    if (stops != 0) return static_cast<uint32_t>(from - start) + static_cast<uint32_t>(__builtin_ctz(stops));
    from += 16;
  }
#endif
  while (from != end && IsByteOf(*from, kCharClass::cNameRun)) ++from;
  return static_cast<uint32_t>(from - start);
}

const cFxWString kNoNamespace;

}  // namespace

const cFxWString cXmlParser::cNoName;

bool cXmlParser::cUnits::Equals(const char16_t* literal) const {
  const uint32_t length = FxWStrLen(literal);
  return mCount == length && std::memcmp(mUnits.get(), literal, length * sizeof(wchar16)) == 0;
}

void cXmlParser::cUnits::Grow(uint32_t count) {
  uint32_t capacity = mCapacity ? mCapacity : 16;
  while (capacity - mCount < count) capacity *= 2;
  std::unique_ptr<wchar16[]> units(new wchar16[capacity]);
  if (mCount) std::memcpy(units.get(), mUnits.get(), mCount * sizeof(wchar16));
  mUnits = std::move(units);
  mCapacity = capacity;
}

cXmlParser::cXmlParser(uint32_t readChunkSize)
    : mChunk(new uint8_t[readChunkSize ? readChunkSize : 1]),
      mChunkSize(readChunkSize ? readChunkSize : 1),
      mToken(kXmlToken::cEnd) {}

// ---- Characters --------------------------------------------------------------

int32_t cXmlParser::Refill() {
  if (mInputEnded) return -1;
  const int count = mStream->Read(mChunk.get(), static_cast<int>(mChunkSize));
  if (count <= 0) {
    mInputEnded = true;
    // A read error must not end the document early and quietly: a
    // rewritten data file would lose its tail.
    mInputBroken = count < 0;
    return -1;
  }
  // The stream answers fewer bytes than asked only at the end of the file:
  // asking again would cost a read that can only answer nothing.
  mInputEnded = static_cast<uint32_t>(count) < mChunkSize;
  mNext = mChunk.get();
  mEnd = mNext + count;
  return *mNext++;
}

// Reads the next character into mChar. A CR or LF starts a new line unless
// it completes a CR LF or LF CR pair; the same character twice is two
// lines.
inline void cXmlParser::Advance() {
  const int32_t byte = NextByte();
  const int32_t c = byte >= 0x80 ? DecodeMultiByte(byte) : byte;
  if (c == '\n' || c == '\r') CountLineBreak(mChar, c);
  mChar = c;
}

// Appends the bytes of `charClass` that follow in the chunk (up to `stop`)
// to `units` as they stand: ASCII needs no decoding, and the classes taken
// this way hold no line break.
inline void cXmlParser::TakeRun(cUnits& units, uint8_t charClass, int32_t stop) {
  const uint8_t* from = mNext;
  wchar16* out = units.Reserve(static_cast<uint32_t>(mEnd - from));
  while (from != mEnd && IsByteOf(*from, charClass) && *from != stop) *out++ = *from++;
  units.Commit(out);
  mNext = from;
}

// Counts the line break `c` that follows `previous` (see Advance).
inline void cXmlParser::CountLineBreak(int32_t previous, int32_t c) {
  if (StartsLine(previous, c)) ++mLine;
}

// Character data as it stands in the chunk: plain ASCII and line breaks,
// the breaks counted as Advance counts them, up to the first tag, entity,
// multi-byte sequence or the chunk's end. The indentation between tags is
// all of this kind. mChar is left on the last unit taken.
inline void cXmlParser::TakeTextRun(cUnits& units) {
  wchar16* const out = units.Reserve(static_cast<uint32_t>(mEnd - mNext));
  int32_t previous = mChar;
  int32_t line = mLine;
  const uint32_t count = CopyTextBytes(mNext, mEnd, out, previous, line);
  units.Commit(out + count);
  mNext += count;
  mChar = previous;
  mLine = line;
}

// The rest of a whitespace run in the chunk, line breaks counted. mChar is
// left on the last character skipped.
inline void cXmlParser::SkipSpaceRun() {
  const uint8_t* from = mNext;
  int32_t previous = mChar;
  for (; from != mEnd && IsByteOf(*from, kCharClass::cSpace); ++from) {
    const int32_t c = *from;
    if (c == '\n' || c == '\r') CountLineBreak(previous, c);
    previous = c;
  }
  mNext = from;
  mChar = previous;
}

// A sequence that no 16-bit unit has (four bytes, a missing continuation
// byte) ends the input.
int32_t cXmlParser::DecodeMultiByte(int32_t first) {
  const int32_t unit = FxDecodeUtf8Unit(first, [this] { return NextByte(); });
  return unit >= 0 ? unit : MalformedInput();
}

// Input ends here. The parser rejects the document wherever an end of input
// would otherwise be accepted, so a rewritten file can never silently lose
// its tail.
int32_t cXmlParser::MalformedInput() {
  FxSetErrorCode(kFxError::cBadUtf8);
  mNext = mEnd;
  mInputEnded = true;
  mInputBroken = true;
  return -1;
}

// ---- Tokens ------------------------------------------------------------------

void cXmlParser::NextToken() {
  mTokenLine = mLine;
  const int32_t c = mChar;
  if (c < 0) {
    mToken = kXmlToken::cEnd;
    return;
  }
  if (HasClass(c, kCharClass::cSpace)) {
    do {
      SkipSpaceRun();
      Advance();
    } while (HasClass(mChar, kCharClass::cSpace));
    mToken = kXmlToken::cWhitespace;
    return;
  }
  if (IsNameStart(c)) {
    ReadNameToken();
    return;
  }
  Advance();
  mToken = c;
  switch (c) {
    case '<':
      if (mChar == '?') {
        Advance();
        mToken = kXmlToken::cDeclarationStart;
      } else if (mChar == '/') {
        Advance();
        mToken = kXmlToken::cEndTagStart;
      } else if (mChar == '!') {
        // Only comments may follow "<!": no document types, no CDATA.
        Advance();
        if (mChar != '-') Fail();
        Advance();
        if (mChar != '-') Fail();
        Advance();
        mToken = kXmlToken::cCommentStart;
      }
      break;
    case '?':
      if (mChar == '>') {
        Advance();
        mToken = kXmlToken::cDeclarationEnd;
      }
      break;
    case '/':
      if (mChar == '>') {
        Advance();
        mToken = kXmlToken::cEmptyElementEnd;
      }
      break;
    default:
      break;
  }
}

// The name's parts are hashed as they are read, for the name cache.
void cXmlParser::ReadNameToken() {
  mTokenText.Clear();
  mTokenColon = -1;
  mTokenPrefixHash = 0;
  uint32_t hash = 0;
  do {
    if (mChar == ':' && mTokenColon < 0) {
      mTokenColon = static_cast<int32_t>(mTokenText.Size());
      mTokenPrefixHash = hash;
      hash = 0;
    } else {
      hash = XmlHashStep(hash, static_cast<uint32_t>(mChar));
    }
    mTokenText.Put(static_cast<wchar16>(mChar));
    // The rest of a run of ASCII name characters (up to a ':') needs
    // neither decoding nor line counting.
    const uint8_t* from = mNext;
    wchar16* out = mTokenText.Reserve(static_cast<uint32_t>(mEnd - from));
    for (; from != mEnd && IsByteOf(*from, kCharClass::cNameRun); ++from) {
      hash = XmlHashStep(hash, *from);
      *out++ = *from;
    }
    mTokenText.Commit(out);
    mNext = from;
    Advance();
  } while (IsNameChar(mChar));
  mTokenLocalHash = hash;
  mToken = kXmlToken::cName;
}

// Whether mChar starts a name that can be taken straight from the chunk:
// an ASCII name start but ':' that is the byte just taken, so the name's
// bytes lie together from mNext - 1. A multi-byte sequence whose bits give
// an ASCII unit (0xC1 0xA1 is 'a') ends in a byte from 0x80 up, which is
// not that unit: such a name is left to the tokenizer, which decodes it.
bool cXmlParser::StartsNameInChunk() const {
  return HasClass(mChar, kCharClass::cNameStart) && mChar != ':' && mNext[-1] == mChar;
}

// A tag name without prefix, all ASCII and whole in the chunk, straight
// from the input's bytes into mName, and the token after it; anything else
// (a prefix, a multi-byte character, a name that runs to the chunk's end)
// is left to the tokenizer. The name holds no line break, so the line
// count stays as it is.
bool cXmlParser::TakeTagName() {
  if (!StartsNameInChunk()) return false;
  const uint8_t* const name = mNext - 1;
  const uint8_t* const from = mNext + NameRunLength(mNext, mEnd);
  const uint32_t length = static_cast<uint32_t>(from - name);
  if (from == mEnd || IsNameChar(*from) || length > tTagNameCache::cMaxLength) return false;
  mName = XmlTagName(name, length);
  TakeTokenAt(from, from[-1]);
  return true;
}

// On from `from` in the chunk, just after a name or value taken straight
// from it, whose last character `previous` is no line break: the token
// there. What most often follows is made here: the '>' or "/>" that ends
// the tag, or the single space before an attribute, which leaves mChar on
// the name's first byte as NextToken would; anything else goes through the
// tokenizer.
inline void cXmlParser::TakeTokenAt(const uint8_t* from, int32_t previous) {
  if (from != mEnd) {
    const uint8_t byte = *from;
    if (byte == '>') {
      mTokenLine = mLine;
      mToken = '>';
      mChar = '>';
      mNext = from + 1;
      Advance();
      return;
    }
    if (mEnd - from >= 2) {
      if (byte == ' ' && IsByteOf(from[1], kCharClass::cNameStart)) {
        mTokenLine = mLine;
        mToken = kXmlToken::cWhitespace;
        mChar = from[1];
        mNext = from + 2;
        return;
      }
      if (byte == '/' && from[1] == '>') {
        mTokenLine = mLine;
        mToken = kXmlToken::cEmptyElementEnd;
        mChar = '>';
        mNext = from + 2;
        Advance();
        return;
      }
    }
  }
  mNext = from;
  mChar = previous;
  Advance();
  NextToken();
}

// At '<' in character data: the token of the tag that starts there, when
// '<' or "</" is followed by an ASCII name start in the chunk, is made
// here without the tokenizer; mChar is left on the name's first byte, as
// TakeTagName expects. Anything else is left to NextToken. None of these
// bytes is a line break, so the line count stays as it is.
bool cXmlParser::TakeTagStart() {
  const uint8_t* next = mNext;
  if (next == mEnd) return false;
  int32_t token = '<';
  if (*next == '/') {
    token = kXmlToken::cEndTagStart;
    if (++next == mEnd) return false;
  }
  if (!IsByteOf(*next, kCharClass::cNameStart)) return false;
  mTokenLine = mLine;
  mToken = token;
  mChar = *next;
  mNext = next + 1;
  return true;
}

void cXmlParser::SkipWhitespace() {
  while (mToken == kXmlToken::cWhitespace) NextToken();
}

void cXmlParser::Expect(int32_t token) {
  if (mToken != token) Fail();
}

// At '&': the name runs to the next ';', whatever it holds. The five
// predefined names give their characters; any other name is read as an
// integer (decimal, 0x hexadecimal, 0b binary or leading-0 octal) whose
// low 16 bits are the character.
wchar16 cXmlParser::ReadEntity() {
  mTokenText.Clear();
  Advance();
  while (mChar != ';') {
    if (mChar < 0) Fail();
    mTokenText.Put(static_cast<wchar16>(mChar));
    Advance();
  }
  Advance();
  if (mTokenText.Equals(u"amp")) return u'&';
  if (mTokenText.Equals(u"apos")) return u'\'';
  if (mTokenText.Equals(u"gt")) return u'>';
  if (mTokenText.Equals(u"lt")) return u'<';
  if (mTokenText.Equals(u"quot")) return u'"';
  mTokenText.Put(0);
  return static_cast<wchar16>(cFxWString::ToInt(mTokenText.Data(), nullptr, -1) & 0xFFFF);
}

// ---- Names and namespaces ---------------------------------------------------

// The current name token whole, or the parts before and after its first
// ':' (the local part is the whole name when there is no ':').
cFxWString cXmlParser::InternToken() const {
  if (mTokenColon < 0) return InternLocalPart();
  return XmlInternName(mTokenText.Data(), mTokenText.Size(), XmlHash(mTokenText.Data(), mTokenText.Size()));
}

cFxWString cXmlParser::InternPrefix() const {
  if (mTokenColon < 0) return cFxWString();
  return XmlInternName(mTokenText.Data(), static_cast<uint32_t>(mTokenColon), mTokenPrefixHash);
}

cFxWString cXmlParser::InternLocalPart() const {
  const uint32_t start = static_cast<uint32_t>(mTokenColon + 1);
  return XmlInternName(mTokenText.Data() + start, mTokenText.Size() - start, mTokenLocalHash);
}

void cXmlParser::AddNamespace(const cFxWString& prefix, const cFxWString& uri) {
  for (uint32_t i = 0; i < mNamespaceCount; ++i) {
    const sNamespace& entry = mNamespaces[i];
    if (entry.mDepth == mDepth && entry.mPrefix.GetHandle() == prefix.GetHandle()) Fail();
  }
  if (mNamespaceCount == cMaxNamespaces) Fail();
  sNamespace& entry = mNamespaces[mNamespaceCount++];
  if (prefix.GetHandle() == nullptr) ++mDefaultNamespaceCount;
  entry.mDepth = mDepth;
  entry.mPrefix = prefix;
  entry.mUri = uri;
}

// The innermost declaration of `prefix`; an unprefixed name looks for the
// default namespace. An undeclared non-empty prefix is an error.
inline const cFxWString& cXmlParser::LookupNamespace(const cFxWString& prefix) const {
  for (uint32_t i = mNamespaceCount; i-- > 0;) {
    if (mNamespaces[i].mPrefix.GetHandle() == prefix.GetHandle()) return mNamespaces[i].mUri;
  }
  if (!prefix.IsEmpty()) Fail();
  return kNoNamespace;
}

// Most tags of a data file have no prefix and no attribute, and no default
// namespace is in scope: nothing to resolve, and Read has already cleared
// mNamespace.
inline void cXmlParser::ResolveTagNames(const cFxWString& prefix) {
  if (mAttributeCount != 0 || prefix.GetHandle() != nullptr || mDefaultNamespaceCount != 0) ResolveNames(prefix);
}

void cXmlParser::ResolveNames(const cFxWString& prefix) {
  if (mNamespaceCount == 0) {
    // Nothing declared: no name has a namespace, and a prefix has nothing
    // to be bound to.
    if (!prefix.IsEmpty()) Fail();
    mNamespace = cFxWString();
    for (uint32_t i = 0; i < mAttributeCount; ++i) {
      if (!mAttributes[i].mPrefix.IsEmpty()) Fail();
      mAttributes[i].mNamespace = cFxWString();
    }
    return;
  }
  mNamespace = LookupNamespace(prefix);
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    sAttribute& attribute = mAttributes[i];
    attribute.mNamespace = LookupNamespace(attribute.mPrefix);
  }
}

// Declarations made at the depth just closed (or deeper) go out of scope.
void cXmlParser::PopNamespaces() {
  while (mNamespaceCount > 0 && mNamespaces[mNamespaceCount - 1].mDepth >= mDepth) {
    sNamespace& entry = mNamespaces[--mNamespaceCount];
    if (entry.mPrefix.GetHandle() == nullptr) --mDefaultNamespaceCount;
    entry.mPrefix = cFxWString();
    entry.mUri = cFxWString();
  }
}

// The strings of the attributes stay held until the next tag's take their
// places: a tag whose attributes repeat the last one's (d:type="...") then
// changes no reference count.
void cXmlParser::ClearAttributes() { mAttributeCount = 0; }

void cXmlParser::ClearNamespaces() {
  mDepth = INT32_MIN;
  PopNamespaces();
}

// ---- Text -------------------------------------------------------------------

const cFxWString& cXmlParser::GetText() {
  if (!mTextMade) {
    mText = XmlMakeText(mTextUnits.Data(), mTextUnits.Size());
    mTextMade = true;
  }
  return mText;
}

void cXmlParser::ClearText() {
  mText = cFxWString();
  mTextUnits.Clear();
  mTextMade = true;
}

// ---- Grammar -----------------------------------------------------------------

void cXmlParser::Open(cFxFile& stream) {
  mStream = &stream;
  mNext = mEnd = nullptr;
  mInputEnded = false;
  mInputBroken = false;
  ClearNamespaces();
  mDepth = 0;
  mNodeType = eNone;
  mName = cFxWString();
  mNameCleared = false;
  mNamespace = cFxWString();
  ClearAttributes();
  ClearText();
  mNodeLine = 1;
  mTokenLine = 1;
  mLine = 1;
  mChar = -1;
  mEmptyElementPending = false;
  mTextPending = false;

  Advance();
  NextToken();
  mNodeLine = mTokenLine;
  if (mToken == kXmlToken::cDeclarationStart) {
    ReadProcessingInstruction();
    if (mName != u"xml") Fail();
  }
  while (mToken == kXmlToken::cWhitespace) {
    NextToken();
    mNodeLine = mTokenLine;
  }
  mNodeType = eDocumentStart;
}

void cXmlParser::Read() {
  if (mEmptyElementPending) {
    if (mTextPending) {
      mTextPending = false;
      ClearText();
      mNodeType = eText;
      return;
    }
    --mDepth;
    mEmptyElementPending = false;
    mTextPending = true;
    ClearAttributes();
    PopNamespaces();
    mNodeType = eElementEnd;
    return;
  }

  mNodeType = eNone;
  mNameCleared = true;
  mNamespace = cFxWString();
  if (mAttributeCount != 0) ClearAttributes();
  ClearText();

  if (mTextPending) {
    mTextPending = false;
    mNodeLine = mLine;
    ReadCharacterData();
    mNodeType = eText;
    return;
  }

  mNodeLine = mTokenLine;
  switch (mToken) {
    case kXmlToken::cDeclarationStart:
      ReadProcessingInstruction();
      break;
    case '<':
      ReadStartTag();
      break;
    case kXmlToken::cEndTagStart:
      ReadEndTag();
      break;
    case kXmlToken::cEnd:
      if (mInputBroken) Fail();
      mNodeType = eDocumentEnd;
      break;
    default:
      // Text before the root, a byte-order mark, a comment or "<!" outside
      // character data.
      Fail();
  }
}

void cXmlParser::ReadProcessingInstruction() {
  NextToken();
  Expect(kXmlToken::cName);
  mName = InternToken();
  mNameCleared = false;
  NextToken();
  ReadAttributeList(false);
  // A declaration's names are not resolved: none of them has a namespace.
  for (uint32_t i = 0; i < mAttributeCount; ++i) mAttributes[i].mNamespace = cFxWString();
  SkipWhitespace();
  Expect(kXmlToken::cDeclarationEnd);
  mTextPending = true;
  mNodeType = eDeclaration;
}

// After "<" or "</": the element's name into mName, its prefix into `prefix`.
void cXmlParser::ReadTagName(cFxWString& prefix) {
  mNameCleared = false;
  if (TakeTagName()) {
    prefix = cFxWString();
    return;
  }
  NextToken();
  Expect(kXmlToken::cName);
  prefix = InternPrefix();
  mName = InternLocalPart();
  NextToken();
}

void cXmlParser::ReadStartTag() {
  cFxWString prefix;
  ReadTagName(prefix);
  ReadAttributeList(true);
  SkipWhitespace();
  if (mToken == kXmlToken::cEmptyElementEnd) {
    mEmptyElementPending = true;
  } else {
    Expect('>');
  }
  ++mDepth;
  ResolveTagNames(prefix);
  mTextPending = true;
  mNodeType = eElementStart;
}

void cXmlParser::ReadEndTag() {
  cFxWString prefix;
  ReadTagName(prefix);
  SkipWhitespace();
  Expect('>');
  --mDepth;
  ResolveTagNames(prefix);
  PopNamespaces();
  mTextPending = true;
  mNodeType = eElementEnd;
}

// Attributes and namespace declarations of a start tag (`inTag`) or of a
// processing instruction, whose attribute names stay qualified.
void cXmlParser::ReadAttributeList(bool inTag) {
  for (;;) {
    if (mToken == kXmlToken::cWhitespace && inTag && TakeAttribute()) continue;
    SkipWhitespace();
    if (mToken != kXmlToken::cName) return;
    ReadAttribute(inTag);
  }
}

// One attribute or namespace declaration, from its name token up to the
// token after its value.
void cXmlParser::ReadAttribute(bool inTag) {
  cFxWString prefix;
  cFxWString name;
  bool hasColon = false;
  bool isDeclaration = false;
  cFxWString declaredPrefix;
  const uint32_t length = mTokenText.Size();
  const bool startsWithXmlns =
      length >= 5 && std::memcmp(mTokenText.Data(), u"xmlns", 5 * sizeof(wchar16)) == 0;
  if (startsWithXmlns && length == 5) {
    isDeclaration = true;
  } else if (startsWithXmlns && mTokenColon == 5) {
    isDeclaration = true;
    declaredPrefix = InternLocalPart();
  } else if (inTag) {
    prefix = InternPrefix();
    name = InternLocalPart();
    hasColon = mTokenColon >= 0;
  } else {
    name = InternToken();
  }

  NextToken();
  SkipWhitespace();
  Expect('=');
  NextToken();
  SkipWhitespace();
  const int32_t quote = mToken;
  if (quote != '"' && quote != '\'') Fail();
  ReadAttributeValue(quote);
  NextToken();
  Expect(quote);

  if (isDeclaration) {
    const wchar16* value = mTextUnits.Data();
    const uint32_t valueLength = mTextUnits.Size();
    AddNamespace(declaredPrefix, XmlInternName(value, valueLength, XmlHash(value, valueLength)));
  } else if (mAttributeValuesWanted) {
    AddAttribute(name, prefix, hasColon, XmlMakeText(mTextUnits.Data(), mTextUnits.Size()));
  } else {
    AddAttribute(name, prefix, hasColon, cFxWString());
  }
  NextToken();
}

// The common attribute of a start tag, straight from the chunk's bytes:
// after whitespace, an ASCII name with at most one ':' inside, '=' and a
// quoted value of plain characters, all whole in the chunk. Anything else
// (a declaration, layout around '=', an entity, a line break or multi-byte
// character in the value, the chunk's end) is left untouched to
// ReadAttribute. Nothing taken holds a line break.
bool cXmlParser::TakeAttribute() {
  if (!StartsNameInChunk()) return false;
  const uint8_t* const start = mNext - 1;
  const sXmlAttributeName* const name = TakeAttributeName(start);
  if (name == nullptr) return false;
  const uint8_t* p = start + name->mLength;
  if (*p != '"' && *p != '\'') return false;
  const uint8_t quote = *p++;
  const uint8_t* const value = p;
  p += QuotedRunLength(p, mEnd, quote);
  if (p == mEnd || *p != quote) return false;
  if (mAttributeValuesWanted) {
    AddAttribute(name->mName, name->mPrefix, name->mHasColon, MakePlainValue(value, p));
  } else {
    AddAttribute(name->mName, name->mPrefix, name->mHasColon, cFxWString());
  }
  // On past the closing quote to the token after the attribute.
  TakeTokenAt(p + 1, quote);
  return true;
}

// The attribute name that starts at `start` and its '=', with at least one
// byte after them in the chunk: found by its first bytes, or else scanned
// and kept for the next time. Null when the name is not of the kind
// TakeAttribute takes, or declares a namespace.
const sXmlAttributeName* cXmlParser::TakeAttributeName(const uint8_t* start) {
  if (mEnd - start < static_cast<ptrdiff_t>(cAttributeNameCache::cLeadBytes)) return nullptr;
  cAttributeNameCache& names = XmlAttributeNames();
  if (const sXmlAttributeName* known = names.Find(start, mEnd)) return known;
  const uint8_t* p = start + 1 + NameRunLength(start + 1, mEnd);
  const uint8_t* colon = nullptr;
  if (p != mEnd && *p == ':') {
    colon = p;
    p = colon + 1;
    const uint32_t localLength = NameRunLength(p, mEnd);
    if (localLength == 0) return nullptr;
    p += localLength;
  }
  if (p == mEnd || *p != '=' || p + 1 == mEnd) return nullptr;
  const uint32_t qualifiedLength = static_cast<uint32_t>(p - start);
  if (qualifiedLength + 1 > cAttributeNameCache::cMaxLength) return nullptr;
  // "xmlns" and "xmlns:..." declare namespaces.
  if (qualifiedLength >= 5 && std::memcmp(start, "xmlns", 5) == 0 && (qualifiedLength == 5 || colon == start + 5))
    return nullptr;
  const uint8_t* const name = colon ? colon + 1 : start;
  const cFxWString prefix = colon ? XmlTagName(start, static_cast<uint32_t>(colon - start)) : cFxWString();
  return &names.Store(start, qualifiedLength + 1, prefix, XmlTagName(name, static_cast<uint32_t>(p - name)),
                      colon != nullptr);
}

// The string of the attribute value of plain bytes from `from` to `end`.
cFxWString cXmlParser::MakePlainValue(const uint8_t* from, const uint8_t* end) {
  const uint32_t length = static_cast<uint32_t>(end - from);
  const auto make = [&](cFxWString& value) {
    mTextUnits.Clear();
    wchar16* out = mTextUnits.Reserve(length);
    for (uint32_t i = 0; i < length; ++i) out[i] = from[i];
    mTextUnits.Commit(out + length);
    value = XmlMakeText(mTextUnits.Data(), length);
  };
  if (length == 0) return cFxWString();
  if (length <= tAttributeValueCache::cMaxLength) return XmlAttributeValueCache().Get(from, length, make);
  cFxWString value;
  make(value);
  return value;
}

// Appends an attribute. The same name twice (prefix and ':' alike) is an
// error, and so is one attribute too many.
inline void cXmlParser::AddAttribute(const cFxWString& name, const cFxWString& prefix, bool hasColon,
                                     const cFxWString& value) {
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    const sAttribute& other = mAttributes[i];
    if (other.mName.GetHandle() == name.GetHandle() && other.mPrefix.GetHandle() == prefix.GetHandle() &&
        other.mHasColon == hasColon) {
      Fail();
    }
  }
  if (mAttributeCount == cMaxAttributes) Fail();
  sAttribute& attribute = mAttributes[mAttributeCount++];
  attribute.mName = name;
  attribute.mPrefix = prefix;
  attribute.mHasColon = hasColon;
  attribute.mValue = value;
}

// Collects the value into mTextUnits up to (not including) the closing
// quote. No whitespace normalisation.
void cXmlParser::ReadAttributeValue(int32_t quote) {
  mTextUnits.Clear();
  for (;;) {
    const int32_t c = mChar;
    if (c == quote) return;
    if (c < 0) Fail();
    if (c == '&') {
      mTextUnits.Put(ReadEntity());
      continue;
    }
    mTextUnits.Put(static_cast<wchar16>(c));
    if (HasClass(c, kCharClass::cPlain)) TakeRun(mTextUnits, kCharClass::cPlain, quote);
    Advance();
  }
}

// Character data up to the next tag or the end of input, into mTextUnits.
// Comments inside it are skipped; the token that ends it stays current for
// the next Read.
void cXmlParser::ReadCharacterData() {
  mTextUnits.Clear();
  mTextMade = false;
  for (;;) {
    const int32_t c = mChar;
    if (c == '<') {
      if (TakeTagStart()) return;
      NextToken();
      if (mToken != kXmlToken::cCommentStart) return;
      SkipComment();
      continue;
    }
    if (c == '&') {
      mTextUnits.Put(ReadEntity());
      continue;
    }
    if (c < 0) {
      if (mInputBroken) Fail();
      mTokenLine = mLine;
      mToken = kXmlToken::cEnd;
      return;
    }
    mTextUnits.Put(static_cast<wchar16>(c));
    // The rest of a run of plain characters and line breaks needs neither
    // decoding nor a call per character.
    if (c < 0x80) TakeTextRun(mTextUnits);
    Advance();
  }
}

// After "<!--": everything up to the first "--", which must be followed by
// '>'. The end of input inside a comment ends the character data.
void cXmlParser::SkipComment() {
  bool dash = false;
  while (mChar >= 0) {
    const int32_t c = mChar;
    Advance();
    if (c != '-') {
      dash = false;
    } else if (!dash) {
      dash = true;
    } else {
      if (mChar != '>') Fail();
      Advance();
      return;
    }
  }
}

void cXmlParser::Fail() const {
  cXmlParseException exception(cFxString("Badly formed XML document."), mNodeLine);
  exception.Raise();
  abort();
}
