#include "ContentTree.h"

#include <gtest/gtest.h>


namespace test {

namespace fs = std::filesystem;

std::string ContentTree::Progress(int position, int total, const std::string& relative) const {
  return ConsoleText("File " + std::to_string(position) + " / " + std::to_string(total) + " : " +
                     fs::canonical(mTree.Path()).string() + kSeparator + Native(relative) + "\n");
}

void ContentTree::UseSerializer() const { fs::copy_file(BruxExe(), mTree.Path() / "brux.exe"); }

void ContentTree::WriteBin(const std::string& relative, const std::string& xml) const {
  const std::string stem = relative.substr(0, relative.size() - 4) + ".source";
  Write(stem + ".xml", xml);
  ASSERT_EQ(Run(BruxExe(), {At(stem + ".xml")}, At("")).status, 0);
  fs::rename(At(stem + ".bin"), At(relative));
  fs::remove(At(stem + ".xml"));
}

std::string ContentTree::ReadBin(const std::string& relative) const {
  TempDir scratch;
  EXPECT_EQ(Run(BruxExe(), {At(relative), scratch / "out.xml"}, At("")).status, 0) << relative;
  return ReadFile(scratch / "out.xml");
}

ProcessResult ContentTree::GlossmillLoggingSerializer(const std::vector<std::string>& args,
                                                      tTexts& calls) const {
  TempDir scratch;
  const std::string log = scratch / "calls";
  ProcessResult result;
  {
    ScopedEnvironment logged("BRUX_CALL_LOG", log);
    result = RunGlossmill(args, At(""));
  }
  const std::string tree = fs::canonical(mTree.Path()).string();
  calls.clear();
  std::string text = ReadFile(log);
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    // Paths with "/" between names, whatever the platform's separator.
    calls.push_back(ReplaceAll(ReplaceAll(text.substr(start, end - start), tree, "."),
                               std::string(1, kSeparator), "/"));
    start = end + 1;
  }
  return result;
}

}  // namespace test
