// The languages a translations file holds, as the exchange formats name
// them: the language's own name (as in the data files) and its language
// code, and the text column of a translations line that holds its text.
// English is the source: its column is the first; the others are the
// columns the update writes into the data files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct sBridgeLanguage {
  std::string mName;   // "French"
  std::string mCode;   // "fr"
  size_t mTextIndex;   // text column of a translations line
};

constexpr size_t cBridgeLanguageCount = 8;
// English first, then the target languages in data file order.
const sBridgeLanguage* GetBridgeLanguages();
inline const sBridgeLanguage& GetSourceLanguage() { return GetBridgeLanguages()[0]; }

// The language named by `text`: its name or its code, without regard to
// case; a code may carry a region ("fr-FR", "pt_BR" style). Null when none.
const sBridgeLanguage* FindBridgeLanguage(const std::string& text);
