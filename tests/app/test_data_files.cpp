// The data file walker: the filing rules on their own, a walk through links
// and FIFOs (the runs' tests walk plain trees), and the paths of a run
// started at the root of a drive, where no test can start the program.

#include "ContentTree.h"
#include "app/DataFiles.h"
#include "app/RunSupport.h"

namespace {

using namespace test;

typedef std::vector<std::string> tPaths;

class DataFiles : public ::testing::Test {
 protected:
  void TearDown() override { ClearDataFiles(); }
  // The filed paths in set order, relative to the tree, with "/" between names.
  tPaths Walk() {
    WalkDataTree(WidePath(mTree.Path().string().c_str()));
    tPaths paths;
    for (const cFxWString& path : gDataFiles) {
      std::string relative = NarrowPath(path).c_str() + mTree.Path().string().size() + 1;
      paths.push_back(fs::path(relative).generic_string());
    }
    return paths;
  }

  TempDir mTree;
};

TEST_F(DataFiles, FilingKeepsTheBinOfATwinPairAndOrdersByCodeUnits) {
  // Names found in one directory, in this order -> its data files. The twin
  // of A.BIN is formed with the exact-case pattern: A.BIN itself.
  const std::vector<std::pair<tPaths, tPaths>> cases = {
      {{"a.bin", "a.xml"}, {"a.bin"}}, {{"a.xml", "a.bin"}, {"a.bin"}}, {{"A.xml", "A.BIN"}, {"A.BIN", "A.xml"}},
      {{"b.Xml", "c.BiN", "e.txt", "f", "g.xml.bak", "xml", "h.bin.temp", "i.xmlx", ".xml"}, {".xml", "b.Xml", "c.BiN"}},
  };
  for (const auto& [names, kept] : cases) {
    std::vector<cFxWString> wide;
    for (const std::string& name : names) wide.push_back(cFxWString(name.c_str()));
    tPaths filed;
    for (const cFxWString& name : DataFileNamesAmong(wide)) filed.push_back(NarrowPath(name).c_str());
    EXPECT_EQ(filed, kept) << ::testing::PrintToString(names);
  }
  // Over a tree: only the final extension makes a twin, whatever the
  // directories hold; upper case first, the dot before the separator and
  // the separator before the underscore, wherever a directory's files and
  // the files below its subdirectories meet.
  for (const char* name : {"x/a.xml", "x.xml", "x_1.xml", "x-y/a.xml", "B.xml", "A.xml", "a1.xml", "a.bin.xml",
                           "d.bin/a.xml", "d.bin/a.bin", "d.xml/a.xml", "d.xml/a.bin", "e.bin/a.xml"})
    WriteFile(mTree / name, "x");
  const tPaths walked = {"A.xml",       "B.xml",       "a.bin.xml", "a1.xml", "d.bin/a.bin", "d.xml/a.bin",
                         "e.bin/a.xml", "x-y/a.xml",   "x.xml",     "x/a.xml", "x_1.xml"};
  EXPECT_EQ(Walk(), walked);
  EXPECT_EQ(CountDataFiles(WidePath(mTree.Path().string().c_str())), walked.size());
}

// Out of order or twice: left out.
TEST(DataFileList, KeepsEveryUnitInOrderAndErasesAnyPath) {
  const std::vector<std::u16string> paths = {u"/t/A.xml", u"/t/caf\u00E9.xml", u"/t/caf\u00E9/\u0416.bin",
                                             u"/t/caf\u00E9/\u0416\xDCE9.xml", u"/t/\uFFFF.xml"};
  for (size_t erased = 0; erased <= paths.size(); ++erased) {
    cDataFileList list;
    for (const std::u16string& path : paths) list.Append(cFxWString(path.c_str()));
    list.Append(cFxWString(u"/t/0.xml"));
    list.Append(cFxWString(paths.back().c_str()));
    std::vector<std::u16string> expected = paths;
    if (erased < paths.size()) {
      auto at = list.begin();
      for (size_t i = 0; i < erased; ++i) ++at;
      list.Erase(at);
      expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(erased));
    }
    std::vector<std::u16string> listed;
    for (const cFxWString& path : list) listed.push_back(std::u16string(path.c_str(), path.Length()));
    EXPECT_EQ(listed, expected) << "erased " << erased;
    EXPECT_EQ(list.size(), expected.size());
  }
}

#ifndef _WIN32
// Links, FIFOs and byte names: POSIX only (making links on Windows needs a
// privilege users rarely hold, Windows has no FIFOs in directories, and its
// names are 16-bit text). Only regular files are data: a reader of a FIFO
// would wait forever.
TEST_F(DataFiles, WalkFollowsLinksEndsLoopsSkipsFifosAndKeepsByteNames) {
  for (const char* name : {"sub/b.xml", "deep/er/z.bin", "caf\xC3\xA9-\xE9.xml"}) WriteFile(mTree / name, "x");
  ASSERT_EQ(test::Run("mkfifo", {"fifo.xml", "sub/fifo.bin"}, mTree.Path().string()).status, 0);
  fs::create_directory_symlink(mTree.Path(), mTree.Path() / "sub" / "back");
  fs::create_directory_symlink(mTree.Path() / "sub", mTree.Path() / "sub" / "self");
  fs::create_directory_symlink(mTree.Path() / "deep", mTree.Path() / "sub" / "link");
  EXPECT_EQ(Walk(), (tPaths{"caf\xC3\xA9-\xE9.xml", "deep/er/z.bin", "sub/b.xml", "sub/link/er/z.bin"}));
}
#endif

// A root ends with the separator already: a data file's path gets no second
// one, and the key base leaves it to the key path.
TEST(DataFilePaths, AtTheRootOfADriveNoSeparatorIsDoubled) {
#ifdef _WIN32
  const std::u16string root = u"C:\\", rootBase = u"C:", inRoot = u"C:\\a.xml";
#else
  const std::u16string root = u"/", rootBase = u"", inRoot = u"/a.xml";
#endif
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(root.c_str()), cFxWString(u"a.xml")).c_str()), inRoot);
  EXPECT_EQ(std::u16string(KeyBaseOf(cFxWString(root.c_str())).c_str()), rootBase);
}

}  // namespace
