// export and import: the translations file to an exchange file and back.
#include <map>
#include <set>

#include "bridge/BridgeCommands.h"
#include "bridge/Utf8.h"
#include "bridge/cTranslationsFile.h"

namespace {
using namespace kBridgeStatus;

const char* cProgram = "glossmill-bridge: ";

bool WriteExchange(eExchangeFormat format, const sExchangeFile& file,
                   const sBridgeLanguage& language, const std::filesystem::path& path,
                   std::string& error) {
  switch (format) {
    case eExchangeFormat::eXliff:
      return WriteXliff(file, language, path, error);
    case eExchangeFormat::ePo:
      return WritePo(file, language, path, error);
    case eExchangeFormat::eCsv:
      return WriteCsv(file, language, path, error);
  }
  return false;
}

bool ReadExchange(const std::filesystem::path& path, sExchangeFile& file, std::string& error) {
  switch (GuessExchangeFormat(path)) {
    case eExchangeFormat::eXliff:
      return ReadXliff(path, file, error);
    case eExchangeFormat::ePo:
      return ReadPo(path, file, error);
    case eExchangeFormat::eCsv:
      return ReadCsv(path, file, error);
  }
  return false;
}

// Why the translations file cannot carry `text`, or null: a TAB would split
// its column, and the reader strips double quotes, line breaks and U+FEFF.
const char* WhyUncarriable(const std::u16string& text) {
  for (char16_t unit : text) {
    if (unit == u'\t') return "a TAB";
    if (unit == u'"') return "a double quote";
    if (unit == u'\n' || unit == u'\r') return "a line break";
    if (unit == kTranslationsLine::cByteOrderMark) return "U+FEFF";
  }
  return nullptr;
}

// A unit name for messages: the occurrence TAB shows as " #".
std::string ShowId(const std::string& id) {
  std::string shown = id;
  const size_t tab = shown.find('\t');
  if (tab != std::string::npos) shown.replace(tab, 1, " #");
  return shown;
}
}  // namespace

int RunExport(eExchangeFormat format, const sBridgeLanguage& language,
              const std::filesystem::path& translations, const std::filesystem::path& exchange,
              std::ostream& out, std::ostream& err) {
  cTranslationsFile file;
  std::string error;
  if (!file.Load(translations, error)) {
    err << cProgram << error << "\n" << cProgram << "nothing written\n";
    return cFailed;
  }
  sExchangeFile exchangeFile;
  exchangeFile.mOriginal = translations.filename().string();
  bool carried = true;
  for (const sTranslationsEntry& entry : file.Entries()) {
    sExchangeUnit unit;
    bool converted = Utf16ToUtf8(MakeUnitId(entry), unit.mId) &&
                     Utf16ToUtf8(entry.mKey, unit.mKey) &&
                     Utf16ToUtf8(entry.mFlavour, unit.mFlavour) &&
                     Utf16ToUtf8(entry.mPath, unit.mPath) &&
                     Utf16ToUtf8(entry.GetText(GetSourceLanguage().mTextIndex), unit.mSource) &&
                     Utf16ToUtf8(entry.GetText(language.mTextIndex), unit.mTarget);
    for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
      const sBridgeLanguage& other = GetBridgeLanguages()[i];
      if (&other == &language) continue;
      std::string text;
      converted = converted && Utf16ToUtf8(entry.GetText(other.mTextIndex), text);
      if (!text.empty()) unit.mNotes.emplace_back(other.mName, text);
    }
    if (!converted) {
      err << cProgram << ShowId(Utf16ForDisplay(MakeUnitId(entry)))
          << ": holds a lone surrogate, which UTF-8 cannot carry\n";
      carried = false;
    }
    exchangeFile.mUnits.push_back(std::move(unit));
  }
  if (!carried || !WriteExchange(format, exchangeFile, language, exchange, error)) {
    if (!error.empty()) err << cProgram << error << "\n";
    err << cProgram << "nothing written\n";
    return cFailed;
  }
  out << exchangeFile.mUnits.size() << " strings exported to " << exchange.string() << "\n";
  return cDone;
}

int RunImport(const sBridgeLanguage& language, const std::filesystem::path& translations,
              const std::filesystem::path& exchange, std::ostream& out, std::ostream& err) {
  std::string error;
  sExchangeFile exchangeFile;
  if (!ReadExchange(exchange, exchangeFile, error)) {
    err << cProgram << error << "\n" << cProgram << "nothing written\n";
    return cFailed;
  }
  if (!exchangeFile.mTargetLanguage.empty() &&
      FindBridgeLanguage(exchangeFile.mTargetLanguage) != &language) {
    err << cProgram << exchange.string() << " holds translations into "
        << exchangeFile.mTargetLanguage << ", not " << language.mName << "\n"
        << cProgram << "nothing written\n";
    return cFailed;
  }
  std::set<std::string> seen;
  for (const sExchangeUnit& unit : exchangeFile.mUnits) {
    if (!seen.insert(unit.mId).second) {
      err << cProgram << exchange.string() << ": the unit " << ShowId(unit.mId)
          << " stands twice\n"
          << cProgram << "nothing written\n";
      return cFailed;
    }
  }

  cTranslationsFile file;
  if (!file.Load(translations, error)) {
    err << cProgram << error << "\n" << cProgram << "nothing written\n";
    return cFailed;
  }
  std::map<std::u16string, sTranslationsEntry*> entries;
  for (sTranslationsEntry& entry : file.Entries()) entries[MakeUnitId(entry)] = &entry;

  size_t found = 0;
  size_t written = 0;
  size_t reported = 0;
  const auto report = [&](const sExchangeUnit& unit, const std::string& why) {
    err << cProgram << ShowId(unit.mId) << ": " << why << "\n";
    ++reported;
  };
  for (const sExchangeUnit& unit : exchangeFile.mUnits) {
    std::u16string id, source, target;
    if (!Utf8ToUtf16(unit.mId, id) || !Utf8ToUtf16(unit.mSource, source) ||
        !Utf8ToUtf16(unit.mTarget, target)) {
      report(unit, "not UTF-8, not written");
      continue;
    }
    const auto entry = entries.find(id);
    if (entry == entries.end()) {
      report(unit, "no longer in " + translations.string() + ", not written");
      continue;
    }
    ++found;
    sTranslationsEntry& line = *entry->second;
    if (source != line.GetText(GetSourceLanguage().mTextIndex)) {
      report(unit, "its English text has changed since the export, not written");
      continue;
    }
    if (unit.mMarkup) {
      report(unit, "the translation holds markup, which the translations file cannot carry, "
                   "not written");
      continue;
    }
    if (target.empty() || unit.mFuzzy) continue;
    if (const char* why = WhyUncarriable(target)) {
      report(unit, std::string("the translation holds ") + why +
                       ", which the translations file cannot carry, not written");
      continue;
    }
    if (target == line.GetText(language.mTextIndex)) continue;
    line.SetText(language.mTextIndex, target);
    ++written;
  }
  if (found == 0 && !exchangeFile.mUnits.empty()) {
    err << cProgram << "none of the units of " << exchange.string() << " is in "
        << translations.string() << ": it was exported from another translations file\n"
        << cProgram << "nothing written\n";
    return cFailed;
  }
  if (written != 0 && !file.Save(translations, error)) {
    err << cProgram << error << "\n" << cProgram << "nothing written\n";
    return cFailed;
  }
  out << written << " translations written, " << reported << " units reported\n";
  return reported == 0 ? cDone : cReported;
}
