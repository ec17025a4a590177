// What the commands refuse: every error leaves the translations file and
// the output untouched, with a message, "nothing written" and status 1;
// units that cannot be taken are named and skipped while the rest is written.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"

namespace {
using namespace bridge_test;

std::string Po(const std::string& language, const std::string& entries) {
  return "msgid \"\"\nmsgstr \"\"\n\"Language: " + language +
         "\\n\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" + entries;
}

// A translations file of no bytes at all, as a case writes it.
const std::string cNoBytes = "(no bytes)";
const std::u16string cLines = u"\\a.xml@Source@Hi%\t\"Hi\"\n\\a.xml@Source@Yes%\t\"Yes\"\t\"Oui\"\n";

TEST(BridgeBadInput, RefusedInputWritesNothing) {
  const std::string hi = "\\a.xml@Source@Hi", csv = "location,source,target\r\n";
  const std::string importIn = "import --lang fr t.txt in", exportPo = "export --to po --lang fr t.txt out";
  const struct {
    const char* name;
    std::string command;
    std::string in;  // the file "in"; none when empty
    const char* message;
    std::string translations = File(cLines);  // t.txt; none when empty
  } cases[] = {
      {"XLIFF not well-formed", importIn, "<xliff version=\"1.2\"><file>", "not well-formed"},
      {"not XLIFF", importIn, "<xliff version=\"1.2\" xmlns=\"urn:other\"><file/></xliff>", "not an XLIFF 1.1 or 1.2"},
      {"XLIFF in another language", importIn, Xliff(Unit(hi, "Hi", "Hallo"), "de-DE"), "into de-DE, not French"},
      {"XLIFF with a unit twice", importIn, Xliff(Unit(hi, "Hi", "a") + Unit(hi, "Hi", "b")),
       "the unit \\a.xml@Source@Hi stands twice"},
      {"XLIFF of another file", importIn, Xliff(Unit("\\other.xml@Source@Hi", "Hi", "Salut")), "another translations file"},
      {"PO not well-formed", importIn, Po("fr", "msgctxt \"k\"\nmsgid \"Hi\nmsgstr \"\"\n"), "end-of-line within string"},
      {"PO in another language", importIn, Po("pl", "msgctxt \"\\\\a.xml@Source@Hi\"\nmsgid \"Hi\"\nmsgstr \"Cze\"\n"),
       "into pl, not French"},
      {"PO in another charset", importIn, "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n",
       "not UTF-8"},
      {"CSV with a stray quote", importIn, csv + hi + ",H\"i,\r\n", "double quote inside an unquoted field"},
      {"CSV with an open quote", importIn, csv + "\"" + hi + ",,\r\n", "never ends"},
      {"CSV with a short record", importIn, csv + hi + ",Hi\r\n", "record 2 has 2 fields"},
      {"CSV with another header", "import --lang fr t.txt in.csv", "name,English,French\r\n",
       "must name the columns location, source"},
      {"CSV in another language", importIn, "location,source,target,language\r\n" + hi + ",Hi,Hoi,Dutch\r\n",
       "into Dutch, not French"},
      {"CSV of an older export in another language", importIn,
       "id,flavour,file,English,Dutch\r\n" + hi + ",Source,\\a.xml,Hi,Hoi\r\n", "into Dutch, not French"},
      {"CSV with semicolons", importIn, "location;source;target\r\n" + hi + ";Hi;Salut\r\n",
       "in separates its fields by semicolons"},
      {"CSV in UTF-16", "import --lang fr t.txt in.csv", "\xFF\xFEl\0o\0", "in.csv is UTF-16 text"},
      {"a missing exchange file", "import --lang fr t.txt none.po", "", "cannot read"},
      {"a malformed line", exportPo, "", "line 2 is not a translations line", File(u"\\a.xml@Source@A%\t\"A\"\n\tno key\n")},
      {"a missing translations file", exportPo, "", "cannot read", ""},
      // A translations file is UTF-16LE with its byte-order mark, whatever
      // the command.
      {"a translations file in UTF-8", "export --to csv --lang fr t.txt out", "",
       "t.txt is UTF-8: a translations file is UTF-16LE text beginning with a byte-order mark",
       "\xEF\xBB\xBF" + hi + "\tVektrel\t\t\t\tPC\t\"Hi\"\n"},
      {"a translations file in UTF-8 to import into", importIn, Xliff(Unit(hi, "Hi", "Salut")),
       "t.txt has no byte-order mark", hi + "\tVektrel\t\t\t\tPC\t\"Hi\"\n"},
      {"a translations file in UTF-16BE", "stats t.txt", "", "t.txt is UTF-16 big-endian", std::string("\xFE\xFF\0\\", 4)},
      {"an empty translations file", "stats --json t.txt", "", "t.txt is empty", cNoBytes},
      // No output may be one of the inputs.
      {"export onto t.txt", "export --to po --lang fr t.txt ./t.txt", "", "./t.txt would overwrite the translations file t.txt"},
      {"export onto a link to t.txt", "export --to csv --lang fr t.txt link", "", "link would overwrite the translations file"},
      {"import of t.txt", "import --lang fr t.txt t.txt", "", "t.txt is the translations file itself"},
      {"a page onto t.txt", "stats --html t.txt t.txt", "", "t.txt would overwrite an input"},
  };
  test::TempDir dir;
  std::filesystem::create_symlink("t.txt", dir.Path() / "link");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir.Path() / "t.txt");
    if (!c.translations.empty()) test::WriteFile(dir / "t.txt", c.translations == cNoBytes ? "" : c.translations);
    test::WriteFile(dir / "out", "before");
    for (const char* name : {"in", "in.csv"}) std::filesystem::remove(dir.Path() / name);
    const test::tTexts args = Args(c.command);
    if (!c.in.empty()) test::WriteFile(dir / args.back(), c.in);
    const std::string translations = test::ReadFile(dir / "t.txt");
    const test::ProcessResult result = Bridge(args, dir);
    EXPECT_EQ(1, result.status);
    EXPECT_TRUE(Holds(result.err, c.message));
    if (args[0] != "stats" || args[1] == "--html") {
      EXPECT_TRUE(Holds(result.err, "nothing written"));
    }
    EXPECT_EQ("", result.out);
    EXPECT_EQ(translations, test::ReadFile(dir / "t.txt"));
    EXPECT_EQ("before", test::ReadFile(dir / "out"));
    EXPECT_FALSE(test::FileExists(dir / "t.txt.temp") || test::FileExists(dir / "out.temp"));
  }
}

