// The update visitors walked over real documents in the layout the tool
// writes, so that a document whose strings find no record comes back byte
// for byte and every expected change is visible in the whole output. One
// table of strings and records serves both flavours: each case is laid out
// once as a game document and once as a source document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VisitorTestSupport.h"
#include "localisation/cGameUpdateVisitor.h"
#include "localisation/cSourceUpdateVisitor.h"
#include "support/Documents.h"

namespace {

using test::Join;
using test::tTexts;
const std::string kLocalisedString = "Localisation-cUserLocalisedString";

// One child of a localised string: a language and its text as it stands in
// the XML, or the "Other" part.
struct sChild {
  std::string name, text;
};
using tString = std::vector<sChild>;

// "Other" holding one language pair whose language is named "French".
const std::string kOtherWithPair = "Other with pair";

// A string in the tool's own form: the eight languages in order, then an
// empty "Other".
tString Tool(const std::string& english, const std::vector<std::string>& others) {
  static const char* const kNames[] = {"French",  "Italian", "German", "Spanish",
                                       "Russian", "Polish",  "Dutch"};
  tString string{{"English", english}};
  for (size_t i = 0; i < others.size(); ++i) string.push_back({kNames[i], others[i]});
  string.push_back({"Other", ""});
  return string;
}

// Texts of French, Italian, German, Spanish, Russian, Polish, Dutch.
const std::vector<std::string> kOld = {"fr0", "it0", "de0", "es0", "ru0", "pl0", "nl0"};
const std::vector<std::string> kNew = {"Bonjour", "Ciao",  "Hallo",      "Hola",
                                       "Privet",  "Cześć", "Hoi & <dag>"};
const std::vector<std::string> kNewXml = {
    "Bonjour", "Ciao", "Hallo", "Hola", "Privet", "Cześć", "Hoi &amp; &lt;dag&gt;"};
const std::vector<std::string> kAlt = {"A1", "A2", "A3", "A4", "A5", "A6", "A7"};

// Game shape. The input's root carries an unprefixed attribute, which the
// output writes with the prefix; "Count", "Flags" and "nil" show the three
// text rules, and the "French" after the strings lies outside any string.
std::string GameDoc(const std::vector<tString>& strings, bool written) {
  tTexts lines = {std::string("<Root xmlns:d=\"urn:t\" d:version=\"2\" ") + (written ? "d:" : "") + "id=\"9\">",
                  "<Count d:type=\"sUInt32\">2</Count>"};
  for (const tString& string : strings) {
    tTexts children;
    for (const sChild& child : string) {
      if (child.name == "Other") {
        children.push_back("<Other/>");
      } else if (child.name == kOtherWithPair) {
        children = Join({children, {"<Other>", "<Pair>", test::GamePlain("French", child.text), "</Pair>", "</Other>"}});
      } else {
        children.push_back(test::GamePlain(child.name, child.text));
      }
    }
    lines = Join({lines, {"<Name>", "<" + kLocalisedString + ">"}, children, {"</" + kLocalisedString + ">", "</Name>"}});
  }
  return test::Document(Join({lines, {test::GamePlain("French", "outside"), "<Flags/>", "<d:nil/>", "</Root>"}}));
}

// Source shape. Attributes lose their prefix on output; the other list's
// empty "Value" keeps its empty form.
std::string SourceDoc(const std::vector<tString>& strings, bool written) {
  const std::string otherList = "__Indexed__" + kLocalisedString + "-cOtherStringLangPair";
  tTexts lines = {std::string("<Root xmlns:d=\"urn:t\" ") + (written ? "" : "d:") + "version=\"2\">"};
  for (const tString& string : strings) {
    tTexts children;
    for (const sChild& child : string) {
      if (child.name != "Other" && child.name != kOtherWithPair) {
        children = Join({children, test::SourcePlain(child.name, child.text)});
        continue;
      }
      const tTexts pair = child.name == "Other" ? tTexts{"<Value/>"}
                                                : Join({{"<Value>"}, test::SourcePlain("French", child.text), {"</Value>"}});
      children = Join({children, {"<Attribute name=\"Other\">", "<" + otherList + ">", "<Element>"}, pair,
                       {"</Element>", "</" + otherList + ">", "</Attribute>"}});
    }
    lines = Join({lines, {"<Attribute name=\"Name\">", "<" + kLocalisedString + ">", "<Element>", "<Value>"}, children,
                  {"</Value>", "</Element>", "</" + kLocalisedString + ">", "</Attribute>"}});
  }
  return test::Document(Join({lines, test::SourcePlain("French", "outside"), {"</Root>"}}));
}

cFxWString Wide(const std::string& utf8) {
  const std::u16string units = test::Utf16(utf8);
  return cFxWString(units.c_str(), static_cast<uint32_t>(units.size()));
}

// A record of `columns` texts whose translations (French to Dutch, as in
// kOld) stand in the columns the update reads; every other column holds a
// text that no language may receive.
sTranslationRecord Record(const std::string& id, const std::vector<std::string>& translations,
                          size_t columns = 26) {
  static const size_t kColumns[] = {1, 2, 3, 4, 25, 21, 12};
  sTranslationRecord record{Wide("Game"), cFxWString(), Wide(id), {}};
  for (size_t i = 0; i < columns; ++i) record.mTexts.push_back(Wide("unread" + std::to_string(i)));
  for (size_t i = 0; i < translations.size(); ++i) {
    if (kColumns[i] < columns) record.mTexts[kColumns[i]] = Wide(translations[i]);
  }
  return record;
}

struct sCase {
  const char* name;
  std::vector<sTranslationRecord> records;
  std::vector<tString> input, game, source;  // source empty: as game
};

std::vector<sCase> Cases() {
  const std::vector<std::string> emptyFrench = {"",       "Ciao",  "Hallo", "Hola",
                                                "Privet", "Cześć", "Hoi"};
  const std::vector<std::string> shortRecord = {"Bonjour", "Ciao", "Hallo", "Hola",
                                                "ru0",     "pl0",  "nl0"};
  const std::vector<std::string> thirteen = {"Bonjour", "Ciao", "Hallo",   "Hola",
                                             "ru0",     "pl0",  kNewXml[6]};
  tString withoutOther = Tool("Hello", kOld);
  withoutOther.pop_back();
  tString translatedWithoutOther = Tool("Hello", kNewXml);
  translatedWithoutOther.pop_back();
  tString withPair = Tool("Hello", kOld);
  withPair.back() = {kOtherWithPair, "pair"};
  tString translatedWithPair = Tool("Hello", kNewXml);
  translatedWithPair.back() = {kOtherWithPair, "pair"};
  return {
      {"each language lands in its element, nothing else changes",
       {Record("Hello", kNew)},
       {Tool("Hello", kOld), Tool("Unknown", kOld)},
       {Tool("Hello", kNewXml), Tool("Unknown", kOld)},
       {}},
      {"an empty translation empties the element, which keeps its tags",
       {Record("Hello", emptyFrench)},
       {Tool("Hello", kOld)},
       {Tool("Hello", emptyFrench)},
       {}},
      {"duplicate ids: game takes the later record, source the earlier",
       {Record("Hello", kAlt), Record("Hello", kNew)},
       {Tool("Hello", kOld)},
       {Tool("Hello", kNewXml)},
       {Tool("Hello", kAlt)}},
      // The id-with-spaces records stand first and last, where either
      // flavour would pick them if they matched.
      {"spaces match as \"#\" and TABs as backslash-t, never as themselves",
       {Record("Good morning", kAlt), Record("Good#morning", kNew), Record("a\\tb", kNew),
        Record("Good morning", kAlt), Record("a\tb", kAlt)},
       {Tool("Good morning", kOld), Tool("a\tb", kOld)},
       {Tool("Good morning", kNewXml), Tool("a\tb", kNewXml)},
       {}},
      {"languages are found by name; one before English is left alone",
       {Record("Hello", kNew)},
       {{{"French", "fr0"},
         {"English", "Hello"},
         {"Dutch", "nl0"},
         {"German", "de0"},
         {"Other", ""}}},
       {{{"French", "fr0"},
         {"English", "Hello"},
         {"Dutch", kNewXml[6]},
         {"German", "Hallo"},
         {"Other", ""}}},
       {}},
      {"a language whose column lies beyond a short record keeps its text",
       {Record("Hello", kNew, 6), Record("Hi", kNew, 13)},
       {Tool("Hello", kOld), Tool("Hi", kOld)},
       {Tool("Hello", shortRecord), Tool("Hi", thirteen)},
       {}},
      {"a string without Other ends its match at its end tag",
       {Record("Hello", kNew)},
       {withoutOther, Tool("Unknown", kOld)},
       {translatedWithoutOther, Tool("Unknown", kOld)},
       {}},
      {"the pairs under Other are copied as they are",
       {Record("Hello", kNew)},
       {withPair},
       {translatedWithPair},
       {}},
      {"no record matches: the document comes back unchanged",
       {Record("Hello#there", kNew), Record("hello", kNew)},
       {Tool("Hello", kOld), Tool("", kOld)},
       {Tool("Hello", kOld), Tool("", kOld)},
       {}},
  };
}

class UpdateVisitors : public ::testing::Test {
 protected:
  // Walks `xml`, stored as the data file, through a fresh visitor given
  // `records` and the visitor's file path; answers what it wrote at
  // `output`. The data file itself and the unused second path stay as they
  // were.
  template <class tVisitor>
  std::string Update(const std::string& xml, const std::vector<sTranslationRecord>& records,
                     const std::string& filePath, const std::string& output) {
    const std::string dataFile = mDir / "data.xml";
    test::WriteFile(output, std::string(100000, 'x'));  // replaced, not overwritten in place
    {
      tVisitor visitor;
      visitor.SetFilePath(cFxWString(filePath.c_str()));
      visitor.SetOutputPath(cFxWString((mDir / "unused.txt").c_str()));
      // The visitor keeps its own copy: the caller's records may go away.
      std::vector<sTranslationRecord> copy = records;
      visitor.SetRecords(copy);
      copy.clear();
      visitortest::WalkFile(xml, dataFile, visitor);
    }
    EXPECT_EQ(test::ReadFile(dataFile), xml);
    EXPECT_FALSE(test::FileExists(mDir / "unused.txt"));
    return test::ReadFile(output);
  }

  test::TempDir mDir;
};

TEST_F(UpdateVisitors, GameWritesTranslationsIntoTheTemporarySibling) {
  for (const sCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Update<cGameUpdateVisitor>(GameDoc(c.input, false), c.records, mDir / "data.xml",
                                         mDir / "data.xml.temp"),
              GameDoc(c.game, true));
  }
}

TEST_F(UpdateVisitors, SourceWritesTranslationsToTheGivenPath) {
  for (const sCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Update<cSourceUpdateVisitor>(SourceDoc(c.input, false), c.records, mDir / "out.temp",
                                           mDir / "out.temp"),
              SourceDoc(c.source.empty() ? c.game : c.source, true));
  }
}

}  // namespace
