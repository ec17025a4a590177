// The pull parser: a character reader (UTF-8 to 16-bit units, line
// counting), a tokenizer driven by a byte-class table, and one routine per
// construct of the grammar.
#include "xml/cXmlParser.h"

#include <cstdlib>
#include <cstring>

#include "API/core/FxError.h"
#include "API/core/cFxException.h"
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
// name character (start and continuation).
namespace kCharClass {
constexpr uint8_t cSpace = 0x1;      // space, TAB, CR, LF
constexpr uint8_t cNameStart = 0x2;  // letters, '_', ':'
constexpr uint8_t cName = 0x4;       // letters, digits, '.', '-', '_', ':'
constexpr uint8_t cTextStop = 0x8;   // '<', '&', CR, LF: need more than a copy
}  // namespace kCharClass

struct sCharClassTable {
  uint8_t mClass[128] = {};
  constexpr void Add(const char* characters, uint8_t charClass) {
    for (; *characters; ++characters) mClass[static_cast<uint8_t>(*characters)] |= charClass;
  }
  constexpr sCharClassTable() {
    Add(" \t\r\n", kCharClass::cSpace);
    Add("<&\r\n", kCharClass::cTextStop);
    Add("_:", kCharClass::cNameStart | kCharClass::cName);
    Add(".-0123456789", kCharClass::cName);
    for (int c = 'a'; c <= 'z'; ++c) mClass[c] = kCharClass::cNameStart | kCharClass::cName;
    for (int c = 'A'; c <= 'Z'; ++c) mClass[c] = kCharClass::cNameStart | kCharClass::cName;
  }
};
constexpr sCharClassTable kClassTable;

inline bool HasClass(int32_t c, uint8_t charClass) {
  return c >= 0 && c < 128 && (kClassTable.mClass[c] & charClass) != 0;
}
inline bool IsNameStart(int32_t c) { return c >= 128 || HasClass(c, kCharClass::cNameStart); }
inline bool IsNameChar(int32_t c) { return c >= 128 || HasClass(c, kCharClass::cName); }

// The buffer in which character data and attribute values are collected,
// shared by every parser and reused from node to node so that steady-state
// parsing allocates only the finished strings.
cFxWStringBuilder& SharedCharacterBuffer() {
  static cFxWStringBuilder buffer = [] {
    cFxWStringBuilder first;
    // One append of 8 units makes the first buffer 16 units long.
    const wchar16 start[8] = {};
    first.Append(start, 8);
    first.Clear();
    return first;
  }();
  return buffer;
}

inline bool IsPlainText(int32_t c) { return c >= 0 && c < 128 && !(kClassTable.mClass[c] & kCharClass::cTextStop); }
inline bool IsAsciiName(int32_t c) { return c >= 0 && c < 128 && (kClassTable.mClass[c] & kCharClass::cName); }

}  // namespace

// Collects units in a small local array and hands them to the shared buffer
// a block at a time, so the per-character cost is one store.
class cXmlParser::cUnitSink {
 public:
  cUnitSink() : mBuffer(SharedCharacterBuffer()) { mBuffer.Clear(); }
  void Put(wchar16 unit) {
    if (mCount == cCapacity) Flush();
    mUnits[mCount++] = unit;
  }
  void Flush() {
    if (mCount != 0) mBuffer.Append(mUnits, mCount);
    mCount = 0;
  }
  cFxWStringBuilder& Finish() {
    Flush();
    return mBuffer;
  }

 private:
  static constexpr uint32_t cCapacity = 256;
  cFxWStringBuilder& mBuffer;
  uint32_t mCount = 0;
  wchar16 mUnits[cCapacity];
};

cXmlParser::cXmlParser() : mToken(kXmlToken::cEnd) {}

// ---- Characters --------------------------------------------------------------

// Reads the next character into mChar. A CR or LF starts a new line unless
// it completes a CR LF or LF CR pair; the same character twice is two
// lines.
inline void cXmlParser::Advance() { Accept(mInput ? mInput->ReadByte() : -1); }

// Makes a byte just read (-1 at the end) the current character: the first
// byte of a multi-byte sequence pulls in the rest.
inline void cXmlParser::Accept(int32_t byte) {
  const int32_t c = byte >= 0x80 ? DecodeMultiByte(byte) : byte;
  if (c == '\n' || c == '\r') {
    if ((mChar != '\n' && mChar != '\r') || mChar == c) ++mLine;
  }
  mChar = c;
}

