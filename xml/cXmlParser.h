// Pull parser for the XML subset of the game's data files.
//
// Reads UTF-8 from a cFxFile and hands the document out one node at a time;
// no tree is built. Accepted: an optional leading declaration, elements,
// attributes, namespace declarations and prefixed names, character data with
// the five predefined entities and numeric entity names, comments inside
// character data, processing instructions. Anything else (document types,
// CDATA sections, a byte-order mark, stray text before the root...) is a
// fatal "Badly formed XML document." error raised as cXmlParseException with
// the line on which the current node began: the process ends inside Read or
// Open and never returns to the caller.
//
// Node sequence: after Open the node is eDocumentStart; every Read advances
// by one node. After every tag (start, end, empty-element or declaration)
// exactly one eText node follows, empty when the next tag follows at once;
// an empty-element tag gives eElementStart, an empty eText and eElementEnd.
// Text after the last tag is delivered before eDocumentEnd; unclosed
// elements at the end of input are not an error, nor is an end tag whose
// name differs from its start tag's.
//
// Names: element and attribute names come back as local names (prefix
// removed) with the namespace URI their prefix is bound to; the default
// namespace applies to unprefixed attributes too. Names and URIs are
// interned, so equal names share one handle; an empty name or text is the
// null handle. Namespace declarations are not among the attributes.
//
// Limits: a tag with more than cMaxAttributes attributes, or more than
// cMaxNamespaces namespace declarations in scope, is badly formed.
//
// The parser does not own the stream; the stream must outlive the parse.
// It reads the stream in chunks of its own (the read chunk size given at
// construction) and keeps character data in buffers of its own. Names and
// short texts are shared through process-wide caches, so parsing is
// single-threaded.
#pragma once

#include <memory>

#include "API/core/cFxString.h"

class cFxFile;
struct sXmlAttributeName;

enum eXmlNodeType : int32_t {
  eDocumentStart = 0,  // after Open, before the first Read
  eDeclaration = 1,    // a processing instruction <?name ...?>
  eElementStart = 2,   // a start tag or an empty-element tag
  eElementEnd = 3,     // an end tag, or the end of an empty-element tag
  eText = 4,           // character data between two tags, possibly empty
  eDocumentEnd = 6,    // end of input
  eNone = 7            // nothing read yet (never opened)
};

namespace kXmlParser {
// Bytes taken from the stream at a time.
constexpr uint32_t cReadChunkSize = 16 * 1024;
}  // namespace kXmlParser

class cXmlParser {
 public:
  static constexpr uint32_t cMaxAttributes = 64;
  static constexpr uint32_t cMaxNamespaces = 32;

  explicit cXmlParser(uint32_t readChunkSize = kXmlParser::cReadChunkSize);
  cXmlParser(const cXmlParser&) = delete;
  cXmlParser& operator=(const cXmlParser&) = delete;

  // Resets all state, reads the optional declaration and leaves the node at
  // eDocumentStart. A badly formed declaration ends the process.
  void Open(cFxFile& stream);
  // Advances to the next node. A syntax error ends the process.
  void Read();
  // Whether the attributes' values are made (so from construction). A
  // reader that never looks at them saves their strings: tags are read and
  // checked just the same, names and namespaces come back as usual, and
  // GetAttributeValue answers the empty string.
  void SetAttributeValuesWanted(bool wanted) { mAttributeValuesWanted = wanted; }

  eXmlNodeType GetNodeType() const { return mNodeType; }
  // Local name of the element (start or end), or the declaration's name.
  const cFxWString& GetName() const { return mNameCleared ? cNoName : mName; }
  // Namespace URI of the element's prefix (or of the default namespace).
  const cFxWString& GetNamespace() const { return mNamespace; }
  uint32_t GetAttributeCount() const { return mAttributeCount; }
  // Attributes of the current start tag or declaration, 0-based, in
  // document order; i < GetAttributeCount().
  const cFxWString& GetAttributeName(uint32_t i) const { return mAttributes[i].mName; }
  const cFxWString& GetAttributeNamespace(uint32_t i) const { return mAttributes[i].mNamespace; }
  const cFxWString& GetAttributeValue(uint32_t i) const { return mAttributes[i].mValue; }
  // Character data of the current eText node (null handle when empty). The
  // string is made on the first call, so a text nobody asks for costs none.
  const cFxWString& GetText();
  // The units of the current eText node's text and their number, in the
  // parser's own buffer (not the string heap), valid until the next Read;
  // the units may be null when there are none.
  const wchar16* GetTextUnits() const { return mTextUnits.Data(); }
  uint32_t GetTextLength() const { return mTextUnits.Size(); }
  // Whether the current eText node's text begins with `unit`; makes no
  // string.
  bool TextStartsWith(wchar16 unit) const { return mTextUnits.Size() != 0 && mTextUnits.Data()[0] == unit; }
  // Line on which the current node began (1-based); errors report it.
  int32_t GetNodeLine() const { return mNodeLine; }
  int32_t GetDepth() const { return mDepth; }

