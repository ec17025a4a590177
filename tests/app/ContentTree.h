// Content trees for the tests of the runs that rewrite data files: data
// files in exactly the form glossmill writes them (so a rewrite that changes
// nothing gives the same bytes), translations files as a translator returns
// them, and a temporary tree in which the built program is run.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace test {

typedef std::vector<std::string> tTexts;

// The eight languages in document order.
extern const tTexts kLanguages;

// Lines of XML, one tag per line, indented by one TAB per open element and
// ended by CR LF, after the XML declaration.
std::string Document(const tTexts& lines);

// A localised string: English first, then the other languages in document
// order; missing texts are empty. "Other" holds nothing.
tTexts SourceString(const tTexts& texts);
tTexts GameString(const tTexts& texts);
// A plain string.
tTexts SourcePlain(const std::string& tag, const std::string& text);
std::string GamePlain(const std::string& tag, const std::string& text);

// Source data file: a root holding `body`. Game: a root declaring the "d"
// namespace, with a plain code string before `body`.
std::string SourceDocument(const tTexts& body);
std::string GameDocument(const tTexts& body);

// `text` with every `what` replaced by `with`.
std::string ReplaceAll(std::string text, const std::string& what, const std::string& with);

// Joins lists of lines.
tTexts Join(const std::vector<tTexts>& parts);

// A translations file line as a translator returns it: the key, the fixed
// columns, then one quoted text per column index (English at 0, French 1,
// Italian 2, German 3, Spanish 4, Dutch 12, Polish 21, Russian 25).
std::string TranslatedLine(const std::string& key, const tTexts& documentOrderTexts);
// The file: byte-order mark, the lines, UTF-16LE.
std::string TranslationsFile(const tTexts& lines);

// Counts the lines (LF units) of a UTF-16LE translations file.
size_t CountLines(const std::string& utf16le);
// The lines of a UTF-16LE translations file as UTF-16 texts, LF dropped.
std::vector<std::u16string> LinesOf(const std::string& utf16le);

// A temporary content tree with the built program run in it.
class ContentTree {
 public:
  std::string At(const std::string& relative) const { return mTree / relative; }
  void Write(const std::string& relative, const std::string& bytes) const {
    WriteFile(At(relative), bytes);
  }
  std::string Read(const std::string& relative) const { return ReadFile(At(relative)); }
  ProcessResult Glossmill(const std::vector<std::string>& args,
                          const std::string& sub = "") const {
    return RunGlossmill(args, At(sub));
  }
  // The progress line of a file named relative to the tree, "/" separated.
  std::string Progress(int position, int total, const std::string& relative) const;

  // The stand-in serializer in the tree, and a ".bin" made by it from XML.
  void UseSerializer() const;
  void WriteBin(const std::string& relative, const std::string& xml) const;
  // The XML held by a ".bin".
  std::string ReadBin(const std::string& relative) const;
  // Runs glossmill with the serializer logging its calls; `calls` gets one
  // line per call, the tree's own path written as ".".
  ProcessResult GlossmillLoggingSerializer(const std::vector<std::string>& args,
                                           tTexts& calls) const;

  // Every regular file below the tree, relative, with its bytes.
  std::vector<std::pair<std::string, std::string>> Files() const;

  const std::filesystem::path& Path() const { return mTree.Path(); }

 private:
  TempDir mTree;
};

}  // namespace test
