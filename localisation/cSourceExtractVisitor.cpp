#include "localisation/cSourceExtractVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cSourceExtractVisitor::cSourceExtractVisitor() : cExtractVisitor(eFlavour::Source) {}

void cSourceExtractVisitor::StartElement(cXmlElement& element) {
  if (mStream->IsOpen() && !mElements.IsEmpty() && !mInValue) {
    const cFxWString& name = element.GetName();
    const sWatchedNames& watched = WatchedNames();
    if (!mInLocalisedString) {
      if (watched.mLocalisedString.Matches(name)) mInLocalisedString = true;
    } else if (!mInDeltaString) {
      if (watched.mDeltaString.Matches(name)) mInDeltaString = true;
    } else if (watched.mValue.Matches(name)) {
      mInValue = true;
    }
  }
  mElements.Push(element);
}

void cSourceExtractVisitor::Text(const cXmlText& text) {
  if (!mInValue || mSkipString) return;
  ExtractText(text);
  // A skipped string reads no value any more, so its later element names
  // are tested again as usual.
  if (mSkipString) mInValue = false;
}

void cSourceExtractVisitor::EndElement(const cFxWString& name) {
  mElements.Pop();
  const sWatchedNames& watched = WatchedNames();
  if (mInValue && watched.mValue.Matches(name)) mInValue = false;
  if (watched.mDeltaString.Matches(name)) {
    mInDeltaString = false;
  } else if (watched.mLocalisedString.Matches(name)) {
    EndString();
    mInLocalisedString = false;
  }
}