 private:
  struct sAttribute {
    cFxWString mName;       // local name once resolved (qualified in a declaration)
    cFxWString mPrefix;     // the part before the first ':' (not read once resolved)
    cFxWString mNamespace;
    cFxWString mValue;
    bool mHasColon = false;
  };
  struct sNamespace {
    int32_t mDepth = 0;
    cFxWString mPrefix;
    cFxWString mUri;
  };
  // Units collected in ordinary memory, which the string heap's compaction
  // never moves; reused from node to node, so it grows only to the longest
  // text or name met.
  class cUnits {
   public:
    void Clear() { mCount = 0; }
    void Put(wchar16 unit) {
      if (mCount == mCapacity) Grow(1);
      mUnits[mCount++] = unit;
    }
    // Room for `count` more units after the last; Commit(end) keeps those
    // written up to `end`.
    wchar16* Reserve(uint32_t count) {
      if (mCapacity - mCount < count) Grow(count);
      return mUnits.get() + mCount;
    }
    void Commit(const wchar16* end) { mCount = static_cast<uint32_t>(end - mUnits.get()); }
    const wchar16* Data() const { return mUnits.get(); }
    uint32_t Size() const { return mCount; }
    bool Equals(const char16_t* literal) const;

   private:
    void Grow(uint32_t count);
    std::unique_ptr<wchar16[]> mUnits;
    uint32_t mCount = 0;
    uint32_t mCapacity = 0;
  };

  // Characters and tokens.
  int32_t NextByte() { return mNext != mEnd ? *mNext++ : Refill(); }
  int32_t Refill();
  void TakeRun(cUnits& units, uint8_t charClass, int32_t stop);
  void CountLineBreak(int32_t previous, int32_t c);
  void TakeTextRun(cUnits& units);
  void SkipSpaceRun();
  void Advance();
  int32_t DecodeMultiByte(int32_t first);
  int32_t MalformedInput();
  void NextToken();
  void ReadNameToken();
  bool StartsNameInChunk() const;
  bool TakeTagName();
  bool TakeTagStart();
  void TakeTokenAt(const uint8_t* from, int32_t previous);
  void SkipWhitespace();
  void Expect(int32_t token);
  wchar16 ReadEntity();

  // Grammar.
  void ReadProcessingInstruction();
  void ReadTagName(cFxWString& prefix);
  void ReadStartTag();
  void ReadEndTag();
  void ReadAttributeList(bool inTag);
  void ReadAttribute(bool inTag);
  bool TakeAttribute();
  const sXmlAttributeName* TakeAttributeName(const uint8_t* start);
  cFxWString MakePlainValue(const uint8_t* from, const uint8_t* end);
  void AddAttribute(const cFxWString& name, const cFxWString& prefix, bool hasColon, const cFxWString& value);
  void ReadAttributeValue(int32_t quote);
  void ReadCharacterData();
  void SkipComment();
  cFxWString InternToken() const;
  cFxWString InternPrefix() const;
  cFxWString InternLocalPart() const;
  void AddNamespace(const cFxWString& prefix, const cFxWString& uri);
  const cFxWString& LookupNamespace(const cFxWString& prefix) const;
  void ResolveTagNames(const cFxWString& prefix);
  void ResolveNames(const cFxWString& prefix);
  void PopNamespaces();
  void ClearAttributes();
  void ClearNamespaces();
  void ClearText();
  [[noreturn]] void Fail() const;

  cFxFile* mStream = nullptr;
  // The chunk read last and the part of it not yet consumed.
  std::unique_ptr<uint8_t[]> mChunk;
  uint32_t mChunkSize;
  const uint8_t* mNext = nullptr;
  const uint8_t* mEnd = nullptr;
  // No more bytes: the stream has ended or failed, or its UTF-8 was
  // malformed.
  bool mInputEnded = false;
  // The input ended on malformed UTF-8 or a read error: the document is
  // rejected wherever it ends.
  bool mInputBroken = false;
  int32_t mDepth = 0;
  eXmlNodeType mNodeType = eNone;
  // The last name read stays held while a node without a name (a text) is
  // current, so that the next tag, often of the same name, changes no
  // reference count; GetName answers cNoName then.
  cFxWString mName;
  bool mNameCleared = false;
  static const cFxWString cNoName;
  cFxWString mNamespace;
  sAttribute mAttributes[cMaxAttributes];
  uint32_t mAttributeCount = 0;
  bool mAttributeValuesWanted = true;
  // The current text as collected (also an attribute value while a tag is
  // read); mText holds it once mTextMade is set.
  cUnits mTextUnits;
  cFxWString mText;
  bool mTextMade = true;
  int32_t mNodeLine = 1;
  int32_t mToken;
  // Text of the current name token (or of an entity name being read), the
  // index of its first ':' (-1 when none), and the hashes of the parts
  // before and after that ':' (of the whole name when there is none).
  cUnits mTokenText;
  int32_t mTokenColon = -1;
  uint32_t mTokenPrefixHash = 0;
  uint32_t mTokenLocalHash = 0;
  int32_t mTokenLine = 1;
  int32_t mChar = -1;
  int32_t mLine = 1;
  bool mEmptyElementPending = false;
  bool mTextPending = false;
  sNamespace mNamespaces[cMaxNamespaces];
  uint32_t mNamespaceCount = 0;
  // Declarations of the default namespace among them.
  uint32_t mDefaultNamespaceCount = 0;
};
