// stats, with and without a content tree, and the command line's
// conventions: help, version, usage errors with a non-zero status.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"
#include "bridge/Utf8.h"

namespace {
using bridge_test::Bridge;
using bridge_test::Empty;
using bridge_test::File;
using bridge_test::Holds;

TEST(BridgeStats, CountsFilledAndMissingStringsAndWordsPerLanguage) {
  test::TempDir dir;
  // French: one filled, two missing (3 + 1 English words); Polish filled
  // on the second line only, in the 22nd text.
  test::WriteFile(dir / "t.txt",
                  File(u"\\a.xml@Source@One#two%\t\"One two\"\t\"Un deux\"\n"
                       u"\\a.xml@Game@Three%\t\"Three  four five\"" + Empty(20) + u"\t\"Trzy\"\n" +
                       u"\\b.xml@Source@Six%\t\"Six\"\n"));
  const test::ProcessResult text = Bridge({"stats", "t.txt"}, dir.Path().string());
  EXPECT_EQ(0, text.status) << text.err;
  EXPECT_TRUE(Holds(text.out, "3 strings\n"));
  EXPECT_TRUE(Holds(text.out, "French            1         2                    4\n"));
  EXPECT_TRUE(Holds(text.out, "Polish            1         2                    3\n"));

  const test::ProcessResult json = Bridge({"stats", "--json", "t.txt"}, dir.Path().string());
  EXPECT_EQ(0, json.status);
  EXPECT_EQ(0u, json.out.find("{\"strings\":3,\"languages\":[{\"language\":\"French\",\"code\":"
                              "\"fr\",\"filled\":1,\"missing\":2,\"words\":4},"));
  EXPECT_TRUE(Holds(json.out, "{\"language\":\"Dutch\",\"code\":\"nl\",\"filled\":0,\"missing\":3,\"words\":6}]}\n"));
}

TEST(BridgeStats, ComparesTheFileWithTheStringsOfATree) {
  test::TempDir dir;
  const std::string tree = dir / "tree";
  std::filesystem::copy(test::SourceDir() + "/sample", tree, std::filesystem::copy_options::recursive);
  // The file as both extractions make it ...
  ASSERT_EQ(0, test::RunGlossmill({"-sx", dir / "s.txt"}, tree).status);
  ASSERT_EQ(0, test::RunGlossmill({"-gx", dir / "g.txt"}, tree).status);
  std::string file = test::ReadFile(dir / "s.txt") + test::ReadFile(dir / "g.txt").substr(2);
  // ... less one source line, plus a line for a string that is gone.
  const std::string droppedKey = "\\source\\Signs\\StationSigns.xml@Source@Kingsbridge#Central";
  const size_t start = file.find(test::Utf16Le(test::Utf16(droppedKey)));
  ASSERT_NE(std::string::npos, start);
  file.erase(start, file.find(std::string("\n\0", 2), start) + 2 - start);
  test::WriteFile(dir / "t.txt", file + File(u"\\source\\Gone.xml@Source@Old#text%\t\"Old text\"\n"));

  const test::ProcessResult json = Bridge({"stats", "--json", "t.txt", "tree"}, dir.Path().string());
  EXPECT_EQ(0, json.status) << json.err;
  EXPECT_TRUE(Holds(json.out, ",\"notInFile\":[\"\\\\source\\\\Signs\\\\StationSigns.xml@Source@"
      "Kingsbridge#Central\"],\"notInTree\":[\"\\\\source\\\\Gone.xml@Source@Old#text\"]}\n"));
  // Only the report reaches standard output.
  EXPECT_EQ(0u, json.out.find("{\"strings\":"));

  const test::ProcessResult text = Bridge({"stats", "t.txt", "tree"}, dir.Path().string());
  EXPECT_TRUE(Holds(text.out, "1 strings of the tree are not in the file\n  " + droppedKey +
      "\n1 lines name strings no longer in the tree\n  \\source\\Gone.xml@Source@Old#text\n"));

  const test::ProcessResult missing = Bridge({"stats", "t.txt", "no-tree"}, dir.Path().string());
  EXPECT_EQ(1, missing.status);
  EXPECT_TRUE(Holds(missing.err, "cannot enter no-tree"));
}

TEST(BridgeCommandLine, HelpVersionAndUsageErrors) {
  test::TempDir dir;
  test::WriteFile(dir / "t.txt", File(u"\\a.xml@Source@A%\t\"A\"\n"));
  const test::ProcessResult help = Bridge({"--help"}, dir.Path().string());
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find("usage:\n  glossmill-bridge export --to xliff|po|csv"));
  EXPECT_TRUE(Holds(help.out, "Exit status"));
  const test::ProcessResult version = Bridge({"--version"}, dir.Path().string());
  EXPECT_EQ(0, version.status);
  EXPECT_EQ(0u, version.out.find("glossmill-bridge "));

  struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "no command"},
      {{"translate", "t.txt"}, "unknown command translate"},
      {{"export", "--to", "tmx", "--lang", "fr", "t.txt", "o"}, "no format tmx"},
      {{"export", "--lang", "fr", "t.txt", "o"}, "--to is needed"},
      {{"export", "--to", "po", "--lang", "English", "t.txt", "o"}, "no target language English"},
      {{"export", "--to", "po", "--lang", "klingon", "t.txt", "o"}, "no target language klingon"},
      {{"export", "--to", "po", "t.txt", "o"}, "--lang is needed"},
      {{"export", "--to", "po", "--lang", "fr", "t.txt"}, "export takes"},
      {{"import", "--lang", "fr", "t.txt"}, "import takes"},
      {{"import", "--lang"}, "--lang needs a value"},
      {{"stats"}, "stats takes"},
      {{"stats", "--lang", "fr", "t.txt"}, "stats takes"},
      {{"stats", "--verbose", "t.txt"}, "unknown option --verbose"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const test::ProcessResult result = Bridge(c.args, dir.Path().string());
    EXPECT_EQ(1, result.status);
    EXPECT_TRUE(Holds(result.err, c.message));
    EXPECT_TRUE(Holds(result.err, "\nusage:"));
    EXPECT_EQ("", result.out);
  }
  EXPECT_FALSE(test::FileExists(dir / "o"));
  // Options may follow the files, and take their value after "=".
  EXPECT_EQ(0, Bridge({"export", "t.txt", "o.csv", "--to=csv", "--lang=fr-CA"}, dir.Path().string()).status);
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

}  // namespace
