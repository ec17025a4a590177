// Writes translations into a game-flavour document (the XML form of a
// ".bin"), copying the whole document to the data file's path followed by
// ".temp".
//
// Everything is copied by the game pass-through rules: the namespace is
// declared on the first start tag, attributes come back as "d:name", "nil"
// and "blob" carry the prefix "d". Inside a
// "Localisation-cUserLocalisedString" the text of its "English" child is
// looked up; when several records carry the id, the last one in the file
// wins. While a string is matched, the text of each element named "French",
// "Italian", "German", "Spanish", "Russian", "Polish" or "Dutch" becomes the
// record's translation, found by the element's name, so the children may
// stand in any order; an empty translation empties the element, which keeps
// its start and end tag. A language element before "English" is not
// changed, and neither is "English" itself.
//
// A match ends where the string's "Other" part starts, so the further
// language pairs under "Other" are copied as they are, and at the latest at
// the string's end tag: a string without "Other" does not lend its match to
// the next string, nor to language-named elements that follow it outside
// any string. Every string therefore starts unmatched.
#pragma once

#include "localisation/cUpdateVisitor.h"

class cGameUpdateVisitor : public cUpdateVisitor {
 public:
  cGameUpdateVisitor();

  void StartElement(cXmlElement& element) override;
  void EndElement(const cFxWString& name) override;
  void Text(const cXmlText& text) override;

 protected:
  cFxWString GetOutputFilePath() const override;

 private:
  bool mInLocalisedString = false;
  bool mInEnglish = false;
  // The record of the current string, as the lookup holds it.
  const sTranslationRecord* mMatch = nullptr;
};
