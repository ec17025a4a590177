// Streaming XML writer: the exact form of every data file the tool writes.
//
// UTF-8 without byte-order mark, the declaration
// <?xml version="1.0" encoding="utf-8"?>, CR LF line ends, one TAB of
// indentation per open element, the five characters & < > " ' escaped in
// text and attribute values. An element that got neither text nor children
// is closed in its empty form "/>"; one that got any Text call, even an
// empty one, gets an end tag.
//
// A small value holding a pointer to the output stream (not owned); copies
// share the stream. With no stream attached nothing is written. An end tag
// with no element open is written at depth 0 (the indentation never wraps).
//
// Values and texts given with a length are written by that length, so a
// NUL in them (an entity such as "&0;" gives one) is written as well; the
// forms without a length stop at the first NUL. A write that fails is
// remembered by the stream (cFxFile::HasWriteFailed) and reported by its
// Close, also when it was made through a copy of the writer.
//
// Names and prefixes are taken with their length: from a core string,
// whose length the string heap keeps, or from a zero-terminated literal
// (null counts as empty). They hold no NUL.
#pragma once

#include "API/core/FxTypes.h"
#include "API/core/cFxString.h"

class cFxFile;

// A name or prefix as the writer takes it. Holds the string's units, which
// must stay put until the writer call returns (the writer makes no string).
struct sXmlName {
  sXmlName(const cFxWString& name) : mUnits(name.c_str()), mLength(name.Length()) {}
  // Counted inline, so a literal's length is known where it is written, or
  // once for good where the name is a constant.
  constexpr sXmlName(const wchar16* name) : mUnits(name), mLength(0) {
    if (name != nullptr) {
      while (name[mLength] != 0) ++mLength;
    }
  }
  const wchar16* mUnits;
  uint32_t mLength;
};

class cXmlWriter {
 public:
  cXmlWriter() = default;

  // Stores the stream, writes the declaration and a line end.
  void Begin(cFxFile& stream);
  void StartElement(sXmlName name, sXmlName prefix);
  // Only between StartElement and the next other call.
  void Attribute(sXmlName name, const wchar16* value, uint32_t valueLength, sXmlName prefix);
  void Attribute(sXmlName name, const wchar16* value, sXmlName prefix);
  void NamespaceDeclaration(sXmlName prefix, const wchar16* uri);
  void Text(const wchar16* text, uint32_t length);
  void Text(const wchar16* text);
  void EndElement(sXmlName name, sXmlName prefix);

  cFxFile* GetStream() const { return mStream; }

 private:
  void LeaveLevel();

  cFxFile* mStream = nullptr;
  uint32_t mDepth = 0;
  uint8_t mTagOpen = 0;
  uint8_t mEmpty = 0;
  uint8_t mNewlinePending = 0;
  uint8_t mAtLineStart = 0;
};
