// The translations table read from real files, each case at several read
// buffer sizes so that lines and units straddle buffer boundaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/Documents.h"
#include "support/TestSupport.h"
#include "translations/cTranslationTable.h"
#include "xml/cFxFile.h"

namespace {

// A text with units above 0x7F shown as '?'.
std::string Show(const cFxWString& text) {
  std::string shown;
  for (uint32_t i = 0; i < text.Length(); ++i)
    shown += text.c_str()[i] < 0x80 ? static_cast<char>(text.c_str()[i]) : '?';
  return shown;
}

// The whole table, one path per line in enumeration order, each record as
// flavour|id followed by its texts in brackets. The records are those that
// the ids of `shown` (a dump as expected) find: an id shown once finds the
// same line first and last, an id shown twice finds its first line and then
// its last; the lines found are all the path has.
std::string Dump(cTranslationTable& table, const std::string& shown) {
  std::vector<std::string> ids;
  for (size_t bar = shown.find('|'); bar != std::string::npos; bar = shown.find('|', bar + 1))
    ids.push_back(shown.substr(bar + 1, shown.find('[', bar) - bar - 1));
  std::string dump;
  table.RewindFiles();
  cFxWString path;
  while (table.GetNextFile(path)) {
    dump += Show(path) + ":";
    cFileRecords& records = table.GetRecords(path);
    size_t found = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (std::find(ids.begin(), ids.begin() + i, ids[i]) != ids.begin() + i) continue;
      const bool twice = std::count(ids.begin(), ids.end(), ids[i]) > 1;
      std::string texts[2];
      for (eDuplicateIds which : {eDuplicateIds::FirstWins, eDuplicateIds::LastWins}) {
        const sTranslationRecord* record = records.Find(cFxWString(test::Utf16(ids[i]).c_str()), which);
        if (!record) continue;
        EXPECT_TRUE(record->mReserved.IsEmpty());
        std::string& text = texts[which == eDuplicateIds::LastWins];
        text = " " + Show(record->mFlavour) + "|" + Show(record->mId);
        for (const cFxWString& column : record->mTexts) text += "[" + Show(column) + "]";
      }
      if (texts[0].empty()) continue;
      dump += texts[0];
      if (twice) dump += texts[1];
      else EXPECT_EQ(texts[1], texts[0]);
      found += twice ? 2 : 1;
    }
    EXPECT_EQ(records.Size(), found) << Show(path);
    dump += "\n";
  }
  return dump;
}

// The bytes of a little-endian file; "%" as in TranslationsText.
std::string File(const std::u16string& text) { return test::Utf16Le(test::TranslationsText(text)); }

const std::u16string kGood = u"\\a.xml@Game@Hello#World%\t\"Hello World\"\t\"Bonjour\"\n";
const char* const kGoodTable = "\\a.xml: Game|Hello#World[Hello World][Bonjour][][][][]\n";

struct sCase { const char* name; std::string bytes; bool ok; const char* table; eFlavour flavour = eFlavour::Game; };

