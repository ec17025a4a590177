// Translations file -> exchange file -> translations file, through XLIFF, PO
// and CSV: each language is read where the update reads it, and an
// unchanged exchange file gives the same bytes back; a filled one changes
// exactly its language, where glossmill's update reads it, and no other.
#include <gtest/gtest.h>

#include <map>

#include "BridgeTestSupport.h"

namespace {
using namespace bridge_test;

// A line as extraction writes it: English, French, Italian, German,
// Spanish, Russian, Polish, Dutch.
const std::u16string cExtracted =
    u"\\a.xml@Source@Hi%\t\"Hi\"\t\"Salut\"\t\"Ciao\"\t\"Hallo\"\t\"Hola\"\t\"Privet\"\t\"Czesc\"\t\"Hoi\"";

TEST(BridgeRoundTrip, EachLanguageIsReadWhereTheUpdateReadsItAndAnUnchangedFileGivesTheSameBytes) {
  test::TempDir dir;
  // Both flavours, a byte-order mark, non-ASCII (a surrogate pair too), a
  // CRLF line; a line as extraction writes it, one made for the update with
  // its Polish emptied there, one long enough for Dutch only; and an
  // unfinished last line, which is kept but is no line.
  const std::string original = File(
      u"\xFEFF\\a.xml@Source@Hello#World%\t\"Hello World\"\t\"Bonjour\"" + Empty(6) + u"\n" +
      u"\\b\\c.bin@Game@Caf\u00e9#\u20ac5%\t\"Caf\u00e9 \u20ac5\"\t\"\"\t\"Caff\u00e8\"" + Empty(6) + u"\n" +
      u"\\e.xml@Game@Emoji#\U0001F600%\t\"Emoji \U0001F600\"\r\n" + cExtracted + u"\n" +
      u"\\b.xml@Source@B%\t\"B\"" + Empty(4) + u"\t\"old ru\"\t\"old pl\"\t\"old nl\"" + Empty(4) + u"\t\"new nl\"" +
      Empty(8) + u"\t\"\"" + Empty(3) + u"\t\"new ru\"\n" +
      u"\\c.xml@Source@C%\t\"C\"" + Empty(4) + u"\t\"ru5\"\t\"pl6\"\t\"nl7\"" + Empty(4) + u"\t\"nl12\"\n" +
      u"\\g.xml@Source@Tail%\t\"Tail\"");
  const std::vector<std::string> units = {
      "\\a.xml@Source@Hello#World|Hello World", "\\b\\c.bin@Game@Caf\xC3\xA9#\xE2\x82\xAC" "5|Caf\xC3\xA9 \xE2\x82\xAC" "5",
      "\\e.xml@Game@Emoji#\xF0\x9F\x98\x80|Emoji \xF0\x9F\x98\x80", "\\a.xml@Source@Hi|Hi", "\\b.xml@Source@B|B",
      "\\c.xml@Source@C|C"};
  // Each language's targets, read where the update reads them.
  const std::map<std::string, std::vector<std::string>> targets = {
      {"Italian", {"", "Caff\xC3\xA8", "", "Ciao", "", ""}}, {"fr", {"Bonjour", "", "", "Salut", "", ""}},
      {"nl", {"", "", "", "Hoi", "new nl", "nl12"}}, {"pl", {"", "", "", "Czesc", "", "pl6"}},
      {"ru", {"", "", "", "Privet", "new ru", "ru5"}}};
  for (const sFormat& format : Formats()) {
    for (const auto& language : targets) {
      SCOPED_TRACE(std::string(format.name) + " " + language.first);
      test::WriteFile(dir / "t.txt", original);
      const test::ProcessResult exported = Export(dir, format.name, language.first, "t.txt", format.file);
      ASSERT_EQ(0, exported.status) << exported.err;
      EXPECT_TRUE(Holds(exported.out, "6 strings exported"));
      EXPECT_EQ("", exported.err);
      const sExchangeFile read = ReadExchange(format, dir.Path() / format.file);
      const sBridgeLanguage& wanted = *FindBridgeLanguage(language.first);
      EXPECT_TRUE(read.mTargetLanguage == wanted.mCode || read.mTargetLanguage == wanted.mName) << read.mTargetLanguage;
      ASSERT_EQ(units.size(), read.mUnits.size());
      for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(units[i], read.mUnits[i].mNames.at(0) + "|" + read.mUnits[i].mSource);
        EXPECT_EQ(language.second[i], read.mUnits[i].mTarget) << units[i];
      }
      EXPECT_EQ(0, Import(dir, language.first, "t.txt", format.file).status);
      EXPECT_EQ(original, test::ReadFile(dir / "t.txt"));
      EXPECT_FALSE(test::FileExists(dir / "t.txt.temp"));
      // Without a telling extension the format is told by the contents.
      test::WriteFile(dir / "unnamed", test::ReadFile(dir / format.file));
      EXPECT_EQ(0, Import(dir, language.first, "t.txt", "unnamed").status);
    }
  }
  // The other languages, where the update reads them, and the key's parts
  // come along in the exported text (of the last export, into Russian).
  const std::string po = test::ReadFile(dir / "out.po"), xliff = test::ReadFile(dir / "out.xlf");
  for (const char* part : {"#. French: Bonjour\n", "#. flavour: Game\n#. file: \\b\\c.bin\n",
                           "#. file: \\b.xml\n#. Dutch: new nl\n", "#. file: \\c.xml\n#. Polish: pl6\n#. Dutch: nl12\n"})
    EXPECT_TRUE(Holds(po, part));
  EXPECT_TRUE(Holds(xliff, "<note from=\"French\">Bonjour</note>"));
  EXPECT_TRUE(Holds(xliff, "resname=\"\\a.xml@Source@Hello#World\""));
  EXPECT_TRUE(Holds(xliff, "<context context-type=\"x-flavour\">Game</context>"));
  const std::string csv = test::ReadFile(dir / "out.csv");
  EXPECT_EQ(0u, csv.find("\xEF\xBB\xBF\"location\",\"source\",\"target\",\"language\",\"flavour\",\"file\","
                         "\"French\",\"Italian\",\"German\",\"Spanish\",\"Polish\",\"Dutch\"\r\n"));
  EXPECT_TRUE(Holds(csv, "\"\\a.xml@Source@Hello#World\",\"Hello World\",\"\",\"Russian\",\"Source\",\"\\a.xml\","
                         "\"Bonjour\","));
  const std::string stats = Bridge({"stats", "--json", "t.txt"}, dir).out;
  for (const char* figures : {"\"ru\",\"translated\":3,\"missing\":3", "\"pl\",\"translated\":2,\"missing\":4",
                              "\"nl\",\"translated\":3,\"missing\":3", "\"fr\",\"translated\":2,\"missing\":4"})
    EXPECT_TRUE(Holds(stats, std::string("\"code\":") + figures));
}

