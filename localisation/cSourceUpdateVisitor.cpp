#include "localisation/cSourceUpdateVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cSourceUpdateVisitor::cSourceUpdateVisitor()
    : cUpdateVisitor(eFlavour::Source, eDuplicateIds::FirstWins) {}

void cSourceUpdateVisitor::StartElement(cXmlElement& element) {
  // The root is never a string, and nothing inside a value's text is one.
  if (!mElements.IsEmpty() && !mInValue) {
    const cFxWString& name = element.GetName();
    if (!mInLocalisedString) {
      if (WatchedNames().mLocalisedString.Matches(name)) mInLocalisedString = true;
    } else if (!mInDeltaString) {
      if (WatchedNames().mDeltaString.Matches(name)) {
        mInDeltaString = true;
        mLanguage = GetAttributeOrEmpty(*mElements.Top(), kLocalisation::cNameAttribute);
      }
    } else if (WatchedNames().mValue.Matches(name)) {
      mInValue = true;
    }
    if (!mInOtherList && WatchedNames().mOtherList.Matches(name)) {
      mInOtherList = true;
      mMatch = nullptr;
    }
  }
  PassStartTag(element);
  mElements.Push(element);
}

void cSourceUpdateVisitor::Text(const cXmlText& text) {
  if (mInValue) {
    // Only a value's first text is its language's text.
    mInValue = false;
    if (TextEquals(mLanguage, kLocalisation::cEnglish)) {
      if (const sTranslationRecord* record = FindRecord(text.String())) mMatch = record;
    } else if (mMatch) {
      WriteText(Translate(*mMatch, mLanguage, text.String()));
      return;
    }
    WriteText(text);
  } else if (mInOtherList) {
    mInOtherList = false;
    if (!text.IsEmpty()) WriteText(text);
  } else {
    WriteText(text);
  }
}

void cSourceUpdateVisitor::EndElement(const cFxWString& name) {
  mElements.Pop();
  PassEndTag(name);
  if (mInDeltaString && WatchedNames().mDeltaString.Matches(name)) {
    mInDeltaString = false;
  } else if (WatchedNames().mLocalisedString.Matches(name)) {
    mInLocalisedString = false;
    mMatch = nullptr;
  }
}
