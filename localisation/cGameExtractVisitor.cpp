#include "localisation/cGameExtractVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cGameExtractVisitor::cGameExtractVisitor() : cExtractVisitor(kLocalisation::cGameLabel) {}

void cGameExtractVisitor::StartElement(cXmlElement& element) {
  // The string element itself starts nothing: its first child does.
  if (mStream.IsOpen() && !mElements.IsEmpty() && !mInLocalisedString && !mSkipString &&
      TextEquals(mElements.Top()->GetName(), kLocalisation::cLocalisedString)) {
    BeginKey();
    mInLocalisedString = true;
  }
  mElements.Push(element);
}

void cGameExtractVisitor::Text(const cFxWString& text) {
  if (!mInLocalisedString) return;
  if (!mLineStarted) {
    if (text.IsEmpty()) {
      mInLocalisedString = false;
      mSkipString = true;
      return;
    }
    WriteLineHead(text);
  }
  WriteColumn(text);
}

void cGameExtractVisitor::EndElement(const cFxWString& name) {
  mElements.Pop();
  if ((mInLocalisedString || mSkipString) &&
      TextEquals(name, kLocalisation::cLocalisedString)) {
    if (mLineStarted) EndLine();
    mInLocalisedString = false;
    mSkipString = false;
    mLineStarted = false;
  }
}
