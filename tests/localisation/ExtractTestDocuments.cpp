#include "ExtractTestDocuments.h"

namespace extract_test {

const char* const cOtherLanguages[7] = {"French", "Italian", "German", "Spanish",
                                        "Russian", "Polish", "Dutch"};

std::string Join(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += line + "\r\n";
  return joined;
}

std::vector<std::string> GameString(const std::string& english,
                                    const std::vector<std::string>& others,
                                    const std::vector<std::string>& otherContent) {
  std::vector<std::string> lines = {"<Localisation-cUserLocalisedString>",
                                    "<English d:type=\"cDeltaString\">" + english + "</English>"};
  for (size_t i = 0; i < 7; ++i) {
    const std::string name = cOtherLanguages[i];
    const std::string text = i < others.size() ? others[i] : "";
    lines.push_back("<" + name + " d:type=\"cDeltaString\">" + text + "</" + name + ">");
  }
  if (otherContent.empty()) {
    lines.push_back("<Other/>");
  } else {
    lines.push_back("<Other>");
    lines.insert(lines.end(), otherContent.begin(), otherContent.end());
    lines.push_back("</Other>");
  }
  lines.push_back("</Localisation-cUserLocalisedString>");
  return lines;
}

std::string GameDocument(const std::vector<std::vector<std::string>>& strings) {
  std::vector<std::string> lines = {
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
      "<cBlueprintLoader xmlns:d=\"urn:glossmill:test\" d:version=\"1.0\">", "<Blueprint>"};
  for (const std::vector<std::string>& string : strings) {
    lines.push_back("<DisplayName>");
    lines.insert(lines.end(), string.begin(), string.end());
    lines.push_back("</DisplayName>");
  }
  lines.push_back("</Blueprint>");
  lines.push_back("</cBlueprintLoader>");
  return Join(lines);
}

namespace {
void AddSourceLanguage(std::vector<std::string>& lines, const std::string& name,
                       const std::string& text) {
  lines.push_back("<Attribute name=\"" + name + "\">");
  lines.push_back("<cDeltaString>");
  lines.push_back("<Element>");
  lines.push_back("<Value>" + text + "</Value>");
  lines.push_back("</Element>");
  lines.push_back("</cDeltaString>");
  lines.push_back("</Attribute>");
}
}  // namespace

std::vector<std::string> SourceString(const std::string& english,
                                      const std::vector<std::string>& others,
                                      const std::vector<std::string>& otherContent) {
  std::vector<std::string> lines = {"<Localisation-cUserLocalisedString>", "<Element>", "<Value>"};
  AddSourceLanguage(lines, "English", english);
  for (size_t i = 0; i < 7; ++i)
    AddSourceLanguage(lines, cOtherLanguages[i], i < others.size() ? others[i] : "");
  lines.push_back("<Attribute name=\"Other\">");
  lines.push_back("<__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>");
  lines.push_back("<Element>");
  if (otherContent.empty()) {
    lines.push_back("<Value/>");
  } else {
    lines.push_back("<Value>");
    lines.insert(lines.end(), otherContent.begin(), otherContent.end());
    lines.push_back("</Value>");
  }
  lines.push_back("</Element>");
  lines.push_back("</__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair>");
  lines.push_back("</Attribute>");
  lines.push_back("</Value>");
  lines.push_back("</Element>");
  lines.push_back("</Localisation-cUserLocalisedString>");
  return lines;
}

std::string SourceDocument(const std::vector<std::vector<std::string>>& strings) {
  std::vector<std::string> lines = {"<?xml version=\"1.0\" encoding=\"utf-8\"?>",
                                    "<cBlueprintLoader version=\"1.0\">", "<Element>"};
  for (const std::vector<std::string>& string : strings) {
    lines.push_back("<Attribute name=\"DisplayName\">");
    lines.insert(lines.end(), string.begin(), string.end());
    lines.push_back("</Attribute>");
  }
  lines.push_back("</Element>");
  lines.push_back("</cBlueprintLoader>");
  return Join(lines);
}

std::u16string Line(const std::u16string& key, const std::vector<std::u16string>& texts) {
  std::u16string line = key + u"\tVektrel\t\t\t\tPC";
  for (const std::u16string& text : texts) line += u"\t\"" + text + u"\"";
  return line + u"\n";
}

}  // namespace extract_test