TEST(BridgeRoundTrip, ImportChangesItsLanguageAndNoOther) {
  // Each import is made on the line before it; the update reads French to
  // Spanish from texts 1 to 4, Dutch from 12, Polish from 21, Russian from
  // 25. A line that grows gets the current texts of the languages whose
  // columns it newly reaches.
  const struct {
    const char* name;
    std::u16string before;
    std::vector<const char*> languages;
    std::u16string after;
  } cases[] = {
      {"French", cExtracted, {"fr"},
       u"\\a.xml@Source@Hi%\t\"Hi\"\t\"new fr\"\t\"Ciao\"\t\"Hallo\"\t\"Hola\"\t\"Privet\"\t\"Czesc\"\t\"Hoi\""},
      {"Dutch", cExtracted, {"nl"}, cExtracted + Empty(4) + u"\t\"new nl\""},
      {"Polish keeps Dutch", cExtracted, {"pl"}, cExtracted + Empty(4) + u"\t\"Hoi\"" + Empty(8) + u"\t\"new pl\""},
      {"Russian keeps Polish and Dutch", cExtracted, {"ru"},
       cExtracted + Empty(4) + u"\t\"Hoi\"" + Empty(8) + u"\t\"Czesc\"" + Empty(3) + u"\t\"new ru\""},
      {"Russian, Dutch and Polish in turn", cExtracted, {"ru", "nl", "pl"},
       cExtracted + Empty(4) + u"\t\"new nl\"" + Empty(8) + u"\t\"new pl\"" + Empty(3) + u"\t\"new ru\""},
      {"a line made for the update", u"\\a.xml@Source@Hi%\t\"Hi\"" + Empty(11) + u"\t\"nl\"" + Empty(8) + u"\t\"pl\"" +
       Empty(3) + u"\t\"ru\"", {"pl"},
       u"\\a.xml@Source@Hi%\t\"Hi\"" + Empty(11) + u"\t\"nl\"" + Empty(8) + u"\t\"new pl\"" + Empty(3) + u"\t\"ru\""},
      {"a short line", u"\\a.xml@Source@Hi%\t\"Hi\"\r", {"ru", "de"},
       u"\\a.xml@Source@Hi%\t\"Hi\"" + Empty(2) + u"\t\"new de\"" + Empty(21) + u"\t\"new ru\"\r"},
  };
  const std::u16string other = u"\\b.xml@Source@Stay%\t\"Stay\"\t\"Reste\"\n";
  test::TempDir dir;
  for (const sFormat& format : Formats()) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(format.name) + ": " + c.name);
      test::WriteFile(dir / "t.txt", File(c.before + u"\n" + other));
      for (const char* language : c.languages) {
        ASSERT_EQ(0, Export(dir, format.name, language, "t.txt", format.file).status);
        Translate(format, dir.Path() / format.file, *FindBridgeLanguage(language), [&](const sExchangeUnit& unit) {
          return unit.mSource == "Hi" ? std::string("new ") + language : unit.mTarget;
        });
        const test::ProcessResult imported = Import(dir, language, "t.txt", format.file);
        EXPECT_EQ(0, imported.status) << imported.err;
        EXPECT_TRUE(Holds(imported.out, "1 translations written, 0 units reported"));
      }
      EXPECT_EQ(File(c.after + u"\n" + other), test::ReadFile(dir / "t.txt"));
    }
  }
}

}  // namespace
