// A temporary file is always a new regular file of the run's own. Whatever a
// tree prepared by someone else holds at a data file's temporary name (a
// stale file, a link out of the tree, one that leads nowhere, a second name
// of a file elsewhere) is removed as itself and never written through; a
// directory there makes that file's write fail, its old contents kept and
// its name on standard error. So for the source runs, whose copies are made
// on the commit queue's thread (and one the same as its data file never
// made at all), and for the game runs, one file at a time through the
// serializer.

#include "ContentTree.h"

namespace {

using namespace test;

// What stands at a data file's temporary name before the run.
enum ePlanted { cStaleFile, cDirectory, cLinkOut, cDanglingLink, cHardLinkOut };

// A data file's stem, what is planted, and whether the run changes the data
// file: its French text differs from the translation, and it holds a "Name"
// to replace.
struct sRow {
  std::string mStem;
  ePlanted mPlanted;
  bool mChanged;
};

std::vector<sRow> Rows() {
  std::vector<sRow> rows = {{"a", cStaleFile, true}, {"b", cDirectory, true}, {"c", cStaleFile, false},
                            {"d", cDirectory, false}};
#ifndef _WIN32
  // Windows links need a privilege users rarely hold, and wine makes none.
  rows.insert(rows.end(), {{"e", cLinkOut, true}, {"f", cDanglingLink, true}, {"g", cHardLinkOut, true},
                           {"h", cLinkOut, false}, {"i", cDanglingLink, false}, {"j", cHardLinkOut, false}});
#endif
  return rows;
}

std::string DataFile(bool game, const sRow& row) {
  const tTexts texts = {"Text " + row.mStem, row.mChanged ? "" : "Texte " + row.mStem};
  const std::string name = "Name " + row.mStem;
  if (game) return GameDocument(Join({GameString(texts), row.mChanged ? tTexts{GamePlain("Name", name)} : tTexts{}}));
  return SourceDocument(Join({SourceString(texts), row.mChanged ? SourcePlain("Name", name) : tTexts{}}));
}

// A tree of the rows' data files (".bin" ones in a game run, with the
// stand-in serializer) and the translations file.
void Fill(const ContentTree& tree, bool game, const std::vector<sRow>& rows) {
  tTexts lines;
  for (const sRow& row : rows) {
    game ? tree.WriteBin(row.mStem + ".bin", DataFile(true, row)) : tree.Write(row.mStem + ".xml", DataFile(false, row));
    for (const char* key : {".xml@Source@Text#", ".bin@Game@Text#"})
      lines.push_back(TranslatedLine("\\" + row.mStem + key + row.mStem, {"", "Texte " + row.mStem}));
  }
  tree.Write("in.txt", TranslationsFile(lines));
  if (game) tree.UseSerializer();
}

TEST(TemporaryFiles, WhateverStandsAtTheNameIsRemovedAsItselfAndNeverWrittenThrough) {
  const std::vector<sRow> rows = Rows();
  for (const tTexts& args : {tTexts{"-su", "in.txt"}, tTexts{"-sr", "Name"}, tTexts{"-gu", "in.txt"}, tTexts{"-gr", "Name"}}) {
    SCOPED_TRACE(args[0]);
    const bool game = args[0][1] == 'g';
    // The same run in a tree where nothing was planted gives the new files.
    ContentTree reference, tree;
    Fill(reference, game, rows);
    ASSERT_EQ(reference.Glossmill(args).err, "");
    TempDir outside;
    Fill(tree, game, rows);
    const tFiles before = tree.Files();
    for (const sRow& row : rows) {
      const fs::path temp = tree.At(row.mStem + ".xml.temp");
      const std::string target = outside / row.mStem;  // where a link leads
      if (row.mPlanted == cLinkOut || row.mPlanted == cHardLinkOut) WriteFile(target, "outside");
      if (row.mPlanted == cStaleFile) tree.Write(row.mStem + ".xml.temp", "stale");
      if (row.mPlanted == cDirectory) fs::create_directory(temp);
      if (row.mPlanted == cLinkOut || row.mPlanted == cDanglingLink) fs::create_symlink(target, temp);
      if (row.mPlanted == cHardLinkOut) fs::create_hard_link(target, temp);
    }
    const tFiles outsideBefore = FilesBelow(outside.Path());

    const ProcessResult result = tree.Glossmill(args);
    EXPECT_EQ(result.status, 0);
    // A directory in the way stops that file alone: it keeps its contents
    // (a ".bin" is rebuilt from its old XML form) and is named.
    tFiles expected = reference.Files();
    std::string expectedErr;
    for (const sRow& row : rows) {
      const fs::path temp = tree.At(row.mStem + ".xml.temp");
      EXPECT_EQ(fs::is_directory(fs::symlink_status(temp)), row.mPlanted == cDirectory) << temp;
      EXPECT_EQ(fs::exists(fs::symlink_status(temp)), row.mPlanted == cDirectory) << temp;
      if (row.mPlanted != cDirectory) continue;
      const std::string data = row.mStem + (game ? ".bin" : ".xml");
      expected[data] = before.at(data);
      if (game) expected[row.mStem + ".xml"] = DataFile(true, row);
      expectedErr += "glossmill: could not write '" + tree.Canonical() + kSeparator + row.mStem +
                     ".xml': " + kFolderInTheWay + "\n";
    }
    EXPECT_EQ(result.err, expectedErr);
    ExpectFiles(tree.Files(), expected);
    // Nothing outside the tree changed, nor appeared where a link led.
    ExpectFiles(FilesBelow(outside.Path()), outsideBefore);
  }
}

}  // namespace
