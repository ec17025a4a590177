// Copies a source-flavour document (an ".xml" data file) and turns each
// plain string held in a tag of the replace list into a localised string.
//
// A tag here is an element "Attribute" whose `name` attribute holds the
// tag's name; its plain string is the "cDeltaString" element inside it
// (with "Element" and "Value" holding the text). The target keeps its own
// start and end tag; its "cDeltaString" subtree gives way to the localised
// string: the plain text as English, the seven other languages empty, and
// the other-language list with one empty value.
//
// Scope and exclusion look at element names and at the `name` of "Attribute"
// elements; the root is tested like every other element, so with an empty
// scope list the whole document is the scope. An exclusion that an
// "Attribute" starts ends at the first "Attribute" end tag inside it.
// Inside a target the first "cDeltaString" or
// "Localisation-cUserLocalisedString" to start settles it: the former is
// replaced, the latter means the tag holds a localised string already and is
// copied unchanged. Replacing lasts to the next "cDeltaString" end tag; every
// text it receives meanwhile becomes one localised string, so in a document
// laid out with LF line ends the layout inside it counts as texts too.
// No namespace is declared and no prefixes are written.
#pragma once

#include "localisation/cReplaceVisitor.h"

class cSourceReplaceVisitor : public cReplaceVisitor {
 public:
  cSourceReplaceVisitor();

  void StartElement(cXmlElement& element) override;
  void EndElement(const cFxWString& name) override;
  void Text(const cXmlText& text) override;

 private:
  void WriteSourceLocalisedString(const cFxWString& text);
  // Start tag of "Attribute" with `name` = `name`.
  void StartAttribute(sXmlName name);

  // Inside a target, waiting for the element that settles it.
  bool mInTarget = false;
};
