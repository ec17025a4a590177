// The data file walker on real trees in temporary directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

typedef std::vector<std::string> tPaths;

class DataFiles : public ::testing::Test {
 protected:
  void SetUp() override { ClearDataFiles(); }
  void TearDown() override { ClearDataFiles(); }

  std::string Root() const { return mTree.Path().string(); }
  cFxWString WideRoot() const { return cFxWString(Root().c_str()); }
  cFxWString WideDir(const std::string& relative) const {
    return cFxWString((mTree / relative).c_str());
  }
  void Touch(const std::string& relative) { test::WriteFile(mTree / relative, "x"); }

  // The filed paths in set order, relative to the tree, in 8-bit form.
  tPaths Filed() const {
    tPaths paths;
    const std::string prefix = Root() + "/";
    for (const cFxWString& path : gDataFiles) {
      const cFxString narrow(path);
      std::string text(narrow.c_str(), narrow.Length());
      if (text.compare(0, prefix.size(), prefix) == 0) text.erase(0, prefix.size());
      paths.push_back(text);
    }
    return paths;
  }

  tPaths Walk() {
    ClearDataFiles();
    WalkDataTree(WideRoot());
    return Filed();
  }

  test::TempDir mTree;
};

TEST_F(DataFiles, BinFileWinsOverItsXmlFormInEitherOrder) {
  Touch("a.bin");
  Touch("a.xml");
  Touch("sub/b.xml");
  Touch("sub/b.bin");
  EXPECT_EQ(Walk(), (tPaths{"a.bin", "sub/b.bin"}));

  ClearDataFiles();
  AddDataFile(WideRoot(), cFxWString(u"a.bin"));
  AddDataFile(WideRoot(), cFxWString(u"a.xml"));
  EXPECT_EQ(Filed(), (tPaths{"a.bin"}));

  ClearDataFiles();
  AddDataFile(WideRoot(), cFxWString(u"a.xml"));
  AddDataFile(WideRoot(), cFxWString(u"a.bin"));
  EXPECT_EQ(Filed(), (tPaths{"a.bin"}));
}

TEST_F(DataFiles, TwinsAreFormedWithExactCase) {
  // The twin of A.BIN is A.BIN itself, so A.xml is kept beside it.
  Touch("A.BIN");
  Touch("A.xml");
  EXPECT_EQ(Walk(), (tPaths{"A.BIN", "A.xml"}));

  ClearDataFiles();
  AddDataFile(WideRoot(), cFxWString(u"A.xml"));
  AddDataFile(WideRoot(), cFxWString(u"A.BIN"));
  EXPECT_EQ(Filed(), (tPaths{"A.BIN", "A.xml"}));
}

TEST_F(DataFiles, TwinRuleReplacesEveryBinOfThePath) {
  // Below old.bin.d the twin of a.bin is old.xml.d/a.xml, which is not
  // filed: a.xml is dropped only when a.bin comes first.
  const cFxWString dir = WideDir("old.bin.d");
  AddDataFile(dir, cFxWString(u"a.bin"));
  AddDataFile(dir, cFxWString(u"a.xml"));
  EXPECT_EQ(Filed(), (tPaths{"old.bin.d/a.bin"}));

  ClearDataFiles();
  AddDataFile(dir, cFxWString(u"a.xml"));
  AddDataFile(dir, cFxWString(u"a.bin"));
  EXPECT_EQ(Filed(), (tPaths{"old.bin.d/a.bin", "old.bin.d/a.xml"}));
}

TEST_F(DataFiles, OnlyBinAndXmlNamesAreFiledInAnyCase) {
  for (const char* name : {"b.Xml", "c.BiN", "d.XML", "e.txt", "f", "g.xml.bak", "xml", "h.bin.temp",
                           "i.xmlx", ".xml"})
    Touch(name);
  EXPECT_EQ(Walk(), (tPaths{".xml", "b.Xml", "c.BiN", "d.XML"}));
}

TEST_F(DataFiles, DirectoriesAreWalkedAndNeverFiled) {
  fs::create_directories(mTree.Path() / "data.bin");
  fs::create_directories(mTree.Path() / "empty.xml");
  Touch("data.bin/inner.xml");
  Touch("deep/er/still/z.bin");
  EXPECT_EQ(Walk(), (tPaths{"data.bin/inner.xml", "deep/er/still/z.bin"}));
}

