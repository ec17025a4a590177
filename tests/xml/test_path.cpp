// cFxPath: internal forms are normalised, OS paths become internal forms.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "xml/cFxPath.h"

namespace {

namespace fs = std::filesystem;

// The normalised text of a valid path; "<invalid: text>" otherwise.
std::string Normal(const std::string& text) {
  cFxPath path(text.c_str());
  const std::string result = path.GetText().c_str();
  return path.IsValid() ? result : "<invalid: " + result + ">";
}

struct sPathCase { const char* mGiven; const char* mExpected; };

void ExpectNormalForms(const sPathCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i)
    EXPECT_EQ(cases[i].mExpected, Normal(cases[i].mGiven)) << cases[i].mGiven;
}

TEST(PathInternalForm, IsNormalisedOrInvalid) {
  const sPathCase cases[] = {
      {"@os:/a/./b/../c.xml", "@os:/a/c.xml"},
      {"@os:/a/b/.", "@os:/a/b"},
      {"@os:/a/..", "@os:/"},
      {"@os:/../x", "@os:/x"},  // above the root is the root
      {"@os:", "@os:"},
      // ".." that finds nothing to remove is kept at the front.
      {"@os:../../a/b/..", "@os:../../a"},
      {"@os:a/../../b", "@os:../b"},
      {"@os:../x/../..", "@os:../.."},
      // Backslashes are separators, except the network path's two.
      {"@os:/a\\b\\c.xml", "@os:/a/b/c.xml"},
      {"@os:\\\\server\\share\\x\\..\\a.xml", "@os:\\\\server/share/a.xml"},
      // The root's own slash is no empty segment, but two in a row are.
      {"@os://a", "<invalid: @os://a>"},
      {"@os:/a//b.xml", "<invalid: @os:/a//b.xml>"},
      {"@os:/a/b/", "<invalid: @os:/a/b/>"},
      {"@os:/a/b:c/d:.xml", "@os:/a/b:c/d:.xml"},  // on POSIX only "/" parts names
      {"@os", "<invalid: @os>"},
      {"@:/a", "<invalid: @:/a>"},
      {"", "<invalid: >"},
  };
  ExpectNormalForms(cases, sizeof cases / sizeof cases[0]);
}

TEST(PathNativeForm, AbsolutePathsAreCanonicalised) {
  const std::string overlong = "/" + std::string(8192, 'x');
  const std::string overlongInvalid = "<invalid: " + overlong + ">";
  // Long only before ".." shortens it: the limit applies to the result.
  const std::string shortened = "/" + std::string(5000, 'a') + "/../b";
  const sPathCase cases[] = {
      {"/home//u/./../a.xml", "@os:/home/a.xml"},
      {"/a//b/", "@os:/a/b"},
      {"/", "@os:/"},
      {"/../../x", "@os:/x"},  // ".." at the root stays there
      {"  /a b/c.xml\t  ", "@os:/a b/c.xml\t"},  // blanks trimmed, a TAB is a name's
      {"/data:1/a:b.xml", "@os:/data:1/a:b.xml"},
      {overlong.c_str(), overlongInvalid.c_str()},
      {shortened.c_str(), "@os:/b"},
  };
  ExpectNormalForms(cases, sizeof cases / sizeof cases[0]);
}

TEST(PathInternalForm, IsInternedSoEqualPathsShareOneBuffer) {
  const cFxPath a("@os:/x/../shared.xml");
  const cFxPath b("/shared.xml");
  const cFxPath invalid("@os:/a//b");
  EXPECT_EQ(a.GetText().c_str(), b.GetText().c_str());
  EXPECT_EQ(a.GetText().c_str(), cFxString::Intern("@os:/shared.xml", 15).c_str());
  EXPECT_EQ(invalid.GetText().c_str(), cFxString::Intern("@os:/a//b", 9).c_str());
}

TEST(PathNativeForm, RelativePathsAreResolvedAgainstTheCurrentDirectory) {
  test::TempDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.Path());
  const std::string cwd = fs::current_path().string();
  const std::string parent = fs::path(cwd).parent_path().string();
  EXPECT_EQ("@os:" + cwd + "/a.xml", Normal(" ./data/../a.xml "));
  EXPECT_EQ("@os:" + cwd, Normal("."));
  EXPECT_EQ("@os:" + parent + "/a.xml", Normal("../a.xml"));
  fs::current_path(previous);
}

}  // namespace
