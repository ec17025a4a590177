// The translations table read from real files, each case at several read
// buffer sizes so that lines and units straddle buffer boundaries.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "translations/cTranslationTable.h"
#include "xml/cFxFile.h"

namespace {

class cFileSystemEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(InitFileSystems()); }
  void TearDown() override { ShutdownFileSystems(); }
};
::testing::Environment* const gFileSystemEnvironment =
    ::testing::AddGlobalTestEnvironment(new cFileSystemEnvironment);

const int cReadBufferSizes[] = {0, 1, 3, 128, 64 * 1024};

// Readable UTF-8 of a UTF-16 text; units above 0x7F as \uXXXX.
std::string Show(const std::u16string& text) {
  std::string shown;
  for (char16_t unit : text) {
    if (unit < 0x80) {
      shown += static_cast<char>(unit);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
      shown += escape;
    }
  }
  return shown;
}
std::string Show(const cFxWString& text) { return Show(std::u16string(text.c_str(), text.Length())); }

// The whole table, one path per line in enumeration order, each record as
// flavour|id followed by its texts in brackets.
std::string Dump(cTranslationTable& table) {
  std::string dump;
  table.RewindFiles();
  cFxWString path;
  while (table.GetNextFile(path)) {
    dump += Show(path) + ":";
    for (const sTranslationRecord& record : table.GetRecords(path)) {
      EXPECT_TRUE(record.mReserved.IsEmpty());
      dump += " " + Show(record.mFlavour) + "|" + Show(record.mId);
      for (const cFxWString& text : record.mTexts) dump += "[" + Show(text) + "]";
    }
    dump += "\n";
  }
  return dump;
}

struct sCase {
  const char* name;
  std::string bytes;
  int32_t flavour;
  bool ok;
  const char* table;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const sCase& c, std::ostream* out) { *out << c.name; }

std::string Le(const std::u16string& text) { return test::Utf16Le(text); }

