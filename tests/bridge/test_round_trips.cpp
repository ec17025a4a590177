// Translations file -> exchange file -> translations file, through XLIFF, PO
// and CSV: an unchanged exchange file gives the same bytes back; a filled
// one changes exactly its language, where glossmill's update reads it, and
// no other; each language is read where the update reads it.
#include <gtest/gtest.h>

#include <map>

#include "BridgeTestSupport.h"
#include "bridge/UpdateView.h"
#include "bridge/cTranslationsFile.h"

namespace {
using namespace bridge_test;

// Both flavours, a byte-order mark, non-ASCII (a surrogate pair too), a
// CRLF line, a short line and an unfinished last line, which is kept but
// is no line.
const std::u16string cRich =
    u"\xFEFF\\a.xml@Source@Hello#World%\t\"Hello World\"\t\"Bonjour\"" + Empty(6) + u"\n" +
    u"\\b\\c.bin@Game@Caf\u00e9#\u20ac5%\t\"Caf\u00e9 \u20ac5\"\t\"\"\t\"Caff\u00e8\"" + Empty(6) +
    u"\n" + u"\\e.xml@Game@Emoji#\U0001F600%\t\"Emoji \U0001F600\"\r\n" +
    u"\\g.xml@Source@Tail%\t\"Tail\"";

TEST(BridgeRoundTrip, AnUnchangedExchangeFileGivesTheSameBytes) {
  test::TempDir dir;
  const std::string original = File(cRich);
  const std::string units[] = {
      "\\a.xml@Source@Hello#World|Hello World",
      "\\b\\c.bin@Game@Caf\xC3\xA9#\xE2\x82\xAC" "5|Caf\xC3\xA9 \xE2\x82\xAC" "5",
      "\\e.xml@Game@Emoji#\xF0\x9F\x98\x80|Emoji \xF0\x9F\x98\x80"};
  for (const sFormat& format : Formats()) {
    for (const char* language : {"fr", "ru", "nl", "Italian"}) {
      SCOPED_TRACE(std::string(format.name) + " " + language);
      test::WriteFile(dir / "t.txt", original);
      const test::ProcessResult exported =
          Bridge({"export", "--to", format.name, "--lang", language, "t.txt", format.file}, dir.Path().string());
      ASSERT_EQ(0, exported.status) << exported.err;
      EXPECT_TRUE(Holds(exported.out, "3 strings exported"));
      EXPECT_EQ("", exported.err);
      const sExchangeFile read = ReadExchange(format, dir.Path() / format.file);
      ASSERT_EQ(3u, read.mUnits.size());
      for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(units[i], read.mUnits[i].mNames.at(0) + "|" + read.mUnits[i].mSource);
      if (std::string(language) == "Italian") {
        EXPECT_TRUE(read.mTargetLanguage == "it" || read.mTargetLanguage == "Italian") << read.mTargetLanguage;
        EXPECT_EQ("Caff\xC3\xA8", read.mUnits[1].mTarget);
      }
      EXPECT_EQ(0, Bridge({"import", "--lang", language, "t.txt", format.file}, dir.Path().string()).status);
      EXPECT_EQ(original, test::ReadFile(dir / "t.txt"));
      EXPECT_FALSE(test::FileExists(dir / "t.txt.temp"));
      // Without a telling extension the format is told by the contents.
      test::WriteFile(dir / "unnamed", test::ReadFile(dir / format.file));
      EXPECT_EQ(0, Bridge({"import", "--lang", language, "t.txt", "unnamed"}, dir.Path().string()).status);
    }
  }
  // The other languages and the key's parts come along in the exported text.
  const std::string po = test::ReadFile(dir / "out.po"), xliff = test::ReadFile(dir / "out.xlf");
  EXPECT_TRUE(Holds(po, "#. French: Bonjour\n"));
  EXPECT_TRUE(Holds(po, "#. flavour: Game\n#. file: \\b\\c.bin\n"));
  EXPECT_TRUE(Holds(xliff, "<note from=\"French\">Bonjour</note>"));
  EXPECT_TRUE(Holds(xliff, "resname=\"\\a.xml@Source@Hello#World\""));
  EXPECT_TRUE(Holds(xliff, "<context context-type=\"x-flavour\">Game</context>"));
  const std::string csv = test::ReadFile(dir / "out.csv");
  EXPECT_EQ(0u, csv.find("\xEF\xBB\xBF\"location\",\"source\",\"target\",\"language\",\"flavour\",\"file\","
                         "\"French\",\"German\",\"Spanish\",\"Russian\",\"Polish\",\"Dutch\"\r\n"));
  EXPECT_TRUE(Holds(csv, "\"\\a.xml@Source@Hello#World\",\"Hello World\",\"\",\"Italian\",\"Source\",\"\\a.xml\","
                         "\"Bonjour\","));
}

// A line as extraction writes it: English, French, Italian, German,
// Spanish, Russian, Polish, Dutch.
const std::u16string cExtracted =
    u"\\a.xml@Source@Hi%\t\"Hi\"\t\"Salut\"\t\"Ciao\"\t\"Hallo\"\t\"Hola\"\t\"Privet\"\t\"Czesc\"\t\"Hoi\"";

// The target of each unit of the exchange file at `path` whose English text
// is `source` becomes `text`, as a translator's tool writes it.
void Translate(const sFormat& format, const std::filesystem::path& path, const std::string& language,
               const std::string& source, const std::string& text) {
  sExchangeFile file = ReadExchange(format, path);
  for (sExchangeUnit& unit : file.mUnits) {
    if (unit.mSource == source) unit.mTarget = text;
  }
  std::string error;
  ASSERT_TRUE(format.write(file, *FindBridgeLanguage(language), path, error)) << error;
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
      {"Polish keeps Dutch", cExtracted, {"pl"},
       cExtracted + Empty(4) + u"\t\"Hoi\"" + Empty(8) + u"\t\"new pl\""},
      {"Russian keeps Polish and Dutch", cExtracted, {"ru"},
       cExtracted + Empty(4) + u"\t\"Hoi\"" + Empty(8) + u"\t\"Czesc\"" + Empty(3) + u"\t\"new ru\""},
      {"Russian, Dutch and Polish in turn", cExtracted, {"ru", "nl", "pl"},
       cExtracted + Empty(4) + u"\t\"new nl\"" + Empty(8) + u"\t\"new pl\"" + Empty(3) + u"\t\"new ru\""},
      {"a line made for the update", u"\\a.xml@Source@Hi%\t\"Hi\"" + Empty(11) + u"\t\"nl\"" + Empty(8) +
           u"\t\"pl\"" + Empty(3) + u"\t\"ru\"",
       {"pl"}, u"\\a.xml@Source@Hi%\t\"Hi\"" + Empty(11) + u"\t\"nl\"" + Empty(8) + u"\t\"new pl\"" +
                   Empty(3) + u"\t\"ru\""},
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
        ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", language, "t.txt", format.file},
                            dir.Path().string()).status);
        Translate(format, dir.Path() / format.file, language, "Hi", std::string("new ") + language);
        const test::ProcessResult imported =
            Bridge({"import", "--lang", language, "t.txt", format.file}, dir.Path().string());
        EXPECT_EQ(0, imported.status) << imported.err;
        EXPECT_TRUE(Holds(imported.out, "1 translations written, 0 units reported"));
      }
      EXPECT_EQ(File(c.after + u"\n" + other), test::ReadFile(dir / "t.txt"));
    }
  }
}

