// cFxPath: internal forms are normalised, OS paths become internal forms.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "xml/cFxPath.h"

namespace {

namespace fs = std::filesystem;

std::string Text(const cFxPath& path) { return path.GetText().c_str(); }

// The normalised text of a valid path; "<invalid: text>" otherwise.
std::string Normal(const char* text) {
  cFxPath path(text);
  return path.IsValid() ? Text(path) : "<invalid: " + Text(path) + ">";
}

TEST(PathInternalForm, DotAndDotDotAreResolved) {
  EXPECT_EQ("@os:/a/c.xml", Normal("@os:/a/./b/../c.xml"));
  EXPECT_EQ("@os:c/a/c.xml", Normal("@os:c/a/./b/../c.xml"));
  EXPECT_EQ("@os:/a/b", Normal("@os:/a/b/."));
  EXPECT_EQ("@os:/", Normal("@os:/a/.."));
  EXPECT_EQ("@os:/", Normal("@os:/"));
  EXPECT_EQ("@os:", Normal("@os:"));
}

TEST(PathInternalForm, LeadingDotDotsThatFindNothingAreKept) {
  EXPECT_EQ("@os:../../a", Normal("@os:../../a/b/.."));
  EXPECT_EQ("@os:../b", Normal("@os:a/../../b"));
  EXPECT_EQ("@os:/../x", Normal("@os:/../x"));
  EXPECT_EQ("@os:../..", Normal("@os:../x/../.."));
}

TEST(PathInternalForm, BackslashesBecomeSlashesExceptTheNetworkPrefix) {
  EXPECT_EQ("@os:/a/b/c.xml", Normal("@os:/a\\b\\c.xml"));
  EXPECT_EQ("@os:\\\\server/share/a.xml", Normal("@os:\\\\server\\share\\x\\..\\a.xml"));
  EXPECT_EQ("@os:\\\\server", Normal("@os:\\\\server"));
}

TEST(PathInternalForm, EmptySegmentsAndColonsMakeThePathInvalid) {
  // The root's own slash is no empty segment, but two in a row are.
  EXPECT_EQ("<invalid: @os://a>", Normal("@os://a"));
  EXPECT_EQ("<invalid: @os:/a//b.xml>", Normal("@os:/a//b.xml"));
  EXPECT_EQ("<invalid: @os:/a/b/>", Normal("@os:/a/b/"));
  EXPECT_EQ("<invalid: @os:/a/b:c.xml>", Normal("@os:/a/b:c.xml"));
  EXPECT_EQ("<invalid: @os:/a\\\\b>", Normal("@os:/a\\\\b"));  // two backslashes in the middle
  EXPECT_EQ("<invalid: @os>", Normal("@os"));
  EXPECT_EQ("<invalid: @:/a>", Normal("@:/a"));
}

TEST(PathInternalForm, InvalidPathsHaveNoParts) {
  cFxPath path("@os:/a//b");
  EXPECT_FALSE(path.IsValid());
  EXPECT_TRUE(path.GetFileSystemName().IsEmpty());
  EXPECT_TRUE(path.GetRest().IsEmpty());
  EXPECT_FALSE(cFxPath().IsValid());
  EXPECT_FALSE(cFxPath("").IsValid());
}

TEST(PathInternalForm, PartsAreTheFileSystemNameAndTheRest) {
  cFxPath path(cFxString("@os:/data/./a.xml"));
  ASSERT_TRUE(path.IsValid());
  EXPECT_EQ(cFxString("os"), path.GetFileSystemName());
  EXPECT_EQ(cFxString("/data/a.xml"), path.GetRest());

  path = cFxString("@mem:x/y");
  ASSERT_TRUE(path.IsValid());
  EXPECT_EQ(cFxString("mem"), path.GetFileSystemName());
  EXPECT_EQ(cFxString("x/y"), path.GetRest());
}

// Runs a test body in `directory` and goes back afterwards.
class cInDirectory {
 public:
  explicit cInDirectory(const fs::path& directory) : mPrevious(fs::current_path()) {
    fs::current_path(directory);
  }
  ~cInDirectory() { fs::current_path(mPrevious); }

 private:
  fs::path mPrevious;
};

TEST(PathNativeForm, AbsolutePathsAreCanonicalised) {
  EXPECT_EQ("@os:/home/u/data/a.xml", Normal("/home/u/data/a.xml"));
  EXPECT_EQ("@os:/home/a.xml", Normal("/home/u/../a.xml"));
  EXPECT_EQ("@os:/home/u/a.xml", Normal("/home//u/./a.xml"));
}

TEST(PathNativeForm, RelativePathsAreResolvedAgainstTheCurrentDirectory) {
  test::TempDir dir;
  cInDirectory inside(dir.Path());
  std::string cwd = fs::current_path().string();
  EXPECT_EQ("@os:" + cwd + "/data/a.xml", Normal("data/a.xml"));
  EXPECT_EQ("@os:" + cwd + "/a.xml", Normal("data/../a.xml"));
  EXPECT_EQ("@os:" + fs::path(cwd).parent_path().string() + "/a.xml", Normal("../a.xml"));
}

TEST(PathNativeForm, BlanksAreTrimmed) {
  EXPECT_EQ("@os:/data/a b.xml", Normal("   /data/a b.xml  "));
}

TEST(PathNativeForm, NamesThatCannotBeInternalAreInvalid) {
  // A native name with ":" cannot be written as an internal path.
  EXPECT_EQ("<invalid: /data/a:b.xml>", Normal("/data/a:b.xml"));
  std::string tooLong = "/" + std::string(8192, 'x');
  EXPECT_FALSE(cFxPath(tooLong.c_str()).IsValid());
}

}  // namespace
