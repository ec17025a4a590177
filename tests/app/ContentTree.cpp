#include "ContentTree.h"

namespace test {

void ExpectFiles(const tFiles& actual, const tFiles& expected) {
  for (const auto& [name, bytes] : expected) {
    const auto file = actual.find(name);
    if (file == actual.end())
      ADD_FAILURE() << name << " is missing";
    else if (bytes.size() + file->second.size() > 8192)
      EXPECT_TRUE(file->second == bytes) << name << " differs";
    else
      EXPECT_EQ(file->second, bytes) << name;
  }
  for (const auto& file : actual) EXPECT_TRUE(expected.count(file.first)) << file.first << " is there besides";
}

void ExpectRun(const ProcessResult& result, int status, const std::string& out, const std::string& err) {
  EXPECT_EQ(result.status, status);
  EXPECT_EQ(result.out, out);
  EXPECT_EQ(result.err, err);
}

std::vector<std::u16string> Keys(const std::string& translations) {
  std::vector<std::u16string> keys;
  for (const std::u16string& line : LinesOf(translations)) keys.push_back(line.substr(0, line.find(u'\t')));
  return keys;
}

std::string FrenchFor(const std::vector<std::u16string>& keys, const std::u16string& text, bool numbered) {
  std::u16string translations = u"\uFEFF";
  for (size_t i = 0; i < keys.size(); ++i)
    translations += keys[i] + u"%\t\"\"\t\"" + text + (numbered ? Utf16(" " + std::to_string(i + 1)) : u"") + u"\"\n";
  return Utf16Le(TranslationsText(translations));
}

ProcessResult RunGlossmillWith(const tTexts& variables, const std::vector<std::string>& args,
                               const std::string& directory) {
  std::vector<std::unique_ptr<ScopedEnvironment>> environment;
  for (const std::string& variable : variables) {
    const size_t equals = variable.find('=');
    const bool set = equals != std::string::npos;
    environment.push_back(
        std::make_unique<ScopedEnvironment>(variable.substr(0, equals), set ? variable.substr(equals + 1) : "", set));
  }
  return RunGlossmill(args, directory);
}

std::pair<long, long> SerializerCalls(const std::string& aliveFile) {
  long running = -1, most = -1;
  std::istringstream(ReadFile(aliveFile)) >> running >> most;
  return {running, most};
}

std::string ContentTree::Progress(int position, int total, const std::string& relative) const {
  return ConsoleText("File " + std::to_string(position) + " / " + std::to_string(total) + " : " + Canonical() +
                     kSeparator + Native(relative) + "\n");
}

std::string ContentTree::Progress(const tTexts& relatives, int total) const {
  std::string lines;
  for (size_t i = 0; i < relatives.size(); ++i)
    lines += Progress(static_cast<int>(i) + 1, total ? total : static_cast<int>(relatives.size()), relatives[i]);
  return lines;
}

void ContentTree::UseSerializer(const std::string& start) const {
  fs::copy_file(BruxExe(), At(start) + kSeparator + "brux.exe");
}

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

ProcessResult ContentTree::GlossmillLoggingSerializer(const std::vector<std::string>& args, tTexts& calls,
                                                      const std::string& start) const {
  TempDir scratch;
  const ProcessResult result = RunGlossmillWith({"BRUX_CALL_LOG=" + (scratch / "calls")}, args, At(start));
  const std::string tree = Canonical(), text = ReadFile(scratch / "calls");
  calls.clear();
  for (size_t begin = 0, end; begin < text.size(); begin = end + 1) {
    end = text.find('\n', begin);
    calls.push_back(ReplaceAll(ReplaceAll(text.substr(begin, end - begin), tree, "."), std::string(1, kSeparator), "/"));
  }
  return result;
}

}  // namespace test
