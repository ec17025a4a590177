// export and import: the translations file to an exchange file and back,
// every language read and written where glossmill's update takes it.
#include <chrono>
#include <map>

#include "bridge/BridgeCommands.h"
#include "bridge/UpdateView.h"
#include "bridge/Utf8.h"
#include "bridge/cTranslationsFile.h"

namespace {
using namespace kBridgeStatus;

const char* cProgram = "glossmill-bridge: ";

int Fail(std::ostream& err, const std::string& error) {
  err << cProgram << error << "\n" << cProgram << "nothing written\n";
  return cFailed;
}

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
std::string ShowName(const std::string& name) {
  std::string shown = name;
  const size_t tab = shown.find('\t');
  if (tab != std::string::npos) shown.replace(tab, 1, " #");
  return shown;
}

std::string ShowName(const sTranslationsEntry& entry) {
  return ShowName(Utf16ForDisplay(MakeUnitId(entry)));
}

// The unit of a line that can travel: every text converts, since such a
// line holds no lone surrogate.
sExchangeUnit MakeUnit(const sTranslationsEntry& entry, const sBridgeLanguage& language) {
  sExchangeUnit unit;
  unit.mNames.push_back(Utf16ForDisplay(MakeUnitId(entry)));
  unit.mKey = Utf16ForDisplay(entry.mKey);
  unit.mFlavour = Utf16ForDisplay(entry.mFlavour);
  unit.mPath = Utf16ForDisplay(entry.mPath);
  unit.mSource = Utf16ForDisplay(GetCurrentText(entry, GetSourceLanguage()));
  unit.mTarget = Utf16ForDisplay(GetCurrentText(entry, language));
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& other = GetBridgeLanguages()[i];
    const std::string text = Utf16ForDisplay(GetCurrentText(entry, other));
    if (&other != &language && !text.empty()) unit.mNotes.emplace_back(other.mName, text);
  }
  return unit;
}

// When the translations file last changed: the creation date of the
// strings an export offers.
std::time_t LastChange(const std::filesystem::path& path) {
  std::error_code failed;
  const auto changed = std::filesystem::last_write_time(path, failed);
  if (failed) return std::time(nullptr);
  const auto now = std::chrono::system_clock::now() +
                   std::chrono::duration_cast<std::chrono::system_clock::duration>(
                       changed - std::filesystem::file_time_type::clock::now());
  return std::chrono::system_clock::to_time_t(now);
}

// The line each unit names (the first of its names that is a line's), or
// null; false with a message when two units name the same line.
bool FindLines(const sExchangeFile& exchangeFile, cTranslationsFile& file,
               std::vector<sTranslationsEntry*>& lines, std::string& error) {
  std::map<std::u16string, sTranslationsEntry*> byName;
  for (sTranslationsEntry& entry : file.Entries()) byName[MakeUnitId(entry)] = &entry;
  std::map<const sTranslationsEntry*, const sExchangeUnit*> named;
  for (const sExchangeUnit& unit : exchangeFile.mUnits) {
    sTranslationsEntry* line = nullptr;
    for (const std::string& name : unit.mNames) {
      std::u16string wide;
      const auto found = Utf8ToUtf16(name, wide) ? byName.find(wide) : byName.end();
      if (found == byName.end()) continue;
      line = found->second;
      break;
    }
    if (line && !named.emplace(line, &unit).second) {
      error = "two units stand for " + ShowName(*line) + ": the unit " + ShowName(unit.mNames[0]) +
              " stands twice";
      return false;
    }
    lines.push_back(line);
  }
  return true;
}
}  // namespace

