#include "support/Documents.h"

#include "support/TestSupport.h"

namespace test {

namespace {

// The eight languages in document order, and the text column each one is
// read from by the update.
const tTexts kLanguages = {"English", "French", "Italian", "German", "Spanish", "Russian", "Polish", "Dutch"};
const size_t kColumnOf[] = {0, 1, 2, 3, 4, 25, 21, 12};

std::string TextAt(const tTexts& texts, size_t i) { return i < texts.size() ? texts[i] : ""; }

const std::string kOtherList = "__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair";

}  // namespace

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

std::string Document(const tTexts& lines) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
  size_t depth = 0;
  for (const std::string& line : lines) {
    if (line.compare(0, 2, "</") == 0 && depth > 0) --depth;
    xml += std::string(depth, '\t') + line + "\r\n";
    // A line that opens an element and neither closes it nor is empty.
    depth += line.size() > 1 && line[1] != '/' && line.find("</") == std::string::npos &&
             line.compare(line.size() - 2, 2, "/>") != 0;
  }
  return xml;
}

tTexts SourcePlain(const std::string& tag, const std::string& text) {
  return {"<Attribute name=\"" + tag + "\">", "<cDeltaString>", "<Element>",
          "<Value>" + text + "</Value>", "</Element>", "</cDeltaString>", "</Attribute>"};
}

tTexts SourceString(const tTexts& texts) {
  std::vector<tTexts> parts = {{"<Localisation-cUserLocalisedString>", "<Element>", "<Value>"}};
  for (size_t i = 0; i < kLanguages.size(); ++i) parts.push_back(SourcePlain(kLanguages[i], TextAt(texts, i)));
  parts.push_back({"<Attribute name=\"Other\">", "<" + kOtherList + ">", "<Element>", "<Value/>", "</Element>",
                   "</" + kOtherList + ">", "</Attribute>", "</Value>", "</Element>",
                   "</Localisation-cUserLocalisedString>"});
  return Join(parts);
}

tTexts GameString(const tTexts& texts) {
  tTexts lines = {"<Localisation-cUserLocalisedString>"};
  for (size_t i = 0; i < kLanguages.size(); ++i) lines.push_back(GamePlain(kLanguages[i], TextAt(texts, i)));
  lines.insert(lines.end(), {"<Other/>", "</Localisation-cUserLocalisedString>"});
  return lines;
}

std::string GamePlain(const std::string& tag, const std::string& text) {
  return "<" + tag + " d:type=\"cDeltaString\">" + text + "</" + tag + ">";
}

std::string SourceDocument(const tTexts& body) { return Document(Join({{"<cSourceDocument>"}, body, {"</cSourceDocument>"}})); }

std::string GameDocument(const tTexts& body) {
  return Document(Join({{"<cContentDocument xmlns:d=\"urn:test\" d:version=\"1.0\">", GamePlain("Code", "SGN-1")},
                        body,
                        {"</cContentDocument>"}}));
}

tTexts Join(const std::vector<tTexts>& parts) {
  tTexts lines;
  for (const tTexts& part : parts) lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

std::string TranslatedLine(const std::string& key, const tTexts& documentOrderTexts) {
  tTexts columns(26);
  for (size_t i = 0; i < kLanguages.size(); ++i) columns[kColumnOf[i]] = TextAt(documentOrderTexts, i);
  std::string line = key + "\tVektrel\t\t\t\tPC";
  for (const std::string& text : columns) line += "\t\"" + text + "\"";
  return line + "\n";
}

std::string TranslationsFile(const tTexts& lines) {
  std::string text = "\xEF\xBB\xBF";
  for (const std::string& line : lines) text += line;
  return Utf16Le(Utf16(text));
}

std::vector<std::u16string> LinesOf(const std::string& utf16le) {
  std::vector<std::u16string> lines(1);
  for (size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(utf16le[i]) |
                                                static_cast<unsigned char>(utf16le[i + 1]) << 8);
    if (unit == u'\n')
      lines.emplace_back();
    else if (unit != 0xFEFF)
      lines.back() += unit;
  }
  lines.pop_back();  // what follows the last LF
  return lines;
}

std::u16string TranslationsText(const std::u16string& text) {
  std::u16string expanded;
  for (char16_t unit : text) expanded += unit == u'%' ? u"\tVektrel\t\t\t\tPC" : std::u16string(1, unit);
  return expanded;
}

}  // namespace test
