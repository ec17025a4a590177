// The extraction runs as a user meets them: the built program started in a
// temporary content tree, its standard output and the translations file
// compared byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "ContentTree.h"

namespace {

namespace fs = std::filesystem;
using test::GameDocument;
using test::GameString;
using test::Join;
using test::SourceDocument;
using test::SourcePlain;
using test::SourceString;
using test::tTexts;

// Expected lines: key, product, three empty columns, platform, then `count`
// quoted texts, eight in a source file and nine (with "Other") in a game file.
std::string Line(const std::string& key, const tTexts& texts, size_t count) {
  std::string line = key + "\tVektrel\t\t\t\tPC";
  for (size_t i = 0; i < count; ++i) line += "\t\"" + (i < texts.size() ? texts[i] : "") + "\"";
  return line + "\n";
}
std::string SourceLine(const std::string& key, const tTexts& texts) { return Line(key, texts, 8); }
std::string GameLine(const std::string& key, const tTexts& texts) { return Line(key, texts, 9); }

// The keys of a translations file.
std::vector<std::u16string> Keys(const std::string& bytes) {
  std::vector<std::u16string> keys;
  for (const std::u16string& line : test::LinesOf(bytes)) keys.push_back(line.substr(0, line.find(u'\t')));
  return keys;
}

class ExtractRun : public ::testing::Test, protected test::ContentTree {
 protected:
  std::string Read(const std::string& relative = "out.txt") const { return ContentTree::Read(relative); }
};

TEST_F(ExtractRun, SourceLineHoldsKeyAndEightColumnsInDocumentOrder) {
  const tTexts texts = {"a b\tc", "Français", "", "Deutsch \"zitiert\"", "", "Ж", "", "D"};
  Write("a.xml", SourceDocument(Join({SourcePlain("Code", "plain"), SourceString(texts)})));
  // A relative output name is taken from the current directory.
  fs::create_directories(At("exports"));
  const test::ProcessResult result = Glossmill({"-sx", "exports/../exports/out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 1, "a.xml"));
  // The id escapes TAB as backslash-t and space as "#"; the columns keep
  // the texts unchanged.
  EXPECT_EQ(Read("exports/out.txt"), test::TranslationsFile({SourceLine("\\a.xml@Source@a#b\\tc", texts)}));
}

TEST_F(ExtractRun, StringWithEmptyEnglishTextGivesNoLine) {
  // No line may be keyed by the text of another language either.
  const tTexts untranslated = {"", "Seulement en français", "", "Nur deutsch"};
  Write("source/s.xml", SourceDocument(Join({SourceString(untranslated), SourceString({"Kept"})})));
  Write("game/g.xml", GameDocument(Join({GameString(untranslated), GameString({"Kept"})})));
  ASSERT_EQ(Glossmill({"-sx", "out.txt"}, "source").status, 0);
  EXPECT_EQ(Read("source/out.txt"), test::TranslationsFile({SourceLine("\\s.xml@Source@Kept", {"Kept"})}));
  ASSERT_EQ(Glossmill({"-gx", "out.txt"}, "game").status, 0);
  EXPECT_EQ(Read("game/out.txt"), test::TranslationsFile({GameLine("\\g.xml@Game@Kept", {"Kept"})}));
}

TEST_F(ExtractRun, FilesAreReadInCodeUnitOrderIntoOneFileMadeAfresh) {
  Write("sub/b.xml", SourceDocument(SourceString({"Third"})));
  Write("a.xml", SourceDocument(Join({SourceString({"Second"}), SourceString({"Second"})})));
  Write("B.xml", SourceDocument(SourceString({"First"})));
  Write("plain.xml", SourceDocument(SourcePlain("Code", "no localised string")));
  Write("notes.txt", "not a data file");
  // The source flavour reads a ".bin" file as it is.
  Write("s.bin", SourceDocument(SourceString({"Binary name"})));
  // One byte-order mark; duplicates kept; key paths with backslashes.
  const std::string expected =
      test::TranslationsFile({SourceLine("\\B.xml@Source@First", {"First"}),
                    SourceLine("\\a.xml@Source@Second", {"Second"}),
                    SourceLine("\\a.xml@Source@Second", {"Second"}),
                    SourceLine("\\s.bin@Source@Binary#name", {"Binary name"}),
                    SourceLine("\\sub\\b.xml@Source@Third", {"Third"})});
  // The second run deletes the first run's output instead of appending.
  for (int run = 1; run <= 2; ++run) {
    EXPECT_EQ(Glossmill({"-sx", "out.txt"}).out,
              Progress(1, 5, "B.xml") + Progress(2, 5, "a.xml") + Progress(3, 5, "plain.xml") +
                  Progress(4, 5, "s.bin") + Progress(5, 5, "sub/b.xml"));
    EXPECT_EQ(Read(), expected) << "run " << run;
  }
}

TEST_F(ExtractRun, GameRunReadsABinThroughTheXmlTheSerializerMakes) {
  UseSerializer();
  const tTexts texts = {"From the bin", "", "", "Aus der Bin"};
  WriteBin("d/a.bin", GameDocument(GameString(texts)));
  // A stale XML form is replaced, even a read-only one.
  Write("d/a.xml", GameDocument(GameString({"Stale"})));
  fs::permissions(At("d/a.xml"), fs::perms::owner_read);
  // An XML data file is read as it is, and so is a ".BIN" one: only an exact
  // ".bin" is converted. Nine columns, the last for "Other".
  Write("c.xml", GameDocument(GameString({"Plain XML", "Bonjour", "", "", "", "", "", "Hallo"})));
  Write("A.BIN", GameDocument(GameString({"Upper"})));
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  // The progress line names the XML form, the key the ".bin" file.
  EXPECT_EQ(result.out,
            Progress(1, 3, "A.BIN") + Progress(2, 3, "c.xml") + Progress(3, 3, "d/a.xml"));
  EXPECT_EQ(Read(), test::TranslationsFile({GameLine("\\A.BIN@Game@Upper", {"Upper"}),
                                  GameLine("\\c.xml@Game@Plain#XML",
                                           {"Plain XML", "Bonjour", "", "", "", "", "", "Hallo"}),
                                  GameLine("\\d\\a.bin@Game@From#the#bin", texts)}));
  // The XML form stays beside its ".bin"; no twin is made for ".BIN".
  EXPECT_EQ(Read("d/a.xml"), GameDocument(GameString(texts)));
  EXPECT_FALSE(test::FileExists(At("A.xml")));
}

TEST_F(ExtractRun, GameRunMakesTwinsOnlyBesideTheirBinFiles) {
  // Started in a folder named like a data file, the run must not touch the
  // folder named like its twin, outside the tree; a folder whose name holds
  // ".bin" keeps it.
  WriteBin("p/proj.bin/a.bin", GameDocument(GameString({"In the project"})));
  WriteBin("p/proj.bin/my.binaries/b.bin", GameDocument(GameString({"In my binaries"})));
  fs::copy_file(test::BruxExe(), At("p/proj.bin/brux.exe"));
  Write("p/proj.xml/a.xml", "outside the tree");
  const test::ProcessResult result = Glossmill({"-gx", "out.txt"}, "p/proj.bin");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Read("p/proj.bin/out.txt"),
            test::TranslationsFile({GameLine("\\a.bin@Game@In#the#project", {"In the project"}),
                          GameLine("\\my.binaries\\b.bin@Game@In#my#binaries", {"In my binaries"})}));
  EXPECT_EQ(Read("p/proj.xml/a.xml"), "outside the tree");
  EXPECT_FALSE(test::FileExists(At("p/proj.bin/my.xmlaries")));
}

TEST_F(ExtractRun, GameRunSkipsABinThatCannotBeConverted) {
  UseSerializer();
  Write("a.bin", "damaged");
  Write("a.xml", GameDocument(GameString({"Stale"})));
  WriteBin("b.bin", GameDocument(GameString({"Good"})));
  test::ProcessResult result = Glossmill({"-gx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 2, "a.xml") + Progress(2, 2, "b.xml"));
  EXPECT_NE(result.err, "") << "the serializer says what went wrong";
  // The stale XML form was removed before the conversion failed.
  EXPECT_FALSE(test::FileExists(At("a.xml")));
  EXPECT_EQ(Read(), test::TranslationsFile({GameLine("\\b.bin@Game@Good", {"Good"})}));

  // Without any serializer the program says so and reads nothing.
  fs::remove(At("brux.exe"));
  {
    test::ScopedEnvironment path("PATH", At("nonexistent"));
    result = Glossmill({"-gx", "out.txt"});
  }
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 2, "a.xml") + Progress(2, 2, "b.xml"));
  EXPECT_EQ(result.err, "Error: could not run brux.exe\nError: could not run brux.exe\n");
  EXPECT_FALSE(test::FileExists(At("b.xml")));
  EXPECT_FALSE(test::FileExists(At("out.txt")));
}

TEST_F(ExtractRun, OnlyRegularFilesOtherThanTheOutputAreRead) {
#ifdef _WIN32
  // A data file another program holds open is filed and cannot be opened
  // (data files are opened without sharing): it is skipped after its
  // progress line.
  Write("a.xml", SourceDocument(SourceString({"Locked"})));
  std::ifstream holder(At("a.xml"));
#else
  // A link whose target is gone is filed by its name and cannot be opened,
  // whatever the user's privileges: it is skipped after its progress line.
  // A FIFO named like a data file is no data file: reading it would wait
  // forever.
  fs::create_symlink(Path() / "gone.xml", Path() / "a.xml");
  ASSERT_EQ(test::Run("mkfifo", {"fifo.xml"}, At("")).status, 0);
#endif
  Write("b.xml", SourceDocument(SourceString({"Readable"})));
  // Nor is the output, named like one inside the tree: a run must not read
  // what it has just written, however the name is typed.
  Write("out.xml", "old output, not XML");
  for (int run = 1; run <= 2; ++run) {
    const test::ProcessResult result = Glossmill({"-sx", "sub/../out.xml"});
    EXPECT_EQ(result.status, 0) << "run " << run;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, Progress(1, 2, "a.xml") + Progress(2, 2, "b.xml"));
    EXPECT_EQ(Read("out.xml"), test::TranslationsFile({SourceLine("\\b.xml@Source@Readable", {"Readable"})}));
  }
}

#ifdef _WIN32
TEST_F(ExtractRun, NamesWithinLatin1GiveTheirTextInKeysOthersCannotBeOpened) {
  // Windows names are 16-bit text; a data file is opened by the name's 8-bit
  // form (the low byte of each unit), which names the same file only for
  // units up to U+00FF. Any other is skipped after its progress line.
  for (const char* name : {u8"St\u00E4dte/caf\u00E9.xml", u8"\u0416.xml"}) {
    const fs::path path = Path() / fs::u8path(name);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << SourceDocument(SourceString({"T"}));
  }
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, Progress(1, 2, "St\xE4" "dte/caf\xE9.xml") + Progress(2, 2, "\x16.xml"));
  EXPECT_EQ(Keys(Read()), std::vector<std::u16string>{u"\\St\u00E4dte\\caf\u00E9.xml@Source@T"});
}
#else
// POSIX names are bytes: ":" is an ordinary character and a name need not
// be UTF-8.
TEST_F(ExtractRun, NamesKeepTheirBytesOnDiskAndGiveTheTextOfTheirUtf8InKeys) {
  // A key holds the name's text as on every platform; a byte that is no
  // UTF-8 stays one unit of its own. On POSIX a name may hold ":".
  const std::string names[] = {"St\xC3\xA4" "dte/caf\xC3\xA9.xml", "bad\xE9.xml", "a:b.xml",
                               "c:d/e.xml"};
  for (const std::string& name : names) Write(name, SourceDocument(SourceString({"T"})));
  test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.out, Progress(1, 4, names[0]) + Progress(2, 4, names[2]) +
                            Progress(3, 4, names[1]) + Progress(4, 4, names[3]));
  EXPECT_EQ(Keys(Read()), (std::vector<std::u16string>{
                              u"\\St\u00E4dte\\caf\u00E9.xml@Source@T", u"\\a:b.xml@Source@T",
                              u"\\bad\xDCE9.xml@Source@T", u"\\c:d\\e.xml@Source@T"}));

  // The start directory, the output's name and the serializer's command
  // line keep the bytes too.
  const std::string start = "W\xC3\xB6rk\xFF";
  WriteBin(start + "/g\xC3\xA4\xFF.bin", GameDocument(GameString({"G"})));
  fs::copy_file(test::BruxExe(), At(start + "/brux.exe"));
  result = Glossmill({"-gx", "\xC3\x9C" "ber\xFF.txt"}, start);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, Progress(1, 1, start + "/g\xC3\xA4\xFF.xml"));
  EXPECT_EQ(Keys(Read(start + "/\xC3\x9C" "ber\xFF.txt")),
            std::vector<std::u16string>{u"\\g\u00E4\xDCFF.bin@Game@G"});
}
#endif

