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
      // Above the root is the root.
      {"@os:/a/./b/../c.xml", "@os:/a/c.xml"}, {"@os:/a/b/.", "@os:/a/b"}, {"@os:/a/..", "@os:/"},
      {"@os:/../x", "@os:/x"}, {"@os:", "@os:"},
      // Backslashes are separators, except the network path's two.
      {"@os:/a\\b\\c.xml", "@os:/a/b/c.xml"}, {"@os:\\\\server\\share\\x\\..\\a.xml", "@os:\\\\server/share/a.xml"},
      // The root's own slash is no empty segment, but two in a row are.
      {"@os://a", "<invalid: @os://a>"}, {"@os:/a//b.xml", "<invalid: @os:/a//b.xml>"}, {"", "<invalid: >"},
      {"@os:/a/b/", "<invalid: @os:/a/b/>"}, {"@os", "<invalid: @os>"}, {"@:/a", "<invalid: @:/a>"},
#ifdef _WIN32
      // A drive is a root: ".." never takes it away.
      {"@os:c/a/./b/../c.xml", "@os:c/a/c.xml"},
      {"@os:c/../x", "@os:c/../x"},
      {"@os:c/a/../..", "@os:c/.."},
      {"@os:c/a/..", "@os:c/"},
      {"@os:c", "@os:c"},
      {"@os:c\\data\\a.xml", "@os:c/data/a.xml"},
      {"@os:cd/../x", "@os:x"},  // two letters are a directory, not a drive
      {"@os:c/a/b:c.xml", "<invalid: @os:c/a/b:c.xml>"},  // ":" belongs to the drive only
#else
      {"@os:/a/b:c/d:.xml", "@os:/a/b:c/d:.xml"},  // on POSIX only "/" parts names
      // ".." that finds nothing to remove is kept at the front.
      {"@os:../../a/b/..", "@os:../../a"}, {"@os:a/../../b", "@os:../b"}, {"@os:../x/../..", "@os:../.."},
#endif
  };
  ExpectNormalForms(cases, sizeof cases / sizeof cases[0]);
}

#ifdef _WIN32
TEST(PathNativeForm, AbsolutePathsAreCanonicalised) {
  // Windows limits a path to 259 characters and its terminator.
  const std::string longest = "C:\\" + std::string(256, 'x');
  const std::string longestInternal = "@os:c/" + std::string(256, 'x');
  const std::string overlong = longest + "x";
  const std::string overlongInvalid = "<invalid: " + overlong + ">";
  const sPathCase cases[] = {
      {"C:\\Work\\data\\..\\a.xml", "@os:c/Work/a.xml"},  // the drive in lower case, the rest as given
      {"D:\\a\\.\\b\\", "@os:d/a/b"},
      {"c:/Work//data/", "@os:c/Work/data"},
      {"C:\\", "@os:c/"},
      {"C:\\..\\..\\x", "@os:c/x"},  // ".." at the drive's root stays there
      {"  C:\\a b\\c.xml  ", "@os:c/a b/c.xml"},  // blanks are spaces here
      {"\\\\server\\share\\x\\..\\a.xml", "@os:\\\\server/share/a.xml"},
      {longest.c_str(), longestInternal.c_str()},
      {overlong.c_str(), overlongInvalid.c_str()},
  };
  ExpectNormalForms(cases, sizeof cases / sizeof cases[0]);
}
#else
TEST(PathNativeForm, AbsolutePathsAreCanonicalised) {
  // Long only before ".." shortens it: the limit applies to the result.
  const std::string overlong = "/" + std::string(8192, 'x'), overlongInvalid = "<invalid: " + overlong + ">",
                    shortened = "/" + std::string(5000, 'a') + "/../b";
  const sPathCase cases[] = {
      // ".." at the root stays there; blanks are trimmed, a TAB is a name's.
      {"/home//u/./../a.xml", "@os:/home/a.xml"}, {"/a//b/", "@os:/a/b"}, {"/", "@os:/"}, {"/../../x", "@os:/x"},
      {"  /a b/c.xml\t  ", "@os:/a b/c.xml\t"}, {"/data:1/a:b.xml", "@os:/data:1/a:b.xml"},
      {overlong.c_str(), overlongInvalid.c_str()}, {shortened.c_str(), "@os:/b"},
  };
  ExpectNormalForms(cases, sizeof cases / sizeof cases[0]);
}
#endif

TEST(PathNativeForm, RelativePathsAreResolvedAgainstTheCurrentDirectory) {
  test::TempDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.Path());
  const std::string cwd = test::InternalPath(fs::current_path().string());
  const std::string parent = test::InternalPath(fs::current_path().parent_path().string());
  const std::string data = test::Native("./data/../a.xml");
  EXPECT_EQ(cwd + "/a.xml", Normal(" " + data + " "));
  EXPECT_EQ(cwd, Normal("."));
  EXPECT_EQ(parent + "/a.xml", Normal(test::Native("../a.xml")));
  // Paths hold their text interned: equal paths, however written, share one
  // buffer with the interned normal form.
  const cFxPath a(data.c_str()), b((cwd + "/a.xml").c_str());
  EXPECT_EQ(a.GetText().c_str(), b.GetText().c_str());
  EXPECT_EQ(a.GetText().c_str(), cFxString::Intern((cwd + "/a.xml").c_str(), static_cast<uint32_t>(cwd.size() + 6)).c_str());
#ifdef _WIN32
  // One leading backslash: the root of the current directory's drive.
  const std::string drive = cwd.substr(0, 6);  // "@os:c/"
  EXPECT_EQ(drive + "a/b.xml", Normal("\\a\\b.xml"));
  EXPECT_EQ(drive + "b.xml", Normal("\\a\\..\\b.xml"));
#endif
  fs::current_path(previous);
}

}  // namespace
