// The serializer conversions and the write-back of temporary files, on real
// files. The stand-in serializer is copied into the temporary directory as
// brux.exe, where the program looks for it first.
#include <gtest/gtest.h>

#include <string>

#include "app/BinaryConversion.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const std::string kXml = "<?xml version=\"1.0\"?>\r\n<Root>\xC3\xA9</Root>\r\n";

class BinaryConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(test::BruxExe(), mDir.Path() / "brux.exe");
    mPreviousDirectory = fs::current_path();
    fs::current_path(mDir.Path());
  }
  void TearDown() override { fs::current_path(mPreviousDirectory); }

  std::string At(const std::string& relative) const { return mDir / relative; }
  cFxWString Wide(const std::string& relative) const { return cFxWString(test::Native(At(relative)).c_str()); }

  test::TempDir mDir;
  fs::path mPreviousDirectory;
};

TEST_F(BinaryConversion, ConversionsReachTheSerializerAndReplaceAStaleTwin) {
  // Quotes and shell characters arrive unchanged; the twin stands in the
  // same directory, whatever its name holds.
#ifdef _WIN32
  const std::string dir = "it's a dir %PATH% ^&;.bin.d";  // no quotes in Windows names
  const std::string outside = "it's a dir %PATH% ^&;.xml.d/a b.xml";
#else
  const std::string dir = "it's a \"dir\" $HOME;.bin.d";
  const std::string outside = "it's a \"dir\" $HOME;.xml.d/a b.xml";
#endif
  test::WriteFile(At(outside), "outside");
  test::WriteFile(At(dir + "/a b.xml"), kXml);
  ConvertXmlToBin(Wide(dir + "/a b.xml"));
  EXPECT_EQ(test::ReadFile(At(dir + "/a b.bin")).find("<Root>"), std::string::npos);
  EXPECT_EQ(test::ReadFile(At(dir + "/a b.xml")), kXml) << "the XML form stays";

  test::WriteFile(At(dir + "/a b.xml"), "stale");
  fs::permissions(At(dir + "/a b.xml"), fs::perms::owner_read);
  ConvertBinToXml(Wide(dir + "/a b.bin"));
  EXPECT_EQ(test::ReadFile(At(dir + "/a b.xml")), kXml);
  EXPECT_EQ(test::ReadFile(At(outside)), "outside");

  test::WriteFile(At("A.BIN"), test::ReadFile(At(dir + "/a b.bin")));
  ConvertBinToXml(Wide("A.BIN"));  // not ".bin" exactly: left alone
  EXPECT_FALSE(test::FileExists(At("A.xml")));
}

TEST_F(BinaryConversion, CommitReplacesTheDataFileOnlyByAnExistingTemporaryFile) {
  using test::tFiles;
  const struct {
    const char *name, *commit;
    tFiles before, after;
    bool readOnly = false;
  } cases[] = {
      {"replaced", "a.xml", {{"a.xml", "old"}, {"a.xml.temp", "new"}}, {{"a.xml", "new"}}},
      {"read-only", "a.xml", {{"a.xml", "old"}, {"a.xml.temp", "new"}}, {{"a.xml", "new"}}, true},
      {"no temporary file", "a.xml", {{"a.xml", "old"}}, {{"a.xml", "old"}}},
      {"no data file", "a.xml", {{"a.xml.temp", "new"}}, {{"a.xml.temp", "new"}}},
      {"bin path", "d.bin/a.bin",  // only the last four characters change
       {{"d.bin/a.bin", "bin"}, {"d.bin/a.xml", "old"}, {"d.bin/a.xml.temp", "new"}},
       {{"d.bin/a.bin", "bin"}, {"d.bin/a.xml", "new"}}},
      {"exact extension", "A.BIN", {{"A.BIN", "old"}, {"A.BIN.temp", "new"}}, {{"A.BIN", "new"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = std::string(c.name) + "/";
    for (const auto& file : c.before) test::WriteFile(At(dir + file.first), file.second);
    if (c.readOnly) fs::permissions(At(dir + c.commit), fs::perms::owner_read);
    CommitTempFile(Wide(dir + c.commit));
    EXPECT_EQ(test::FilesBelow(mDir.Path() / dir), c.after);
  }
}

}  // namespace
