// The extraction visitors driven over real data files, as the extract runs
// drive them: the exact bytes of the translations file are compared.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExtractTestDocuments.h"
#include "localisation/cGameExtractVisitor.h"
#include "localisation/cSourceExtractVisitor.h"
#include "support/TestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cFxFile.h"
#include "xml/cFxPath.h"
#include "xml/cXmlParser.h"

namespace {

using extract_test::GameDocument;
using extract_test::GameString;
using extract_test::Line;
using extract_test::SourceDocument;
using extract_test::SourceString;

const std::u16string cMark = u"\uFEFF";

class ExtractVisitors : public ::testing::Test {
 protected:
  std::string Output() const { return mDir / "out.txt"; }
  std::string OutputBytes() const { return test::ReadFile(Output()); }

  // Writes `xml` as the XML form of the data file `keyName` (below the start
  // directory) and walks it with a fresh visitor of type V that appends to
  // `output`.
  template <class V>
  void Extract(const std::string& xml, const std::string& keyName = "sub/a.bin",
               const std::string& output = "") {
    const std::string xmlPath = mDir / (keyName + ".xml");
    test::WriteFile(xmlPath, xml);
    cFxFile stream;
    ASSERT_TRUE(stream.Open(cFxPath(xmlPath.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
    cXmlParser parser;
    parser.Open(stream);
    V visitor;
    visitor.SetFilePath(cFxWString((mDir / keyName).c_str()));
    visitor.SetOutputPath(cFxWString((output.empty() ? Output() : output).c_str()));
    visitor.SetStartDirectory(cFxWString(mDir.Path().string().c_str()));
    EXPECT_TRUE(WalkDocument(parser, visitor));
  }

  test::TempDir mDir;
};

// ---- Game flavour ------------------------------------------------------------

TEST_F(ExtractVisitors, GameStringInOwnFormGivesNineColumnsKeyedByItsEscapedEnglish) {
  Extract<cGameExtractVisitor>(GameDocument(
      {GameString("a b\tc", {"fr", "it", "", "es", "ru", "", "nl"})}));
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark + Line(u"\\sub\\a.bin@Game@a#b\\tc",
                                       {u"a b\tc", u"fr", u"it", u"", u"es", u"ru", u"", u"nl", u""})));
}

TEST_F(ExtractVisitors, GameLinesFollowTheDocumentAndKeepDuplicates) {
  Extract<cGameExtractVisitor>(GameDocument({GameString("One", {"Un"}), GameString("Two", {}),
                                             GameString("One", {"Une"})}));
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark +
                          Line(u"\\sub\\a.bin@Game@One", {u"One", u"Un", u"", u"", u"", u"", u"", u"", u""}) +
                          Line(u"\\sub\\a.bin@Game@Two", {u"Two", u"", u"", u"", u"", u"", u"", u"", u""}) +
                          Line(u"\\sub\\a.bin@Game@One", {u"One", u"Une", u"", u"", u"", u"", u"", u"", u""})));
}

TEST_F(ExtractVisitors, GameStringWithEmptyEnglishGivesNoLine) {
  // The other languages have text, yet no line may be keyed by any of them;
  // the next string is extracted as usual.
  Extract<cGameExtractVisitor>(GameDocument(
      {GameString("", {"fr", "it", "de", "es", "ru", "pl", "nl"}, {"<Pair>", "<Text d:type=\"cDeltaString\">cz</Text>", "</Pair>"}),
       GameString("", {}), GameString("Next", {"Suivant"})}));
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark + Line(u"\\sub\\a.bin@Game@Next",
                                       {u"Next", u"Suivant", u"", u"", u"", u"", u"", u"", u""})));
}

TEST_F(ExtractVisitors, GameColumnsAreEveryTextInsideTheStringInDocumentOrder) {
  // Languages in another order than the tool writes them, and an "Other"
  // holding further pairs: every text is a column, where it stands.
  const std::vector<std::string> string = {
      "<Localisation-cUserLocalisedString>",
      "<English d:type=\"cDeltaString\">Hello</English>",
      "<German d:type=\"cDeltaString\">Hallo</German>",
      "<French d:type=\"cDeltaString\">Salut</French>",
      "<Other>",
      "<Pair>",
      "<Language d:type=\"cDeltaString\">Czech</Language>",
      "<Text d:type=\"cDeltaString\">Ahoj</Text>",
      "</Pair>",
      "</Other>",
      "</Localisation-cUserLocalisedString>"};
  Extract<cGameExtractVisitor>(GameDocument({string}));
  EXPECT_EQ(OutputBytes(), test::Utf16Le(cMark + Line(u"\\sub\\a.bin@Game@Hello",
                                                      {u"Hello", u"Hallo", u"Salut", u"Czech", u"Ahoj"})));
}

TEST_F(ExtractVisitors, GameNestedStringsShareTheOuterLine) {
  Extract<cGameExtractVisitor>(GameDocument(
      {GameString("outer", {"o-fr"}, GameString("inner", {"i-fr"}))}));
  std::vector<std::u16string> texts = {u"outer", u"o-fr", u"", u"", u"", u"", u"", u"",
                                       u"inner", u"i-fr", u"", u"", u"", u"", u"", u"", u""};
  EXPECT_EQ(OutputBytes(), test::Utf16Le(cMark + Line(u"\\sub\\a.bin@Game@outer", texts)));
}

// ---- Source flavour ------------------------------------------------------------

TEST_F(ExtractVisitors, SourceStringInOwnFormGivesEightColumns) {
  Extract<cSourceExtractVisitor>(
      SourceDocument({SourceString("a b\tc", {"fr", "", "de", "", "", "pl", ""})}), "sub/a.xml");
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark + Line(u"\\sub\\a.xml@Source@a#b\\tc",
                                       {u"a b\tc", u"fr", u"", u"de", u"", u"", u"pl", u""})));
}

