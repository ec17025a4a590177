// Data files and translations files written as the tools write them: data
// files in exactly the layout glossmill writes (so a rewrite that changes
// nothing gives the same bytes), translations files as a translator returns
// them. Shared by the visitor suites and the runs of the built program.
#pragma once

#include <string>
#include <vector>

namespace test {

typedef std::vector<std::string> tTexts;

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

// The lines of a UTF-16LE translations file as UTF-16 texts, LF dropped.
std::vector<std::u16string> LinesOf(const std::string& utf16le);

// A translations file's text with "%" standing for the columns between the
// key and the texts (TAB, "Vektrel", four TABs, "PC").
std::u16string TranslationsText(const std::u16string& text);

}  // namespace test
