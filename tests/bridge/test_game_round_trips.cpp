// The whole round a translator makes through the game's data files, through
// XLIFF, PO and CSV, the bridge's own readers and writers playing the
// translator's tool, with the real glossmill on a copy of the sample source
// tree, each of the seven languages in turn: -sx, export, translate,
// import, -su, -sx, export. The new texts reach the data files and come
// back in the next export; every other text of every string, the languages
// still to come among them, stays as glossmill alone leaves it. (Each
// language alone, through Translate Toolkit's own tools, is the round of
// test_translate_toolkit.cpp.)
#include <gtest/gtest.h>

#include "GameRounds.h"

namespace {
using namespace bridge_test;

class BridgeGameRound : public ::testing::TestWithParam<sFormat> {};

TEST_P(BridgeGameRound, EachLanguageInTurnReachesTheGameAndLeavesTheOthers) {
  const sFormat& format = GetParam();
  test::TempDir dir;
  const std::string tree = SampleTree(dir), control = SampleTree(dir, "control");
  const tStrings original = StringsOf(tree, dir / "s.txt");
  const std::vector<std::u16string> stranded = Stranded(dir / "s.txt");
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

}  // namespace
