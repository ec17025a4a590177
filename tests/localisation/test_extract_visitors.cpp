// The extraction visitors walked over real documents, for the shapes the
// end-to-end runs do not reach: texts at any depth inside a string, nested
// strings, a root that is a string, appending to an existing file or to a
// shared stream, and an output that cannot be opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VisitorTestSupport.h"
#include "localisation/cGameExtractVisitor.h"
#include "localisation/cSourceExtractVisitor.h"

namespace {

using visitortest::Doc;

// One source-shape language (or pair member) holding `text`.
std::string SourceText(const std::string& name, const std::string& text) {
  return "<Attribute name=\"" + name + "\">|<cDeltaString>|<Element>|<Value>" + text +
         "</Value>|</Element>|</cDeltaString>|</Attribute>|";
}

// A game document holding one string whose English text is `text`.
std::string GameText(const std::string& text) {
  return Doc("<r xmlns:d=\"urn:t\">|<N>|<@>|<English d:type=\"cDeltaString\">" + text + "</English>|</@>|</N>|</r>");
}

// The file's bytes: the mark, then a line for each key and its texts.
std::string Lines(const std::vector<std::pair<std::u16string, std::vector<std::u16string>>>& lines) {
  std::u16string text = u"\uFEFF";
  for (const auto& [key, texts] : lines) {
    text += key + u"\tVektrel\t\t\t\tPC";
    for (const std::u16string& each : texts) text += u"\t\"" + each + u"\"";
    text += u"\n";
  }
  return test::Utf16Le(text);
}

class ExtractVisitors : public ::testing::Test {
 protected:
  // Walks `xml` as the data file a.xml below the start directory, with a
  // fresh visitor appending to `output`, or to `shared` when given.
  template <class tVisitor>
  void Extract(const std::string& xml, const std::string& output, cFxFile* shared = nullptr) {
    tVisitor visitor;
    visitor.SetFilePath(cFxWString((mDir / "a.xml").c_str()));
    visitor.SetOutputPath(cFxWString(output.c_str()));
    if (shared != nullptr) visitor.ShareOutputStream(*shared);
    visitor.SetStartDirectory(cFxWString(mDir.Path().string().c_str()));
    visitortest::WalkFile(xml, mDir / "document.xml", visitor);
  }

  test::TempDir mDir;
  const std::string mOut = mDir / "out.txt";
};

TEST_F(ExtractVisitors, GameColumnsAreEveryTextInsideTheStringAtAnyDepth) {
  // Languages in another order than the tool writes them and an "Other"
  // holding pairs; a nested string's end tag ends the outer line, and the
  // next string starts afresh. The id escapes its text's TABs and spaces,
  // every one of them.
  Extract<cGameExtractVisitor>(
      Doc("<r xmlns:d=\"urn:t\">|<N>|<@>|<English d:type=\"cDeltaString\">Hello</English>|<German d:type=\"cDeltaString\">"
          "Hallo</German>|<Other>|<Pair>|<Language d:type=\"cDeltaString\">Czech</Language>|</Pair>|<@>|"
          "<English d:type=\"cDeltaString\">inner</English>|<Other/>|</@>|</Other>|</@>|</N>|<M>|<@>|"
          "<English d:type=\"cDeltaString\">\t\t\t\t\t\t\t\tNext \t t</English>|</@>|</M>|</r>"), mOut);
  EXPECT_EQ(test::ReadFile(mOut), Lines({{u"\\a.xml@Game@Hello", {u"Hello", u"Hallo", u"Czech", u"inner", u""}},
                                         {u"\\a.xml@Game@\\t\\t\\t\\t\\t\\t\\t\\tNext#\\t#t",
                                          {u"\t\t\t\t\t\t\t\tNext \t t"}}}));
}

TEST_F(ExtractVisitors, SourceColumnsAreTheValuesOfDeltaStringsInsideTheString) {
  // The root is never tested: a document that is itself a string gives no
  // line, but creates the file with its byte-order mark.
  Extract<cSourceExtractVisitor>(
      Doc("<@>|<Element>|<Value>|" + SourceText("English", "Root") + "</Value>|</Element>|</@>"), mOut);
  // In "Other" only values inside a "cDeltaString" are columns; a nested
  // string's end tag ends the outer line. The line is appended without a
  // second mark.
  const std::string otherList = "__Indexed__@-cOtherStringLangPair>|";
  Extract<cSourceExtractVisitor>(
      Doc("<r>|<Attribute name=\"N\">|<@>|<Element>|<Value>|" + SourceText("English", "Hi") +
          "<Attribute name=\"Other\">|<" + otherList + "<Element>|<Value>|" + SourceText("Language", "Czech") +
          "<Attribute name=\"Count\">|<Value>3</Value>|</Attribute>|<@>|" + SourceText("English", "inner") +
          "</@>|</Value>|</Element>|</" + otherList + "</Attribute>|</Value>|</Element>|</@>|</Attribute>|</r>"), mOut);
  EXPECT_EQ(test::ReadFile(mOut), Lines({{u"\\a.xml@Source@Hi", {u"Hi", u"Czech", u"inner"}}}));
}

// A shared stream is opened once and holds each document's lines when it
// is done; an output that cannot be opened gets nothing, in either flavour.
TEST_F(ExtractVisitors, ASharedStreamHoldsEachDocumentsLinesAndAMissingFolderNothing) {
  cFxFile shared;
  Extract<cGameExtractVisitor>(GameText("One"), mOut, &shared);
  EXPECT_TRUE(shared.IsOpen());
#ifndef _WIN32
  // Windows keeps the translations file to the run alone while it is open,
  // so only POSIX lets another reader see the first document's lines here.
  EXPECT_EQ(test::ReadFile(mOut), Lines({{u"\\a.xml@Game@One", {u"One"}}}));
#endif
  Extract<cGameExtractVisitor>(GameText("Two"), mOut, &shared);
  EXPECT_TRUE(shared.Close());
  EXPECT_EQ(test::ReadFile(mOut), Lines({{u"\\a.xml@Game@One", {u"One"}}, {u"\\a.xml@Game@Two", {u"Two"}}}));

  Extract<cGameExtractVisitor>(GameText("Lost"), mDir / "missing/out.txt");
  Extract<cSourceExtractVisitor>(
      Doc("<r>|<N>|<@>|<Element>|<Value>|" + SourceText("English", "Lost") + "</Value>|</Element>|</@>|</N>|</r>"),
      mDir / "missing/out.txt");
  EXPECT_FALSE(test::FileExists(mDir / "missing"));
}

}  // namespace
