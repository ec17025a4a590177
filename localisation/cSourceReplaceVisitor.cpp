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

namespace {
// The names a localised string is written with, counted once for good.
constexpr sXmlName kLocalisedStringName = kLocalisation::cLocalisedString;
constexpr sXmlName kElementName = kLocalisation::cElement;
constexpr sXmlName kValueName = kLocalisation::cValue;
constexpr sXmlName kAttributeName = kLocalisation::cAttribute;
constexpr sXmlName kNameAttributeName = kLocalisation::cNameAttribute;
constexpr sXmlName kDeltaStringName = kLocalisation::cDeltaString;
constexpr sXmlName kOtherListName = kLocalisation::cOtherList;
constexpr sXmlName kOtherName = kLocalisation::cOther;
constexpr sXmlName kNoPrefix = u"";
namespace kColumns = kTranslationsColumns;
constexpr sXmlName kLanguageNames[kColumns::cLanguageCount] = {
    kColumns::cLanguages[0], kColumns::cLanguages[1], kColumns::cLanguages[2], kColumns::cLanguages[3],
    kColumns::cLanguages[4], kColumns::cLanguages[5], kColumns::cLanguages[6], kColumns::cLanguages[7]};
}  // namespace

void cSourceReplaceVisitor::StartAttribute(sXmlName name) {
  mWriter.StartElement(kAttributeName, kNoPrefix);
  mWriter.Attribute(kNameAttributeName, name.mUnits, name.mLength, kNoPrefix);
}

void cSourceReplaceVisitor::WriteSourceLocalisedString(const cFxWString& text) {
  if (!HasOutput()) return;
  mWriter.StartElement(kLocalisedStringName, kNoPrefix);
  mWriter.StartElement(kElementName, kNoPrefix);
  mWriter.StartElement(kValueName, kNoPrefix);
  for (uint32_t i = 0; i < kTranslationsColumns::cLanguageCount; ++i) {
    StartAttribute(kLanguageNames[i]);
    mWriter.StartElement(kDeltaStringName, kNoPrefix);
    mWriter.StartElement(kElementName, kNoPrefix);
    mWriter.StartElement(kValueName, kNoPrefix);
    // Every language's value gets a text, the empty ones too.
    if (i == 0) {
      mWriter.Text(text.c_str(), text.Length());
    } else {
      mWriter.Text(u"", 0);
    }
    mWriter.EndElement(kValueName, kNoPrefix);
    mWriter.EndElement(kElementName, kNoPrefix);
    mWriter.EndElement(kDeltaStringName, kNoPrefix);
    mWriter.EndElement(kAttributeName, kNoPrefix);
  }
  StartAttribute(kOtherName);
  mWriter.StartElement(kOtherListName, kNoPrefix);
  mWriter.StartElement(kElementName, kNoPrefix);
  mWriter.StartElement(kValueName, kNoPrefix);
  mWriter.EndElement(kValueName, kNoPrefix);  // no text: the empty form
  mWriter.EndElement(kElementName, kNoPrefix);
  mWriter.EndElement(kOtherListName, kNoPrefix);
  mWriter.EndElement(kAttributeName, kNoPrefix);
  mWriter.EndElement(kValueName, kNoPrefix);
  mWriter.EndElement(kElementName, kNoPrefix);
  mWriter.EndElement(kLocalisedStringName, kNoPrefix);
}
