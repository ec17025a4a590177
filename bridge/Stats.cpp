// stats: how far each language is, folder by folder, and how the file and
// a tree differ; as text, JSON or a coverage page.
#include <algorithm>
#include <iomanip>
#include <map>
#include <random>
#include <system_error>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "bridge/BridgeCommands.h"
#include "bridge/Coverage.h"
#include "bridge/Utf8.h"
#include "bridge/WordCount.h"
#include "bridge/cTranslationsFile.h"
#include "translations/TranslationsColumns.h"

namespace {
using namespace kBridgeStatus;

const char* cProgram = "glossmill-bridge: ";

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static const char cHex[] = "0123456789abcdef";
      out += "\\u00";
      out += cHex[byte >> 4];
      out += cHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The folder at the top of the tree that holds a key path's data file
// ("\\Signs\\A.xml" is in "Signs"); "" for a file at the top.
std::string TopFolder(const std::u16string& keyPath) {
  const size_t start = !keyPath.empty() && keyPath[0] == u'\\' ? 1 : 0;
  const size_t end = keyPath.find(u'\\', start);
  return end == std::u16string::npos ? std::string()
                                     : Utf16ForDisplay(keyPath.substr(start, end - start));
}

sCoverage Measure(const cTranslationsFile& file) {
  sCoverage coverage;
  coverage.mStrings = file.Entries().size();
  for (size_t i = 1; i < cBridgeLanguageCount; ++i)
    coverage.mLanguages.push_back({&GetBridgeLanguages()[i]});
  const std::vector<const char*> cannotTravel = FindStringsThatCannotTravel(file);
  std::map<std::string, sFolderCoverage> folders;
  for (size_t i = 0; i < file.Entries().size(); ++i) {
    const sTranslationsEntry& entry = file.Entries()[i];
    if (cannotTravel[i]) {
      coverage.mCannotTravel.push_back({Utf16ForDisplay(entry.mKey), cannotTravel[i]});
      continue;
    }
    const size_t words = CountWords(GetCurrentText(entry, GetSourceLanguage()));
    sFolderCoverage& folder = folders[TopFolder(entry.mPath)];
    folder.mMissing.resize(coverage.mLanguages.size());
    ++folder.mStrings;
    for (size_t l = 0; l < coverage.mLanguages.size(); ++l) {
      sLanguageCoverage& language = coverage.mLanguages[l];
      if (!GetCurrentText(entry, *language.mLanguage).empty()) {
        ++language.mTranslated;
        continue;
      }
      ++language.mMissing;
      language.mWords += words;
      ++folder.mMissing[l];
      ++folder.mAllMissing;
    }
  }
  for (auto& folder : folders) {
    folder.second.mFolder = folder.first;
    coverage.mFolders.push_back(std::move(folder.second));
  }
  std::stable_sort(coverage.mFolders.begin(), coverage.mFolders.end(),
                   [](const sFolderCoverage& a, const sFolderCoverage& b) {
                     return a.mAllMissing > b.mAllMissing;
                   });
  return coverage;
}

// Runs glossmill with `option` in `tree` into a temporary file and loads it.
bool ExtractTree(const std::filesystem::path& glossmill, const std::filesystem::path& tree,
                 const char* option, cTranslationsFile& extracted, std::string& error) {
  std::error_code failed;
  const std::filesystem::path temporary =
      std::filesystem::temp_directory_path(failed) /
      ("glossmill-bridge-" + std::to_string(std::random_device()()) + ".txt");
  if (!std::filesystem::is_directory(tree, failed)) {
    error = "cannot enter " + tree.string() + ": " +
            (failed ? failed.message() : std::string("Not a directory"));
    return false;
  }
  const std::string output = temporary.string();
  const std::string directory = tree.string();
  const char* const args[] = {option, output.c_str(), nullptr};
  // glossmill works on the tree it is started in. Its progress lines would
  // mix with the report, so they are discarded; its errors still show.
  sFxProgramSetup setup;
  setup.mWorkingDirectory = directory.c_str();
  setup.mOutputFile = cFxDiscardedOutput;
  int status = -1;
  if (!FxPlatformRunProgram(glossmill.string().c_str(), args, &status, setup).IsOk()) status = -1;
  bool loaded = false;
  if (status != 0) {
    error = "glossmill " + std::string(option) + " failed in " + tree.string() + " (" +
            glossmill.string() + ", status " + std::to_string(status) + ")";
  } else if (!std::filesystem::exists(temporary)) {
    extracted = cTranslationsFile();  // a tree without strings
    loaded = true;
  } else {
    loaded = extracted.Load(temporary, error);
  }
  std::filesystem::remove(temporary, failed);
  return loaded;
}

bool CompareWithTree(const cTranslationsFile& file, const std::filesystem::path& tree,
                     const std::filesystem::path& glossmill, sCoverage& coverage,
                     std::string& error) {
  const std::u16string game = kTranslationsColumns::cGameLabel;
  const std::u16string source = kTranslationsColumns::cSourceLabel;
  // Occurrences per key: positive where the tree has more, negative where
  // the file has.
  std::map<std::u16string, long> balance;
  bool hasGame = false;
  bool hasSource = false;
  for (const sTranslationsEntry& entry : file.Entries()) {
    hasGame = hasGame || entry.mFlavour == game;
    hasSource = hasSource || entry.mFlavour == source;
    if (entry.mFlavour == game || entry.mFlavour == source) --balance[entry.mKey];
  }
  if (!hasGame) hasSource = true;
  const std::pair<bool, const char*> runs[] = {{hasSource, "-sx"}, {hasGame, "-gx"}};
  for (const auto& run : runs) {
    if (!run.first) continue;
    cTranslationsFile extracted;
    if (!ExtractTree(glossmill, tree, run.second, extracted, error)) return false;
    for (const sTranslationsEntry& entry : extracted.Entries()) ++balance[entry.mKey];
  }
  for (const auto& key : balance) {
    std::vector<std::string>& side = key.second > 0 ? coverage.mNotInFile : coverage.mNotInTree;
    for (long n = key.second < 0 ? -key.second : key.second; n > 0; --n)
      side.push_back(Utf16ForDisplay(key.first));
  }
  coverage.mComparedWithTree = true;
  return true;
}

void PrintText(const sCoverage& coverage, std::ostream& out) {
  out << coverage.mStrings << " strings, " << coverage.mCannotTravel.size()
      << " of them cannot travel through a translations file\n";
  out << "language    translated   missing   words to translate\n";
  for (const sLanguageCoverage& count : coverage.mLanguages) {
    const std::string name = count.mLanguage->mName;
    out << name << std::string(name.size() < 8 ? 8 - name.size() : 1, ' ') << std::setw(14)
        << count.mTranslated << std::setw(10) << count.mMissing << std::setw(21) << count.mWords
        << "\n";
  }
  out << "missing strings by folder:\n";
  for (const sFolderCoverage& folder : coverage.mFolders) {
    out << "  " << (folder.mFolder.empty() ? "(files at the top)" : folder.mFolder) << ": "
        << folder.mStrings << " strings, missing ";
    for (size_t l = 0; l < folder.mMissing.size(); ++l)
      out << (l ? ", " : "") << coverage.mLanguages[l].mLanguage->mCode << " "
          << folder.mMissing[l];
    out << "; " << folder.mAllMissing << " in all\n";
  }
  for (const sLeftOutString& string : coverage.mCannotTravel)
    out << "cannot travel: " << string.mKey << " (" << string.mWhy << ")\n";
  if (!coverage.mComparedWithTree) return;
  out << coverage.mNotInFile.size() << " strings of the tree are not in the file\n";
  for (const std::string& key : coverage.mNotInFile) out << "  " << key << "\n";
  out << coverage.mNotInTree.size() << " lines name strings no longer in the tree\n";
  for (const std::string& key : coverage.mNotInTree) out << "  " << key << "\n";
}

void PrintJson(const sCoverage& coverage, std::ostream& out) {
  out << "{\"strings\":" << coverage.mStrings << ",\"cannotTravel\":[";
  for (size_t i = 0; i < coverage.mCannotTravel.size(); ++i)
    out << (i ? "," : "") << "{\"key\":" << Json(coverage.mCannotTravel[i].mKey)
        << ",\"why\":" << Json(coverage.mCannotTravel[i].mWhy) << "}";
  out << "],\"languages\":[";
  for (size_t i = 0; i < coverage.mLanguages.size(); ++i) {
    const sLanguageCoverage& count = coverage.mLanguages[i];
    out << (i ? "," : "") << "{\"language\":" << Json(count.mLanguage->mName)
        << ",\"code\":" << Json(count.mLanguage->mCode) << ",\"translated\":" << count.mTranslated
        << ",\"missing\":" << count.mMissing << ",\"words\":" << count.mWords << "}";
  }
  out << "],\"folders\":[";
  for (size_t i = 0; i < coverage.mFolders.size(); ++i) {
    const sFolderCoverage& folder = coverage.mFolders[i];
    out << (i ? "," : "") << "{\"folder\":" << Json(folder.mFolder)
        << ",\"strings\":" << folder.mStrings << ",\"missing\":{";
    for (size_t l = 0; l < folder.mMissing.size(); ++l)
      out << (l ? "," : "") << Json(coverage.mLanguages[l].mLanguage->mCode) << ":"
          << folder.mMissing[l];
    out << "},\"allMissing\":" << folder.mAllMissing << "}";
  }
  out << "]";
  if (coverage.mComparedWithTree) {
    const auto list = [&out](const char* name, const std::vector<std::string>& keys) {
      out << ",\"" << name << "\":[";
      for (size_t i = 0; i < keys.size(); ++i) out << (i ? "," : "") << Json(keys[i]);
      out << "]";
    };
    list("notInFile", coverage.mNotInFile);
    list("notInTree", coverage.mNotInTree);
  }
  out << "}\n";
}
}  // namespace

