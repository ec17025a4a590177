// Extracts the localised strings of a game-flavour document (the XML form
// of a ".bin") as lines of the translations file.
//
// A string's record opens when the first child of a
// "Localisation-cUserLocalisedString" starts; every text after that, at any
// depth and empty ones included, becomes a column, in document order, until
// the end tag of a "Localisation-cUserLocalisedString" ends the line. For a
// string in the tool's own form that is nine columns, "English" to "Dutch"
// and the empty "Other". A string whose first (English) text is empty gets
// no line: it is skipped up to its end tag, so no line is ever keyed by the
// text of another language.
// A nested string's texts are columns of the outer line, and its end tag
// ends that line.
#pragma once

#include "localisation/cExtractVisitor.h"

class cGameExtractVisitor : public cExtractVisitor {
 public:
  cGameExtractVisitor();

  void StartElement(cXmlElement& element) override;
  void EndElement(const cFxWString& name) override;
  void Text(const cXmlText& text) override;
  bool WantsText() const override { return mInLocalisedString && !mSkipString; }

 private:
  bool mInLocalisedString = false;
};
