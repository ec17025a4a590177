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
// Character data is collected in one buffer shared by all parsers, so
// parsing is single-threaded.
#pragma once

#include <string>

#include "API/core/cFxString.h"

class cFxFile;

enum eXmlNodeType : int32_t {
  eDocumentStart = 0,  // after Open, before the first Read
  eDeclaration = 1,    // a processing instruction <?name ...?>
  eElementStart = 2,   // a start tag or an empty-element tag
  eElementEnd = 3,     // an end tag, or the end of an empty-element tag
  eText = 4,           // character data between two tags, possibly empty
  eDocumentEnd = 6,    // end of input
  eNone = 7            // nothing read yet (never opened)
};

class cXmlParser {
 public:
  static constexpr uint32_t cMaxAttributes = 64;
  static constexpr uint32_t cMaxNamespaces = 32;

  cXmlParser();
  cXmlParser(const cXmlParser&) = delete;
  cXmlParser& operator=(const cXmlParser&) = delete;

  // Resets all state, reads the optional declaration and leaves the node at
  // eDocumentStart. A badly formed declaration ends the process.
  void Open(cFxFile& stream);
  // Advances to the next node. A syntax error ends the process.
  void Read();

  eXmlNodeType GetNodeType() const { return mNodeType; }
  // Local name of the element (start or end), or the declaration's name.
  const cFxWString& GetName() const { return mName; }
  // Namespace URI of the element's prefix (or of the default namespace).
  const cFxWString& GetNamespace() const { return mNamespace; }
  uint32_t GetAttributeCount() const { return mAttributeCount; }
  // Attributes of the current start tag or declaration, 0-based, in
  // document order; i < GetAttributeCount().
  const cFxWString& GetAttributeName(uint32_t i) const { return mAttributes[i].mName; }
  const cFxWString& GetAttributeNamespace(uint32_t i) const { return mAttributes[i].mNamespace; }
  const cFxWString& GetAttributeValue(uint32_t i) const { return mAttributes[i].mValue; }
  // Character data of the current eText node (null handle when empty).
  const cFxWString& GetText() const { return mText; }
  // Line on which the current node began (1-based); errors report it.
  int32_t GetNodeLine() const { return mNodeLine; }
  int32_t GetDepth() const { return mDepth; }

 private:
  struct sAttribute {
    cFxWString mName;       // local name once resolved (qualified in a declaration)
    cFxWString mPrefix;     // until resolved: the part before the first ':'
    cFxWString mNamespace;
    cFxWString mValue;
    bool mHasColon = false;
  };
  struct sNamespace {
    int32_t mDepth = 0;
    cFxWString mPrefix;
    cFxWString mUri;
  };
  class cUnitSink;
  // A recently interned name, kept alive so that meeting it again costs a
  // hash and a compare instead of an intern-table walk and an allocation.
  struct sCachedName {
    uint32_t mHash = 0;
    uint32_t mLength = 0;
    cFxWString mName;
  };
  static constexpr uint32_t cNameCacheSize = 256;
  // Short texts and values recur (the layout between tags, type names,
  // small numbers): equal ones share one buffer instead of each taking
  // their own.
  static constexpr uint32_t cTextCacheSize = 256;
  static constexpr uint32_t cMaxCachedText = 24;

  // Characters and tokens.
  void Advance();
  void Accept(int32_t byte);
  int32_t DecodeMultiByte(int32_t first);
  int32_t MalformedInput();
  void NextToken();
  void ReadNameToken();
  void SkipWhitespace();
  void Expect(int32_t token);
  wchar16 ReadEntity();

  // Grammar.
  void ReadProcessingInstruction();
  void ReadStartTag();
  void ReadEndTag();
  void ReadAttributeList(bool inTag);
  void ReadAttributeValue(int32_t quote);
  void ReadCharacterData();
  void SkipComment();
  cFxWString InternName(const wchar16* units, uint32_t length);
  cFxWString MakeText(const cFxWStringBuilder& buffer);
  void SplitTokenName(cFxWString& prefix, cFxWString& local, bool& hasColon);
  void AddNamespace(const cFxWString& prefix, const cFxWString& uri);
  const cFxWString& LookupNamespace(const cFxWString& prefix) const;
  void ResolveNames(const cFxWString& prefix);
  void PopNamespaces();
  void ClearAttributes();
  void ClearNamespaces();
  [[noreturn]] void Fail() const;

  cFxFile* mStream = nullptr;
  // Where bytes come from: the stream, or null once input has ended on
  // malformed UTF-8 (every further read then gives end of input).
  cFxFile* mInput = nullptr;
  int32_t mDepth = 0;
  eXmlNodeType mNodeType = eNone;
  cFxWString mName;
  cFxWString mNamespace;
  sAttribute mAttributes[cMaxAttributes];
  uint32_t mAttributeCount = 0;
  cFxWString mText;
  int32_t mNodeLine = 1;
  int32_t mToken;
  // Text of the current name token (or of an entity name being read), and
  // the index of its first ':' (-1 when none). Reused: never shrinks.
  std::u16string mTokenText;
  int32_t mTokenColon = -1;
  int32_t mTokenLine = 1;
  int32_t mChar = -1;
  int32_t mLine = 1;
  bool mEmptyElementPending = false;
  bool mTextPending = false;
  bool mMalformed = false;
  sNamespace mNamespaces[cMaxNamespaces];
  uint32_t mNamespaceCount = 0;
  sCachedName mNameCache[cNameCacheSize];
  sCachedName mTextCache[cTextCacheSize];
};