TEST(TranslationTable, ReadGivesTheExpectedTableForEachKindOfLine) {
  std::string bigEndian = File(u"\uFEFF" + kGood);
  for (size_t i = 0; i + 1 < bigEndian.size(); i += 2) std::swap(bigEndian[i], bigEndian[i + 1]);
  // Lines of the other flavour, longer together than the table reads at a
  // time, so that the lines around them are read again from afar.
  std::u16string far;
  for (int i = 0; i < 12; ++i) far += u"s@Source@s%\t\"" + std::u16string(7000, u'x') + u"\"\n";
  const sCase cases[] = {
      {"lines far apart", File(u"k@Game@1%\n" + far + u"k@Game@2%\n" + far + u"j@Game@3%\nk@Game@4%\n"), true,
       "j: Game|3[][][][][][]\nk: Game|1[][][][][][] Game|2[][][][][][] Game|4[][][][][][]\n"},
      {"nothing", "", true, ""}, {"only the mark", File(u"\uFEFF"), true, ""}, {"no mark", File(kGood), true, kGoodTable},
      {"mark inside a line is dropped",
       File(u"\\a.xml@Ga\uFEFFme@Hello#World%\t\"Hello World\"\t\"Bon\uFEFFjour\"\n"), true, kGoodTable},
      {"line without TAB", File(kGood + u"no tab here\n" + kGood), false, ""},
      {"line starting with TAB", File(kGood + u"%\t\"x\"\n"), false, ""},
      {"empty line in the middle", File(kGood + u"\n" + kGood), false, ""},
      {"empty last line", File(kGood + u"\n"), false, ""},
      {"last line without LF", File(kGood + u"\\b.xml@Game@B%\t\"B\""), true, kGoodTable},
      {"last line without LF, malformed", File(kGood + u"no tab"), true, kGoodTable},
      // No LF is ever read, so it is one unfinished line.
      {"big-endian file", bigEndian, true, ""}, {"odd byte at the end", File(kGood) + "x", true, kGoodTable},
      {"CR LF line ends", File(u"k@Game@x%\t\"a\"\t\"b\"\r\n"), true, "k: Game|x[a][b][][][][]\n"},
      {"quotes anywhere in a text are removed, as are CR and LF",
       File(u"k@Game@x%\t\"say \"hi\"\"\t\"a\rb\"\t\"\"\n"), true, "k: Game|x[say hi][ab][][][][]\n"},
      {"quoted key", File(u"\"k@Game@x\"%\t\"a\"\n\"j@Game@\"\"%\n"), true,
       "j: Game|\"[][][][][][]\nk: Game|x[a][][][][][]\n"},
      {"duplicates are kept in file order", File(u"k@Game@x%\t\"1\"\nj@Game@y%\nk@Game@x%\t\"3\"\n"), true,
       "j: Game|y[][][][][][]\nk: Game|x[1][][][][][] Game|x[3][][][][][]\n"},
      {"game table ignores source lines", File(u"k@Source@s%\nk@Game@g%\nk@game@g%\n"), true, "k: Game|g[][][][][][]\n"},
      {"source table ignores game lines", File(u"k@Source@s%\nk@Game@g%\n"), true, "k: Source|s[][][][][][]\n",
       eFlavour::Source},
      {"ignored lines are still checked for a TAB", File(u"k@Source@s%\nk@Source@s\n"), false, ""},
      {"key without @ is path, flavour and id at once", File(u"Game\tVektrel\n"), true,
       "Game: Game|Game[][][][][][][][][][]\n"},
      {"key with one @ keeps the whole key as id", File(u"k@Game%\n"), true, "k: Game|k@Game[][][][][][]\n"},
      // An empty flavour part is no flavour: the id after it is never taken
      // for one, and the line breaks the run of its path's lines.
      {"empty flavour part", File(u"k@Game@1%\nk@@Game%\nk@@%\nk@Game@@x%\n"), true,
       "k: Game|1[][][][][][] Game|@x[][][][][][]\n"},
      {"empty flavour part, source table", File(u"k@@Source%\nk@Source@2%\n"), true, "k: Source|2[][][][][][]\n",
       eFlavour::Source},
      {"id may hold further @, and stays escaped", File(u"k@Game@a#b\\tc@y%\n"), true, "k: Game|a#b\\tc@y[][][][][][]\n"},
      {"ten TABs: five texts, one padded", File(u"k@Game@i%\t\"1\"\t\"2\"\t\"3\"\t\"4\"\t\"5\"\n"), true,
       "k: Game|i[1][2][3][4][5][]\n"},
      {"twelve TABs: seven texts", File(u"k@Game@i%\t\"1\"\t\"2\"\t\"3\"\t\"4\"\t\"5\"\t\"6\"\t\"7\"\n"), true,
       "k: Game|i[1][2][3][4][5][6][7]\n"},
      {"a TAB inside a text splits it", File(u"k@Game@i%\t\"a\tb\"\t\"c\"\n"), true, "k: Game|i[a][b][c][][][]\n"},
      {"three TABs: no text, eight padded", File(u"k@Game@i\tVektrel\t\tPC\n"), true, "k: Game|i[][][][][][][][]\n"},
      {"columns past the last TAB run to the LF", File(u"k@Game@i%\tbare text\n"), true,
       "k: Game|i[bare text][][][][][]\n"},
      {"paths in the order of their units, shorter first",
       File(u"\\b@Game@1%\n\\\uFF0E@Game@7%\n\\\u00e9@Game@2%\n\\a\\x@Game@3%\n\\a@Game@4%\n\\\U0001F600@Game@8%\n"
            u"\\B@Game@5%\n\\b@Game@6%\n"), true,
       "\\B: Game|5[][][][][][]\n\\a: Game|4[][][][][][]\n\\a\\x: Game|3[][][][][][]\n"
       "\\b: Game|1[][][][][][] Game|6[][][][][][]\n\\?: Game|2[][][][][][]\n\\??: Game|8[][][][][][]\n"
       "\\?: Game|7[][][][][][]\n"},
  };
  // One table reads every file in turn: nothing of one read outlives the
  // next, a failed one included.
  test::TempDir dir;
  const std::string path = dir / "translations.txt";
  cTranslationTable table;
  for (const sCase& c : cases) {
    test::WriteFile(path, c.bytes);
    for (int bufferSize : {0, 1, 3, 128, 64 * 1024}) {
      SCOPED_TRACE(std::string(c.name) + ", read buffer " + std::to_string(bufferSize));
      cFxFile stream;
      ASSERT_TRUE(stream.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, bufferSize, 0));
      table.SetFlavour(c.flavour);
      EXPECT_EQ(table.Read(stream), c.ok);
      EXPECT_EQ(Dump(table, c.table), c.table);
      // Nothing read before the malformed line is kept.
      if (!c.ok) { EXPECT_EQ(table.GetRecords(cFxWString(u"\\a.xml")).Size(), 0u); }
    }
  }
}

