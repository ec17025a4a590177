#include "localisation/cGameReplaceVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

cGameReplaceVisitor::cGameReplaceVisitor() : cReplaceVisitor(eFlavour::Game, true) {}

bool cGameReplaceVisitor::IsScope(const cXmlElement& element) const {
  return !HasScopeTags() || (HasReplaceTags() && IsScopeTag(element.GetName()));
}

bool cGameReplaceVisitor::IsExcluded(const cXmlElement& element) const {
  return HasReplaceTags() && IsExcludeTag(element.GetName());
}

bool cGameReplaceVisitor::IsTarget(const cXmlElement& element) const {
  return IsReplaceTag(element.GetName()) &&
         TextEquals(GetAttributeOrEmpty(element, kLocalisation::cTypeAttribute),
                    kLocalisation::cDeltaString);
}

void cGameReplaceVisitor::StartElement(cXmlElement& element) {
  if (!mElements.IsEmpty()) {
    if (!mInScope && IsScope(element)) EnterScope();
    if (!mReplacing && !mExcluding && mInScope) {
      if (IsExcluded(element)) {
        BeginExclusion(element.GetName());
      } else if (IsTarget(element)) {
        mTargetName = element.GetName();
        BeginReplacement();
      }
    }
  }
  // A target's start tag is held back: the localised string brings its own.
  if (!mReplacing) PassStartTag(element);
  mElements.Push(element);
}

void cGameReplaceVisitor::Text(const cFxWString& text) {
  if (mReplacing) {
    NoteReplacementText();
    WriteGameLocalisedString(mTargetName, text);
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
  mWriter.StartElement(tagName.c_str(), u"");
  mWriter.StartElement(kLocalisation::cLocalisedString, u"");
  for (uint32_t i = 0; i < kLocalisation::cLanguageCount; ++i) {
    const wchar16* language = kLocalisation::cLanguages[i];
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
  mWriter.EndElement(tagName.c_str(), u"");
}
