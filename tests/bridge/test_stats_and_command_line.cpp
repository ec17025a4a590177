// stats, with and without a content tree, as text, JSON and a coverage
// page; words as pocount counts them; and the command line's conventions:
// help, version, usage errors with a non-zero status.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"
#include "bridge/Utf8.h"
#include "bridge/WordCount.h"

namespace {
using namespace bridge_test;

TEST(BridgeStats, CountsTranslatedAndMissingStringsAndWordsPerLanguageAndFolder) {
  test::TempDir dir;
  // French: one translated, two missing (3 + 1 English words); Polish
  // translated on the second line only, in its update column.
  test::WriteFile(dir / "t.txt",
                  File(u"\\R1\\a.xml@Source@One#two%\t\"One two\"\t\"Un deux\"\n"
                       u"\\R1\\b\\c.xml@Game@Three##four#five%\t\"Three  four five\"" + Empty(20) + u"\t\"Trzy\"\n" +
                       u"\\top.xml@Source@Six%\t\"Six\"\n"));
  const test::ProcessResult text = Bridge({"stats", "t.txt"}, dir);
  EXPECT_EQ(0, text.status) << text.err;
  EXPECT_TRUE(Holds(text.out, "3 strings, 0 of them cannot travel through a translations file\n"));
  EXPECT_TRUE(Holds(text.out, "French               1         2                    4\n"));
  EXPECT_TRUE(Holds(text.out, "Polish               1         2                    3\n"));
  EXPECT_TRUE(Holds(text.out, "  R1: 2 strings, missing fr 1, it 2, de 2, es 2, ru 2, pl 1, nl 2; 12 in all\n"
                              "  (files at the top): 1 strings, missing fr 1, it 1, de 1, es 1, ru 1, pl 1, nl 1; 7 in all\n"));

  const test::ProcessResult json = Bridge({"stats", "--json", "t.txt"}, dir);
  EXPECT_EQ(0, json.status);
  EXPECT_EQ(0u, json.out.find("{\"strings\":3,\"cannotTravel\":[],\"languages\":[{\"language\":\"French\",\"code\":"
                              "\"fr\",\"translated\":1,\"missing\":2,\"words\":4},"));
  EXPECT_TRUE(Holds(json.out, "{\"language\":\"Dutch\",\"code\":\"nl\",\"translated\":0,\"missing\":3,\"words\":6}],"
                              "\"folders\":[{\"folder\":\"R1\",\"strings\":2,\"missing\":{\"fr\":1,\"it\":2,\"de\":2,"
                              "\"es\":2,\"ru\":2,\"pl\":1,\"nl\":2},\"allMissing\":12},{\"folder\":\"\",\"strings\":1,"));
}

TEST(BridgeStats, ComparesTheFileWithATreeAndDrawsTheReportsFiguresOnACoveragePage) {
  test::TempDir dir;
  const std::string tree = dir / "tree";
  std::filesystem::copy(test::SourceDir() + "/sample", tree, std::filesystem::copy_options::recursive);
  // The file as both extractions make it, less one source line, plus the
  // lines of a route the tree lacks, one with a name a page must escape.
  ASSERT_EQ(0, test::RunGlossmill({"-sx", dir / "s.txt"}, tree).status);
  ASSERT_EQ(0, test::RunGlossmill({"-gx", dir / "g.txt"}, tree).status);
  std::string file = test::ReadFile(dir / "s.txt") + test::ReadFile(dir / "g.txt").substr(2);
  const std::string droppedKey = "\\source\\Signs\\StationSigns.xml@Source@Kingsbridge#Central";
  const size_t start = file.find(test::Utf16Le(test::Utf16(droppedKey)));
  ASSERT_NE(std::string::npos, start);
  file.erase(start, file.find(std::string("\n\0", 2), start) + 2 - start);
  test::WriteFile(dir / "t.txt", file + test::Utf16Le(test::TranslationsText(
                                     u"\\Routes\\a.xml@Source@A#<b>%\t\"A <b>\"\t\"Un\"\n"
                                     u"\\Routes\\b\\c.xml@Source@C%\t\"C\"" + Empty(24) + u"\t\"Ce\"\n")));

  const test::ProcessResult json = Bridge({"stats", "--json", "--html", "page.html", "t.txt", "tree"}, dir);
  ASSERT_EQ(0, json.status) << json.err;
  // Only the report reaches standard output.
  EXPECT_EQ(0u, json.out.find("{\"strings\":"));
  EXPECT_TRUE(Holds(json.out, "\"folders\":[{\"folder\":\"Routes\",\"strings\":2,"));
  EXPECT_TRUE(Holds(json.out, ",\"notInFile\":[\"\\\\source\\\\Signs\\\\StationSigns.xml@Source@Kingsbridge#Central\"],"
                              "\"notInTree\":[\"\\\\Routes\\\\a.xml@Source@A#<b>\",\"\\\\Routes\\\\b\\\\c.xml@Source@C\"]}\n"));
  EXPECT_TRUE(Holds(Bridge({"stats", "t.txt", "tree"}, dir).out,
                    "1 strings of the tree are not in the file\n  " + droppedKey + "\n2 lines name strings no longer in "
                    "the tree\n  \\Routes\\a.xml@Source@A#<b>\n  \\Routes\\b\\c.xml@Source@C\n"));
  const test::ProcessResult missing = Bridge({"stats", "t.txt", "no-tree"}, dir);
  EXPECT_EQ(1, missing.status);
  EXPECT_TRUE(Holds(missing.err, "cannot enter no-tree"));

  const std::string page = test::ReadFile(dir / "page.html");
  EXPECT_TRUE(Holds(page, "<code>\\Routes\\a.xml@Source@A#&lt;b&gt;</code>"));
  // html5lib's strict parser checks the page is well-formed HTML5 where it
  // is installed; Python's own parser reads its figures.
  std::string python = PythonWith("html5lib");
  if (python.empty()) python = PythonWith("html.parser");
  if (python.empty()) GTEST_SKIP() << "no Python 3 to read the page with";
  test::WriteFile(dir / "report.json", json.out);
  const test::ProcessResult checked =
      test::Run(python, {Script("check_coverage_page.py"), "page.html", "report.json"}, dir.Path().string());
  EXPECT_EQ(0, checked.status) << checked.out << checked.err;
  EXPECT_TRUE(Holds(checked.out, "figures as the report gives them"));
  // The check finds a figure that differs, and anything fetched.
  for (const auto& change : {std::make_pair("<td class=\"words\">", "<td class=\"words\">1"),
                             std::make_pair("</style>", "</style><script src=\"x.js\"></script>")}) {
    test::WriteFile(dir / "changed.html", test::ReplaceAll(page, change.first, change.second));
    EXPECT_EQ(1, test::Run(python, {Script("check_coverage_page.py"), "changed.html", "report.json"},
                           dir.Path().string()).status);
  }
}

TEST(BridgeStats, WordsAreCountedAsPocountCountsThem) {
  const struct {
    const char16_t* text;
    size_t words;
  } cases[] = {
      {u"", 0}, {u"  One\ttwo\u00a0three\u3000four\n", 4},
      {u"Danger: high voltage \u2013 keep off!", 6},  // a dash is a word
      {u"-- ... \u00ab \u00bb \u2026 \u20ac", 0},  // punctuation alone is none
      {u"Single to M\u00fcnster: \u20ac4.50 (caf\u00e9 car open)", 7},
      {u"e.g. this, i.e. that", 2}, {u"a.b.c", 1},  // a dot between letters goes with them
      {u"<b>Bold</b> and <a href=\"x y\">link</a><br/>next", 4},
      {u"<br>one<br />two<BR>three", 2},  // <br> separates; <BR> is only removed
      {u"x<y and z>w", 3},                // no tag: "x<y", "and", "z>w"
      {u"<a b='1\n2'>c", 3},              // a value never spans a line
      {u"\u041F\u043B\u0430\u0442\u0444\u043E\u0440\u043C\u0430 2", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(c.words, CountWords(c.text)) << Utf16ForDisplay(c.text);
}

TEST(BridgeCommandLine, HelpVersionUsageErrorsAndTheManualPage) {
  test::TempDir dir;
  test::WriteFile(dir / "t.txt", File(u"\\a.xml@Source@A%\t\"A\"\n"));
  const test::ProcessResult help = Bridge({"--help"}, dir);
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find("usage:\n  glossmill-bridge export --to xliff|po|csv"));
  for (const char* part : {"Exit status", "stats [--json] [--html OUT] TRANSLATIONS [TREE]",
                           "counted as Translate Toolkit's pocount counts them"})
    EXPECT_TRUE(Holds(help.out, part));
  const test::ProcessResult version = Bridge({"--version"}, dir);
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("glossmill-bridge " GLOSSMILL_BRIDGE_VERSION "\n", version.out);

  const struct {
    const char *command, *message;
  } cases[] = {
      {"", "no command"}, {"translate t.txt", "unknown command translate"},
      {"export --to tmx --lang fr t.txt o", "no format tmx"}, {"export --lang fr t.txt o", "--to is needed"},
      {"export --to po t.txt o", "--lang is needed"}, {"export --to po --lang fr t.txt", "export takes"},
      {"export --to po --lang English t.txt o", "no target language English"},
      {"export --to po --lang klingon t.txt o", "no target language klingon"},
      {"export --to po --lang fr --html p t.txt o", "export takes"}, {"import --lang fr t.txt", "import takes"},
      {"import --lang", "--lang needs a value"}, {"stats", "stats takes"}, {"stats --lang fr t.txt", "stats takes"},
      {"stats t.txt --html", "--html needs a value"}, {"stats --verbose t.txt", "unknown option --verbose"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const test::ProcessResult result = Bridge(Args(c.command), dir);
    EXPECT_EQ(1, result.status);
    EXPECT_TRUE(Holds(result.err, c.message));
    EXPECT_TRUE(Holds(result.err, "\nusage:"));
    EXPECT_EQ("", result.out);
  }
  EXPECT_FALSE(test::FileExists(dir / "o") || test::FileExists(dir / "p"));
  // Options may follow the files, and take their value after "=".
  EXPECT_EQ(0, Bridge({"export", "t.txt", "o.csv", "--to=csv", "--lang=fr-CA"}, dir).status);
  // The manual page, which the build puts beside the program, given its
  // version, formats cleanly (as plain text, without bold or underline) and
  // tells every command and option.
  if (!Installed("groff")) GTEST_SKIP() << "groff is not installed";
  const std::string page = (std::filesystem::path(GLOSSMILL_BRIDGE_EXE).parent_path() / "glossmill-bridge.1").string();
  const test::ProcessResult formatted = test::Run("groff", {"-man", "-ww", "-Tutf8", "-P-cbu", page}, ".");
  EXPECT_EQ(0, formatted.status);
  EXPECT_EQ("", formatted.err);
  for (const char* word : {"glossmill " GLOSSMILL_BRIDGE_VERSION, "export", "import", "stats", "--to", "--lang", "--json",
                           "--html", "--help", "--version", "EXIT STATUS", "cannot travel", "pocount", "glossmill(1)"})
    EXPECT_TRUE(Holds(formatted.out, word));
}

TEST(BridgeUtf8, ConvertsExactlyAndRefusesWhatIsNotUnicode) {
  const std::u16string wide = u"a\u00e9\u20ac\U0001F600";
  std::string narrow;
  ASSERT_TRUE(Utf16ToUtf8(wide, narrow));
  EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", narrow);
  std::u16string back;
  ASSERT_TRUE(Utf8ToUtf16(narrow, back));
  EXPECT_EQ(wide, back);
  for (const char16_t* lone : {u"\xD800", u"a\xDC00", u"\xD800x"}) EXPECT_FALSE(Utf16ToUtf8(lone, narrow)) << lone;
  EXPECT_EQ("x\xEF\xBF\xBD", Utf16ForDisplay(u"x\xDC01"));
  for (const char* bad : {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xE2\x82", "\xC3", "\xF8\x88\x80\x80\x80", "\xC3\x28"})
    EXPECT_FALSE(Utf8ToUtf16(bad, back)) << bad;
}

TEST(BridgeReferences, EncodeAsTranslateToolkitReadsThem) {
  const struct {
    const char* name;
    const char* reference;
  } cases[] = {
      {"\\Rolling Stock\\W.xml@Source@Covered#van", "\\Rolling+Stock\\W.xml@Source@Covered#van"},
      {"\\a.xml@Source@Danger:#100%#+#\xC3\xA9", "\\a.xml@Source@Danger%3A#100%25#%2B#\xC3\xA9"},
      {"\\a.xml@Source@A\t2", "\\a.xml@Source@A%092"},
      {"\\a.xml@Source@nbsp\xC2\xA0here", "\\a.xml@Source@nbsp%C2%A0here"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.reference, EncodeReference(c.name));
    EXPECT_EQ(c.name, DecodeReference(c.reference));
  }
  // As Translate Toolkit writes them; and what decodes to no UTF-8 stands.
  EXPECT_EQ("\\Signs\\S.xml@Source@Platform#2", DecodeReference("%5CSigns%5CS.xml@Source@Platform%232"));
  EXPECT_EQ("a%FFb%2", DecodeReference("a%FFb%2"));
}

}  // namespace