int RunStats(const std::filesystem::path& translations, const std::filesystem::path* tree,
             const std::filesystem::path& glossmill, bool json, const std::filesystem::path* page,
             std::ostream& out, std::ostream& err) {
  if (page && (NamesSameFile(*page, translations) ||
               NamesSameFile(TemporaryPathFor(*page), translations) ||
               (tree && NamesSameFile(*page, *tree)))) {
    err << cProgram << page->string() << " would overwrite an input\n"
        << cProgram << "nothing written\n";
    return cFailed;
  }
  cTranslationsFile file;
  std::string error;
  if (!file.Load(translations, error)) {
    err << cProgram << error << "\n";
    return cFailed;
  }
  sCoverage coverage = Measure(file);
  if (tree && !CompareWithTree(file, *tree, glossmill, coverage, error)) {
    err << cProgram << error << "\n";
    return cFailed;
  }
  if (page) {
    if (!ReplaceFileContents(*page, MakeCoveragePage(coverage, translations.filename().string()),
                             error)) {
      err << cProgram << error << "\n" << cProgram << "nothing written\n";
      return cFailed;
    }
    if (!json) out << "coverage page written to " << page->string() << "\n";
  }
  if (json)
    PrintJson(coverage, out);
  else if (!page)
    PrintText(coverage, out);
  return cDone;
}
