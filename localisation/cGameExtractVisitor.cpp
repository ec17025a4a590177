#include "localisation/cGameExtractVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

namespace {
// The name looked for on every tag, interned once for the run.
const cInternedName& LocalisedStringName() {
  static const cInternedName name(kLocalisation::cLocalisedString);
  return name;
}
}  // namespace

cGameExtractVisitor::cGameExtractVisitor() : cExtractVisitor(eFlavour::Game) {}

void cGameExtractVisitor::StartElement(cXmlElement& element) {
  // The string element itself starts nothing: its first child does.
  if (mStream->IsOpen() && !mInLocalisedString && !mElements.IsEmpty() &&
      LocalisedStringName().Matches(mElements.Top()->GetName())) {
    BeginKey();
    mInLocalisedString = true;
  }
  mElements.Push(element);
}

void cGameExtractVisitor::Text(const cXmlText& text) {
  // A skipped string stays open up to its end tag, so no later text of it
  // (another language) can key a line instead of the English one.
  if (mInLocalisedString) ExtractText(text);
}

void cGameExtractVisitor::EndElement(const cFxWString& name) {
  mElements.Pop();
  if (mInLocalisedString && LocalisedStringName().Matches(name)) {
    EndString();
    mInLocalisedString = false;
  }
}
