// Translations file -> exchange file -> translations file, through XLIFF, PO
// and CSV: an unchanged exchange file gives the same bytes back; a filled one
// fills exactly its language's column, where glossmill's update reads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "BridgeTestSupport.h"
#include "bridge/ExchangeFile.h"

namespace {
using bridge_test::Bridge;
using bridge_test::Empty;
using bridge_test::File;
using bridge_test::Holds;

struct sFormat {
  const char *name, *file;
  bool (*read)(const std::filesystem::path&, sExchangeFile&, std::string&);
  bool (*write)(const sExchangeFile&, const sBridgeLanguage&, const std::filesystem::path&, std::string&);
};
const sFormat cFormats[] = {
    {"xliff", "out.xlf", ReadXliff, WriteXliff},
    {"po", "out.po", ReadPo, WritePo},
    {"csv", "out.csv", ReadCsv, WriteCsv}};

// Both flavours, a byte-order mark, duplicate keys, a TAB and double quotes
// in texts, non-ASCII (a surrogate pair too), a CRLF line, a short line, a
// line without a text column and an unfinished last line.
const std::u16string cRich =
    u"\xFEFF\\a.xml@Source@Hello#World%\t\"Hello World\"\t\"Bonjour\"" + Empty(6) + u"\n" +
    u"\\a.xml@Source@Hello#World%\t\"Hello World\"" + Empty(7) + u"\n" +
    u"\\b\\c.bin@Game@Caf\u00e9#\u20ac5%\t\"Caf\u00e9 \u20ac5\"\t\"\"\t\"Caff\u00e8\"" + Empty(6) +
    u"\n" + u"\\d.xml@Source@Tab\\there%\t\"Tab\there\"\t\"\"\n" +
    u"\\d.xml@Source@Say#\"hi\"%\t\"Say \"hi\"\"\t\"Dis \"salut\"\"\n" +
    u"\\e.xml@Game@Emoji#\U0001F600%\t\"Emoji \U0001F600\"\r\n" + u"\\f.xml@Source@Bare\tVektrel\n" +
    u"\\g.xml@Source@Tail%\t\"Tail\"";

// An export carries the key, the English text as glossmill's update reads
// it, the target and the other languages; importing it unchanged gives the
// same bytes back.
TEST(BridgeRoundTrip, AnUnchangedExchangeFileGivesTheSameBytes) {
  test::TempDir dir;
  const std::string original = File(cRich);
  // Each unit's id and source: the key loses a closing double quote; a TAB
  // in English splits its column, double quotes are dropped.
  const std::string units[] = {
      "\\a.xml@Source@Hello#World|Hello World", "\\a.xml@Source@Hello#World\t2|Hello World",
      "\\b\\c.bin@Game@Caf\xC3\xA9#\xE2\x82\xAC" "5|Caf\xC3\xA9 \xE2\x82\xAC" "5", "\\d.xml@Source@Tab\\there|Tab",
      "\\d.xml@Source@Say#\"hi|Say hi", "\\e.xml@Game@Emoji#\xF0\x9F\x98\x80|Emoji \xF0\x9F\x98\x80",
      "\\f.xml@Source@Bare|"};
  for (const sFormat& format : cFormats) {
    for (const char* language : {"fr", "ru", "nl", "Italian"}) {
      SCOPED_TRACE(std::string(format.name) + " " + language);
      test::WriteFile(dir / "t.txt", original);
      const test::ProcessResult exported =
          Bridge({"export", "--to", format.name, "--lang", language, "t.txt", format.file}, dir.Path().string());
      ASSERT_EQ(0, exported.status) << exported.err;
      EXPECT_TRUE(Holds(exported.out, "7 strings exported"));
      sExchangeFile read;
      std::string error;
      ASSERT_TRUE(format.read(dir.Path() / format.file, read, error)) << error;
      ASSERT_EQ(7u, read.mUnits.size());
      for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(units[i], read.mUnits[i].mId + "|" + read.mUnits[i].mSource);
      if (std::string(language) == "Italian") {
        EXPECT_EQ(format.name == std::string("csv") ? "Italian" : "it", read.mTargetLanguage);
        EXPECT_EQ("Caff\xC3\xA8", read.mUnits[2].mTarget);
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
  EXPECT_EQ(0u, csv.find("id,flavour,file,English,Italian,French,German,Spanish,Russian,Polish,Dutch\r\n"));
  EXPECT_TRUE(Holds(csv, "\"\\d.xml@Source@Say#\"\"hi\",Source,\\d.xml,Say hi,"));
}

TEST(BridgeRoundTrip, AFilledExchangeFileFillsExactlyItsColumn) {
  const std::u16string input = u"\xFEFF\\a.xml@Source@Hi%\t\"Hi\"\t\"old\"\t\"\"\n" +
                               std::u16string(u"\\a.xml@Source@Hi%\t\"Hi\"\n") +
                               u"\\b.bin@Game@Go%\t\"Go\"\t\"x\"\t\"y\"\r\n" +
                               u"\\c.xml@Source@Stay%\t\"Stay\"\n";
  const std::map<std::string, std::string> targets = {
      {"\\a.xml@Source@Hi", "Salut \xC3\xA0 tous"},
      {"\\a.xml@Source@Hi\t2", "Deux"},
      {"\\b.bin@Game@Go", "Allez"}};
  const struct {
    const char* language;
    std::u16string expected;
  } cases[] = {
      {"fr", u"\xFEFF\\a.xml@Source@Hi%\t\"Hi\"\t\"Salut \u00e0 tous\"\t\"\"\n" +
                 std::u16string(u"\\a.xml@Source@Hi%\t\"Hi\"\t\"Deux\"\n") +
                 u"\\b.bin@Game@Go%\t\"Go\"\t\"Allez\"\t\"y\"\r\n" +
                 u"\\c.xml@Source@Stay%\t\"Stay\"\n"},
      // Russian is read from the 26th text: short lines grow to it.
      {"Russian", u"\xFEFF\\a.xml@Source@Hi%\t\"Hi\"\t\"old\"\t\"\"" + Empty(22) +
                      u"\t\"Salut \u00e0 tous\"\n" + u"\\a.xml@Source@Hi%\t\"Hi\"" + Empty(24) +
                      u"\t\"Deux\"\n" + u"\\b.bin@Game@Go%\t\"Go\"\t\"x\"\t\"y\"" + Empty(22) +
                      u"\t\"Allez\"\r\n" + u"\\c.xml@Source@Stay%\t\"Stay\"\n"},
  };
  test::TempDir dir;
  for (const sFormat& format : cFormats) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(format.name) + " " + c.language);
      test::WriteFile(dir / "t.txt", File(input));
      ASSERT_EQ(0, Bridge({"export", "--to", format.name, "--lang", c.language, "t.txt", format.file},
                          dir.Path().string())
                       .status);
      // A translator's tool fills in the targets.
      sExchangeFile file;
      std::string error;
      ASSERT_TRUE(format.read(dir.Path() / format.file, file, error)) << error;
      for (sExchangeUnit& unit : file.mUnits) {
        const auto target = targets.find(unit.mId);
        if (target != targets.end()) unit.mTarget = target->second;
      }
      ASSERT_TRUE(format.write(file, *FindBridgeLanguage(c.language), dir.Path() / format.file, error));
      const test::ProcessResult imported =
          Bridge({"import", "--lang", c.language, "t.txt", format.file}, dir.Path().string());
      EXPECT_EQ(0, imported.status) << imported.err;
      EXPECT_TRUE(Holds(imported.out, "3 translations written"));
      EXPECT_EQ(File(c.expected), test::ReadFile(dir / "t.txt"));
    }
  }

}

TEST(BridgeRoundTrip, GettextAcceptsThePoOutput) {
  if (std::system("msgfmt --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no msgfmt";
  test::TempDir dir;
  test::WriteFile(dir / "t.txt", File(cRich));
  ASSERT_EQ(0, Bridge({"export", "--to", "po", "--lang", "de", "t.txt", "out.po"}, dir.Path().string()).status);
  const test::ProcessResult checked =
      test::Run("msgfmt", {"--check", "-o", "out.mo", "out.po"}, dir.Path().string());
  EXPECT_EQ(0, checked.status) << checked.err;
  EXPECT_EQ("", checked.err);
}

TEST(BridgeRoundTrip, XliffAsCatToolsWriteItIsRead) {
  test::TempDir dir;
  test::WriteFile(dir / "t.txt", File(u"\\a.xml@Source@A#b%\t\"A b\"\n\\a.xml@Source@C%\t\"C\"\n"
                                      u"\\a.xml@Source@D%\t\"D\"\n"));
  // A prefixed namespace, a group, CDATA, character references and an
  // element the bridge does not know.
  test::WriteFile(dir / "in.xliff",
                  "<?xml version=\"1.0\"?>\n"
                  "<x:xliff version=\"1.2\" xmlns:x=\"urn:oasis:names:tc:xliff:document:1.2\">"
                  "<x:file original=\"t.txt\" source-language=\"en-GB\" target-language=\"fr-FR\" "
                  "datatype=\"plaintext\"><x:header><x:tool tool-id=\"cat\"/></x:header><x:body>"
                  "<x:group><x:trans-unit id=\"\\a.xml@Source@A#b\"><x:source>A b</x:source>"
                  "<x:target><![CDATA[<A> & b]]></x:target></x:trans-unit></x:group>"
                  "<x:trans-unit id=\"\\a.xml@Source@C\"><x:source>C</x:source>"
                  "<x:target>&#x00C7;a &#233;t&#xE9; </x:target></x:trans-unit>"
                  "<x:trans-unit id=\"\\a.xml@Source@D\"><x:source>D</x:source></x:trans-unit>"
                  "</x:body></x:file></x:xliff>\n");
  const test::ProcessResult imported =
      Bridge({"import", "--lang", "French", "t.txt", "in.xliff"}, dir.Path().string());
  EXPECT_EQ(0, imported.status) << imported.err;
  EXPECT_EQ(File(u"\\a.xml@Source@A#b%\t\"A b\"\t\"<A> & b\"\n"
                 u"\\a.xml@Source@C%\t\"C\"\t\"\u00c7a \u00e9t\u00e9 \"\n\\a.xml@Source@D%\t\"D\"\n"),
            test::ReadFile(dir / "t.txt"));
}

}  // namespace