// Lead bytes from 0xE0 start three-byte sequences, 0x80..0xDF two-byte
// ones. Only what a 16-bit unit can hold is accepted: four-byte sequences
// and missing continuation bytes end the input.
int32_t cXmlParser::DecodeMultiByte(int32_t first) {
  if (first >= 0xE0) {
    if (first >= 0xF0) return MalformedInput();
    const int32_t second = mInput->ReadByte();
    if (second < 0x80) return MalformedInput();
    const int32_t third = mInput->ReadByte();
    if (third < 0x80) return MalformedInput();
    return ((first << 12) & 0xFFFF) | ((second & 0x3F) << 6) | (third & 0x3F);
  }
  const int32_t second = mInput->ReadByte();
  if (second < 0x80) return MalformedInput();
  return ((first & 0x1F) << 6) | (second & 0x3F);
}

// Input ends here. The parser rejects the document wherever an end of input
// would otherwise be accepted, so a rewritten file can never silently lose
// its tail.
int32_t cXmlParser::MalformedInput() {
  FxSetErrorCode(kFxError::cBadUtf8);
  mInput = nullptr;
  mMalformed = true;
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
    do Advance();
    while (HasClass(mChar, kCharClass::cSpace));
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

void cXmlParser::ReadNameToken() {
  mTokenText.clear();
  mTokenColon = -1;
  // A current character exists, so input has not ended and mInput is set.
  cFxFile& input = *mInput;
  int32_t c = mChar;
  for (;;) {
    if (c == ':' && mTokenColon < 0) mTokenColon = static_cast<int32_t>(mTokenText.size());
    mTokenText.push_back(static_cast<char16_t>(c));
    // ASCII name characters need neither decoding nor line counting.
    const int32_t byte = input.ReadByte();
    if (IsAsciiName(byte)) {
      c = byte;
      continue;
    }
    mChar = c;
    Accept(byte);
    c = mChar;
    if (!IsNameChar(c)) break;
  }
  mToken = kXmlToken::cName;
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
  mTokenText.clear();
  Advance();
  while (mChar != ';') {
    if (mChar < 0) Fail();
    mTokenText.push_back(static_cast<char16_t>(mChar));
    Advance();
  }
  Advance();
  if (mTokenText == u"amp") return u'&';
  if (mTokenText == u"apos") return u'\'';
  if (mTokenText == u"gt") return u'>';
  if (mTokenText == u"lt") return u'<';
  if (mTokenText == u"quot") return u'"';
  return static_cast<wchar16>(cFxWString::ToInt(mTokenText.c_str(), nullptr, -1) & 0xFFFF);
}

// ---- Names and namespaces ---------------------------------------------------

// Names and URIs are interned; an empty one stays the null handle.
cFxWString cXmlParser::InternName(const wchar16* units, uint32_t length) {
  if (length == 0) return cFxWString();
  uint32_t hash = 0;
  for (uint32_t i = 0; i < length; ++i) hash = hash * 37u + units[i];
  sCachedName& entry = mNameCache[(hash ^ (hash >> 11)) & (cNameCacheSize - 1)];
  if (entry.mHash == hash && entry.mLength == length &&
      std::memcmp(entry.mName.c_str(), units, length * sizeof(wchar16)) == 0) {
    return entry.mName;
  }
  entry.mName = cFxWString::Intern(units, length);
  entry.mHash = hash;
  entry.mLength = length;
  return entry.mName;
}

// The collected text as a string; short ones come from the text cache.
cFxWString cXmlParser::MakeText(const cFxWStringBuilder& buffer) {
  const uint32_t length = buffer.Count();
  if (length == 0 || length > cMaxCachedText) return buffer.ToString();
  const wchar16* units = buffer.Units();
  uint32_t hash = 0;
  for (uint32_t i = 0; i < length; ++i) hash = hash * 37u + units[i];
  sCachedName& entry = mTextCache[(hash ^ (hash >> 11)) & (cTextCacheSize - 1)];
  if (entry.mHash != hash || entry.mLength != length ||
      std::memcmp(entry.mName.c_str(), units, length * sizeof(wchar16)) != 0) {
    entry.mName = buffer.ToString();
    entry.mHash = hash;
    entry.mLength = length;
  }
  return entry.mName;
}

// The current name token as prefix (before the first ':') and local name.
void cXmlParser::SplitTokenName(cFxWString& prefix, cFxWString& local, bool& hasColon) {
  const wchar16* units = mTokenText.data();
  const uint32_t length = static_cast<uint32_t>(mTokenText.size());
  hasColon = mTokenColon >= 0;
  if (!hasColon) {
    prefix = cFxWString();
    local = InternName(units, length);
    return;
  }
  const uint32_t colon = static_cast<uint32_t>(mTokenColon);
  prefix = InternName(units, colon);
  local = InternName(units + colon + 1, length - colon - 1);
}

void cXmlParser::AddNamespace(const cFxWString& prefix, const cFxWString& uri) {
  for (uint32_t i = 0; i < mNamespaceCount; ++i) {
    const sNamespace& entry = mNamespaces[i];
    if (entry.mDepth == mDepth && entry.mPrefix.GetHandle() == prefix.GetHandle()) Fail();
  }
  if (mNamespaceCount == cMaxNamespaces) Fail();
  sNamespace& entry = mNamespaces[mNamespaceCount++];
  entry.mDepth = mDepth;
  entry.mPrefix = prefix;
  entry.mUri = uri;
}

// The innermost declaration of `prefix`; an unprefixed name looks for the
// default namespace. An undeclared non-empty prefix is an error.
const cFxWString& cXmlParser::LookupNamespace(const cFxWString& prefix) const {
  static const cFxWString kNoNamespace;
  for (uint32_t i = mNamespaceCount; i-- > 0;) {
    if (mNamespaces[i].mPrefix.GetHandle() == prefix.GetHandle()) return mNamespaces[i].mUri;
  }
  if (!prefix.IsEmpty()) Fail();
  return kNoNamespace;
}

void cXmlParser::ResolveNames(const cFxWString& prefix) {
  mNamespace = LookupNamespace(prefix);
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    sAttribute& attribute = mAttributes[i];
    attribute.mNamespace = LookupNamespace(attribute.mPrefix);
    attribute.mPrefix = cFxWString();
  }
}

