// The whole round a translator makes, for each of the seven languages and
// for all seven one after another, through XLIFF, PO and CSV, with the real
// glossmill on a copy of the sample source tree: -sx, export, translate,
// import, -su, -sx, export. The new texts reach the data files and come
// back in the next export; every other language of every string stays as
// it was.
#include <gtest/gtest.h>

#include "GameRounds.h"

namespace {
using namespace bridge_test;

class BridgeGameRound : public ::testing::TestWithParam<sFormat> {
 protected:
  // Exports `language` from `translations`, lets a tool translate every
  // unit, and imports the result.
  void TranslateAll(const sBridgeLanguage& language, const std::string& translations) {
    const sFormat& format = GetParam();
    const std::string exchange = mDir / format.file;
    const test::ProcessResult exported =
        Bridge({"export", "--to", format.name, "--lang", language.mCode, translations, exchange}, mDir.Path().string());
    ASSERT_EQ(0, exported.status) << exported.err;
    sExchangeFile file = ReadExchange(format, exchange);
    for (sExchangeUnit& unit : file.mUnits) unit.mTarget = NewText(language, unit.mSource);
    std::string error;
    ASSERT_TRUE(format.write(file, language, exchange, error)) << error;
    const test::ProcessResult imported =
        Bridge({"import", "--lang", language.mCode, translations, exchange}, mDir.Path().string());
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_TRUE(Holds(imported.out, " translations written, 0 units reported"));
  }

  // Updates the tree from `translations`, then checks a fresh export shows
  // exactly the new texts of `languages`.
  void UpdateAndExportAgain(const std::vector<const sBridgeLanguage*>& languages, const std::string& translations) {
    ASSERT_EQ(0, test::RunGlossmill({"-su", translations}, mTree).status);
    for (const sBridgeLanguage* language : languages)
      ExpectExportShowsNewTexts(mDir, mTree, GetParam(), *language, mOriginal.size() - mStranded.size());
  }

  void SetUp() override {
    mTree = SampleTree(mDir);
    mOriginal = StringsOf(mTree, mDir / "original.txt");
    mStranded = Stranded(mDir / "original.txt");
    // The sample holds strings that cannot travel: a double quote and a
    // TAB in English.
    ASSERT_EQ(2u, mStranded.size());
  }

  test::TempDir mDir;
  std::string mTree;
  tStrings mOriginal;
  std::vector<std::u16string> mStranded;
};

TEST_P(BridgeGameRound, EachLanguageAloneAndAllSevenInTurn) {
  cControlTree control(mDir);
  // Each language on its own tree ...
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& language = GetBridgeLanguages()[i];
    SCOPED_TRACE(language.mName);
    std::filesystem::remove_all(mTree);
    mTree = SampleTree(mDir);
    Extract(mTree, mDir / "s.txt");
    TranslateAll(language, mDir / "s.txt");
    UpdateAndExportAgain({&language}, mDir / "s.txt");
    ExpectRoundMade(mOriginal, control.After(1), StringsOf(mTree, mDir / "check.txt"), {&language}, mStranded);
  }
  // ... then all seven on one tree, one round after another.
  std::filesystem::remove_all(mTree);
  mTree = SampleTree(mDir);
  std::vector<const sBridgeLanguage*> done;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& language = GetBridgeLanguages()[i];
    SCOPED_TRACE("in turn: " + language.mName);
    Extract(mTree, mDir / "s.txt");
    TranslateAll(language, mDir / "s.txt");
    done.push_back(&language);
    UpdateAndExportAgain(done, mDir / "s.txt");
    ExpectRoundMade(mOriginal, control.After(i), StringsOf(mTree, mDir / "check.txt"), done, mStranded);
  }
}

TEST_P(BridgeGameRound, AllSevenIntoOneTranslationsFileThenOneUpdate) {
  cControlTree control(mDir);
  Extract(mTree, mDir / "s.txt");
  std::vector<const sBridgeLanguage*> all;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    all.push_back(&GetBridgeLanguages()[i]);
    TranslateAll(*all.back(), mDir / "s.txt");
  }
  UpdateAndExportAgain(all, mDir / "s.txt");
  ExpectRoundMade(mOriginal, control.After(1), StringsOf(mTree, mDir / "check.txt"), all, mStranded);
}

INSTANTIATE_TEST_SUITE_P(Formats, BridgeGameRound, ::testing::ValuesIn(Formats()),
                         [](const ::testing::TestParamInfo<sFormat>& format) { return std::string(format.param.name); });

}  // namespace