TEST_F(ExtractVisitors, SourceStringWithEmptyEnglishGivesNoLine) {
  Extract<cSourceExtractVisitor>(
      SourceDocument({SourceString("", {"fr", "it", "de", "es", "ru", "pl", "nl"}),
                      SourceString("Next", {"Suivant"}), SourceString("Last", {})}),
      "a.xml");
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark +
                          Line(u"\\a.xml@Source@Next", {u"Next", u"Suivant", u"", u"", u"", u"", u"", u""}) +
                          Line(u"\\a.xml@Source@Last", {u"Last", u"", u"", u"", u"", u"", u"", u""})));
}

TEST_F(ExtractVisitors, SourceOtherPairsAddColumnsOnlyForTheirDeltaStrings) {
  const std::vector<std::string> pair = {
      "<cOtherStringLangPair>",   "<Attribute name=\"Language\">", "<cDeltaString>",
      "<Element>",                "<Value>Czech</Value>",          "</Element>",
      "</cDeltaString>",          "</Attribute>",                  "<Attribute name=\"Count\">",
      "<Value>3</Value>",         "</Attribute>",                  "</cOtherStringLangPair>"};
  Extract<cSourceExtractVisitor>(SourceDocument({SourceString("Hi", {"Salut"}, pair)}), "a.xml");
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark + Line(u"\\a.xml@Source@Hi",
                                       {u"Hi", u"Salut", u"", u"", u"", u"", u"", u"", u"Czech"})));
}

TEST_F(ExtractVisitors, SourceNestedStringsShareTheOuterLine) {
  Extract<cSourceExtractVisitor>(
      SourceDocument({SourceString("outer", {"o-fr"}, SourceString("inner", {"i-fr"}))}), "a.xml");
  const std::vector<std::u16string> texts = {u"outer", u"o-fr", u"", u"", u"", u"", u"", u"",
                                             u"inner", u"i-fr", u"", u"", u"", u"", u"", u""};
  EXPECT_EQ(OutputBytes(), test::Utf16Le(cMark + Line(u"\\a.xml@Source@outer", texts)));
}

TEST_F(ExtractVisitors, SourceRootIsNeverAString) {
  // The root is not tested: a document whose root is itself a localised
  // string yields no line.
  std::vector<std::string> lines = SourceString("root", {});
  lines.insert(lines.begin(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  Extract<cSourceExtractVisitor>(extract_test::Join(lines), "a.xml");
  EXPECT_EQ(OutputBytes(), test::Utf16Le(cMark));
}

// ---- Both flavours: the translations file ----------------------------------------

TEST_F(ExtractVisitors, TextsAreWrittenUnchanged) {
  // Quotes, TABs, escaped markup and non-ASCII text go into the columns as
  // the document holds them; only the id escapes TABs and spaces.
  Extract<cGameExtractVisitor>(GameDocument(
      {GameString("Say &quot;hi&quot;\t&amp; go", {"\xC3\xA9t\xC3\xA9 \"x\"", "a\tb"})}));
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(cMark + Line(u"\\sub\\a.bin@Game@Say#\"hi\"\\t&#go",
                                       {u"Say \"hi\"\t& go", u"\u00e9t\u00e9 \"x\"", u"a\tb", u"", u"", u"",
                                        u"", u"", u""})));
}

TEST_F(ExtractVisitors, TwoFilesShareOneByteOrderMark) {
  Extract<cGameExtractVisitor>(GameDocument({GameString("First", {})}), "a.bin");
  Extract<cGameExtractVisitor>(GameDocument({GameString("Second", {"Deuxième"})}), "b/c.bin");
  const std::vector<std::u16string> empties(8, u"");
  std::vector<std::u16string> second = {u"Second", u"Deuxième", u"", u"", u"", u"", u"", u"", u""};
  std::vector<std::u16string> first = empties;
  first.insert(first.begin(), u"First");
  EXPECT_EQ(OutputBytes(), test::Utf16Le(cMark + Line(u"\\a.bin@Game@First", first) +
                                         Line(u"\\b\\c.bin@Game@Second", second)));
}

TEST_F(ExtractVisitors, AnExistingFileIsAppendedToWithoutASecondMark) {
  const std::u16string existing = Line(u"\\old.xml@Source@Old", {u"Old"});
  test::WriteFile(Output(), test::Utf16Le(existing));
  Extract<cSourceExtractVisitor>(SourceDocument({SourceString("New", {})}), "a.xml");
  EXPECT_EQ(OutputBytes(),
            test::Utf16Le(existing + Line(u"\\a.xml@Source@New", {u"New", u"", u"", u"", u"", u"", u"", u""})));
}

TEST_F(ExtractVisitors, ADocumentWithoutStringsLeavesOnlyTheMark) {
  Extract<cGameExtractVisitor>(GameDocument({}));
  EXPECT_EQ(OutputBytes(), test::Utf16Le(cMark));
}

TEST_F(ExtractVisitors, NothingIsWrittenWhenTheOutputCannotBeOpened) {
  const std::string unreachable = mDir / "missing/out.txt";
  Extract<cGameExtractVisitor>(GameDocument({GameString("Lost", {})}), "a.bin", unreachable);
  Extract<cSourceExtractVisitor>(SourceDocument({SourceString("Lost", {})}), "a.xml", unreachable);
  EXPECT_FALSE(test::FileExists(unreachable));
  EXPECT_FALSE(test::FileExists(mDir / "missing"));
}

}  // namespace
