// The end of a rewrite: a complete copy replaces the data file, anything
// less is removed and said on standard error, and the data file is never
// touched by a copy that went wrong.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/WriteBack.h"
#include "support/CopyVisitor.h"
#include "support/TestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using test::cCopyVisitor;

const std::string kDocument = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>\r\n\t<a>t</a>\r\n</r>\r\n";

// Rewrites `data` through its ".temp" sibling as a driver does; answers
// what reached standard error.
std::string Rewrite(const std::string& input, const std::string& data) {
  cFxFile stream;
  EXPECT_TRUE(stream.Open(cFxPath(input.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  cXmlParser parser;
  parser.Open(stream);
  cCopyVisitor visitor(data + ".temp");
  EXPECT_TRUE(WalkDocument(parser, visitor));
  stream.Close();
  testing::internal::CaptureStderr();
  FinishRewrite(visitor, cFxWString(data.c_str()));
  return testing::internal::GetCapturedStderr();
}

using test::kFolderInTheWay;

TEST(FinishRewrite, OnlyACompleteCopyReplacesTheDataFile) {
  test::TempDir dir;
  const std::string input = dir / "input.xml";
  test::WriteFile(input, kDocument);
  struct sCase {
    const char* name;
    std::function<void(const std::string& data)> prepare;
    const char* what;    // the start of the line on standard error, or ""
    const char* reason;  // its end
    bool replaced;
    bool tempStays;
  };
  std::vector<sCase> cases = {
      {"complete", [](const std::string&) {}, "", "", true, false},
      {"temporary file cannot be created",
       [](const std::string& data) { fs::create_directories(data + ".temp/x"); }, "could not write",
       kFolderInTheWay, false, true},
      // The copy is complete but cannot take the place of a folder.
      {"replacement fails",
       [](const std::string& data) {
         fs::remove(data);
         fs::create_directories(data + "/x");
       },
       "could not replace", kFolderInTheWay, false, true},
#if defined(__linux__)
      // Every write meets a full device; the link is removed, never /dev/full.
      {"disk full",
       [](const std::string& data) { fs::create_symlink("/dev/full", data + ".temp"); },
       "could not write", "No space left on device", false, false},
#endif
  };
  for (const sCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = dir / (std::string(c.name) + ".xml");
    const std::string old = "old\0contents\r\n"s;  // byte for byte, a NUL too
    test::WriteFile(data, old);
    c.prepare(data);

    const std::string err = Rewrite(input, data);

    if (*c.what == '\0') {
      EXPECT_EQ("", err);
    } else {
      EXPECT_EQ("glossmill: " + std::string(c.what) + " '" + data + "': " + c.reason + "\n", err);
    }
    if (c.replaced) {
      EXPECT_EQ(kDocument, test::ReadFile(data));
    } else if (!fs::is_directory(data)) {
      EXPECT_EQ(old, test::ReadFile(data));
    }
    EXPECT_EQ(c.tempStays, fs::exists(fs::symlink_status(data + ".temp")));
    if (c.tempStays && fs::is_regular_file(data + ".temp")) {
      EXPECT_EQ(kDocument, test::ReadFile(data + ".temp"));
    }
  }
#if defined(__linux__)
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
#endif
}

}  // namespace
