// The update visitors walked over one document in the layout the tool
// writes, once in the game shape and once in the source shape: each string
// in it finds its records (or none) by a rule of its own, so every expected
// change, and every text left alone, is visible in the whole output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VisitorTestSupport.h"
#include "localisation/cGameUpdateVisitor.h"
#include "localisation/cSourceUpdateVisitor.h"
#include "support/Documents.h"
#include "translations/cTranslationTable.h"
#include "xml/cFxFile.h"

namespace {

using test::Join;
using test::tTexts;
const std::string kLocalisedString = "Localisation-cUserLocalisedString";
// "Other" holding one language pair whose language is named "French".
const std::string kOtherWithPair = "Other with pair";

// A localised string: its children, a language and its text as it stands
// in the XML, or the "Other" part.
struct sChild { std::string name, text; };
using tString = std::vector<sChild>;

// A string in the tool's own form: English, the languages given, then
// `other` ("" for none).
tString Tool(const std::string& english, const std::vector<std::string>& texts, const std::string& other = "Other") {
  static const char* const kNames[] = {"French", "Italian", "German", "Spanish", "Russian", "Polish", "Dutch"};
  tString string{{"English", english}};
  for (size_t i = 0; i < texts.size(); ++i) string.push_back({kNames[i], texts[i]});
  if (!other.empty()) string.push_back({other, "pair"});
  return string;
}

// Texts of French, Italian, German, Spanish, Russian, Polish, Dutch.
const std::vector<std::string> kOld = {"fr0", "it0", "de0", "es0", "ru0", "pl0", "nl0"};
const std::vector<std::string> kNew = {"Bonjour", "Ciao", "Hallo", "Hola", "Privet", "Cześć", "Hoi & <dag>"};
const std::vector<std::string> kNewXml = {"Bonjour", "Ciao", "Hallo", "Hola", "Privet", "Cześć", "Hoi &amp; &lt;dag&gt;"};
const std::vector<std::string> kAlt = {"A1", "A2", "A3", "A4", "A5", "A6", "A7"};

// Game shape. The input's root carries an unprefixed attribute, which the
// output writes with the prefix; "Count", "Flags" and "nil" show the three
// text rules, and the "French" after the strings lies outside any string.
std::string GameDoc(const std::vector<tString>& strings, bool written) {
  tTexts lines = {std::string("<Root xmlns:d=\"urn:t\" d:version=\"2\" ") + (written ? "d:" : "") + "id=\"9\">",
                  "<Count d:type=\"sUInt32\">2</Count>"};
  for (const tString& string : strings) {
    lines = Join({lines, {"<Name>", "<" + kLocalisedString + ">"}});
    for (const sChild& child : string) {
      if (child.name == "Other") lines.push_back("<Other/>");
      else if (child.name == kOtherWithPair)
        lines = Join({lines, {"<Other>", "<Pair>", test::GamePlain("French", child.text), "</Pair>", "</Other>"}});
      else lines.push_back(test::GamePlain(child.name, child.text));
    }
    lines = Join({lines, {"</" + kLocalisedString + ">", "</Name>"}});
  }
  return test::Document(Join({lines, {test::GamePlain("French", "outside"), "<Flags/>", "<d:nil/>", "</Root>"}}));
}

// Source shape. Attributes lose their prefix on output; the other list's
// empty "Value" keeps its empty form.
std::string SourceDoc(const std::vector<tString>& strings, bool written) {
  const std::string otherList = "__Indexed__" + kLocalisedString + "-cOtherStringLangPair";
  tTexts lines = {std::string("<Root xmlns:d=\"urn:t\" ") + (written ? "" : "d:") + "version=\"2\">"};
  for (const tString& string : strings) {
    lines = Join({lines, {"<Attribute name=\"Name\">", "<" + kLocalisedString + ">", "<Element>", "<Value>"}});
    for (const sChild& child : string) {
      if (child.name != "Other" && child.name != kOtherWithPair) {
        lines = Join({lines, test::SourcePlain(child.name, child.text)});
        continue;
      }
      const tTexts pair = child.name == "Other" ? tTexts{"<Value/>"}
                                                : Join({{"<Value>"}, test::SourcePlain("French", child.text), {"</Value>"}});
      lines = Join({lines, {"<Attribute name=\"Other\">", "<" + otherList + ">", "<Element>"}, pair,
                    {"</Element>", "</" + otherList + ">", "</Attribute>"}});
    }
    lines = Join({lines, {"</Value>", "</Element>", "</" + kLocalisedString + ">", "</Attribute>"}});
  }
  return test::Document(Join({lines, test::SourcePlain("French", "outside"), {"</Root>"}}));
}

// A line of the data file, its key's flavour left open: `columns` texts
// whose translations (French to Dutch, as in kOld) stand in the columns the
// update reads; every other column holds a text that no language may
// receive.
struct sLine { std::string id; std::vector<std::string> translations; size_t columns = 26; };

std::string Line(const std::string& flavour, const sLine& line) {
  static const size_t kColumns[] = {1, 2, 3, 4, 25, 21, 12};
  std::vector<std::string> texts;
  for (size_t i = 0; i < line.columns; ++i) texts.push_back("unread" + std::to_string(i));
  for (size_t i = 0; i < line.translations.size(); ++i)
    if (kColumns[i] < line.columns) texts[kColumns[i]] = line.translations[i];
  std::string text = "\\data.xml@" + flavour + "@" + line.id + "\tVektrel\t\t\t\tPC";
  for (const std::string& column : texts) text += "\t\"" + column + "\"";
  return text + "\n";
}

// The lines of the data file. Those whose ids hold a space stand first and
// last, where either flavour would pick them if they matched; the
// duplicates stand apart, so that neither is the line next to the other.
const std::vector<sLine> kLines = {
    {"Good morning", kAlt}, {"Dup", kAlt}, {"Hello", kNew}, {"Empty", {"", "Ciao", "Hallo", "Hola", "Privet", "Cześć", "Hoi"}},
    {"Dup", kAlt}, {"Good#morning", kNew}, {"a\\tb", kNew}, {"Dup", kNew},
    {"Ordered", kNew}, {"Short", kNew, 6}, {"Thirteen", kNew, 13}, {"Bare", kNew},
    {"Paired", kNew}, {"Unknown#there", kNew}, {"unknown", kNew}, {"Good morning", kAlt}};

// Each string of the document, as read and as each flavour writes it
// (source empty: as game).
struct sString { const char* name; tString input, game, source; };

std::vector<sString> Strings() {
  return {
      {"each language lands in its element", Tool("Hello", kOld), Tool("Hello", kNewXml), {}},
      {"an empty translation empties the element, which keeps its tags", Tool("Empty", kOld),
       Tool("Empty", {"", "Ciao", "Hallo", "Hola", "Privet", "Cześć", "Hoi"}), {}},
      {"duplicate ids: game takes the last record, source the first", Tool("Dup", kOld), Tool("Dup", kNewXml),
       Tool("Dup", kAlt)},
      {"a space matches as \"#\"", Tool("Good morning", kOld), Tool("Good morning", kNewXml), {}},
      {"a TAB matches as backslash-t", Tool("a\tb", kOld), Tool("a\tb", kNewXml), {}},
      {"languages are found by name; one before English is left alone",
       {{"French", "fr0"}, {"English", "Ordered"}, {"Dutch", "nl0"}, {"German", "de0"}, {"Other", ""}},
       {{"French", "fr0"}, {"English", "Ordered"}, {"Dutch", kNewXml[6]}, {"German", "Hallo"}, {"Other", ""}}, {}},
      {"a language whose column lies beyond a short record keeps its text", Tool("Short", kOld),
       Tool("Short", {"Bonjour", "Ciao", "Hallo", "Hola", "ru0", "pl0", "nl0"}), {}},
      {"thirteen columns reach Dutch", Tool("Thirteen", kOld),
       Tool("Thirteen", {"Bonjour", "Ciao", "Hallo", "Hola", "ru0", "pl0", kNewXml[6]}), {}},
      // The match of a string without "Other" ends at its end tag: the
      // string after it has no record.
      {"a string without Other", Tool("Bare", kOld, ""), Tool("Bare", kNewXml, ""), {}},
      {"no record: ids match exactly and whole", Tool("Unknown", kOld), Tool("Unknown", kOld), {}},
      {"the pairs under Other are copied as they are", Tool("Paired", kOld, kOtherWithPair),
       Tool("Paired", kNewXml, kOtherWithPair), {}},
      {"an empty English text matches nothing", Tool("", kOld), Tool("", kOld), {}},
  };
}

class UpdateVisitors : public ::testing::Test {
 protected:
  // Walks `xml`, stored as the data file, through a fresh visitor given the
  // lines of `flavour` and the visitor's file path; answers what it wrote at
  // `output`. The data file itself and the unused second path stay as they
  // were.
  template <class tVisitor>
  std::string Update(eFlavour flavour, const std::string& xml, const std::string& filePath,
                     const std::string& output) {
    const std::string dataFile = mDir / "data.xml";
    test::WriteFile(output, std::string(100000, 'x'));  // replaced, not overwritten in place
    test::tTexts lines;
    for (const sLine& line : kLines) lines.push_back(Line(flavour == eFlavour::Game ? "Game" : "Source", line));
    test::WriteFile(mDir / "translations.txt", test::TranslationsFile(lines));
    {
      cFxFile translations;
      EXPECT_TRUE(translations.Open(cFxPath((mDir / "translations.txt").c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
      cTranslationTable table;
      table.SetFlavour(flavour);
      EXPECT_TRUE(table.Read(translations));
      tVisitor visitor;
      visitor.SetFilePath(cFxWString(filePath.c_str()));
      visitor.SetOutputPath(cFxWString((mDir / "unused.txt").c_str()));
      visitor.SetRecords(table.GetRecords(cFxWString(u"\\data.xml")));
      visitortest::WalkFile(xml, dataFile, visitor);
    }
    EXPECT_EQ(test::ReadFile(dataFile), xml);
    EXPECT_FALSE(test::FileExists(mDir / "unused.txt"));
    return test::ReadFile(output);
  }

  test::TempDir mDir;
};

// Each string alone (so that a failure names its rule), then all in one
// document (so that no match reaches past its string).
TEST_F(UpdateVisitors, GameWritesTranslationsIntoTheTemporarySiblingSourceToTheGivenPath) {
  std::vector<tString> input, game, source;
  for (const sString& s : Strings()) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(Update<cGameUpdateVisitor>(eFlavour::Game, GameDoc({s.input}, false), mDir / "data.xml", mDir / "data.xml.temp"),
              GameDoc({s.game}, true));
    EXPECT_EQ(Update<cSourceUpdateVisitor>(eFlavour::Source, SourceDoc({s.input}, false), mDir / "out.temp", mDir / "out.temp"),
              SourceDoc({s.source.empty() ? s.game : s.source}, true));
    input.push_back(s.input);
    game.push_back(s.game);
    source.push_back(s.source.empty() ? s.game : s.source);
  }
  EXPECT_EQ(Update<cGameUpdateVisitor>(eFlavour::Game, GameDoc(input, false), mDir / "data.xml", mDir / "data.xml.temp"),
            GameDoc(game, true));
  EXPECT_EQ(Update<cSourceUpdateVisitor>(eFlavour::Source, SourceDoc(input, false), mDir / "out.temp", mDir / "out.temp"),
            SourceDoc(source, true));
}

}  // namespace
