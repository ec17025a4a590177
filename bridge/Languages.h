// The languages a translations file holds, as the exchange formats name
// them: the language's own name (as in the data files), its language code
// and plural rule, and the two text columns of a translations line that
// can hold its text: the one extraction writes it into (the string's
// document order) and the one the update reads it from. For English and
// French to Spanish the two are the same column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct sBridgeLanguage {
  std::string mName;         // "French"
  std::string mCode;         // "fr"
  std::string mPluralForms;  // the gettext Plural-Forms rule
  size_t mDocumentIndex;     // text column extraction writes
  size_t mUpdateIndex;       // text column the update reads
};

constexpr size_t cBridgeLanguageCount = 8;
// English first, then the target languages in data file order.
const sBridgeLanguage* GetBridgeLanguages();
inline const sBridgeLanguage& GetSourceLanguage() { return GetBridgeLanguages()[0]; }

// The language named by `text`: its name or its code, without regard to
// case; a code may carry a region ("fr-FR", "pt_BR" style). Null when none.
const sBridgeLanguage* FindBridgeLanguage(const std::string& text);
