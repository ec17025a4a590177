// The replacement runs as a content author meets them: plain strings in
// named tags become localised strings across a tree, which the extraction
// and the update then handle like any other.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ContentTree.h"

namespace {

using test::Join;
using test::tTexts;

// A game tag holding a plain string, before and after its replacement.
tTexts GameTag(const std::string& tag, const std::string& text, bool replaced) {
  if (!replaced) return {test::GamePlain(tag, text)};
  return Join({{"<" + tag + ">"}, test::GameString({text}), {"</" + tag + ">"}});
}

// A source "Attribute" holding a plain string, before and after.
tTexts SourceTag(const std::string& tag, const std::string& text, bool replaced) {
  if (!replaced) return test::SourcePlain(tag, text);
  return Join({{"<Attribute name=\"" + tag + "\">"}, test::SourceString({text}), {"</Attribute>"}});
}

size_t TabsIn(const std::u16string& line) { return std::count(line.begin(), line.end(), u'\t'); }

TEST(ReplaceRun, GameRunConvertsEveryBinRewritesThenRebuildsEveryBin) {
  test::ContentTree tree;
  tree.UseSerializer();
  const auto signs = [](bool replaced) {
    return test::GameDocument(GameTag("Name", "Kingsbridge", replaced));
  };
  tree.WriteBin("a.bin", signs(false));
  tree.WriteBin("b.bin", signs(false));
  tree.Write("a.xml", test::GameDocument(GameTag("Name", "Stale", false)));
  tree.Write("c.xml", signs(false));

  tTexts calls;
  const test::ProcessResult result = tree.GlossmillLoggingSerializer({"-gr", "Name"}, calls);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  // The lines name the ".bin" files themselves.
  EXPECT_EQ(result.out, tree.Progress(1, 3, "a.bin") + tree.Progress(2, 3, "b.bin") +
                            tree.Progress(3, 3, "c.xml"));
  EXPECT_EQ(calls, (tTexts{"./a.bin ./a.xml -floathex", "./b.bin ./b.xml -floathex", "./a.xml",
                           "./b.xml"}));
  for (const char* name : {"a", "b"}) {
    EXPECT_EQ(tree.ReadBin(name + std::string(".bin")), signs(true)) << name;
    EXPECT_EQ(tree.Read(name + std::string(".xml")), signs(true)) << name;
  }
  EXPECT_EQ(tree.Read("c.xml"), signs(true));
  EXPECT_EQ(tree.Files().size(), 6u) << "brux.exe, a.bin, a.xml, b.bin, b.xml, c.xml: no .temp";
}

TEST(ReplaceRun, SourceRunReportsBinFilesAndRewritesOnlyXml) {
  test::ContentTree tree;
  const std::string binary = test::SourceDocument(SourceTag("Name", "In a bin", false));
  tree.Write("a.bin", binary);
  // A tag typed in UTF-8 is the name the data file holds in UTF-8; its
  // look-alike without the umlaut is another tag. On Windows the bytes of a
  // command line word are widened one by one, so there only ASCII tags
  // name the tags of a data file.
#ifdef _WIN32
  constexpr bool cUtf8Tags = false;
#else
  constexpr bool cUtf8Tags = true;
#endif
  const std::string umlaut = "Beschreib\xC3\xBCng";
  const auto tags = [&](bool replaced) {
    return test::SourceDocument(Join({SourceTag("Name", "abc", replaced),
                                      SourceTag(umlaut, "Gleis", replaced && cUtf8Tags),
                                      SourceTag("Beschreibung", "Weiche", false)}));
  };
  tree.Write("b.xml", tags(false));
  const test::ProcessResult result = tree.Glossmill({"-sr", "Name", umlaut});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, tree.Progress(1, 2, "a.bin") + tree.Progress(2, 2, "b.xml"));
  EXPECT_EQ(tree.Read("a.bin"), binary);
  EXPECT_EQ(tree.Read("b.xml"), tags(true));
  EXPECT_EQ(tree.Files().size(), 2u);
}

