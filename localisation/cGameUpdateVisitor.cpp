#include "localisation/cGameUpdateVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

namespace {
// The game flavour's converted file is rewritten through this sibling.
constexpr const wchar16* cTemporarySuffix = u".temp";
}  // namespace

cGameUpdateVisitor::cGameUpdateVisitor()
    : cUpdateVisitor(eFlavour::Game, eDuplicateIds::LastWins) {}

cFxWString cGameUpdateVisitor::GetOutputFilePath() const { return mFilePath + cTemporarySuffix; }

void cGameUpdateVisitor::StartElement(cXmlElement& element) {
  PassStartTag(element);
  const cFxWString& name = element.GetName();
  if (WatchedNames().mLocalisedString.Matches(name)) {
    mInLocalisedString = true;
  } else if (mInLocalisedString && WatchedNames().mEnglish.Matches(name)) {
    mInEnglish = true;
  } else if (WatchedNames().mOther.Matches(name)) {
    // Ending the match here rather than at the first text inside "Other"
    // keeps pairs laid out over several lines out of reach as well.
    mMatch = nullptr;
  }
  mElements.Push(element);
}

void cGameUpdateVisitor::Text(const cXmlText& text) {
  const cXmlElement* container = mElements.Top();
  if (mInEnglish) {
    if (const sTranslationRecord* record = FindRecord(text.String())) mMatch = record;
  } else if (mMatch && container) {
    PassText(Translate(*mMatch, container->GetName(), text.String()));
    return;
  }
  PassText(text);
}

void cGameUpdateVisitor::EndElement(const cFxWString& name) {
  PassEndTag(name);
  if (mInEnglish && WatchedNames().mEnglish.Matches(name)) {
    mInEnglish = false;
  } else if (WatchedNames().mLocalisedString.Matches(name)) {
    mInLocalisedString = false;
    mMatch = nullptr;
  }
  mElements.Pop();
}
