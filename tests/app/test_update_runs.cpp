// The update runs as a translator meets them: extract, fill in the
// columns, update; the built program in a temporary content tree, the data
// files compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ContentTree.h"

namespace {

using test::Join;
using test::tTexts;

// The translator's file for the keys an extraction wrote: each key gets the
// translations of `translate`, looked up by the key's English id. The
// English column is left empty: the update never reads it, and an English
// text holding a TAB would shift the columns after it.
std::string Translate(const std::string& extracted, const std::string& flavour,
                      const std::vector<std::pair<std::string, tTexts>>& translate) {
  tTexts lines;
  for (const std::u16string& line : test::LinesOf(extracted)) {
    std::string key;
    for (char16_t unit : line.substr(0, line.find(u'\t'))) key += static_cast<char>(unit);
    for (const auto& [id, texts] : translate)
      if (key.size() > id.size() && key.compare(key.size() - id.size(), id.size(), id) == 0 &&
          key.find("@" + flavour + "@") != std::string::npos)
        lines.push_back(test::TranslatedLine(key, Join({{""}, {texts.begin() + 1, texts.end()}})));
  }
  return test::TranslationsFile(lines);
}

TEST(UpdateRun, SourceRoundTripPutsEachLanguageInItsElementAndNothingElse) {
  test::ContentTree tree;
  const tTexts van = {"Covered van", "Fourgon", "Carro", "Gedeckter Wagen", "Furgón",
                      "Крытый вагон", "Kryty", "Gesloten wagen"};
  const tTexts stop = {"Stop\there", "Arrêt", "", "Halt"};
  const auto wagons = [](const tTexts& first, const tTexts& second) {
    return test::SourceDocument(Join({test::SourcePlain("Code", "WGN-7"), test::SourceString(first),
                                      test::SourceString(second)}));
  };
  tree.Write("Rolling Stock/wagons.xml", wagons({"Covered van", "old"}, {"Stop\there"}));
  const std::string untouched = test::SourceDocument(test::SourceString({"Not translated"}));
  tree.Write("b.xml", untouched);
  tree.Write("notes.xml", test::SourceDocument(test::SourcePlain("Note", "no strings")));

  ASSERT_EQ(tree.Glossmill({"-sx", "out.txt"}).status, 0);
  // A key naming a file that is not there gets its line, and the run goes on
  // with the next file.
  tree.Write("in.txt", Translate(tree.Read("out.txt"), "Source",
                                 {{"Covered#van", van}, {"Stop\\there", stop}}) +
                           test::Utf16Le(test::Utf16(test::TranslatedLine("\\Gone.xml@Source@Covered#van", van))));
  const auto before = tree.Files();

  const test::ProcessResult result = tree.Glossmill({"-su", "in.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  // The total counts every data file below the start directory.
  EXPECT_EQ(result.out, tree.Progress(1, 3, "Gone.xml") + tree.Progress(2, 3, "Rolling Stock/wagons.xml"));
  EXPECT_EQ(tree.Read("Rolling Stock/wagons.xml"), wagons(van, stop));
  // Nothing else in the tree changed, and no temporary file is left.
  auto after = tree.Files();
  for (auto& [name, bytes] : after)
    if (name == "Rolling Stock/wagons.xml") bytes = wagons({"Covered van", "old"}, {"Stop\there"});
  EXPECT_EQ(after, before);
}

TEST(UpdateRun, GameRoundTripConvertsReadsWritesBackAndRebuilds) {
  test::ContentTree tree;
  tree.UseSerializer();
  const tTexts sign = {"Platform 2", "Quai 2", "Binario 2", "Gleis 2", "Andén 2", "Платформа 2",
                       "Peron 2", "Spoor 2"};
  const auto signs = [](const tTexts& texts) {
    return test::GameDocument(Join({{"<Name>"}, test::GameString(texts), {"</Name>"}}));
  };
  tree.WriteBin("d/a.bin", signs({"Platform 2"}));
  tree.Write("c.xml", signs({"Platform 2", "vieux"}));
  ASSERT_EQ(tree.Glossmill({"-gx", "out.txt"}).status, 0);
  tree.Write("in.txt", Translate(tree.Read("out.txt"), "Game", {{"Platform#2", sign}}) +
                           test::Utf16Le(test::Utf16(test::TranslatedLine(
                               "\\gone.bin@Game@Platform#2", sign))));
  // A stale XML form must not be what the update reads.
  tree.Write("d/a.xml", signs({"Stale"}));

  tTexts calls;
  const test::ProcessResult result = tree.GlossmillLoggingSerializer({"-gu", "in.txt"}, calls);
  EXPECT_EQ(result.status, 0);
  // Paths in key order: the XML form is printed for a ".bin"; a missing
  // file keeps its line and the run goes on.
  EXPECT_EQ(result.out, tree.Progress(1, 3, "c.xml") + tree.Progress(2, 3, "d/a.xml") +
                            tree.Progress(3, 3, "gone.xml"));
  EXPECT_EQ(calls, (tTexts{"./d/a.bin ./d/a.xml -floathex", "./d/a.xml",
                           "./gone.bin ./gone.xml -floathex", "./gone.xml"}));
  EXPECT_EQ(tree.Read("c.xml"), signs(sign));
  EXPECT_EQ(tree.Read("d/a.xml"), signs(sign)) << "the XML form stays";
  EXPECT_EQ(tree.ReadBin("d/a.bin"), signs(sign)) << "rebuilt after the write-back";
  EXPECT_FALSE(test::FileExists(tree.At("gone.xml")));
  EXPECT_FALSE(test::FileExists(tree.At("c.xml.temp")));
  EXPECT_FALSE(test::FileExists(tree.At("d/a.xml.temp")));
}

#ifndef _WIN32
TEST(UpdateRun, NamesThatAreNotAsciiOrNotUtf8AreExtractedAndUpdatedThroughTheirKeys) {
  // A UTF-8 name gives the key the Windows build gives; a byte that is no
  // UTF-8 (a Latin-1 name) stays one unit, U+DC00 + byte, and the update
  // finds the file again through it.
  test::ContentTree tree;
  const std::string utf8 = "St\xC3\xA4" "dte/caf\xC3\xA9.xml";
  const std::string latin1 = "Gare\xE9.xml";
  const auto document = [](const tTexts& texts) {
    return test::SourceDocument(test::SourceString(texts));
  };
  tree.Write(utf8, document({"Station"}));
  tree.Write(latin1, document({"Platform"}));
  ASSERT_EQ(tree.Glossmill({"-sx", "out.txt"}).status, 0);
  std::vector<std::u16string> keys;
  for (const std::u16string& line : test::LinesOf(tree.Read("out.txt")))
    keys.push_back(line.substr(0, line.find(u'\t')));
  ASSERT_EQ(keys, (std::vector<std::u16string>{u"\\Gare\xDCE9.xml@Source@Platform",
                                                u"\\St\u00E4dte\\caf\u00E9.xml@Source@Station"}));

  // French texts for both, the English column left empty.
  tree.Write("in.txt", test::Utf16Le(test::TranslationsText(
                           u"\uFEFF" + keys[0] + u"%\t\"\"\t\"Quai\"\n" + keys[1] +
                           u"%\t\"\"\t\"Gare\"\n")));
  auto expected = tree.Files();
  for (auto& [name, bytes] : expected) {
    if (name == utf8) bytes = document({"Station", "Gare"});
    if (name == latin1) bytes = document({"Platform", "Quai"});
  }
  const test::ProcessResult result = tree.Glossmill({"-su", "in.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, tree.Progress(1, 2, latin1) + tree.Progress(2, 2, utf8));
  EXPECT_EQ(tree.Files(), expected);
}
#endif

TEST(UpdateRun, TranslationsFileThatIsMalformedOrOfTheOtherFlavourTouchesNothing) {
  const std::string source = test::TranslatedLine("\\a.xml@Source@Hello", {"Hello", "Bonjour"});
  const std::string game = test::TranslatedLine("\\a.xml@Game@Hello", {"Hello", "Bonjour"});
  const struct {
    const char* what;
    std::string lines;
    const char* option;
  } cases[] = {
      {"line without TAB", source + "no tab here\n", "-su"},
      {"empty last line", source + "\n", "-su"},
      {"empty last line", game + "\n", "-gu"},
      {"game lines", game, "-su"},
      {"source lines", source, "-gu"},
  };
  for (const auto& each : cases) {
    test::ContentTree tree;
    tree.UseSerializer();
    tree.Write("a.xml", test::SourceDocument(test::SourceString({"Hello"})));
    tree.Write("in.txt", test::TranslationsFile({each.lines}));
    const auto before = tree.Files();
    const test::ProcessResult result = tree.Glossmill({each.option, "in.txt"});
    EXPECT_EQ(result.status, 0) << each.what;
    EXPECT_EQ(result.out + result.err, "") << each.what;
    EXPECT_EQ(tree.Files(), before) << each.what << " " << each.option;
  }
}

}  // namespace