int RunExport(eExchangeFormat format, const sBridgeLanguage& language,
              const std::filesystem::path& translations, const std::filesystem::path& exchange,
              std::ostream& out, std::ostream& err) {
  if (NamesSameFile(exchange, translations) ||
      NamesSameFile(TemporaryPathFor(exchange), translations))
    return Fail(err, exchange.string() + " would overwrite the translations file " +
                         translations.string());
  cTranslationsFile file;
  std::string error;
  if (!file.Load(translations, error)) return Fail(err, error);
  sExchangeFile exchangeFile;
  exchangeFile.mOriginal = translations.filename().string();
  exchangeFile.mVersion = GLOSSMILL_BRIDGE_VERSION;
  exchangeFile.mMade = LastChange(translations);
  const std::vector<const char*> cannotTravel = FindStringsThatCannotTravel(file);
  std::vector<sLeftOutString> leftOut;
  for (size_t i = 0; i < file.Entries().size(); ++i) {
    const sTranslationsEntry& entry = file.Entries()[i];
    if (cannotTravel[i]) {
      leftOut.push_back({ShowName(entry), cannotTravel[i]});
      continue;
    }
    sExchangeUnit unit = MakeUnit(entry, language);
    const std::string unfit =
        format == eExchangeFormat::eXliff ? WhyXliffCannotCarry(unit) : std::string();
    if (!unfit.empty()) {
      leftOut.push_back({ShowName(entry), unfit});
      continue;
    }
    exchangeFile.mUnits.push_back(std::move(unit));
  }
  if (!WriteExchange(format, exchangeFile, language, exchange, error)) return Fail(err, error);
  if (!leftOut.empty()) err << cProgram << DescribeLeftOut(leftOut) << "\n";
  out << exchangeFile.mUnits.size() << " strings exported to " << exchange.string() << "\n";
  return cDone;
}

int RunImport(const sBridgeLanguage& language, const std::filesystem::path& translations,
              const std::filesystem::path& exchange, std::ostream& out, std::ostream& err) {
  if (NamesSameFile(exchange, translations))
    return Fail(err, exchange.string() + " is the translations file itself");
  std::string error;
  sExchangeFile exchangeFile;
  if (!ReadExchange(exchange, exchangeFile, error)) return Fail(err, error);
  if (!exchangeFile.mTargetLanguage.empty() &&
      FindBridgeLanguage(exchangeFile.mTargetLanguage) != &language)
    return Fail(err, exchange.string() + " holds translations into " +
                         exchangeFile.mTargetLanguage + ", not " + language.mName);

  cTranslationsFile file;
  if (!file.Load(translations, error)) return Fail(err, error);
  std::vector<sTranslationsEntry*> lines;
  if (!FindLines(exchangeFile, file, lines, error))
    return Fail(err, exchange.string() + ": " + error);
  const std::vector<const char*> cannotTravel = FindStringsThatCannotTravel(file);
  size_t found = 0;
  for (const sTranslationsEntry* line : lines) found += line != nullptr;
  if (found == 0 && !exchangeFile.mUnits.empty())
    return Fail(err, "none of the units of " + exchange.string() + " is in " +
                         translations.string() + ": it was exported from another translations file");

  size_t written = 0;
  size_t reported = 0;
  for (size_t u = 0; u < exchangeFile.mUnits.size(); ++u) {
    const sExchangeUnit& unit = exchangeFile.mUnits[u];
    const auto report = [&](const std::string& why) {
      const std::string name = unit.mNames.empty() ? "a unit without a name (English \"" +
                                                         unit.mSource + "\")"
                                                   : ShowName(unit.mNames[0]);
      err << cProgram << (lines[u] ? ShowName(*lines[u]) : name) << ": " << why << "\n";
      ++reported;
    };
    sTranslationsEntry* line = lines[u];
    std::u16string source, target;
    if (!line) {
      report((unit.mNames.empty() ? "names no line of " : "no longer in ") + translations.string() +
             ", not written");
      continue;
    }
    if (!Utf8ToUtf16(unit.mSource, source) || !Utf8ToUtf16(unit.mTarget, target)) {
      report("not UTF-8, not written");
      continue;
    }
    const size_t index = static_cast<size_t>(line - file.Entries().data());
    if (cannotTravel[index]) {
      report(std::string("cannot travel through a translations file (") + cannotTravel[index] +
             "), not written");
      continue;
    }
    if (source != GetCurrentText(*line, GetSourceLanguage())) {
      report("its English text has changed since the export, not written");
      continue;
    }
    if (!unit.mUnfit.empty()) {
      report(unit.mUnfit + ", which the translations file cannot carry, not written");
      continue;
    }
    // An empty target is no translation, and one the line already holds
    // changes nothing, whatever state a tool gave it.
    if (target.empty() || target == GetCurrentText(*line, language)) continue;
    if (!unit.mDraft.empty()) {
      report("a draft (" + unit.mDraft + "), not written");
      continue;
    }
    if (const char* why = WhyUncarriable(target)) {
      report(std::string("the translation holds ") + why +
             ", which the translations file cannot carry, not written");
      continue;
    }
    SetCurrentText(*line, language, target);
    ++written;
  }
  if (written != 0 && !file.Save(translations, error)) return Fail(err, error);
  out << written << " translations written, " << reported << " units reported\n";
  return reported == 0 ? cDone : cReported;
}