TEST(BridgeRoundTrip, EachLanguageIsReadWhereTheUpdateReadsIt) {
  test::TempDir dir;
  // A: as extraction writes it. B: made for the update, its Polish emptied
  // there. C: long enough for Dutch only.
  test::WriteFile(dir / "t.txt",
                  File(cExtracted + u"\n" +
                       u"\\b.xml@Source@B%\t\"B\"" + Empty(4) + u"\t\"old ru\"\t\"old pl\"\t\"old nl\"" + Empty(4) +
                       u"\t\"new nl\"" + Empty(8) + u"\t\"\"" + Empty(3) + u"\t\"new ru\"\n" +
                       u"\\c.xml@Source@C%\t\"C\"" + Empty(4) + u"\t\"ru5\"\t\"pl6\"\t\"nl7\"" + Empty(4) +
                       u"\t\"nl12\"\n"));
  const std::map<std::string, std::vector<std::string>> targets = {
      {"ru", {"Privet", "new ru", "ru5"}}, {"pl", {"Czesc", "", "pl6"}}, {"nl", {"Hoi", "new nl", "nl12"}}};
  for (const sFormat& format : Formats()) {
    for (const auto& language : targets) {
      SCOPED_TRACE(std::string(format.name) + " " + language.first);
      ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", language.first, "t.txt", format.file},
                          dir.Path().string()).status);
      const sExchangeFile file = ReadExchange(format, dir.Path() / format.file);
      ASSERT_EQ(3u, file.mUnits.size());
      for (size_t i = 0; i < 3; ++i) EXPECT_EQ(language.second[i], file.mUnits[i].mTarget) << i;
    }
  }
  const std::string po = test::ReadFile(dir / "out.po");
  // The notes of the last export, into Russian.
  EXPECT_TRUE(Holds(po, "#. file: \\b.xml\n#. Dutch: new nl\n"));
  EXPECT_TRUE(Holds(po, "#. file: \\c.xml\n#. Polish: pl6\n#. Dutch: nl12\n"));
  const test::ProcessResult stats = Bridge({"stats", "--json", "t.txt"}, dir.Path().string());
  EXPECT_TRUE(Holds(stats.out, "\"code\":\"ru\",\"translated\":3,\"missing\":0"));
  EXPECT_TRUE(Holds(stats.out, "\"code\":\"pl\",\"translated\":2,\"missing\":1"));
  EXPECT_TRUE(Holds(stats.out, "\"code\":\"nl\",\"translated\":3,\"missing\":0"));
  EXPECT_TRUE(Holds(stats.out, "\"code\":\"fr\",\"translated\":1,\"missing\":2"));
}

}  // namespace
