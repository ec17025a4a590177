// Copies a game-flavour document (the XML form of a ".bin") and turns each
// plain string held in a tag of the replace list into a localised string.
//
// A plain string here is a tag carrying d:type="cDeltaString" with its text.
// The target's start tag, attributes included, is not copied: in its place
// come the tag without attributes and inside it the localised string, the
// plain text as English, the seven other languages typed and empty, and an
// empty "Other". A tag of the replace list with any other type, or none, is
// copied unchanged with everything inside it.
//
// The root is never tested: it is no scope, exclusion or target, and with an
// empty scope list each child of the root in turn is the scope. Exclusion is
// tested before the target test, so a tag in both lists stays as it is.
// Replacing lasts from the target's start tag to the first end tag after
// it; every text it receives meanwhile becomes one localised string.
// The namespace is declared on the first start tag, as the data file had it.
#pragma once

#include "localisation/cReplaceVisitor.h"

class cGameReplaceVisitor : public cReplaceVisitor {
 public:
  cGameReplaceVisitor();

  void StartElement(cXmlElement& element) override;
  void EndElement(const cFxWString& name) override;
  void Text(const cXmlText& text) override;

 private:
  void WriteGameLocalisedString(const cFxWString& tagName, const cFxWString& text);

  cFxWString mTargetName;
};
