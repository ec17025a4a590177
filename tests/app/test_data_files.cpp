// The data file walker: the filing rules on their own, and walks over real
// trees in temporary directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

typedef std::vector<std::string> tPaths;

class DataFiles : public ::testing::Test {
 protected:
  void TearDown() override { ClearDataFiles(); }

  // The filed paths in set order, relative to the tree, in 8-bit form with
  // "/" between names.
  tPaths Filed() const {
    tPaths paths;
    for (const cFxWString& path : gDataFiles) {
      std::string relative = NarrowPath(path).c_str() + mTree.Path().string().size() + 1;
      for (char& c : relative) {
        if (c == test::kSeparator) c = '/';
      }
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

TEST_F(DataFiles, WalkEntersEveryDirectory) {
  for (const char* name : {"sub/b.xml", "deep/er/z.bin", "data.bin/in.xml", "A.XML"})
    test::WriteFile(mTree / name, "x");
  fs::create_directories(mTree.Path() / "empty.xml");
  EXPECT_EQ(Walk(), (tPaths{"A.XML", "data.bin/in.xml", "deep/er/z.bin", "sub/b.xml"}));
  // A directory that cannot be enumerated is reported and skipped.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Walk("no-such-dir"), tPaths{});
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: failed to find first file\n");
}

#ifndef _WIN32
// Links, FIFOs and byte names: POSIX only (making links on Windows needs a
// privilege users rarely hold, Windows has no FIFOs in directories, and its
// names are 16-bit text).
TEST_F(DataFiles, WalkFollowsLinksEndsLoopsSkipsFifosAndKeepsByteNames) {
  for (const char* name : {"sub/b.xml", "deep/er/z.bin", "caf\xC3\xA9-\xE9.xml"})
    test::WriteFile(mTree / name, "x");
  // Only regular files are data: a reader of a FIFO would wait forever.
  ASSERT_EQ(test::Run("mkfifo", {"fifo.xml", "sub/fifo.bin"}, mTree.Path()).status, 0);
  fs::create_directory_symlink(mTree.Path(), mTree.Path() / "sub" / "back");
  fs::create_directory_symlink(mTree.Path() / "sub", mTree.Path() / "sub" / "self");
  fs::create_directory_symlink(mTree.Path() / "deep", mTree.Path() / "sub" / "link");
  EXPECT_EQ(Walk(), (tPaths{"caf\xC3\xA9-\xE9.xml", "deep/er/z.bin", "sub/b.xml", "sub/link/er/z.bin"}));
}
#endif

TEST(DataFilePaths, ProgressLineAndJoin) {
  ::testing::internal::CaptureStdout();
  PrintProgressLine(3, 12, cFxWString(u"/t/caf\u00E9\xDCE9\u0416.xml"));
#ifdef _WIN32
  // A Windows name's 8-bit form keeps the low byte of each unit. (The
  // capture reads standard output back in text mode.)
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File 3 / 12 : /t/caf\xE9\xE9\x16.xml\n");
  const std::u16string root = u"C:\\", directory = u"C:\\d", inRoot = u"C:\\a.xml", inDirectory = u"C:\\d\\a.xml";
#else
  // The name's own bytes, whatever they are.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File 3 / 12 : /t/caf\xC3\xA9\xE9\xD0\x96.xml\n");
  const std::u16string root = u"/", directory = u"/d", inRoot = u"/a.xml", inDirectory = u"/d/a.xml";
#endif
  // A root ends with the separator already: no second one is added.
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(root.c_str()), cFxWString(u"a.xml")).c_str()), inRoot);
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(directory.c_str()), cFxWString(u"a.xml")).c_str()), inDirectory);
}

}  // namespace
