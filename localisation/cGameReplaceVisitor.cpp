#include "localisation/cGameReplaceVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cGameReplaceVisitor::cGameReplaceVisitor() : cReplaceVisitor(eFlavour::Game, true) {}

namespace {
// A tag of the replace list is a target only when it holds a plain string.
bool HoldsPlainString(const cXmlElement& element) {
  return TextEquals(GetAttributeOrEmpty(element, kLocalisation::cTypeAttribute),
                    kLocalisation::cDeltaString);
}
}  // namespace

void cGameReplaceVisitor::StartElement(cXmlElement& element) {
  if (!mElements.IsEmpty()) {
    const cFxWString& name = element.GetName();
    if (!mInScope && OpensScope(name)) EnterScope();
    if (!mReplacing && !mExcluding && mInScope) {
      if (StartsExclusion(name)) {
        BeginExclusion(name);
      } else if (IsReplaceTag(name) && HoldsPlainString(element)) {
        mTargetName = element.GetName();
        BeginReplacement();
      }
    }
  }
  // A target's start tag is held back: the localised string brings its own.
  if (!mReplacing) PassStartTag(element);
  mElements.Push(element);
}

void cGameReplaceVisitor::Text(const cXmlText& text) {
  if (mReplacing) {
    NoteReplacementText();
    WriteGameLocalisedString(mTargetName, text.String());
  } else {
    PassText(text);
  }
}

void cGameReplaceVisitor::EndElement(const cFxWString& name) {
  CopyReplacementWithoutText();
  mElements.Pop();
  // A localised string already closed the target's tag.
  if (!mReplacing || IsCopyingTarget()) PassEndTag(name);
  EndReplacement();
  EndExclusionAndScope(name);
}

void cGameReplaceVisitor::WriteGameLocalisedString(const cFxWString& tagName,
                                                   const cFxWString& text) {
  if (!HasOutput()) return;
  mWriter.StartElement(tagName, u"");
  mWriter.StartElement(kLocalisation::cLocalisedString, u"");
  for (uint32_t i = 0; i < kTranslationsColumns::cLanguageCount; ++i) {
    const wchar16* language = kTranslationsColumns::cLanguages[i];
    mWriter.StartElement(language, u"");
    mWriter.Attribute(kLocalisation::cTypeAttribute, kLocalisation::cDeltaString,
                      kLocalisation::cNamespacePrefix);
    // Typed languages keep start and end tag even when empty.
    if (i == 0) {
      mWriter.Text(text.c_str(), text.Length());
    } else {
      mWriter.Text(u"", 0);
    }
    mWriter.EndElement(language, u"");
  }
  mWriter.StartElement(kLocalisation::cOther, u"");
  mWriter.EndElement(kLocalisation::cOther, u"");
  mWriter.EndElement(kLocalisation::cLocalisedString, u"");
  mWriter.EndElement(tagName, u"");
}
