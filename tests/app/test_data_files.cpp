// The data file walker: the filing rules on their own, and walks over real
// trees in temporary directories.
#include <gtest/gtest.h>

#include <iterator>
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

  void Touch(const std::string& relative) { test::WriteFile(mTree / relative, "x"); }
  // The filed paths in set order, relative to the tree, in 8-bit form.
  tPaths Filed() const {
    tPaths paths;
    for (const cFxWString& path : gDataFiles)
      paths.push_back(cFxString(path).c_str() + mTree.Path().string().size() + 1);
    return paths;
  }
  tPaths Walk(const std::string& relative = "") {
    ClearDataFiles();
    WalkDataTree(cFxWString((mTree.Path() / relative).string().c_str()));
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
      // Below old.bin.d the twin of a.bin is old.xml.d/a.xml: a.xml is
      // dropped only when a.bin comes first.
      {{"old.bin.d/a.bin", "old.bin.d/a.xml"}, {"old.bin.d/a.bin"}},
      {{"old.bin.d/a.xml", "old.bin.d/a.bin"}, {"old.bin.d/a.bin", "old.bin.d/a.xml"}},
      {{"b.Xml", "c.BiN", "d.XML", "e.txt", "f", "g.xml.bak", "xml", "h.bin.temp", "i.xmlx",
        ".xml"},
       {".xml", "b.Xml", "c.BiN", "d.XML"}},
      // Upper case before lower case; the dot before digits and before the
      // separator; a proper prefix first.
      {{"x/a.xml", "a.xml", "x.xml", "B.xml", "A.xml", "b.xml", "a1.xml", "a.bin.xml"},
       {"A.xml", "B.xml", "a.bin.xml", "a.xml", "a1.xml", "b.xml", "x.xml", "x/a.xml"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.first));
    ClearDataFiles();
    for (const std::string& relative : c.first) {
      const fs::path full = mTree.Path() / relative;
      AddDataFile(cFxWString(full.parent_path().c_str()), cFxWString(full.filename().c_str()));
    }
    EXPECT_EQ(Filed(), c.second);
  }
}

TEST_F(DataFiles, WalkFilesEveryDataFileBelowTheDirectory) {
  EXPECT_EQ(Walk(), tPaths{});
  for (const char* name :
       {"a.bin", "a.xml", "sub/b.xml", "sub/b.bin", "deep/er/z.bin", "data.bin/in.xml"})
    Touch(name);
  // Directories are walked into, never filed, whatever their names.
  fs::create_directories(mTree.Path() / "empty.xml");
  // Names are bytes: they enter by sign extension and leave by the low byte.
  Touch("caf\xC3\xA9-\xE9.xml");
  // A link back into the open path is not followed round in a circle; one
  // that leads elsewhere is walked like the directory it names.
  fs::create_directory_symlink(mTree.Path(), mTree.Path() / "sub" / "back");
  fs::create_directory_symlink(mTree.Path() / "sub", mTree.Path() / "sub" / "self");
  fs::create_directory_symlink(mTree.Path() / "deep", mTree.Path() / "sub" / "link");
  EXPECT_EQ(Walk(), (tPaths{"a.bin", "caf\xC3\xA9-\xE9.xml", "data.bin/in.xml", "deep/er/z.bin",
                            "sub/b.bin", "sub/link/er/z.bin"}));
  const cFxWString filed = *std::next(gDataFiles.begin());
  EXPECT_EQ(std::u16string(filed.c_str() + mTree.Path().string().size() + 1),
            u"caf\uFFC3\uFFA9-\uFFE9.xml");
}

TEST_F(DataFiles, DirectoryThatCannotBeEnumeratedIsReportedAndSkipped) {
  Touch("a.xml");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Walk("no-such-dir"), tPaths{});
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: failed to find first file\n");

  Touch("locked/b.xml");
  fs::permissions(mTree.Path() / "locked", fs::perms::none);
  std::error_code error;
  if (fs::directory_iterator(mTree.Path() / "locked", error) != fs::directory_iterator())
    GTEST_SKIP() << "running with privileges that ignore directory permissions";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Walk(), (tPaths{"a.xml"}));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: failed to find first file\n");
}

TEST(DataFilePaths, ProgressLineAndJoin) {
  ::testing::internal::CaptureStdout();
  PrintProgressLine(3, 12, cFxWString(u"/t/caf\u00E9\uFFE9\u0416.xml"));
  // Each unit keeps its low byte: U+00E9 and U+FFE9 both give 0xE9, U+0416
  // gives 0x16.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File 3 / 12 : /t/caf\xE9\xE9\x16.xml\n");
  // No second separator after a root.
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(u"/"), cFxWString(u"a.xml")).c_str()), u"/a.xml");
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(u"/d"), cFxWString(u"a.xml")).c_str()), u"/d/a.xml");
}

}  // namespace