TEST(ReplaceRun, TagListsFromTheCommandLine) {
  // One "a" at the top, one inside "b", one inside "s".
  const auto document = [](bool top, bool inB, bool inS) {
    return test::GameDocument(Join({GameTag("a", "A1", top), {"<b>"}, GameTag("a", "A2", inB),
                                    {"</b>"}, {"<s>"}, GameTag("a", "A3", inS), {"</s>"}}));
  };
  const struct {
    tTexts args;
    bool top, inB, inS;
  } cases[] = {
      // How the arguments split into the lists is the command line's own
      // test; here each list reaches the run.
      {{"a"}, true, true, true},
      {{"a", "!", "b", "!", "c"}, true, false, true},
      {{"a", "@", "b", "!", "s"}, false, true, false},
  };
  for (const auto& each : cases) {
    test::ContentTree tree;
    tree.Write("d.xml", document(false, false, false));
    tTexts args = Join({{"-gr"}, each.args});
    const test::ProcessResult result = tree.Glossmill(args);
    std::string shown;
    for (const std::string& arg : args) shown += arg + " ";
    EXPECT_EQ(result.out, tree.Progress(1, 1, "d.xml")) << shown;
    EXPECT_EQ(tree.Read("d.xml"), document(each.top, each.inB, each.inS)) << shown;
  }
}

TEST(ReplaceRun, NewStringsAreExtractedAndUpdatedLikeAnyOther) {
  test::ContentTree tree;
  const auto sources = [](bool replaced) {
    return test::SourceDocument(Join({SourceTag("Name", "Kingsbridge", replaced),
                                      SourceTag("Code", "SGN-1", false),
                                      SourceTag("Name", "Platform 2", replaced)}));
  };
  tree.Write("src/signs.xml", sources(false));
  tree.Write("game/signs.xml", test::GameDocument(GameTag("Name", "Kingsbridge", false)));

  // A second run finds localised strings where the first put them and
  // leaves them as they are; it copies the empty "Value" of their "Other"
  // part as every source text is copied, with start and end tag.
  const std::string once = sources(true);
  const std::string twice = test::ReplaceAll(once, "<Value/>", "<Value></Value>");
  for (const std::string& expected : {once, twice, twice}) {
    ASSERT_EQ(tree.Glossmill({"-sr", "Name"}, "src").status, 0);
    ASSERT_EQ(tree.Read("src/signs.xml"), expected);
  }

  // One line per new string: eight text columns in a source file, nine
  // (with "Other") in a game file.
  ASSERT_EQ(tree.Glossmill({"-sx", "out.txt"}, "src").status, 0);
  const auto lines = test::LinesOf(tree.Read("src/out.txt"));
  ASSERT_EQ(lines.size(), 2u);
  for (const std::u16string& line : lines) EXPECT_EQ(TabsIn(line), 5u + 8u);
  ASSERT_EQ(tree.Glossmill({"-gr", "Name"}, "game").status, 0);
  ASSERT_EQ(tree.Glossmill({"-gx", "out.txt"}, "game").status, 0);
  const auto gameLines = test::LinesOf(tree.Read("game/out.txt"));
  ASSERT_EQ(gameLines.size(), 1u);
  EXPECT_EQ(TabsIn(gameLines[0]), 5u + 9u);

  tree.Write("src/in.txt",
             test::TranslationsFile({test::TranslatedLine("\\signs.xml@Source@Kingsbridge",
                                                          {"", "Kingsbridge-Ville"}),
                                     test::TranslatedLine("\\signs.xml@Source@Platform#2",
                                                          {"", "Quai 2", "", "Gleis 2"})}));
  ASSERT_EQ(tree.Glossmill({"-su", "in.txt"}, "src").status, 0);
  const auto translated = [](const std::string& tag, const tTexts& texts) {
    return Join({{"<Attribute name=\"" + tag + "\">"}, test::SourceString(texts), {"</Attribute>"}});
  };
  EXPECT_EQ(tree.Read("src/signs.xml"),
            test::SourceDocument(Join({translated("Name", {"Kingsbridge", "Kingsbridge-Ville"}),
                                       SourceTag("Code", "SGN-1", false),
                                       translated("Name", {"Platform 2", "Quai 2", "", "Gleis 2"})})));
}

}  // namespace
