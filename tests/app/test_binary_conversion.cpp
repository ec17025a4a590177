// The conversion of ".bin" data files through the serializer and the
// write-back of temporary files, on real files. The stand-in serializer is
// copied into the temporary directory as brux.exe, which is where the
// program looks for it first, and the test runs with that directory as its
// current directory.
#include <gtest/gtest.h>

#include <string>

#include "app/BinaryConversion.h"
#include "app/DataFiles.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const std::string kXml =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root>\r\n\t<A d:type=\"cDeltaString\">\xC3\xA9</A>\r\n</Root>\r\n";

class BinaryConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(test::BruxExe(), mDir.Path() / "brux.exe");
    mPreviousDirectory = fs::current_path();
    fs::current_path(mDir.Path());
    ClearDataFiles();
  }
  void TearDown() override {
    ClearDataFiles();
    fs::current_path(mPreviousDirectory);
  }

  std::string At(const std::string& relative) const { return mDir / relative; }
  cFxWString Wide(const std::string& relative) const { return cFxWString(At(relative).c_str()); }

  // A ".bin" file holding `xml`, made by the serializer itself.
  void MakeBin(const std::string& relative, const std::string& xml) {
    const std::string source = At(relative + ".source.xml");
    test::WriteFile(source, xml);
    const test::ProcessResult made = test::Run(test::BruxExe(), {source}, mDir.Path().string());
    ASSERT_EQ(made.status, 0) << made.err;
    fs::rename(At(relative + ".source.bin"), At(relative));
    fs::remove(source);
  }

  static void MakeReadOnly(const std::string& path) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }

  test::TempDir mDir;
  fs::path mPreviousDirectory;
};

TEST_F(BinaryConversion, BinToXmlWritesTheXmlTwin) {
  MakeBin("a.bin", kXml);
  ConvertBinToXml(Wide("a.bin"));
  EXPECT_EQ(test::ReadFile(At("a.xml")), kXml);
  EXPECT_TRUE(test::FileExists(At("a.bin")));
}

TEST_F(BinaryConversion, BinToXmlReplacesAStaleTwinEvenWhenReadOnly) {
  MakeBin("a.bin", kXml);
  test::WriteFile(At("a.xml"), "<Stale/>");
  MakeReadOnly(At("a.xml"));
  ConvertBinToXml(Wide("a.bin"));
  EXPECT_EQ(test::ReadFile(At("a.xml")), kXml);
}

TEST_F(BinaryConversion, FailedConversionLeavesNoStaleTwin) {
  test::WriteFile(At("a.bin"), "not a binary data file");
  test::WriteFile(At("a.xml"), "<Stale/>");
  ConvertBinToXml(Wide("a.bin"));
  EXPECT_FALSE(test::FileExists(At("a.xml")));
}

TEST_F(BinaryConversion, BinToXmlLeavesOtherNamesAlone) {
  MakeBin("A.BIN", kXml);
  test::WriteFile(At("b.xml"), "<B/>");
  ConvertBinToXml(Wide("A.BIN"));
  ConvertBinToXml(Wide("b.xml"));
  EXPECT_FALSE(test::FileExists(At("A.xml")));
  EXPECT_FALSE(test::FileExists(At("A.XML")));
  EXPECT_EQ(test::ReadFile(At("b.xml")), "<B/>");
}

TEST_F(BinaryConversion, TwinNameChangesEveryBinOfThePath) {
  fs::create_directories(At("old.xml.d"));
  MakeBin("old.bin.d/a.bin", kXml);
  ConvertBinToXml(Wide("old.bin.d/a.bin"));
  EXPECT_EQ(test::ReadFile(At("old.xml.d/a.xml")), kXml);
  EXPECT_FALSE(test::FileExists(At("old.bin.d/a.xml")));
}

TEST_F(BinaryConversion, PathsReachTheSerializerUnchanged) {
  // Spaces, quotes and shell characters: the serializer is started directly.
  const std::string dir = "it's a \"dir\" $HOME;";
  MakeBin(dir + "/a b.bin", kXml);
  ConvertBinToXml(Wide(dir + "/a b.bin"));
  EXPECT_EQ(test::ReadFile(At(dir + "/a b.xml")), kXml);
}

TEST_F(BinaryConversion, ConvertAllConvertsEveryBinOfTheSet) {
  MakeBin("a.bin", kXml);
  MakeBin("sub/b.bin", "<B/>");
  test::WriteFile(At("c.xml"), "<C/>");
  WalkDataTree(cFxWString(mDir.Path().c_str()));
  ConvertAllBinToXml();
  EXPECT_EQ(test::ReadFile(At("a.xml")), kXml);
  EXPECT_EQ(test::ReadFile(At("sub/b.xml")), "<B/>");
  EXPECT_EQ(test::ReadFile(At("c.xml")), "<C/>");
}

