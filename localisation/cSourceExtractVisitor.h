// Extracts the localised strings of a source-flavour document (an ".xml"
// data file) as lines of the translations file.
//
// Inside a "Localisation-cUserLocalisedString" the texts of the "Value"
// elements that lie in a "cDeltaString" become the columns, in document
// order: one per language, eight for a string in the tool's own form (the
// empty "Value" of the "Other" list is not in a "cDeltaString"). A string
// whose first (English) text is empty gets no line. The root element is
// never a string.
// A nested string's texts are columns of the outer line, and its end tag
// ends that line.
#pragma once

#include "localisation/cExtractVisitor.h"

class cSourceExtractVisitor : public cExtractVisitor {
 public:
  cSourceExtractVisitor();

  void StartElement(cXmlElement& element) override;
  void EndElement(const cFxWString& name) override;
  void Text(const cXmlText& text) override;
  bool WantsText() const override { return mInValue && !mSkipString; }

 private:
  bool mInLocalisedString = false;
  bool mInDeltaString = false;
  bool mInValue = false;
};
