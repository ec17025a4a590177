// The extraction visitors walked over real documents, for the shapes the
// end-to-end runs do not reach: texts at any depth inside a string, nested
// strings, a root that is a string, appending to an existing file, and an
// output that cannot be opened.
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

std::u16string Line(const std::u16string& key, const std::vector<std::u16string>& texts) {
  std::u16string line = key + u"\tVektrel\t\t\t\tPC";
  for (const std::u16string& text : texts) line += u"\t\"" + text + u"\"";
  return line + u"\n";
}

const std::u16string kMark = u"\uFEFF";

class ExtractVisitors : public ::testing::Test {
 protected:
  // Walks `xml` as the data file a.xml below the start directory, with a
  // fresh visitor appending to `output`.
  template <class tVisitor>
  void Extract(const std::string& xml, const std::string& output, cFxFile* shared = nullptr) {
    tVisitor visitor;
    visitor.SetFilePath(cFxWString((mDir / "a.xml").c_str()));
    visitor.SetOutputPath(cFxWString(output.c_str()));
    if (shared != nullptr) visitor.ShareOutputStream(*shared);
    visitor.SetStartDirectory(cFxWString(mDir.Path().string().c_str()));
    visitortest::WalkFile(xml, mDir / "document.xml", visitor);
  }
  std::string Out() const { return mDir / "out.txt"; }

  test::TempDir mDir;
};

TEST_F(ExtractVisitors, GameColumnsAreEveryTextInsideTheStringAtAnyDepth) {
  // Languages in another order than the tool writes them and an "Other"
  // holding pairs; a nested string's end tag ends the outer line, and the
  // next string starts afresh.
  Extract<cGameExtractVisitor>(
      Doc("<r xmlns:d=\"urn:t\">|<N>|<@>|<English d:type=\"cDeltaString\">Hello</English>|"
          "<German d:type=\"cDeltaString\">Hallo</German>|<Other>|<Pair>|"
          "<Language d:type=\"cDeltaString\">Czech</Language>|</Pair>|"
          "<@>|<English d:type=\"cDeltaString\">inner</English>|<Other/>|</@>|</Other>|</@>|</N>|"
          "<M>|<@>|<English d:type=\"cDeltaString\">Next</English>|</@>|</M>|</r>"),
      Out());
  EXPECT_EQ(test::ReadFile(Out()),
            test::Utf16Le(
                kMark + Line(u"\\a.xml@Game@Hello", {u"Hello", u"Hallo", u"Czech", u"inner", u""}) +
                Line(u"\\a.xml@Game@Next", {u"Next"})));
}

TEST_F(ExtractVisitors, SourceColumnsAreTheValuesOfDeltaStringsInsideTheString) {
  // The root is never tested: a document that is itself a string gives no
  // line, but creates the file with its byte-order mark.
  Extract<cSourceExtractVisitor>(
      Doc("<@>|<Element>|<Value>|" + SourceText("English", "Root") + "</Value>|</Element>|</@>"),
      Out());
  // In "Other" only values inside a "cDeltaString" are columns; a nested
  // string's end tag ends the outer line. The line is appended without a
  // second mark.
  const std::string otherList = "__Indexed__@-cOtherStringLangPair>|";
  Extract<cSourceExtractVisitor>(
      Doc("<r>|<Attribute name=\"N\">|<@>|<Element>|<Value>|" + SourceText("English", "Hi") +
          "<Attribute name=\"Other\">|<" + otherList + "<Element>|<Value>|" +
          SourceText("Language", "Czech") +
          "<Attribute name=\"Count\">|<Value>3</Value>|</Attribute>|" + "<@>|" +
          SourceText("English", "inner") + "</@>|</Value>|</Element>|</" + otherList +
          "</Attribute>|</Value>|</Element>|</@>|</Attribute>|</r>"),
      Out());
  EXPECT_EQ(test::ReadFile(Out()),
            test::Utf16Le(kMark + Line(u"\\a.xml@Source@Hi", {u"Hi", u"Czech", u"inner"})));
}

TEST_F(ExtractVisitors, ASharedStreamIsOpenedOnceAndHoldsEachDocumentsLinesWhenItIsDone) {
  const auto document = [](const std::string& text) {
    return Doc("<r xmlns:d=\"urn:t\">|<N>|<@>|<English d:type=\"cDeltaString\">" + text +
               "</English>|</@>|</N>|</r>");
  };
  cFxFile shared;
  Extract<cGameExtractVisitor>(document("One"), Out(), &shared);
  EXPECT_TRUE(shared.IsOpen());
#ifndef _WIN32
  // Windows keeps the translations file to the run alone while it is open,
  // so only POSIX lets another reader see the first document's lines here.
  EXPECT_EQ(test::ReadFile(Out()), test::Utf16Le(kMark + Line(u"\\a.xml@Game@One", {u"One"})));
#endif
  Extract<cGameExtractVisitor>(document("Two"), Out(), &shared);
  EXPECT_TRUE(shared.Close());
  EXPECT_EQ(test::ReadFile(Out()), test::Utf16Le(kMark + Line(u"\\a.xml@Game@One", {u"One"}) +
                                                 Line(u"\\a.xml@Game@Two", {u"Two"})));
}

TEST_F(ExtractVisitors, NothingIsWrittenWhenTheOutputCannotBeOpened) {
  const std::string unreachable = mDir / "missing/out.txt";
  Extract<cGameExtractVisitor>(Doc("<r xmlns:d=\"urn:t\">|<N>|<@>|<English "
                                   "d:type=\"cDeltaString\">Lost</English>|</@>|</N>|</r>"),
                               unreachable);
  Extract<cSourceExtractVisitor>(
      Doc("<r>|<N>|<@>|<Element>|<Value>|" + SourceText("English", "Lost") +
          "</Value>|</Element>|</@>|</N>|</r>"),
      unreachable);
  EXPECT_FALSE(test::FileExists(mDir / "missing"));
}

}  // namespace
