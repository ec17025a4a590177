// Helpers of the bridge's suite: running the built program and the tools a
// translator works with, and writing translations files readably.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/ExchangeFile.h"
#include "support/Documents.h"
#include "support/TestSupport.h"

namespace bridge_test {

inline test::ProcessResult Bridge(const std::vector<std::string>& args, const test::TempDir& dir) {
  return test::Run(GLOSSMILL_BRIDGE_EXE, args, dir.Path().string());
}
// The words of a command line as a user types it, split at spaces.
inline std::vector<std::string> Args(const std::string& line) {
  std::vector<std::string> args;
  std::istringstream words(line);
  for (std::string word; words >> word;) args.push_back(word);
  return args;
}
// The commands a translator runs most, in `dir`.
inline test::ProcessResult Export(const test::TempDir& dir, const std::string& format, const std::string& language,
                                  const std::string& translations, const std::string& out) {
  return Bridge({"export", "--to", format, "--lang", language, translations, out}, dir);
}
inline test::ProcessResult Import(const test::TempDir& dir, const std::string& language,
                                  const std::string& translations, const std::string& in) {
  return Bridge({"import", "--lang", language, translations, in}, dir);
}

// Whether `text` holds `part`; when not, the failure shows both.
inline ::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// The UTF-16LE bytes of a translations file, its byte-order mark first (one
// is added when `text` does not begin with it); "%" as in TranslationsText.
inline std::string File(const std::u16string& text) {
  return test::Utf16Le(test::TranslationsText(!text.empty() && text[0] == 0xFEFF ? text : u"\xFEFF" + text));
}

// `count` empty text columns.
inline std::u16string Empty(int count) {
  return count == 0 ? u"" : u"\t\"\"" + Empty(count - 1);
}

// Lines of \a.xml for English texts without a translation, named by the
// text with "#" for a space.
inline std::u16string Lines(const std::vector<std::u16string>& englishTexts) {
  std::u16string lines;
  for (const std::u16string& english : englishTexts) {
    std::u16string id = english;
    for (char16_t& unit : id) unit = unit == u' ' ? u'#' : unit;
    lines += u"\\a.xml@Source@" + id + u"%\t\"" + english + u"\"\n";
  }
  return lines;
}

// The exchange formats with the bridge's own readers and writers, which
// play a translator's tool where none is needed.
struct sFormat {
  const char *name, *file;
  bool (*read)(const std::filesystem::path&, sExchangeFile&, std::string&);
  bool (*write)(const sExchangeFile&, const sBridgeLanguage&, const std::filesystem::path&, std::string&);
};
inline const std::vector<sFormat>& Formats() {
  static const std::vector<sFormat> cFormats = {
      {"xliff", "out.xlf", ReadXliff, WriteXliff}, {"po", "out.po", ReadPo, WritePo}, {"csv", "out.csv", ReadCsv, WriteCsv}};
  return cFormats;
}

// Reads an exchange file; a failure to read fails the test.
inline sExchangeFile ReadExchange(const sFormat& format, const std::filesystem::path& path) {
  sExchangeFile file;
  std::string error;
  EXPECT_TRUE(format.read(path, file, error)) << error;
  return file;
}

// Gives each unit of the exchange file at `path` the target `translate`
// makes of it, and writes the file back as a translator's tool does.
template <typename tTranslate>
void Translate(const sFormat& format, const std::filesystem::path& path, const sBridgeLanguage& language,
               tTranslate translate) {
  sExchangeFile file = ReadExchange(format, path);
  for (sExchangeUnit& unit : file.mUnits) unit.mTarget = translate(unit);
  std::string error;
  ASSERT_TRUE(format.write(file, language, path, error)) << error;
}

// An XLIFF 1.2 file of `units` into `language`, and one of its units.
inline std::string Xliff(const std::string& units, const std::string& language = "fr") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">"
         "<file original=\"t.txt\" source-language=\"en\" target-language=\"" + language +
         "\" datatype=\"plaintext\"><body>" + units + "</body></file></xliff>\n";
}
inline std::string Unit(const std::string& id, const std::string& source, const std::string& target,
                        const std::string& unitAttributes = "", const std::string& targetAttributes = "") {
  return "<trans-unit id=\"" + id + "\"" + unitAttributes + "><source>" + source + "</source><target" +
         targetAttributes + ">" + target + "</target></trans-unit>";
}

// A Python 3 that can import `module` (the one on the search path, else
// Debian's own), or "" when none can.
inline std::string PythonWith(const std::string& module) {
  for (const std::string python : {"python3", "/usr/bin/python3"})
    if (std::system((python + " -c 'import " + module + "' >/dev/null 2>&1").c_str()) == 0) return python;
  return std::string();
}

// Whether a program is on the search path.
inline bool Installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A copy of the sample source tree at `dir`/`name`; answers its path.
inline std::string SampleTree(const test::TempDir& dir, const std::string& name = "tree") {
  std::filesystem::copy(test::SourceDir() + "/sample/source", dir / name, std::filesystem::copy_options::recursive);
  return dir / name;
}

// A script of this suite's helpers written in Python.
inline std::string Script(const std::string& name) { return test::SourceDir() + "/tests/bridge/" + name; }

}  // namespace bridge_test