TEST_F(BinaryConversion, XmlToBinRebuildsTheBinAndKeepsTheXml) {
  test::WriteFile(At("a.xml"), kXml);
  test::WriteFile(At("a.bin"), "old");
  ConvertXmlToBin(Wide("a.xml"));
  const std::string bin = test::ReadFile(At("a.bin"));
  EXPECT_NE(bin, "old");
  EXPECT_EQ(bin.find("<Root>"), std::string::npos) << "the binary form is not XML";
  EXPECT_EQ(test::ReadFile(At("a.xml")), kXml);

  fs::remove(At("a.xml"));
  ConvertBinToXml(Wide("a.bin"));
  EXPECT_EQ(test::ReadFile(At("a.xml")), kXml);
}

// ---- write-back ----------------------------------------------------------------

TEST_F(BinaryConversion, CommitReplacesTheDataFileByItsTemporaryFile) {
  test::WriteFile(At("a.xml"), "old");
  test::WriteFile(At("a.xml.temp"), "new");
  CommitTempFile(Wide("a.xml"));
  EXPECT_EQ(test::ReadFile(At("a.xml")), "new");
  EXPECT_FALSE(test::FileExists(At("a.xml.temp")));
}

TEST_F(BinaryConversion, CommitWithoutTemporaryFileChangesNothing) {
  test::WriteFile(At("a.xml"), "old");
  CommitTempFile(Wide("a.xml"));
  EXPECT_EQ(test::ReadFile(At("a.xml")), "old");
  CommitTempFile(Wide("missing.xml"));
  EXPECT_FALSE(test::FileExists(At("missing.xml")));
}

TEST_F(BinaryConversion, CommitReplacesAReadOnlyDataFile) {
  test::WriteFile(At("a.xml"), "old");
  MakeReadOnly(At("a.xml"));
  test::WriteFile(At("a.xml.temp"), "new");
  CommitTempFile(Wide("a.xml"));
  EXPECT_EQ(test::ReadFile(At("a.xml")), "new");
  EXPECT_FALSE(test::FileExists(At("a.xml.temp")));
}

TEST_F(BinaryConversion, CommitOfABinPathChangesOnlyItsLastFourCharacters) {
  test::WriteFile(At("d.bin/a.bin"), "binary");
  test::WriteFile(At("d.bin/a.xml"), "old");
  test::WriteFile(At("d.bin/a.xml.temp"), "new");
  CommitTempFile(Wide("d.bin/a.bin"));
  EXPECT_EQ(test::ReadFile(At("d.bin/a.xml")), "new");
  EXPECT_EQ(test::ReadFile(At("d.bin/a.bin")), "binary");
  EXPECT_FALSE(test::FileExists(At("d.xml")));

  // The extension test is exact: A.BIN is its own target.
  test::WriteFile(At("A.BIN"), "old");
  test::WriteFile(At("A.BIN.temp"), "new");
  CommitTempFile(Wide("A.BIN"));
  EXPECT_EQ(test::ReadFile(At("A.BIN")), "new");
}

TEST_F(BinaryConversion, FailedCommitKeepsBothFiles) {
  // A directory in the data file's place cannot be replaced by a file.
  test::WriteFile(At("a.xml/inside"), "kept");
  test::WriteFile(At("a.xml.temp"), "new");
  CommitTempFile(Wide("a.xml"));
  EXPECT_EQ(test::ReadFile(At("a.xml/inside")), "kept");
  EXPECT_EQ(test::ReadFile(At("a.xml.temp")), "new");
}

// ---- the stand-in serializer itself ----------------------------------------------

TEST_F(BinaryConversion, StandInSerializerRejectsBadInput) {
  const std::string dir = mDir.Path().string();
  test::WriteFile(At("plain.bin"), kXml);
  const test::ProcessResult wrongMagic =
      test::Run(test::BruxExe(), {"plain.bin", "plain.xml", "-floathex"}, dir);
  EXPECT_NE(wrongMagic.status, 0);
  EXPECT_NE(wrongMagic.err, "");
  EXPECT_FALSE(test::FileExists(At("plain.xml")));

  const test::ProcessResult missing = test::Run(test::BruxExe(), {"missing.xml"}, dir);
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.err, "");
  EXPECT_FALSE(test::FileExists(At("missing.bin")));

  const test::ProcessResult badSwitch =
      test::Run(test::BruxExe(), {"a.bin", "a.xml", "-other"}, dir);
  EXPECT_NE(badSwitch.status, 0);
}

TEST_F(BinaryConversion, StandInSerializerRoundTripsEveryByte) {
  std::string bytes;
  for (int i = 0; i < 3 * 256; ++i) bytes += static_cast<char>(i * 7);
  test::WriteFile(At("all.xml"), bytes);
  const std::string dir = mDir.Path().string();
  ASSERT_EQ(test::Run(test::BruxExe(), {"all.xml"}, dir).status, 0);
  const std::string bin = test::ReadFile(At("all.bin"));
  EXPECT_EQ(bin.size(), bytes.size() + 8);
  ASSERT_EQ(test::Run(test::BruxExe(), {"all.bin", "back.xml"}, dir).status, 0);
  EXPECT_EQ(test::ReadFile(At("back.xml")), bytes);
}

}  // namespace
