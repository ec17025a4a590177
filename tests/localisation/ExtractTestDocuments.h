// Data files and expected translations lines for the extraction tests.
//
// Documents are laid out one tag per line with CR LF line ends, as the
// tool's own writer and the serializer lay them out, so the layout between
// tags never reaches a visitor.
#pragma once

#include <string>
#include <vector>

namespace extract_test {

// The seven languages after English, in document order.
extern const char* const cOtherLanguages[7];

// Tags joined by CR LF.
std::string Join(const std::vector<std::string>& lines);

// A game-shape string with English and the seven other texts (UTF-8,
// already escaped for XML). `otherContent` empty gives the empty "<Other/>",
// otherwise an "Other" element holding those lines.
std::vector<std::string> GameString(const std::string& english,
                                    const std::vector<std::string>& others,
                                    const std::vector<std::string>& otherContent = {});
// A game-shape document: the strings, each in its own tag element.
std::string GameDocument(const std::vector<std::vector<std::string>>& strings);

// A source-shape string with the eight language texts; `otherContent` goes
// into the "Value" of the other list (empty gives "<Value/>").
std::vector<std::string> SourceString(const std::string& english,
                                      const std::vector<std::string>& others,
                                      const std::vector<std::string>& otherContent = {});
std::string SourceDocument(const std::vector<std::vector<std::string>>& strings);

// One translations line: key, "Vektrel", four TABs, "PC", quoted texts, LF.
std::u16string Line(const std::u16string& key, const std::vector<std::u16string>& texts);

}  // namespace extract_test