TEST(BridgeBadInput, ImportNamesTheUnitsItLeavesOutAndWritesTheRest) {
  test::TempDir dir;
  const std::u16string lines = Lines({u"A", u"B", u"C", u"D", u"E", u"F"});
  const std::string a = "\\a.xml@Source@";
  test::WriteFile(dir / "t.txt", File(lines));
  test::WriteFile(dir / "in.xlf", Xliff(Unit(a + "A", "A", "ok") + Unit(a + "B", "B changed", "b") +
                                        Unit(a + "C", "C", "say &quot;c&quot;") + Unit(a + "D", "D", "d&#10;d") +
                                        Unit(a + "E", "E", "e&#9;e") + Unit(a + "F", "F", "<g id=\"1\">f</g>") +
                                        Unit("\\gone.xml@Source@G", "G", "g") +
                                        "<trans-unit><source>Nameless</source><target>n</target></trans-unit>"));
  const test::ProcessResult result = Import(dir, "fr", "t.txt", "in.xlf");
  EXPECT_EQ(2, result.status);
  for (const char* report :
       {"\\a.xml@Source@B: its English text has changed", "\\a.xml@Source@C: the translation holds a double quote",
        "\\a.xml@Source@D: the translation holds a line break", "\\a.xml@Source@E: the translation holds a TAB",
        "\\a.xml@Source@F: it holds markup, which the translations file cannot carry",
        "\\gone.xml@Source@G: no longer in t.txt", "a unit without a name (English \"Nameless\"): names no line of t.txt"})
    EXPECT_TRUE(Holds(result.err, report));
  EXPECT_TRUE(Holds(result.out, "1 translations written, 7 units reported"));
  std::u16string expected = lines;
  expected.replace(expected.find(u"\"A\"\n"), 4, u"\"A\"\t\"ok\"\n");
  EXPECT_EQ(File(expected), test::ReadFile(dir / "t.txt"));
  // A PO entry with neither context nor reference names no line; one with
  // plural forms cannot go into a line.
  test::WriteFile(dir / "in.po", Po("fr", "msgid \"B\"\nmsgstr \"b\"\n\nmsgctxt \"\\\\a.xml@Source@C\"\nmsgid \"C\"\n"
                                          "msgid_plural \"Cs\"\nmsgstr[0] \"c\"\nmsgstr[1] \"cs\"\n"));
  const test::ProcessResult po = Import(dir, "fr", "t.txt", "in.po");
  EXPECT_EQ(2, po.status);
  EXPECT_TRUE(Holds(po.err, "a unit without a name (English \"B\"): names no line of t.txt"));
  EXPECT_TRUE(Holds(po.err, "\\a.xml@Source@C: it has plural forms, which the translations file cannot carry"));
}

}  // namespace
