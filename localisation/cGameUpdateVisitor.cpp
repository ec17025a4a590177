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
  if (TextEquals(name, kLocalisation::cLocalisedString)) {
    mInLocalisedString = true;
  } else if (mInLocalisedString && TextEquals(name, kLocalisation::cEnglish)) {
    mInEnglish = true;
  } else if (TextEquals(name, kLocalisation::cOther)) {
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
  if (mInEnglish && TextEquals(name, kLocalisation::cEnglish)) {
    mInEnglish = false;
  } else if (TextEquals(name, kLocalisation::cLocalisedString)) {
    mInLocalisedString = false;
    mMatch = nullptr;
  }
  mElements.Pop();
}
