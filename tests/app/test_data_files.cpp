// The data file walker: the filing rules on their own, a walk through links
// and FIFOs (the runs' tests walk plain trees), and the paths of a run
// started at the root of a drive, where no test can start the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "app/RunSupport.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

typedef std::vector<std::string> tPaths;

class DataFiles : public ::testing::Test {
 protected:
  void TearDown() override { ClearDataFiles(); }

  // The filed paths in set order, relative to the tree, with "/" between names.
  tPaths Filed() const {
    tPaths paths;
    for (const cFxWString& path : gDataFiles) {
      std::string relative = NarrowPath(path).c_str() + mTree.Path().string().size() + 1;
      for (char& c : relative)
        if (c == test::kSeparator) c = '/';
      paths.push_back(relative);
    }
    return paths;
  }
  tPaths Walk(const std::string& relative = "") {
    ClearDataFiles();
    WalkDataTree(WidePath((mTree.Path() / relative).string().c_str()));
    return Filed();
  }

  test::TempDir mTree;
};

TEST_F(DataFiles, FilingKeepsTheBinOfATwinPairAndOrdersByCodeUnits) {
  const std::vector<std::pair<tPaths, tPaths>> cases = {
      // found in this order -> filed
      {{"a.bin", "a.xml"}, {"a.bin"}},
      {{"a.xml", "a.bin"}, {"a.bin"}},
      // The twin of A.BIN is formed with the exact-case pattern: A.BIN itself.
      {{"A.xml", "A.BIN"}, {"A.BIN", "A.xml"}},
      // Only the final extension makes a twin, whatever the directories hold.
      {{"d.bin/a.xml", "d.bin/a.bin"}, {"d.bin/a.bin"}},
      {{"d.xml/a.xml", "d.xml/a.bin", "d.bin/a.xml"}, {"d.bin/a.xml", "d.xml/a.bin"}},
      {{"b.Xml", "c.BiN", "e.txt", "f", "g.xml.bak", "xml", "h.bin.temp", "i.xmlx", ".xml"},
       {".xml", "b.Xml", "c.BiN"}},
      // Upper case first; the dot before digits and before the separator.
      {{"x/a.xml", "a.xml", "x.xml", "B.xml", "A.xml", "a1.xml", "a.bin.xml"},
       {"A.xml", "B.xml", "a.bin.xml", "a.xml", "a1.xml", "x.xml", "x/a.xml"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.first));
    ClearDataFiles();
    for (const std::string& relative : c.first) {
      const fs::path full = mTree.Path() / relative;
      AddDataFile(cFxWString(full.parent_path().string().c_str()), cFxWString(full.filename().string().c_str()));
    }
    EXPECT_EQ(Filed(), c.second);
  }
}

#ifndef _WIN32
// Links, FIFOs and byte names: POSIX only (making links on Windows needs a
// privilege users rarely hold, Windows has no FIFOs in directories, and its
// names are 16-bit text).
TEST_F(DataFiles, WalkFollowsLinksEndsLoopsSkipsFifosAndKeepsByteNames) {
  for (const char* name : {"sub/b.xml", "deep/er/z.bin", "caf\xC3\xA9-\xE9.xml"})
    test::WriteFile(mTree / name, "x");
  // Only regular files are data: a reader of a FIFO would wait forever.
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