// Declarations made at the depth just closed (or deeper) go out of scope.
void cXmlParser::PopNamespaces() {
  while (mNamespaceCount > 0 && mNamespaces[mNamespaceCount - 1].mDepth >= mDepth) {
    sNamespace& entry = mNamespaces[--mNamespaceCount];
    entry.mPrefix = cFxWString();
    entry.mUri = cFxWString();
  }
}

void cXmlParser::ClearAttributes() {
  for (uint32_t i = 0; i < mAttributeCount; ++i) {
    sAttribute& attribute = mAttributes[i];
    attribute.mName = cFxWString();
    attribute.mPrefix = cFxWString();
    attribute.mNamespace = cFxWString();
    attribute.mValue = cFxWString();
  }
  mAttributeCount = 0;
}

void cXmlParser::ClearNamespaces() {
  mDepth = INT32_MIN;
  PopNamespaces();
}

// ---- Grammar -----------------------------------------------------------------

void cXmlParser::Open(cFxFile& stream) {
  mStream = &stream;
  mInput = &stream;
  mMalformed = false;
  ClearNamespaces();
  mDepth = 0;
  mNodeType = eNone;
  mName = cFxWString();
  mNamespace = cFxWString();
  ClearAttributes();
  mText = cFxWString();
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
      mText = cFxWString();
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
  mName = cFxWString();
  mNamespace = cFxWString();
  ClearAttributes();
  mText = cFxWString();

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
      if (mMalformed) Fail();
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
  mName = InternName(mTokenText.data(), static_cast<uint32_t>(mTokenText.size()));
  NextToken();
  ReadAttributeList(false);
  SkipWhitespace();
  Expect(kXmlToken::cDeclarationEnd);
  mTextPending = true;
  mNodeType = eDeclaration;
}

void cXmlParser::ReadStartTag() {
  NextToken();
  Expect(kXmlToken::cName);
  cFxWString prefix;
  bool hasColon;
  SplitTokenName(prefix, mName, hasColon);
  NextToken();
  ReadAttributeList(true);
  SkipWhitespace();
  if (mToken == kXmlToken::cEmptyElementEnd) {
    mEmptyElementPending = true;
  } else {
    Expect('>');
  }
  ++mDepth;
  ResolveNames(prefix);
  mTextPending = true;
  mNodeType = eElementStart;
}

