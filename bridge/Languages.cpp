#include "bridge/Languages.h"

#include <vector>

#include "bridge/Utf8.h"
#include "translations/TranslationsColumns.h"

namespace {
// Codes in the order of kTranslationsColumns::cLanguages.
constexpr const char* cCodes[cBridgeLanguageCount] = {"en", "fr", "it", "de",
                                                      "es", "ru", "pl", "nl"};
// The plural rules gettext's tools know these languages by.
constexpr const char* cTwoFormsOneSingular = "nplurals=2; plural=(n != 1);";
constexpr const char* cPluralForms[cBridgeLanguageCount] = {
    cTwoFormsOneSingular,
    "nplurals=2; plural=(n > 1);",
    cTwoFormsOneSingular,
    cTwoFormsOneSingular,
    cTwoFormsOneSingular,
    "nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && "
    "(n%100<10 || n%100>=20) ? 1 : 2);",
    "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);",
    cTwoFormsOneSingular};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<sBridgeLanguage> MakeLanguages() {
  std::vector<sBridgeLanguage> languages;
  for (size_t i = 0; i < cBridgeLanguageCount; ++i) {
    const int32_t slot = kTranslationsColumns::cLanguageTextIndex[i];
    // English has no update slot: it is the first text, the string's id.
    languages.push_back({Utf16ForDisplay(kTranslationsColumns::cLanguages[i]), cCodes[i],
                         cPluralForms[i], i, slot < 0 ? 0 : static_cast<size_t>(slot)});
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
