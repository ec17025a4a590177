// What import and export refuse: every error leaves the translations file
// and the output untouched, with a message, "nothing written" and status 1;
// units that cannot be taken are named and skipped while the rest is written.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"

namespace {
using bridge_test::Bridge;
using bridge_test::File;
using bridge_test::Holds;

std::string Xliff(const std::string& language, const std::string& units) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">"
         "<file original=\"t.txt\" source-language=\"en\" target-language=\"" + language +
         "\" datatype=\"plaintext\"><body>" + units + "</body></file></xliff>\n";
}
std::string Unit(const std::string& id, const std::string& source, const std::string& target) {
  return "<trans-unit id=\"" + id + "\"><source>" + source + "</source><target>" + target +
         "</target></trans-unit>";
}
std::string Po(const std::string& language, const std::string& entries) {
  return "msgid \"\"\nmsgstr \"\"\n\"Language: " + language +
         "\\n\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" + entries;
}

TEST(BridgeBadInput, RefusedInputWritesNothing) {
  const std::string hi = "\\a.xml@Source@Hi", csv = "id,flavour,file,English,French\r\n";
  const struct {
    const char* name;
    const char* file;
    std::string bytes;  // empty: no such file
    const char* message;
    // An export of `file` as the translations file, or else an import of it.
    const char* exportTo = nullptr;
  } cases[] = {
      {"XLIFF not well-formed", "in.xlf", "<xliff version=\"1.2\"><file>", "not well-formed"},
      {"XML that is not XLIFF 1.2", "in.xlf",
       "<xliff version=\"1.2\" xmlns=\"urn:other\"><file/></xliff>", "not an XLIFF 1.2"},
      {"XLIFF unit without id", "in.xlf", Xliff("fr", "<trans-unit><source>Hi</source></trans-unit>"),
       "without id"},
      {"XLIFF in another language", "in.xlf", Xliff("de-DE", Unit(hi, "Hi", "Hallo")),
       "into de-DE, not French"},
      {"XLIFF with one unit twice", "in.xlf", Xliff("fr", Unit(hi, "Hi", "a") + Unit(hi, "Hi", "b")),
       "stands twice"},
      {"XLIFF from another translations file", "in.xlf",
       Xliff("fr", Unit("\\other.xml@Source@Hi", "Hi", "Salut")), "another translations file"},
      {"PO not well-formed", "in.po", Po("fr", "msgctxt \"k\"\nmsgid \"Hi\nmsgstr \"\"\n"),
       "end-of-line within string"},
      {"PO entry without context", "in.po", Po("fr", "msgid \"Hi\"\nmsgstr \"Salut\"\n"),
       "no message context"},
      {"PO in another language", "in.po",
       Po("pl", "msgctxt \"\\\\a.xml@Source@Hi\"\nmsgid \"Hi\"\nmsgstr \"Cze\"\n"), "into pl, not French"},
      {"PO in another charset", "in.po",
       "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n", "not UTF-8"},
      {"CSV with a stray quote", "in.csv", csv + hi + ",Source,\\a.xml,H\"i,\r\n",
       "double quote inside an unquoted field"},
      {"CSV with an open quote", "in.csv", csv + "\"" + hi + ",,,,\r\n", "never ends"},
      {"CSV with a short record", "in.csv", csv + hi + ",Source\r\n", "record 2 has 2 fields"},
      {"CSV with another header", "in.csv", "key,English,French\r\n", "header row"},
      {"CSV in another language", "in.csv",
       "id,flavour,file,English,Dutch\r\n" + hi + ",Source,\\a.xml,Hi,Hoi\r\n", "into Dutch, not French"},
      {"a missing exchange file", "none.po", "", "cannot read"},
      {"a malformed line", "t.txt", File(u"\\a.xml@Source@A%\t\"A\"\n\tno key\n"),
       "line 2 is not a translations line", "po"},
      {"a lone surrogate", "t.txt", File(u"\\a.xml@Source@A%\t\"A\xD800\"\n"),
       "\\a.xml@Source@A: holds a lone surrogate", "csv"},
      {"a control character in XLIFF", "t.txt", File(u"\\a.xml@Source@A%\t\"A\x01\"\n"),
       "\\a.xml@Source@A: holds a control character", "xliff"},
      {"a missing translations file", "t.txt", "", "cannot read", "po"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(dir / "t.txt",
                    File(u"\xFEFF\\a.xml@Source@Hi%\t\"Hi\"\n\\a.xml@Source@Yes%\t\"Yes\"\t\"Oui\"\n"));
    test::WriteFile(dir / "out", "before");
    std::filesystem::remove(dir.Path() / c.file);
    if (!c.bytes.empty()) test::WriteFile(dir / c.file, c.bytes);
    const std::string translations = test::ReadFile(dir / "t.txt");
    const test::ProcessResult result =
        Bridge(c.exportTo ? test::tTexts{"export", "--to", c.exportTo, "--lang", "fr", "t.txt", "out"}
                          : test::tTexts{"import", "--lang", "fr", "t.txt", c.file},
               dir.Path().string());
    EXPECT_EQ(1, result.status);
    EXPECT_TRUE(Holds(result.err, c.message));
    EXPECT_TRUE(Holds(result.err, "nothing written"));
    EXPECT_EQ(translations, test::ReadFile(dir / "t.txt"));
    EXPECT_EQ("before", test::ReadFile(dir / "out"));
    EXPECT_FALSE(test::FileExists(dir / "t.txt.temp") || test::FileExists(dir / "out.temp"));
  }
}

TEST(BridgeBadInput, ImportNamesTheUnitsItLeavesOutAndWritesTheRest) {
  test::TempDir dir;
  const std::u16string lines = u"\\a.xml@Source@A%\t\"A\"\n\\a.xml@Source@B%\t\"B\"\n\\a.xml@Source@C%\t\"C\"\n"
                               u"\\a.xml@Source@D%\t\"D\"\n\\a.xml@Source@E%\t\"E\"\n\\a.xml@Source@F%\t\"F\"\n";
  test::WriteFile(dir / "t.txt", File(lines));
  test::WriteFile(dir / "in.xlf",
                  Xliff("fr", Unit("\\a.xml@Source@A", "A", "ok") + Unit("\\a.xml@Source@B", "B changed", "b") +
                                  Unit("\\a.xml@Source@C", "C", "say &quot;c&quot;") +
                                  Unit("\\a.xml@Source@D", "D", "d&#10;d") + Unit("\\a.xml@Source@E", "E", "e&#9;e") +
                                  Unit("\\a.xml@Source@F", "F", "<g id=\"1\">f</g>") +
                                  Unit("\\gone.xml@Source@G", "G", "g")));
  const test::ProcessResult result = Bridge({"import", "--lang", "fr", "t.txt", "in.xlf"}, dir.Path().string());
  EXPECT_EQ(2, result.status);
  for (const char* report :
       {"\\a.xml@Source@B: its English text has changed", "\\a.xml@Source@C: the translation holds a double quote",
        "\\a.xml@Source@D: the translation holds a line break", "\\a.xml@Source@E: the translation holds a TAB",
        "\\a.xml@Source@F: the translation holds markup", "\\gone.xml@Source@G: no longer in t.txt"})
    EXPECT_TRUE(Holds(result.err, report));
  EXPECT_TRUE(Holds(result.out, "1 translations written, 6 units reported"));
  std::u16string expected = lines;
  expected.replace(expected.find(u"\"A\"\n"), 4, u"\"A\"\t\"ok\"\n");
  EXPECT_EQ(File(expected), test::ReadFile(dir / "t.txt"));
}

}  // namespace
