// What a translator's tools put into an exchange file and what the bridge
// makes of it: review states (a draft never reaches the game), the XLIFF and
// PO that CAT tools and gettext's converters write, and the strings a
// translations file cannot carry, which are left out and counted.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"

namespace {
using namespace bridge_test;

TEST(BridgeReviewStates, ImportLeavesOutDraftsAndNamesThemAndExportMarksTheGamesTranslationsApproved) {
  test::TempDir dir;
  const std::u16string lines = Lines({u"B", u"C", u"D", u"E", u"F", u"G", u"H"});
  const auto unit = [](const std::string& english, const char* unitAttributes, const char* targetAttributes) {
    return Unit("\\a.xml@Source@" + english, english, english + "!", unitAttributes, targetAttributes);
  };
  const std::string xliffUnits = unit("B", "", " state=\"new\"") + unit("C", "", " state=\"needs-translation\"") +
                                 unit("D", " approved=\"yes\"", " state=\"needs-review-translation\"") +
                                 unit("E", " approved=\"no\"", "") + unit("F", " approved=\"no\"", " state=\"translated\"") +
                                 unit("G", "", " state=\"final\"") + unit("H", "", "");
  const struct {
    const char* file;
    std::string bytes;
    std::vector<std::string> reports;
    std::u16string written;  // the English texts whose translation is written
  } cases[] = {
      {"in.xlf", Xliff(xliffUnits),
       {"\\a.xml@Source@B: a draft (its state is new), not written",
        "\\a.xml@Source@C: a draft (its state is needs-translation), not written",
        "\\a.xml@Source@D: a draft (its state is needs-review-translation), not written",
        "\\a.xml@Source@E: a draft (it is not approved), not written"},
       u"FGH"},
      {"in.po", "msgid \"\"\nmsgstr \"Language: fr\\n\"\n\n#, fuzzy\nmsgctxt \"\\\\a.xml@Source@B\"\nmsgid \"B\"\nmsgstr \"B!\"\n\n"
                "msgctxt \"\\\\a.xml@Source@C\"\nmsgid \"C\"\nmsgstr \"C!\"\n",
       {"\\a.xml@Source@B: a draft (marked fuzzy), not written"}, u"C"},
      // A spreadsheet's CSV: no quotes, a blank line at the end.
      {"in.csv", "location,source,target,fuzzy\r\n\\a.xml@Source@B,B,B!,True\r\n\\a.xml@Source@C,C,C!,False\r\n\r\n",
       {"\\a.xml@Source@B: a draft (marked fuzzy), not written"}, u"C"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    test::WriteFile(dir / "t.txt", File(lines));
    test::WriteFile(dir / c.file, c.bytes);
    const test::ProcessResult imported = Import(dir, "fr", "t.txt", c.file);
    EXPECT_EQ(2, imported.status);
    for (const std::string& report : c.reports) EXPECT_TRUE(Holds(imported.err, report));
    EXPECT_TRUE(Holds(imported.out, std::to_string(c.written.size()) + " translations written, " +
                                        std::to_string(c.reports.size()) + " units reported"));
    std::u16string expected;
    for (char16_t english : std::u16string(u"BCDEFGH")) {
      const std::u16string text(1, english), line = Lines({text});
      expected += c.written.find(english) == std::u16string::npos ? line : line.substr(0, line.size() - 1) +
                  u"\t\"" + text + u"!\"\n";
    }
    EXPECT_EQ(File(expected), test::ReadFile(dir / "t.txt"));
  }
  // What the last import left, C translated and B not, exported again.
  for (const sFormat& format : Formats())
    ASSERT_EQ(0, Export(dir, format.name, "fr", "t.txt", format.file).status);
  const std::string xliff = test::ReadFile(dir / "out.xlf");
  EXPECT_TRUE(Holds(xliff, "<tool tool-id=\"glossmill-bridge\" tool-name=\"glossmill-bridge\" tool-version=\"" GLOSSMILL_BRIDGE_VERSION "\" />"));
  EXPECT_TRUE(Holds(xliff, "approved=\"yes\">\n        <source>C</source>\n        <target state=\"final\">C!</target>"));
  EXPECT_TRUE(Holds(xliff, "preserve\">\n        <source>B</source>\n        <target state=\"needs-translation\" />"));
  const std::string po = test::ReadFile(dir / "out.po");
  EXPECT_EQ(std::string::npos, po.find("fuzzy"));
  for (const char* part : {"\"POT-Creation-Date: 20", "\"Language: fr\\n\"\n", "\"Plural-Forms: nplurals=2; plural=(n > 1);\\n\"\n",
                           "\"X-Generator: glossmill-bridge " GLOSSMILL_BRIDGE_VERSION "\\n\"\n",
                           "#: \\a.xml@Source@C\nmsgctxt \"\\\\a.xml@Source@C\"\nmsgid \"C\"\nmsgstr \"C!\"\n"})
    EXPECT_TRUE(Holds(po, part));
}

TEST(BridgeCatTools, TheirXliffAndPoFindTheirLines) {
  test::TempDir dir;
  test::WriteFile(dir / "t.txt", File(Lines({u"A b", u"C", u"D", u"Note: 12", u"E", u"F", u"G", u"H:12"})));
  // XLIFF 1.1 without a target language, its language in a gettext header
  // unit; segmented targets; a prefixed namespace, a group, CDATA and
  // character references; names from the id, the resname, or a reference
  // that gettext's converters split at its colon.
  const std::string xliff11 =
      "<?xml version=\"1.0\"?>\n<x:xliff version=\"1.1\" xmlns:x=\"urn:oasis:names:tc:xliff:document:1.1\">"
      "<x:file original=\"t.po\" source-language=\"en-US\" datatype=\"po\"><x:header><x:tool tool-id=\"cat\" "
      "tool-name=\"cat\"/></x:header><x:body>"
      "<x:trans-unit id=\"1\" restype=\"x-gettext-domain-header\"><x:source>Language: fr\n</x:source></x:trans-unit>"
      "<x:group><x:trans-unit id=\"\\a.xml@Source@A#b\"><x:source>A b</x:source>"
      "<x:target><![CDATA[<A> & b]]></x:target></x:trans-unit></x:group>"
      "<x:trans-unit id=\"7\" resname=\"\\a.xml@Source@C\"><x:source>C</x:source>"
      "<x:seg-source><x:mrk mtype=\"seg\" mid=\"1\">C</x:mrk></x:seg-source>"
      "<x:target state=\"translated\"><x:mrk mtype=\"seg\" mid=\"1\">Un.</x:mrk> <x:mrk mtype=\"seg\" mid=\"2\">"
      "&#x00C7;a &#233;t&#xE9;</x:mrk></x:target></x:trans-unit>"
      "<x:trans-unit id=\"8\"><x:source>D</x:source><x:target>d</x:target><x:context-group name=\"po-reference\" "
      "purpose=\"location\"><x:context context-type=\"sourcefile\">\\a.xml@Source@D</x:context></x:context-group>"
      "</x:trans-unit>"
      "<x:trans-unit id=\"9\"><x:source>Note: 12</x:source><x:target>n</x:target><x:context-group "
      "name=\"po-reference\" purpose=\"location\"><x:context context-type=\"sourcefile\">\\a.xml@Source@Note"
      "</x:context><x:context context-type=\"linenumber\">#12</x:context></x:context-group></x:trans-unit>"
      "</x:body></x:file></x:xliff>\n";
  // PO as gettext's converters write it from an XLIFF file: the name in a
  // reference, encoded or not (gettext takes a colon and digits at its end
  // for a line number), or in a context made of it.
  const std::string po =
      "msgid \"\"\nmsgstr \"Language: fr\\n\"\n\n#: %5Ca.xml@Source@E\nmsgid \"E\"\nmsgstr \"e\"\n\n"
      "#: \\a.xml@Source@F\nmsgid \"F\"\nmsgstr \"f\"\n\n"
      "msgctxt \"\\\\a.xml@Source@G\"\nmsgid \"G\"\nmsgstr \"g\"\n\n"
      "#: %5Ca.xml@Source@H:12\nmsgid \"H:12\"\nmsgstr \"h\"\n";
  test::WriteFile(dir / "in.xlf", xliff11);
  test::WriteFile(dir / "in.po", po);
  for (const char* file : {"in.xlf", "in.po"}) {
    const test::ProcessResult imported = Import(dir, "fr", "t.txt", file);
    EXPECT_EQ(0, imported.status) << imported.err;
  }
  EXPECT_EQ(File(u"\\a.xml@Source@A#b%\t\"A b\"\t\"<A> & b\"\n\\a.xml@Source@C%\t\"C\"\t\"Un. \u00c7a \u00e9t\u00e9\"\n"
                 u"\\a.xml@Source@D%\t\"D\"\t\"d\"\n\\a.xml@Source@Note:#12%\t\"Note: 12\"\t\"n\"\n"
                 u"\\a.xml@Source@E%\t\"E\"\t\"e\"\n\\a.xml@Source@F%\t\"F\"\t\"f\"\n"
                 u"\\a.xml@Source@G%\t\"G\"\t\"g\"\n\\a.xml@Source@H:12%\t\"H:12\"\t\"h\"\n"),
            test::ReadFile(dir / "t.txt"));
}

TEST(BridgeCannotTravel, StringsTheFileCannotCarryAreLeftOutAndCounted) {
  test::TempDir dir;
  // As extraction writes them: an English text with double quotes (the
  // reader drops them, and the key its last one) and one with a TAB (it
  // splits the column); a key twice; a flavour no update reads; a lone
  // surrogate, which no exchange format carries; a U+FEFF, which readers
  // drop.
  test::WriteFile(dir / "t.txt",
                  File(u"\\w.xml@Source@Covered#van#\"Vanfit\"%\t\"Covered van \"Vanfit\"\"\t\"\"\n"
                       u"\\w.xml@Source@Class#4\\tgoods%\t\"Class 4\tgoods\"\t\"Wagon\"\n"
                       u"\\w.xml@Source@Ok%\t\"Ok\"\n\\w.xml@Source@Ok%\t\"Ok\"\n"
                       u"\\g.xml@Game@Go%\t\"Go\"\n\\g.xml@Game@Go%\t\"Go\"\t\"Va\"\n"
                       u"\\w.xml@Other@X%\t\"X\"\n\\w.xml@Source@Lone%\t\"Lone\"\t\"x\xD800\"\n"
                       u"\\w.xml@Source@\xFEFFMark%\t\"\xFEFFMark\"\n"));
  const std::string leftOut =
      "glossmill-bridge: 7 strings cannot travel through a translations file: "
      "\\w.xml@Source@Covered#van#\"Vanfit (a double quote in its English text); "
      "\\w.xml@Source@Class#4\\tgoods (a TAB in its English text); "
      "\\w.xml@Source@Ok #2 (the source update reads the first line of its key); "
      "\\g.xml@Game@Go (the game update reads the last line of its key); "
      "\\w.xml@Other@X (its flavour is neither Game nor Source); "
      "\\w.xml@Source@Lone (a lone surrogate, which UTF-8 cannot carry); "
      "\\w.xml@Source@Mark (a U+FEFF in its English text)\n";
  for (const sFormat& format : Formats()) {
    SCOPED_TRACE(format.name);
    const test::ProcessResult exported = Export(dir, format.name, "fr", "t.txt", format.file);
    EXPECT_EQ(0, exported.status);
    EXPECT_EQ(leftOut, exported.err);
    const sExchangeFile file = ReadExchange(format, dir.Path() / format.file);
    ASSERT_EQ(2u, file.mUnits.size());
    EXPECT_EQ("\\w.xml@Source@Ok", file.mUnits[0].mNames.at(0));
    EXPECT_EQ("\\g.xml@Game@Go\t2|Va", file.mUnits[1].mNames.at(0) + "|" + file.mUnits[1].mTarget);
  }
  // A unit an older export made of such a string is named and not written.
  const std::string before = test::ReadFile(dir / "t.txt");
  test::WriteFile(dir / "old.po", "msgctxt \"\\\\w.xml@Source@Covered#van#\\\"Vanfit\"\nmsgid \"Covered van Vanfit\"\n"
                                  "msgstr \"Wagon couvert\"\n");
  const test::ProcessResult imported = Import(dir, "fr", "t.txt", "old.po");
  EXPECT_EQ(2, imported.status);
  EXPECT_TRUE(Holds(imported.err, "\\w.xml@Source@Covered#van#\"Vanfit: cannot travel through a translations file "
                                  "(a double quote in its English text), not written"));
  EXPECT_EQ(before, test::ReadFile(dir / "t.txt"));

  const test::ProcessResult stats = Bridge({"stats", "--json", "t.txt"}, dir);
  EXPECT_TRUE(Holds(stats.out, "{\"strings\":9,\"cannotTravel\":[{\"key\":\"\\\\w.xml@Source@Covered#van#\\\"Vanfit\","
                               "\"why\":\"a double quote in its English text\"},"));
  EXPECT_TRUE(Holds(stats.out, "{\"language\":\"French\",\"code\":\"fr\",\"translated\":1,\"missing\":1,"));
  EXPECT_TRUE(Holds(Bridge({"stats", "t.txt"}, dir).out,
                    "9 strings, 7 of them cannot travel through a translations file\n"));

  // What XLIFF alone cannot hold leaves its string out of an XLIFF export.
  test::WriteFile(dir / "x.txt", File(u"\\a.xml@Source@A%\t\"A\"\t\"x\x0By\"\n\\a.xml@Source@B%\t\"B\"\n"));
  const test::ProcessResult xliff = Export(dir, "xliff", "fr", "x.txt", "out.xlf");
  EXPECT_EQ(0, xliff.status);
  EXPECT_EQ("glossmill-bridge: 1 string cannot travel through a translations file: \\a.xml@Source@A "
            "(U+000B, which XLIFF cannot carry)\n", xliff.err);
  EXPECT_TRUE(Holds(xliff.out, "1 strings exported"));
  const test::ProcessResult po = Export(dir, "po", "fr", "x.txt", "out.po");
  EXPECT_TRUE(Holds(po.out, "2 strings exported"));
  EXPECT_EQ("", po.err);
}

}  // namespace
