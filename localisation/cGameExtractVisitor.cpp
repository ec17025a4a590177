#include "localisation/cGameExtractVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cGameExtractVisitor::cGameExtractVisitor() : cExtractVisitor(eFlavour::Game) {}

void cGameExtractVisitor::StartElement(cXmlElement& element) {
  // The string element itself starts nothing: its first child does.
  if (mStream->IsOpen() && !mInLocalisedString && !mElements.IsEmpty() &&
      WatchedNames().mLocalisedString.Matches(mElements.Top()->GetName())) {
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
  if (mInLocalisedString && WatchedNames().mLocalisedString.Matches(name)) {
    EndString();
    mInLocalisedString = false;
  }
}