// A file in big-endian byte order: no LF is ever read.
std::string Be(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

const std::u16string cMark = u"\uFEFF";
const std::u16string cHead = u"\tVektrel\t\t\t\tPC";
const std::u16string cGood = u"\\a.xml@Game@Hello#World" + cHead + u"\t\"Hello World\"\t\"Bonjour\"\n";
const char* const cGoodTable = "\\a.xml: Game|Hello#World[Hello World][Bonjour][][][][]\n";

const sCase cCases[] = {
    {"nothing", "", 1, true, ""},
    {"only the mark", Le(cMark), 1, true, ""},
    {"one line", Le(cMark + cGood), 1, true, cGoodTable},
    {"no mark", Le(cGood), 1, true, cGoodTable},
    {"mark inside a line is dropped",
     Le(u"\\a.xml@Ga\uFEFFme@Hello#World" + cHead + u"\t\"Hello World\"\t\"Bon\uFEFFjour\"\n"), 1,
     true, cGoodTable},
    {"line without TAB", Le(cMark + cGood + u"no tab here\n" + cGood), 1, false, ""},
    {"line starting with TAB", Le(cGood + u"\tVektrel\t\t\t\tPC\t\"x\"\n"), 1, false, ""},
    {"empty line in the middle", Le(cGood + u"\n" + cGood), 1, false, ""},
    {"empty last line", Le(cMark + cGood + u"\n"), 1, false, ""},
    {"last line without LF", Le(cGood + u"\\b.xml@Game@B" + cHead + u"\t\"B\""), 1, true,
     cGoodTable},
    {"last line without LF, malformed", Le(cGood + u"no tab"), 1, true, cGoodTable},
    {"big-endian file", Be(cMark + cGood), 1, true, ""},
    {"odd byte at the end", Le(cGood) + "x", 1, true, cGoodTable},
    {"CR LF line ends", Le(u"\\a.xml@Game@x" + cHead + u"\t\"a\"\t\"b\"\r\n"), 1, true,
     "\\a.xml: Game|x[a][b][][][][]\n"},
    {"quotes anywhere in a text are removed, as are CR and LF",
     Le(u"\\a.xml@Game@x" + cHead + u"\t\"say \"hi\"\"\t\"a\rb\"\t\"\"\n"), 1, true,
     "\\a.xml: Game|x[say hi][ab][][][][]\n"},
    {"quoted key",
     Le(u"\"\\a.xml@Game@x\"" + cHead + u"\t\"a\"\n" + u"\"\\b.xml@Game@\"\"" + cHead + u"\n"), 1,
     true, "\\a.xml: Game|x[a][][][][][]\n\\b.xml: Game|\"[][][][][][]\n"},
    {"duplicates are kept in file order",
     Le(u"\\a.xml@Game@x" + cHead + u"\t\"1\"\n" + u"\\b.xml@Game@y" + cHead + u"\t\"2\"\n" +
        u"\\a.xml@Game@x" + cHead + u"\t\"3\"\n"),
     1, true, "\\a.xml: Game|x[1][][][][][] Game|x[3][][][][][]\n\\b.xml: Game|y[2][][][][][]\n"},
    {"game table ignores source lines",
     Le(u"\\a.xml@Source@s" + cHead + u"\t\"s\"\n" + u"\\a.xml@Game@g" + cHead + u"\t\"g\"\n" +
        u"\\a.xml@game@g" + cHead + u"\t\"g\"\n"),
     1, true, "\\a.xml: Game|g[g][][][][][]\n"},
    {"source table ignores game lines",
     Le(u"\\a.xml@Source@s" + cHead + u"\t\"s\"\n" + u"\\a.xml@Game@g" + cHead + u"\t\"g\"\n"), 0,
     true, "\\a.xml: Source|s[s][][][][][]\n"},
    {"any flavour but 1 is source", Le(u"\\a.xml@Source@s" + cHead + u"\t\"s\"\n"), 7, true,
     "\\a.xml: Source|s[s][][][][][]\n"},
    {"ignored lines are still checked for a TAB",
     Le(u"\\a.xml@Source@s" + cHead + u"\t\"s\"\n" + u"\\a.xml@Source@s\n"), 1, false, ""},
    {"key without @ is path, flavour and id at once", Le(u"Game\tVektrel\n"), 1, true,
     "Game: Game|Game[][][][][][][][][][]\n"},
    {"key with one @ keeps the whole key as id", Le(u"\\a.xml@Game" + cHead + u"\t\"t\"\n"), 1,
     true, "\\a.xml: Game|\\a.xml@Game[t][][][][][]\n"},
    {"id may hold further @", Le(u"\\a.xml@Game@x@y@z" + cHead + u"\t\"t\"\n"), 1, true,
     "\\a.xml: Game|x@y@z[t][][][][][]\n"},
    {"id stays escaped", Le(u"\\a.xml@Game@a#b\\tc" + cHead + u"\t\"a b\"\n"), 1, true,
     "\\a.xml: Game|a#b\\tc[a b][][][][][]\n"},
    {"six TABs: one text, five padded", Le(u"k@Game@i" + cHead + u"\t\"1\"\n"), 1, true,
     "k: Game|i[1][][][][][]\n"},
    {"ten TABs: five texts, one padded",
     Le(u"k@Game@i" + cHead + u"\t\"1\"\t\"2\"\t\"3\"\t\"4\"\t\"5\"\n"), 1, true,
     "k: Game|i[1][2][3][4][5][]\n"},
    {"eleven TABs: six texts",
     Le(u"k@Game@i" + cHead + u"\t\"1\"\t\"2\"\t\"3\"\t\"4\"\t\"5\"\t\"6\"\n"), 1, true,
     "k: Game|i[1][2][3][4][5][6]\n"},
    {"twelve TABs: seven texts",
     Le(u"k@Game@i" + cHead + u"\t\"1\"\t\"2\"\t\"3\"\t\"4\"\t\"5\"\t\"6\"\t\"7\"\n"), 1, true,
     "k: Game|i[1][2][3][4][5][6][7]\n"},
    {"a TAB inside a text splits it", Le(u"k@Game@i" + cHead + u"\t\"a\tb\"\t\"c\"\n"), 1, true,
     "k: Game|i[a][b][c][][][]\n"},
    {"three TABs: no text, eight padded", Le(u"k@Game@i\tVektrel\t\tPC\n"), 1, true,
     "k: Game|i[][][][][][][][]\n"},
    {"columns past the last TAB run to the LF", Le(u"k@Game@i" + cHead + u"\tbare text\n"), 1,
     true, "k: Game|i[bare text][][][][][]\n"},
};

class TranslationTableRead : public ::testing::TestWithParam<sCase> {
 protected:
  test::TempDir mDir;
};

TEST_P(TranslationTableRead, GivesTheExpectedTable) {
  const sCase& c = GetParam();
  const std::string path = mDir / "translations.txt";
  test::WriteFile(path, c.bytes);
  for (int bufferSize : cReadBufferSizes) {
    SCOPED_TRACE("read buffer " + std::to_string(bufferSize));
    cFxFile stream;
    ASSERT_TRUE(stream.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, bufferSize, 0));
    cTranslationTable table;
    table.SetFlavour(c.flavour);
    EXPECT_EQ(table.Read(stream), c.ok);
    EXPECT_EQ(Dump(table), c.table);
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, TranslationTableRead, ::testing::ValuesIn(cCases),
                         [](const ::testing::TestParamInfo<sCase>& param) {
                           std::string name;
                           for (const char* p = param.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

class TranslationTable : public ::testing::Test {
 protected:
  // Reads `text` (little-endian) as a game table.
  void Load(cTranslationTable& table, const std::u16string& text) {
    const std::string path = mDir / "translations.txt";
    test::WriteFile(path, test::Utf16Le(text));
    cFxFile stream;
    ASSERT_TRUE(stream.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
    ASSERT_TRUE(table.Read(stream));
  }
  test::TempDir mDir;
};

TEST_F(TranslationTable, FilesAreEnumeratedByCodeUnitsShorterFirst) {
  cTranslationTable table;
  Load(table, u"\\b.xml@Game@1" + cHead + u"\n" + u"\\\u00e9.xml@Game@2" + cHead + u"\n" +
                  u"\\a\\x.xml@Game@3" + cHead + u"\n" + u"\\a@Game@4" + cHead + u"\n" +
                  u"\\B.xml@Game@5" + cHead + u"\n" + u"\\b.xml@Game@6" + cHead + u"\n");
  EXPECT_EQ(table.GetFileCount(), 5u);

  cFxWString path;
  // The cursor starts at the end: nothing before the first rewind.
  EXPECT_FALSE(table.GetNextFile(path));
  table.RewindFiles();
  std::vector<std::string> order;
  while (table.GetNextFile(path)) order.push_back(Show(path));
  EXPECT_EQ(order, (std::vector<std::string>{"\\B.xml", "\\a", "\\a\\x.xml", "\\b.xml", "\\\\u00E9.xml"}));
  EXPECT_FALSE(table.GetNextFile(path));
  EXPECT_EQ(Show(path), "\\\\u00E9.xml");  // left as the last path given

  // A second rewind starts over.
  table.RewindFiles();
  ASSERT_TRUE(table.GetNextFile(path));
  EXPECT_EQ(Show(path), "\\B.xml");
}

TEST_F(TranslationTable, RecordsOfAnUnknownPathAreOneSharedEmptyList) {
  cTranslationTable table;
  Load(table, u"\\a.xml@Game@x" + cHead + u"\t\"x\"\n");
  EXPECT_EQ(table.GetRecords(cFxWString(u"\\a.xml")).size(), 1u);
  const cTranslationTable::tRecords& unknown = table.GetRecords(cFxWString(u"\\b.xml"));
  EXPECT_TRUE(unknown.empty());
  // Paths match exactly: no case folding, no separator translation.
  EXPECT_TRUE(table.GetRecords(cFxWString(u"\\A.xml")).empty());
  EXPECT_TRUE(table.GetRecords(cFxWString(u"/a.xml")).empty());

  cTranslationTable other;
  EXPECT_EQ(&other.GetRecords(cFxWString()), &unknown);
}

TEST_F(TranslationTable, EmptyTableAndClosedStream) {
  cTranslationTable table;
  EXPECT_EQ(table.GetFileCount(), 0u);
  table.RewindFiles();
  cFxWString path;
  EXPECT_FALSE(table.GetNextFile(path));

  // A stream that is not open reads as one empty line: malformed.
  cFxFile closed;
  EXPECT_FALSE(table.Read(closed));
  EXPECT_EQ(table.GetFileCount(), 0u);
}

TEST_F(TranslationTable, AMalformedLineClearsWhatWasReadBefore) {
  cTranslationTable table;
  Load(table, u"\\a.xml@Game@x" + cHead + u"\t\"x\"\n");
  ASSERT_EQ(table.GetFileCount(), 1u);

  const std::string path = mDir / "bad.txt";
  test::WriteFile(path, test::Utf16Le(u"\\b.xml@Game@y" + cHead + u"\n\n"));
  cFxFile stream;
  ASSERT_TRUE(stream.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  EXPECT_FALSE(table.Read(stream));
  EXPECT_EQ(table.GetFileCount(), 0u);
  table.RewindFiles();
  cFxWString next;
  EXPECT_FALSE(table.GetNextFile(next));
}

}  // namespace
