#include "bridge/Languages.h"

#include <vector>

#include "bridge/Utf8.h"
#include "localisation/LocalisedStringVocabulary.h"

namespace {
// Codes in the order of kLocalisation::cLanguages.
constexpr const char* cCodes[cBridgeLanguageCount] = {"en", "fr", "it", "de",
                                                      "es", "ru", "pl", "nl"};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<sBridgeLanguage> MakeLanguages() {
  std::vector<sBridgeLanguage> languages;
  for (size_t i = 0; i < cBridgeLanguageCount; ++i) {
    const int32_t slot = kLocalisation::cLanguageTextIndex[i];
    // English has no update slot: it is the first text, the string's id.
    languages.push_back({Utf16ForDisplay(kLocalisation::cLanguages[i]), cCodes[i],
                         slot < 0 ? 0 : static_cast<size_t>(slot)});
  }
  return languages;
}
}  // namespace

const sBridgeLanguage* GetBridgeLanguages() {
  static const std::vector<sBridgeLanguage> cLanguages = MakeLanguages();
  return cLanguages.data();
}

const sBridgeLanguage* FindBridgeLanguage(const std::string& text) {
  const std::string wanted = Lower(text);
  const std::string primary = wanted.substr(0, wanted.find_first_of("-_"));
  for (size_t i = 0; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& language = GetBridgeLanguages()[i];
    if (wanted == Lower(language.mName) || primary == language.mCode) return &language;
  }
  return nullptr;
}