// Reads `text` into `table` as a game table through `stream`, which the
// table reads again later; answers Read.
bool Load(cTranslationTable& table, cFxFile& stream, const std::string& path, const std::u16string& text) {
  test::WriteFile(path, File(text));
  EXPECT_TRUE(stream.Open(cFxPath(path.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  return table.Read(stream);
}

TEST(TranslationTable, EnumerationStartsPastTheEndAndAStreamNotOpenEmptiesTheTable) {
  test::TempDir dir;
  cFxFile stream;
  cTranslationTable table;
  ASSERT_TRUE(Load(table, stream, dir / "t.txt", u"\\b.xml@Game@1%\n"));
  cFxWString path;
  EXPECT_FALSE(table.GetNextFile(path));  // nothing before the first rewind
  EXPECT_EQ(0u, table.GetRecords(cFxWString(u"/b.xml")).Size());  // paths match exactly
  cFxFile closed;
  EXPECT_FALSE(table.Read(closed));  // read as one empty line: malformed
  EXPECT_EQ(0u, table.GetFileCount());
}

// Paths that share their beginnings, one the prefix of others, listed out
// of order with each path's lines apart; more paths than the table stores
// between two whole ones, so that a search passes several.
TEST(TranslationTable, LinesAreFoundByIdWhateverTheOrderOfPathsAndLines) {
  constexpr int kPaths = 40;
  std::vector<std::u16string> paths;
  for (int i = 0; i < kPaths; ++i) paths.push_back(u"\\r\\" + test::Utf16(std::to_string(i)));
  const auto own = [](int i, int round) { return std::to_string(i) + "/" + std::to_string(round); };
  // Three rounds over the paths in a shuffled order; each round gives every
  // path a line of its own, a line of the other flavour and a line with the
  // id they all share, which reads "first", "middle" and "last" in turn.
  const char* const kRounds[] = {"first", "middle", "last"};
  std::u16string text;
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < kPaths; ++k) {
      const int i = (k * 17 + round * 5) % kPaths;
      const std::u16string id = test::Utf16(own(i, round));
      text += paths[i] + u"@Game@" + id + u"%\t\"" + id + u"\"\n" + paths[i] + u"@Source@shared%\t\"source\"\n" +
              paths[i] + u"@Game@shared%\t\"" + test::Utf16(kRounds[round]) + u"\"\n";
    }
  }
  test::TempDir dir;
  cFxFile stream;
  cTranslationTable table;
  ASSERT_TRUE(Load(table, stream, dir / "t.txt", text));
  std::vector<std::u16string> enumerated;
  cFxWString path;
  for (table.RewindFiles(); table.GetNextFile(path);) enumerated.emplace_back(path.c_str(), path.Length());
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, enumerated);

  // The first text of a record of one text column and five padded ones.
  const auto textOf = [](const sTranslationRecord* record) {
    if (!record) return std::string("none");
    return record->mTexts.size() == 6 ? Show(record->mTexts[0]) : "texts: " + std::to_string(record->mTexts.size());
  };
  const auto find = [](cFileRecords& records, const std::string& id, eDuplicateIds which) {
    return records.Find(cFxWString(test::Utf16(id).c_str()), which);
  };
  // Asked for from the last path to the first, not as enumerated.
  for (int i = kPaths - 1; i >= 0; --i) {
    SCOPED_TRACE(i);
    cFileRecords& records = table.GetRecords(cFxWString((u"\\r\\" + test::Utf16(std::to_string(i))).c_str()));
    EXPECT_EQ(records.Size(), 6u);
    for (int round = 2; round >= 0; --round)
      EXPECT_EQ(own(i, round), textOf(find(records, own(i, round), eDuplicateIds::LastWins)));
    EXPECT_EQ("first", textOf(find(records, "shared", eDuplicateIds::FirstWins)));
    const sTranslationRecord* last = find(records, "shared", eDuplicateIds::LastWins);
    EXPECT_EQ("last", textOf(last));
    // A lookup that finds nothing leaves the record found before as it was;
    // ids match whole, and only within the path.
    for (const std::string& id : {std::string("shared "), std::string("share"), std::string(), own((i + 1) % kPaths, 0)})
      EXPECT_EQ(nullptr, find(records, id, eDuplicateIds::FirstWins)) << id;
    EXPECT_EQ("last", textOf(last));
  }
}

}  // namespace