TEST_F(DataFiles, SetIsOrderedByCodeUnits) {
  for (const char* name : {"x/a.xml", "a.xml", "x.xml", "B.xml", "A.xml", "b.xml", "a1.xml", "a.bin.xml"})
    Touch(name);
  // Upper case before lower case; the dot before digits and before the
  // separator; a proper prefix first.
  EXPECT_EQ(Walk(), (tPaths{"A.xml", "B.xml", "a.bin.xml", "a.xml", "a1.xml", "b.xml", "x.xml",
                            "x/a.xml"}));
}

TEST_F(DataFiles, ByteNamesRoundTrip) {
  // Names are bytes: they enter by sign extension and leave by the low byte.
  const std::string name = "caf\xC3\xA9-\xE9.xml";
  Touch(name);
  EXPECT_EQ(Walk(), (tPaths{name}));
  const cFxWString filed = *gDataFiles.begin();
  const uint32_t start = WideRoot().Length() + 1;
  EXPECT_EQ(std::u16string(filed.c_str() + start), u"caf\uFFC3\uFFA9-\uFFE9.xml");
}

TEST_F(DataFiles, LinkBackIntoTheTreeIsNotFollowedRoundInACircle) {
  Touch("b.xml");
  Touch("sub/a.xml");
  Touch("other/c.xml");
  fs::create_directory_symlink(mTree.Path(), mTree.Path() / "sub" / "back");
  fs::create_directory_symlink(mTree.Path() / "sub", mTree.Path() / "sub" / "self");
  // A link that leads elsewhere is walked like the directory it names.
  fs::create_directory_symlink(mTree.Path() / "other", mTree.Path() / "sub" / "link");
  EXPECT_EQ(Walk(), (tPaths{"b.xml", "other/c.xml", "sub/a.xml", "sub/link/c.xml"}));
}

TEST_F(DataFiles, DirectoryThatCannotBeEnumeratedIsReportedAndSkipped) {
  Touch("a.xml");
  Touch("locked/b.xml");
  Touch("z.xml");
  fs::permissions(mTree.Path() / "locked", fs::perms::none);
  // Permissions do not stop a privileged user; nothing to test then.
  std::error_code error;
  const bool readable =
      fs::directory_iterator(mTree.Path() / "locked", error) != fs::directory_iterator();
  if (readable) GTEST_SKIP() << "running with privileges that ignore directory permissions";

  ::testing::internal::CaptureStdout();
  const tPaths filed = Walk();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: failed to find first file\n");
  EXPECT_EQ(filed, (tPaths{"a.xml", "z.xml"}));
}

TEST_F(DataFiles, MissingStartDirectoryIsReported) {
  Touch("a-file.xml");
  ::testing::internal::CaptureStdout();
  WalkDataTree(WideDir("no-such-dir"));
  WalkDataTree(WideDir("a-file.xml"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Error: failed to find first file\nError: failed to find first file\n");
  EXPECT_TRUE(gDataFiles.empty());
}

TEST_F(DataFiles, EmptyTreeFilesNothingAndClearEmpties) {
  EXPECT_EQ(Walk(), tPaths{});
  Touch("a.xml");
  EXPECT_EQ(Walk(), (tPaths{"a.xml"}));
  ClearDataFiles();
  EXPECT_TRUE(gDataFiles.empty());
}

TEST(DataFilePaths, JoinAddsNoSecondSeparatorAfterARoot) {
  const wchar16 root[2] = {cFxNativeSeparator, 0};
  const cFxWString name(u"a.xml");
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(root), name).c_str()),
            std::u16string(root) + u"a.xml");
  EXPECT_EQ(std::u16string(JoinPath(cFxWString(u"d"), name).c_str()),
            std::u16string(u"d") + root + u"a.xml");
}

TEST(DataFilePaths, TwinsReplaceEveryOccurrenceExactly) {
  EXPECT_EQ(std::u16string(XmlTwinOf(cFxWString(u"/d.bin/a.bin")).c_str()), u"/d.xml/a.xml");
  EXPECT_EQ(std::u16string(XmlTwinOf(cFxWString(u"/d/A.BIN")).c_str()), u"/d/A.BIN");
  EXPECT_EQ(std::u16string(BinTwinOf(cFxWString(u"/x.xml.d/a.xml")).c_str()), u"/x.bin.d/a.bin");
}

TEST(DataFilePaths, ProgressLineShowsThePathInEightBitForm) {
  ::testing::internal::CaptureStdout();
  PrintProgressLine(3, 12, cFxWString(u"/t/caf\u00E9\uFFE9\u0416.xml"));
  // Each unit keeps its low byte: U+00E9 and U+FFE9 both give 0xE9, U+0416
  // gives 0x16.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File 3 / 12 : /t/caf\xE9\xE9\x16.xml\n");
}

}  // namespace
