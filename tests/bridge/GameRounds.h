// The round a translator makes through the game's data files, with the real
// glossmill on a copy of the sample source tree: -sx, export, translate in
// a tool, import, -su, and what the data files hold afterwards.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "BridgeTestSupport.h"
#include "bridge/UpdateView.h"
#include "bridge/Utf8.h"
#include "bridge/cTranslationsFile.h"

namespace bridge_test {

// What the data files of a tree hold: per string (its line's name) the
// texts of the eight languages, as a fresh extraction writes them.
typedef std::map<std::u16string, std::vector<std::u16string>> tStrings;

inline cTranslationsFile LoadTranslations(const std::string& path) {
  cTranslationsFile file;
  std::string error;
  EXPECT_TRUE(file.Load(path, error)) << error;
  return file;
}

// Extracts `tree` into `translations` (glossmill -sx).
inline void Extract(const std::string& tree, const std::string& translations) {
  const test::ProcessResult extracted = test::RunGlossmill({"-sx", translations}, tree);
  ASSERT_EQ(0, extracted.status) << extracted.err;
}

// The strings of `tree`, extracted into `translations`.
inline tStrings StringsOf(const std::string& tree, const std::string& translations) {
  Extract(tree, translations);
  tStrings strings;
  const cTranslationsFile file = LoadTranslations(translations);
  for (const sTranslationsEntry& entry : file.Entries()) {
    std::vector<std::u16string>& texts = strings[MakeUnitId(entry)];
    for (size_t i = 0; i < cBridgeLanguageCount; ++i) texts.push_back(entry.GetText(i));
  }
  return strings;
}

// The names of the lines of a translations file whose strings cannot travel.
inline std::vector<std::u16string> Stranded(const std::string& translations) {
  const cTranslationsFile file = LoadTranslations(translations);
  const std::vector<const char*> why = FindStringsThatCannotTravel(file);
  std::vector<std::u16string> names;
  for (size_t i = 0; i < why.size(); ++i)
    if (why[i]) names.push_back(MakeUnitId(file.Entries()[i]));
  return names;
}

// The translation a round gives a string, as UTF-8 and as read back.
inline std::string NewText(const sBridgeLanguage& language, const std::string& english) {
  return language.mCode + ": " + english + " \xE2\x9C\x93";
}

// Checks that a fresh extraction of `tree` exported into `language` shows
// exactly the new texts: one unit for each of `strings` strings that travel.
inline void ExpectExportShowsNewTexts(const test::TempDir& dir, const std::string& tree, const sFormat& format,
                                      const sBridgeLanguage& language, size_t strings) {
  Extract(tree, dir / "again.txt");
  ASSERT_EQ(0, Export(dir, format.name, language.mCode, "again.txt", format.file).status);
  const sExchangeFile file = ReadExchange(format, dir.Path() / format.file);
  EXPECT_EQ(strings, file.mUnits.size());
  for (const sExchangeUnit& unit : file.mUnits)
    EXPECT_EQ(NewText(language, unit.mSource), unit.mTarget) << unit.mNames.at(0);
}

// The strings of `tree` after glossmill alone makes one more round of -sx
// and -su on it: what the strings the bridge leaves out become without it
// (an update of a line that holds a TAB in its English text shifts that
// string's texts, with or without the bridge).
inline tStrings ControlRound(const test::TempDir& dir, const std::string& tree) {
  Extract(tree, dir / "control.txt");
  EXPECT_EQ(0, test::RunGlossmill({"-su", dir / "control.txt"}, tree).status);
  return StringsOf(tree, dir / "control-after.txt");
}

// Whether the strings `after` a round hold exactly `before`'s texts but for
// `languages`, which hold the round's new texts where the string travels; a
// stranded string is as `control` has it.
inline void ExpectRoundMade(const tStrings& before, const tStrings& control, const tStrings& after,
                            const std::vector<const sBridgeLanguage*>& languages,
                            const std::vector<std::u16string>& stranded) {
  ASSERT_EQ(before.size(), after.size());
  for (const auto& string : after) {
    SCOPED_TRACE(Utf16ForDisplay(string.first));
    const bool left = std::find(stranded.begin(), stranded.end(), string.first) != stranded.end();
    std::vector<std::u16string> expected = left ? control.at(string.first) : before.at(string.first);
    if (!left) {
      // glossmill alone leaves a string that travels as it is.
      EXPECT_EQ(before.at(string.first), control.at(string.first));
      for (const sBridgeLanguage* language : languages)
        expected[language->mDocumentIndex] = test::Utf16(NewText(*language, Utf16ForDisplay(expected[0])));
    }
    EXPECT_EQ(expected, string.second);
  }
}

}  // namespace bridge_test
