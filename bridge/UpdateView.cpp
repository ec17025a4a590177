#include "bridge/UpdateView.h"

#include <map>
#include <utility>

#include "bridge/Utf8.h"
#include "localisation/VisitorHelpers.h"
#include "translations/TranslationsColumns.h"

namespace {
std::u16string Units(const std::u16string& line, sUnitSpan span) {
  return line.substr(static_cast<size_t>(span.mStart),
                     static_cast<size_t>(span.mStop - span.mStart));
}

// The update finds a string in its data file by the id it makes of the
// English text there; a line whose id is not the one its English text makes
// names a string the bridge cannot show (the reader dropped part of its
// English) or one the update never finds.
const char* WhyIdDiffers(const sTranslationsEntry& entry) {
  const std::u16string english = GetCurrentText(entry, GetSourceLanguage());
  std::u16string made(english.size() * 2, u'\0');
  made.resize(CopyEntryId(english.data(), static_cast<uint32_t>(english.size()), &made[0]));
  const std::u16string id = Units(entry.mLine, entry.mLayout.mId);
  // Readers drop a double quote that ends the key, so look at the key's
  // column as it stands too.
  const std::u16string keyColumn = entry.mLine.substr(0, static_cast<size_t>(entry.mLayout.mTabs[0]));
  // Readers drop U+FEFF too, but from the key and the text alike; only the
  // line as stored shows it (a byte-order mark may open a line).
  const size_t firstTab = entry.mStored.find(u'\t');
  const bool byteOrderMark = entry.mStored.find(kTranslationsLine::cByteOrderMark, 1) < firstTab;
  if (made == id && keyColumn.find(u'"') == std::u16string::npos && !byteOrderMark) return nullptr;
  if (keyColumn.find(u'"') != std::u16string::npos) return "a double quote in its English text";
  if (byteOrderMark) return "a U+FEFF in its English text";
  if (id.find_first_of(u"\r\n") != std::u16string::npos) return "a line break in its English text";
  if (id.find(u"\\t") != std::u16string::npos) return "a TAB in its English text";
  return "its key does not match its English text";
}

bool HoldsLoneSurrogate(const std::u16string& text) {
  std::string ignored;
  return !Utf16ToUtf8(text, ignored);
}
}  // namespace

std::u16string GetCurrentText(const sTranslationsEntry& entry, const sBridgeLanguage& language) {
  const bool reached = language.mUpdateIndex < CountReadTexts(entry.mLayout);
  return entry.GetText(reached ? language.mUpdateIndex : language.mDocumentIndex);
}

void SetCurrentText(sTranslationsEntry& entry, const sBridgeLanguage& language,
                    const std::u16string& text) {
  const size_t reached = CountReadTexts(entry.mLayout);
  std::vector<std::pair<size_t, std::u16string>> carried;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& other = GetBridgeLanguages()[i];
    if (other.mUpdateIndex >= reached && other.mUpdateIndex < language.mUpdateIndex)
      carried.emplace_back(other.mUpdateIndex, GetCurrentText(entry, other));
  }
  entry.SetText(language.mUpdateIndex, text);
  for (const auto& other : carried) entry.SetText(other.first, other.second);
}

std::vector<const char*> FindStringsThatCannotTravel(const cTranslationsFile& file) {
  const std::vector<sTranslationsEntry>& entries = file.Entries();
  const std::u16string game = kTranslationsColumns::cGameLabel;
  const std::u16string source = kTranslationsColumns::cSourceLabel;
  // The line of each key that the update reads: the source update takes a
  // string's first line, the game update its last.
  std::map<std::u16string, size_t> readLine;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].mFlavour == game)
      readLine[entries[i].mKey] = i;
    else
      readLine.emplace(entries[i].mKey, i);
  }
  std::vector<const char*> why(entries.size(), nullptr);
  for (size_t i = 0; i < entries.size(); ++i) {
    const sTranslationsEntry& entry = entries[i];
    bool loneSurrogate = HoldsLoneSurrogate(entry.mKey);
    for (size_t l = 0; l < cBridgeLanguageCount; ++l)
      loneSurrogate = loneSurrogate || HoldsLoneSurrogate(GetCurrentText(entry, GetBridgeLanguages()[l]));
    if (entry.mFlavour != game && entry.mFlavour != source)
      why[i] = "its flavour is neither Game nor Source";
    else if (const char* idDiffers = WhyIdDiffers(entry))
      why[i] = idDiffers;
    else if (loneSurrogate)
      why[i] = "a lone surrogate, which UTF-8 cannot carry";
    else if (readLine[entry.mKey] != i)
      why[i] = entry.mFlavour == game ? "the game update reads the last line of its key"
                                      : "the source update reads the first line of its key";
  }
  return why;
}

std::string DescribeLeftOut(const std::vector<sLeftOutString>& strings) {
  std::string line = std::to_string(strings.size()) +
                     (strings.size() == 1 ? " string cannot" : " strings cannot") +
                     " travel through a translations file:";
  for (size_t i = 0; i < strings.size(); ++i)
    line += (i ? "; " : " ") + strings[i].mKey + " (" + strings[i].mWhy + ")";
  return line;
}
