// The whole round a translator makes through the game's data files, with
// the real glossmill on a copy of the sample source tree: -sx, export,
// translate in a tool, import, -su, -sx, export. The new texts reach the
// data files and come back in the next export; every other text of every
// string stays as glossmill alone leaves it. Through XLIFF, PO and CSV, the
// bridge's own readers and writers playing the translator's tool, each of
// the seven languages in turn, the languages still to come among the texts
// left alone; and each language alone through Translate Toolkit's own
// tools, skipped, saying why, where they are not installed
// (tools/setup-debian.sh installs them).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "BridgeTestSupport.h"
#include "bridge/UpdateView.h"
#include "bridge/Utf8.h"
#include "bridge/cTranslationsFile.h"

namespace {
using namespace bridge_test;

// What the data files of a tree hold: per string (its line's name) the
// texts of the eight languages, as a fresh extraction writes them.
typedef std::map<std::u16string, std::vector<std::u16string>> tStrings;

// Extracts `tree` into `translations` (glossmill -sx).
void Extract(const std::string& tree, const std::string& translations) {
  const test::ProcessResult extracted = test::RunGlossmill({"-sx", translations}, tree);
  ASSERT_EQ(0, extracted.status) << extracted.err;
}

// The strings of `tree`, extracted into `translations`; with `stranded`,
// the names of those that cannot travel too.
tStrings StringsOf(const std::string& tree, const std::string& translations,
                   std::vector<std::u16string>* stranded = nullptr) {
  Extract(tree, translations);
  cTranslationsFile file;
  std::string error;
  EXPECT_TRUE(file.Load(translations, error)) << error;
  const std::vector<const char*> why = FindStringsThatCannotTravel(file);
  tStrings strings;
  for (size_t i = 0; i < file.Entries().size(); ++i) {
    const sTranslationsEntry& entry = file.Entries()[i];
    for (size_t language = 0; language < cBridgeLanguageCount; ++language)
      strings[MakeUnitId(entry)].push_back(entry.GetText(language));
    if (stranded && why.at(i)) stranded->push_back(MakeUnitId(entry));
  }
  return strings;
}

// The translation a round gives a string, as UTF-8 and as read back.
std::string NewText(const sBridgeLanguage& language, const std::string& english) {
  return language.mCode + ": " + english + " \xE2\x9C\x93";
}

// Checks that a fresh extraction of `tree` exported into `language` shows
// exactly the new texts: one unit for each of `strings` strings that travel.
void ExpectExportShowsNewTexts(const test::TempDir& dir, const std::string& tree, const sFormat& format,
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
tStrings ControlRound(const test::TempDir& dir, const std::string& tree) {
  Extract(tree, dir / "control.txt");
  EXPECT_EQ(0, test::RunGlossmill({"-su", dir / "control.txt"}, tree).status);
  return StringsOf(tree, dir / "control-after.txt");
}

// Whether the strings `after` a round hold exactly `before`'s texts but for
// `languages`, which hold the round's new texts where the string travels; a
// stranded string is as `control` has it.
void ExpectRoundMade(const tStrings& before, const tStrings& control, const tStrings& after,
                     const std::vector<const sBridgeLanguage*>& languages, const std::vector<std::u16string>& stranded) {
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

class BridgeGameRound : public ::testing::TestWithParam<sFormat> {};

TEST_P(BridgeGameRound, EachLanguageInTurnReachesTheGameAndLeavesTheOthers) {
  const sFormat& format = GetParam();
  test::TempDir dir;
  const std::string tree = SampleTree(dir), control = SampleTree(dir, "control");
  std::vector<std::u16string> stranded;
  const tStrings original = StringsOf(tree, dir / "s.txt", &stranded);
  // The sample holds strings that cannot travel: a double quote and a TAB
  // in English.
  ASSERT_EQ(2u, stranded.size());
  std::vector<const sBridgeLanguage*> done;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& language = GetBridgeLanguages()[i];
    SCOPED_TRACE(language.mName);
    done.push_back(&language);
    Extract(tree, dir / "s.txt");
    ASSERT_EQ(0, Export(dir, format.name, language.mCode, "s.txt", format.file).status);
    Translate(format, dir.Path() / format.file, language, [&](const sExchangeUnit& unit) {
      return NewText(language, unit.mSource);
    });
    const test::ProcessResult imported = Import(dir, language.mCode, "s.txt", format.file);
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_TRUE(Holds(imported.out, " translations written, 0 units reported"));
    ASSERT_EQ(0, test::RunGlossmill({"-su", dir / "s.txt"}, tree).status);
    // glossmill alone makes the same round on the control tree: the
    // languages still to come must be as it leaves them.
    ExpectRoundMade(original, ControlRound(dir, control), StringsOf(tree, dir / "check.txt"), done, stranded);
    ExpectExportShowsNewTexts(dir, tree, format, language, original.size() - stranded.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, BridgeGameRound, ::testing::ValuesIn(Formats()),
                         [](const ::testing::TestParamInfo<sFormat>& format) { return std::string(format.param.name); });

// A round into the game through Translate Toolkit: its tool fills each
// export in its own reader and writer (so it reads every unit's name and
// English), and its converters turn the PO into XLIFF 1.1 and CSV, the
// XLIFF and the CSV into PO.
class BridgeThroughTranslateToolkit : public ::testing::TestWithParam<size_t> {};

TEST_P(BridgeThroughTranslateToolkit, CarriesALanguageIntoTheGame) {
  const std::string python = PythonWith("translate");
  if (python.empty()) GTEST_SKIP() << "Translate Toolkit's Python modules are not installed";
  for (const char* converter : {"po2xliff", "xliff2po", "csv2po", "po2csv"})
    if (!Installed(converter)) GTEST_SKIP() << "Translate Toolkit's " << converter << " is not installed";
  const sBridgeLanguage& language = GetBridgeLanguages()[GetParam()];
  test::TempDir dir;
  const std::string cwd = dir.Path().string();
  std::vector<std::u16string> stranded;
  const tStrings original = StringsOf(SampleTree(dir), dir / "s.txt", &stranded);
  const tStrings control = ControlRound(dir, SampleTree(dir, "control"));
  for (const sFormat& format : Formats())
    ASSERT_EQ(0, Export(dir, format.name, language.mCode, "s.txt", std::string("export.") + format.name).status);
  const test::ProcessResult filled = test::Run(python, {Script("translate_toolkit.py"), language.mCode, "export.xliff",
                                                        "filled.xlf", "export.po", "filled.po", "export.csv", "filled.csv"}, cwd);
  ASSERT_EQ(0, filled.status) << filled.err;
  const struct {
    const char *converter, *from, *file;  // `file` is imported
  } rounds[] = {{nullptr, nullptr, "filled.xlf"}, {nullptr, nullptr, "filled.po"}, {nullptr, nullptr, "filled.csv"},
                {"po2xliff", "filled.po", "from-po.xlf"}, {"xliff2po", "filled.xlf", "from-xliff.po"},
                {"csv2po", "filled.csv", "from-csv.po"}, {"po2csv", "filled.po", "from-po.csv"}};
  for (const auto& round : rounds) {
    SCOPED_TRACE(round.file);
    if (round.converter) {
      const test::ProcessResult converted = test::Run(round.converter, {round.from, round.file}, cwd);
      ASSERT_EQ(0, converted.status) << converted.err;
    }
    const std::string tree = SampleTree(dir, std::string("tree-") + round.file);
    std::filesystem::copy_file(dir / "s.txt", dir / "round.txt", std::filesystem::copy_options::overwrite_existing);
    const test::ProcessResult imported = Import(dir, language.mCode, "round.txt", round.file);
    EXPECT_EQ(0, imported.status) << imported.err;
    ASSERT_EQ(0, test::RunGlossmill({"-su", dir / "round.txt"}, tree).status);
    ExpectRoundMade(original, control, StringsOf(tree, dir / "check.txt"), {&language}, stranded);
    // The next export, in the format of the file imported.
    for (const sFormat& format : Formats())
      if (std::filesystem::path(format.file).extension() == std::filesystem::path(round.file).extension())
        ExpectExportShowsNewTexts(dir, tree, format, language, original.size() - stranded.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, BridgeThroughTranslateToolkit, ::testing::Range<size_t>(1, cBridgeLanguageCount),
                         [](const ::testing::TestParamInfo<size_t>& language) {
                           return GetBridgeLanguages()[language.param].mName;
                         });

}  // namespace