void cXmlParser::ReadEndTag() {
  NextToken();
  Expect(kXmlToken::cName);
  cFxWString prefix;
  bool hasColon;
  SplitTokenName(prefix, mName, hasColon);
  NextToken();
  SkipWhitespace();
  Expect('>');
  --mDepth;
  ResolveNames(prefix);
  PopNamespaces();
  mTextPending = true;
  mNodeType = eElementEnd;
}

// Attributes and namespace declarations of a start tag (`inTag`) or of a
// processing instruction, whose attribute names stay qualified.
void cXmlParser::ReadAttributeList(bool inTag) {
  static const std::u16string kXmlns = u"xmlns";
  SkipWhitespace();
  while (mToken == kXmlToken::cName) {
    cFxWString prefix;
    cFxWString name;
    bool hasColon = false;
    bool isDeclaration = false;
    cFxWString declaredPrefix;
    if (mTokenText == kXmlns) {
      isDeclaration = true;
    } else if (mTokenColon == 5 && mTokenText.compare(0, 5, kXmlns) == 0) {
      isDeclaration = true;
      declaredPrefix = InternName(mTokenText.data() + 6, static_cast<uint32_t>(mTokenText.size() - 6));
    } else if (inTag) {
      SplitTokenName(prefix, name, hasColon);
    } else {
      name = InternName(mTokenText.data(), static_cast<uint32_t>(mTokenText.size()));
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

    cFxWStringBuilder& value = SharedCharacterBuffer();
    if (isDeclaration) {
      AddNamespace(declaredPrefix, InternName(value.Units(), value.Count()));
    } else {
      for (uint32_t i = 0; i < mAttributeCount; ++i) {
        const sAttribute& other = mAttributes[i];
        if (other.mName.GetHandle() == name.GetHandle() &&
            other.mPrefix.GetHandle() == prefix.GetHandle() && other.mHasColon == hasColon) {
          Fail();
        }
      }
      if (mAttributeCount == cMaxAttributes) Fail();
      sAttribute& attribute = mAttributes[mAttributeCount++];
      attribute.mName = std::move(name);
      attribute.mPrefix = std::move(prefix);
      attribute.mHasColon = hasColon;
      attribute.mValue = MakeText(value);
    }
    // The value has been taken out of the shared buffer and the name token
    // is done with: the next token may be the next attribute's name.
    NextToken();
    SkipWhitespace();
  }
}

// Collects the value into the shared buffer up to (not including) the
// closing quote. No whitespace normalisation.
void cXmlParser::ReadAttributeValue(int32_t quote) {
  cUnitSink sink;
  for (;;) {
    int32_t c = mChar;
    if (IsPlainText(c) && c != quote) {
      cFxFile& input = *mInput;
      int32_t byte;
      do {
        sink.Put(static_cast<wchar16>(c));
        c = byte = input.ReadByte();
      } while (IsPlainText(byte) && byte != quote);
      mChar = 0;  // the character before `byte` was no line break
      Accept(byte);
      continue;
    }
    if (c == quote) break;
    if (c < 0) Fail();
    if (c == '&') {
      sink.Put(ReadEntity());
      continue;
    }
    sink.Put(static_cast<wchar16>(c));
    Advance();
  }
  sink.Finish();
}

// Character data up to the next tag or the end of input. Comments inside
// it are skipped; the token that ends it stays current for the next Read.
void cXmlParser::ReadCharacterData() {
  cUnitSink sink;
  for (;;) {
    int32_t c = mChar;
    if (IsPlainText(c)) {
      // A run of plain ASCII: no tag, entity, line break or multi-byte
      // sequence to look at, so bytes are copied as they come.
      cFxFile& input = *mInput;
      int32_t byte;
      do {
        sink.Put(static_cast<wchar16>(c));
        c = byte = input.ReadByte();
      } while (IsPlainText(byte));
      mChar = 0;  // the character before `byte` was no line break
      Accept(byte);
      continue;
    }
    if (c == '<') {
      NextToken();
      if (mToken != kXmlToken::cCommentStart) break;
      SkipComment();
      continue;
    }
    if (c == '&') {
      sink.Put(ReadEntity());
      continue;
    }
    if (c < 0) {
      if (mMalformed) Fail();
      mTokenLine = mLine;
      mToken = kXmlToken::cEnd;
      break;
    }
    sink.Put(static_cast<wchar16>(c));
    Advance();
  }
  mText = MakeText(sink.Finish());
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
