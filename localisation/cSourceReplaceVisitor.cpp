#include "localisation/cSourceReplaceVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "xml/cXmlElement.h"

namespace {
bool IsAttribute(const cXmlElement& element) { return WatchedNames().mAttribute.Matches(element.GetName()); }

// The name of the tag an "Attribute" element stands for.
cFxWString TagNameOf(const cXmlElement& element) {
  return GetAttributeOrEmpty(element, kLocalisation::cNameAttribute);
}
}  // namespace

cSourceReplaceVisitor::cSourceReplaceVisitor() : cReplaceVisitor(eFlavour::Source, false) {}

void cSourceReplaceVisitor::StartElement(cXmlElement& element) {
  // Scope, exclusion and target look at the element's name and, for an
  // "Attribute", at the name of the tag it stands for.
  const cFxWString& name = element.GetName();
  const bool attribute = IsAttribute(element);
  const cFxWString tagName = attribute ? TagNameOf(element) : cFxWString();
  if (!mInScope && (OpensScope(name) || (attribute && OpensScope(tagName)))) EnterScope();
  if (!mReplacing && !mExcluding && mInScope) {
    if (StartsExclusion(name) || (attribute && StartsExclusion(tagName))) {
      BeginExclusion(name);
    } else if (mInTarget) {
      if (WatchedNames().mLocalisedString.Matches(name)) {
        mInTarget = false;
      } else if (WatchedNames().mDeltaString.Matches(name)) {
        BeginReplacement();
      }
    } else if (attribute && IsReplaceTag(tagName)) {
      mInTarget = true;
    }
  }
  if (!mReplacing || IsCopyingTarget()) PassStartTag(element);
  mElements.Push(element);
}

void cSourceReplaceVisitor::Text(const cXmlText& text) {
  if (mReplacing && !IsCopyingTarget()) {
    NoteReplacementText();
    WriteSourceLocalisedString(text.String());
  } else {
    PassText(text);
  }
}

void cSourceReplaceVisitor::EndElement(const cFxWString& name) {
  CopyReplacementWithoutText();
  mElements.Pop();
  if (!mReplacing || IsCopyingTarget()) PassEndTag(name);
  if (mReplacing && WatchedNames().mDeltaString.Matches(name)) {
    EndReplacement();
    mInTarget = false;
  }
  EndExclusionAndScope(name);
}

void cSourceReplaceVisitor::StartAttribute(const wchar16* name) {
  mWriter.StartElement(kLocalisation::cAttribute, u"");
  mWriter.Attribute(kLocalisation::cNameAttribute, name, u"");
}

void cSourceReplaceVisitor::WriteSourceLocalisedString(const cFxWString& text) {
  if (!HasOutput()) return;
  using namespace kLocalisation;
  mWriter.StartElement(cLocalisedString, u"");
  mWriter.StartElement(cElement, u"");
  mWriter.StartElement(cValue, u"");
  for (uint32_t i = 0; i < cLanguageCount; ++i) {
    StartAttribute(cLanguages[i]);
    mWriter.StartElement(cDeltaString, u"");
    mWriter.StartElement(cElement, u"");
    mWriter.StartElement(cValue, u"");
    // Every language's value gets a text, the empty ones too.
    if (i == 0) {
      mWriter.Text(text.c_str(), text.Length());
    } else {
      mWriter.Text(u"", 0);
    }
    mWriter.EndElement(cValue, u"");
    mWriter.EndElement(cElement, u"");
    mWriter.EndElement(cDeltaString, u"");
    mWriter.EndElement(cAttribute, u"");
  }
  StartAttribute(cOther);
  mWriter.StartElement(cOtherList, u"");
  mWriter.StartElement(cElement, u"");
  mWriter.StartElement(cValue, u"");
  mWriter.EndElement(cValue, u"");  // no text: the empty form
  mWriter.EndElement(cElement, u"");
  mWriter.EndElement(cOtherList, u"");
  mWriter.EndElement(cAttribute, u"");
  mWriter.EndElement(cValue, u"");
  mWriter.EndElement(cElement, u"");
  mWriter.EndElement(cLocalisedString, u"");
}
