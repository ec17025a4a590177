#include "localisation/cSourceExtractVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cSourceExtractVisitor::cSourceExtractVisitor() : cExtractVisitor(eFlavour::Source) {}

void cSourceExtractVisitor::StartElement(cXmlElement& element) {
  if (mStream->IsOpen() && !mElements.IsEmpty() && !mInValue) {
    const cFxWString& name = element.GetName();
    if (!mInLocalisedString) {
      if (TextEquals(name, kLocalisation::cLocalisedString)) {
        mInLocalisedString = true;
        BeginKey();
      }
    } else if (!mInDeltaString) {
      if (TextEquals(name, kLocalisation::cDeltaString)) mInDeltaString = true;
    } else if (TextEquals(name, kLocalisation::cValue)) {
      mInValue = true;
    }
  }
  mElements.Push(element);
}

void cSourceExtractVisitor::Text(const cFxWString& text) {
  if (!mInValue || mSkipString) return;
  ExtractText(text);
  // A skipped string reads no value any more, so its later element names
  // are tested again as usual.
  if (mSkipString) mInValue = false;
}

void cSourceExtractVisitor::EndElement(const cFxWString& name) {
  mElements.Pop();
  if (mInValue && TextEquals(name, kLocalisation::cValue)) mInValue = false;
  if (TextEquals(name, kLocalisation::cDeltaString)) {
    mInDeltaString = false;
  } else if (TextEquals(name, kLocalisation::cLocalisedString)) {
    EndString();
    mInLocalisedString = false;
  }
}