TEST_F(ExtractRun, BadlyFormedFileEndsTheRunKeepingEarlierLines) {
  Write("a.xml", SourceDocument(SourceString({"Before"})));
  Write("b.xml", "<?xml version=\"1.0\"?>\r\n<Root>\r\n\t<Sign broken>\r\n</Root>\r\n");
  Write("c.xml", SourceDocument(SourceString({"After"})));
  const test::ProcessResult result = Glossmill({"-sx", "out.txt"});
  EXPECT_EQ(result.status, test::kFatalExitStatus);
  // After the error's own text, the file being read, for a user whose
  // standard output went elsewhere.
  EXPECT_EQ(result.err,
            "ERROR: Line 3: Badly formed XML document.\nFILE: API/core/cFxException\nLINE:113\n"
            "While reading data file " + fs::canonical(Path()).string() + test::kSeparator + "b.xml\n");
  EXPECT_EQ(result.out, Progress(1, 3, "a.xml") + Progress(2, 3, "b.xml"));
  EXPECT_EQ(Read(), test::TranslationsFile({SourceLine("\\a.xml@Source@Before", {"Before"})}));
}

#ifndef _WIN32
// Every way the translations file can fail to be written gives one line on
// standard error for the run, naming the file and the reason; standard
// output and the exit status stay as they are.
TEST_F(ExtractRun, TranslationsFileThatCannotBeWrittenIsSaidOnceOnStandardError) {
  Write("a.xml", SourceDocument(SourceString({std::string(200, 'a'), "fr"})));
  Write("b.xml", SourceDocument(SourceString({"Second"})));
  Write("c.xml", GameDocument(GameString({"Game text"})));
  fs::create_directory(Path() / "folder.txt");
  // Whether a folder without write permission stops this user (not root).
  fs::create_directory(Path() / "locked");
  fs::permissions(Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  const bool canBeDenied = !std::ofstream(At("locked/probe")).is_open();

  struct sCase {
    const char* name;
    std::vector<std::string> args;
    const char* reason;
    uint64_t sizeLimit;  // 0: none
  };
  std::vector<sCase> cases = {
      {"missing folder", {"-sx", "missing/out.txt"}, "No such file or directory", 0},
      {"folder of that name", {"-sx", "folder.txt"}, "Is a directory", 0},
      {"name too long", {"-gx", std::string(300, 'n') + ".txt"}, "File name too long", 0},
      {"source run on a full disk", {"-sx", "out.txt"}, "File too large", 100},
      {"game run on a full disk", {"-gx", "out.txt"}, "File too large", 100},
  };
  if (canBeDenied) cases.push_back({"no permission", {"-sx", "locked/out.txt"}, "Permission denied", 0});

  const std::string progress =
      Progress(1, 3, "a.xml") + Progress(2, 3, "b.xml") + Progress(3, 3, "c.xml");
  for (const sCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string complete;
    if (c.sizeLimit != 0) {
      ASSERT_EQ("", Glossmill(c.args).err);
      complete = Read();
      ASSERT_GT(complete.size(), c.sizeLimit);
    }
    const test::ProcessResult result =
        c.sizeLimit != 0 ? test::RunGlossmillWithFileSizeLimit(c.args, At(""), c.sizeLimit)
                         : Glossmill(c.args);
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(progress, result.out);
    EXPECT_EQ("glossmill: could not write '" + c.args[1] + "': " + c.reason + "\n", result.err);
    // A cut-short file holds the complete one's first bytes, nothing else.
    if (c.sizeLimit != 0) {
      EXPECT_EQ(complete.substr(0, c.sizeLimit), Read());
    }
  }
}
#endif
#ifndef _WIN32
TEST_F(ExtractRun, AReaderOfTheProgressThatGoesAwayCutsNothingShort) {
  // Progress lines of some 3600 bytes each: far more than a pipe holds once
  // its reader has left after the first byte.
  std::string deep;
  for (int level = 0; level < 14; ++level) deep += std::string(250, static_cast<char>('a' + level)) + "/";
  const int cFiles = 100;
  for (int i = 0; i < cFiles; ++i)
    Write(deep + std::to_string(i) + ".xml", SourceDocument(SourceString({"T"})));
  const test::ProcessResult result =
      test::Run("sh", {"-c", "{ \"$0\" -sx out.txt; echo $? >status; } | head -c 1", test::GlossmillExe()},
                At(""));
  EXPECT_EQ(result.out, "F");
  EXPECT_EQ(Read("status"), "0\n");
  EXPECT_EQ(Keys(Read()).size(), static_cast<size_t>(cFiles));
}
#endif

// The sample content trees of the repository, extracted as a user would;
// the translations files must equal the expected ones kept beside them,
// byte for byte.
TEST_F(ExtractRun, SampleTreesGiveTheirExpectedTranslationsFiles) {
  const std::string sample = test::SourceDir() + "/sample/";
  fs::copy(sample + "source", At("source"), fs::copy_options::recursive);
  test::ProcessResult result = Glossmill({"-sx", "translations.txt"}, "source");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 4, "source/Rolling Stock/Couplings.xml") +
                            Progress(2, 4, "source/Rolling Stock/Wagons.xml") +
                            Progress(3, 4, "source/Signs/StationSigns.xml") +
                            Progress(4, 4, "source/Signs/Warnings.xml"));
  EXPECT_EQ(Read("source/translations.txt"),
            test::ReadFile(sample + "expected/source-translations.txt"));

  // The game tree as shipped: ".bin" files only, made by the serializer.
  for (const char* name : {"Signs/StationSigns", "Trains/Locomotive"})
    WriteBin(std::string("game/") + name + ".bin", test::ReadFile(sample + "game/" + name + ".xml"));
  fs::copy_file(test::BruxExe(), At("game/brux.exe"));
  result = Glossmill({"-gx", "translations.txt"}, "game");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, Progress(1, 2, "game/Signs/StationSigns.xml") +
                            Progress(2, 2, "game/Trains/Locomotive.xml"));
  EXPECT_EQ(Read("game/translations.txt"), test::ReadFile(sample + "expected/game-translations.txt"));
}

}  // namespace
