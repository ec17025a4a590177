// A text of a document as the walk hands it to a visitor: its units and
// their number, and on demand the string of them.
//
// A text from the parser points into the parser's own buffer, which stays
// put for the call (the string heap's compaction never moves it), so a text
// that is only copied to the output costs no string. String() makes the
// string on its first call, as the parser's GetText does.
//
// A text may also stand for a string the visitor has (a translation): it is
// made from the string implicitly, must not outlive it, and re-reads the
// string's units on every call, since the string heap may move them.
#pragma once

#include "API/core/cFxString.h"
#include "xml/cXmlParser.h"

class cXmlText {
 public:
  // The current text node of `parser`.
  explicit cXmlText(cXmlParser& parser) : mParser(&parser) {}
  cXmlText(const cFxWString& text) : mString(&text) {}

  const wchar16* Units() const { return mString ? mString->c_str() : mParser->GetTextUnits(); }
  uint32_t Length() const { return mString ? mString->Length() : mParser->GetTextLength(); }
  bool IsEmpty() const { return Length() == 0; }
  // The text as a string (the null handle when empty).
  const cFxWString& String() const { return mString ? *mString : mParser->GetText(); }

 private:
  cXmlParser* mParser = nullptr;
  const cFxWString* mString = nullptr;
};
