// Small operations shared by the visitors: exact name comparison, the
// pieces of a translations-file key, and attribute look-up.
#pragma once

#include "API/core/cFxString.h"
#include "localisation/LocalisedStringVocabulary.h"

class cXmlElement;

// Exact equality: same length and the same UTF-16 code units, no case
// folding. A null `text` counts as the empty string.
bool TextEquals(const cFxWString& a, const cFxWString& b);
bool TextEquals(const cFxWString& a, const wchar16* text);

// A name of the vocabulary held interned, so that the element names a
// visitor watches for on every tag compare by handle: the parser interns
// every name it gives.
class cInternedName {
 public:
  explicit cInternedName(const wchar16* text) : mName(cFxWString::Intern(text, FxWStrLen(text))) {}
  // Exact equality, as TextEquals; an interned `name` that is not this
  // buffer holds other text.
  bool Matches(const cFxWString& name) const {
    if (name.GetHandle() == mName.GetHandle()) return true;
    return !name.IsInterned() && TextEquals(name, mName);
  }

 private:
  cFxWString mName;
};

// The element names of the vocabulary that the visitors look for on every
// tag, interned once for the run.
struct sWatchedNames {
  cInternedName mLocalisedString{kLocalisation::cLocalisedString};
  cInternedName mDeltaString{kLocalisation::cDeltaString};
  cInternedName mValue{kLocalisation::cValue};
  cInternedName mAttribute{kLocalisation::cAttribute};
  cInternedName mOtherList{kLocalisation::cOtherList};
  cInternedName mNil{kLocalisation::cNil};
  cInternedName mBlob{kLocalisation::cBlob};
  cInternedName mOther{kLocalisation::cOther};
  cInternedName mEnglish{kLocalisation::cEnglish};
};
// Made on first use. Inline: the visitors ask for it on every tag.
inline const sWatchedNames& WatchedNames() {
  static const sWatchedNames names;
  return names;
}

// `filePath` without its first n code units, n being the length of
// `startDirectory`. The prefix is not compared: a file below the start
// directory gives the rest of its path, beginning with the separator that
// follows the directory. Empty when the path is not longer than n.
cFxWString MakeRelativePath(const cFxWString& filePath, const cFxWString& startDirectory);

// The path part of a key: every native separator becomes a backslash, so the
// translations file names files the same way on every platform.
cFxWString MakeKeyPath(const cFxWString& relativePath);

// The id of a localised string, made from its English text: every TAB
// becomes backslash and "t", then every space becomes "#". Nothing else is
// escaped.
cFxWString MakeEntryId(const cFxWString& englishText);
// The same id of the `length` units at `text`, written to `out`, which has
// room for the units and one more per TAB (twice `length` always does);
// answers the id's length. For a writer that puts the id straight into its
// output.
uint32_t CopyEntryId(const wchar16* text, uint32_t length, wchar16* out);

// The value of `element`'s attribute `name`; empty when it has none.
cFxWString GetAttributeOrEmpty(const cXmlElement& element, const wchar16* name);
