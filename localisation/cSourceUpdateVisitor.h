// Writes translations into a source-flavour document (an ".xml" data file),
// copying the whole document to the path it is given, which the driver has
// already made the data file's temporary sibling.
//
// Everything is copied by the source pass-through rules: no prefixes, every
// text written, so an empty-element tag comes back with start and end tag;
// the first start tag also carries the namespace declaration. Inside a
// "Localisation-cUserLocalisedString", the "Value" of each "cDeltaString" is
// the text of the language named by the enclosing "Attribute". The English
// value is looked up; when several records carry the id, the first one in
// the file wins. While a string is matched, the values of "French",
// "Italian", "German", "Spanish", "Russian", "Polish" and "Dutch" become the
// record's translations, found by name, so the languages may stand in any
// order; a language before "English" is not changed, and neither is English
// itself.
//
// A match ends where the string's other list
// ("__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair")
// starts, so the further language pairs are copied as they are, and at the
// latest at the string's end tag: a string without an other list does not
// lend its match to the next string. Every string therefore starts
// unmatched. The first text met inside the other list is written only when
// it is not empty, so the list's empty "Value" keeps its empty form.
#pragma once

#include "localisation/cUpdateVisitor.h"

class cSourceUpdateVisitor : public cUpdateVisitor {
 public:
  cSourceUpdateVisitor();

  void StartElement(cXmlElement& element) override;
  void EndElement(const cFxWString& name) override;
  void Text(const cXmlText& text) override;

 protected:
  cFxWString GetOutputFilePath() const override { return mFilePath; }

 private:
  bool mInLocalisedString = false;
  bool mInDeltaString = false;
  bool mInOtherList = false;
  // Inside the "Value" of a "cDeltaString", up to its first text.
  bool mInValue = false;
  // The "name" of the "Attribute" around the current "cDeltaString".
  cFxWString mLanguage;
  // The record of the current string, as the lookup holds it.
  const sTranslationRecord* mMatch = nullptr;
};
