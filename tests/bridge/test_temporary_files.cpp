// Every file the bridge writes (an exchange file by export, the translations
// file by import) goes through a temporary sibling that is always a new
// file of its own: whatever stands at that name (a stale file, a link out
// of the directory, one that leads nowhere, a second name of a file
// elsewhere) is removed as itself and never written through, and a
// directory there stops the write with nothing written.
#include <gtest/gtest.h>

#include "BridgeTestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace bridge_test;

enum ePlanted { cStaleFile, cLinkOut, cDanglingLink, cHardLinkOut, cDirectory };

TEST(BridgeTemporaryFiles, WhateverStandsAtTheNameIsRemovedAsItselfAndNeverWrittenThrough) {
  const std::string translations = File(u"\\a.xml@Source@Hi%\t\"Hi\"\n");
  const std::string filled = Xliff(Unit("\\a.xml@Source@Hi", "Hi", "Salut"));  // fills in the French text
  for (const char* command : {"export --to xliff --lang fr t.txt out.xlf", "export --to po --lang fr t.txt out.po",
                              "export --to csv --lang fr t.txt out.csv", "import --lang fr t.txt in.xlf"}) {
    const test::tTexts args = Args(command);
    const std::string output = args[0] == "import" ? "t.txt" : args.back();
    for (const ePlanted planted : {cStaleFile, cLinkOut, cDanglingLink, cHardLinkOut, cDirectory}) {
      SCOPED_TRACE(output + " " + std::to_string(planted));
      test::TempDir dir, outside;
      test::WriteFile(dir / "t.txt", translations);
      test::WriteFile(dir / "in.xlf", filled);
      if (output != "t.txt") test::WriteFile(dir / output, "before");
      const fs::path temp = dir.Path() / (output + ".temp");
      const std::string target = outside / "target";  // where a link leads
      switch (planted) {
        case cStaleFile: test::WriteFile(temp.string(), "stale"); break;
        case cLinkOut: test::WriteFile(target, "outside"); fs::create_symlink(target, temp); break;
        case cDanglingLink: fs::create_symlink(target, temp); break;
        case cHardLinkOut: test::WriteFile(target, "outside"); fs::create_hard_link(target, temp); break;
        case cDirectory: fs::create_directory(temp); break;
      }
      const std::string before = test::ReadFile(dir / output);
      const test::tFiles outsideBefore = test::FilesBelow(outside.Path());

      const test::ProcessResult result = Bridge(args, dir);
      const std::string after = test::ReadFile(dir / output);
      if (planted == cDirectory) {
        EXPECT_EQ(1, result.status);
        EXPECT_TRUE(Holds(result.err, ".temp: Is a directory"));
        EXPECT_TRUE(Holds(result.err, "nothing written"));
        EXPECT_EQ(before, after);
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(temp)));
      } else {
        EXPECT_EQ(0, result.status) << result.err;
        EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.Path() / output)));
        EXPECT_TRUE(Holds(after, args[0] == "import" ? test::Utf16Le(u"\"Salut\"") : "Hi"));
      }
      EXPECT_EQ(outsideBefore, test::FilesBelow(outside.Path()));
    }
  }
}

}  // namespace
