// stats: how far each language is, and how the file and a tree differ.
#include <iomanip>
#include <map>
#include <random>
#include <system_error>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "bridge/BridgeCommands.h"
#include "bridge/Utf8.h"
#include "bridge/cTranslationsFile.h"
#include "localisation/LocalisedStringVocabulary.h"

namespace {
using namespace kBridgeStatus;

const char* cProgram = "glossmill-bridge: ";

struct sLanguageCount {
  const sBridgeLanguage* mLanguage;
  size_t mFilled = 0;
  size_t mMissing = 0;
  size_t mWords = 0;  // English words of the strings still missing
};

// The keys of the strings that one side has more often than the other.
struct sTreeDifference {
  std::vector<std::string> mLacking;  // in the tree, not in the file
  std::vector<std::string> mStale;    // in the file, no longer in the tree
};

bool IsSpace(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == 0x00A0 || unit == 0x3000;
}

size_t CountWords(const std::u16string& text) {
  size_t words = 0;
  bool inWord = false;
  for (char16_t unit : text) {
    if (IsSpace(unit)) {
      inWord = false;
    } else if (!inWord) {
      inWord = true;
      ++words;
    }
  }
  return words;
}

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
  if (!FxPlatformRunProgram(glossmill.string().c_str(), args, &status, setup)) status = -1;
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
                     const std::filesystem::path& glossmill, sTreeDifference& difference,
                     std::string& error) {
  const std::u16string game = kLocalisation::cGameLabel;
  const std::u16string source = kLocalisation::cSourceLabel;
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
    std::vector<std::string>& side = key.second > 0 ? difference.mLacking : difference.mStale;
    for (long n = key.second < 0 ? -key.second : key.second; n > 0; --n)
      side.push_back(Utf16ForDisplay(key.first));
  }
  return true;
}

void PrintText(const std::vector<sLanguageCount>& counts, size_t strings,
               const sTreeDifference* difference, std::ostream& out) {
  out << strings << " strings\n";
  out << "language      filled   missing   words to translate\n";
  for (const sLanguageCount& count : counts) {
    const std::string name = count.mLanguage->mName;
    out << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ')
        << std::setw(9) << count.mFilled << std::setw(10) << count.mMissing << std::setw(21)
        << count.mWords << "\n";
  }
  if (!difference) return;
  out << difference->mLacking.size() << " strings of the tree are not in the file\n";
  for (const std::string& key : difference->mLacking) out << "  " << key << "\n";
  out << difference->mStale.size() << " lines name strings no longer in the tree\n";
  for (const std::string& key : difference->mStale) out << "  " << key << "\n";
}

void PrintJson(const std::vector<sLanguageCount>& counts, size_t strings,
               const sTreeDifference* difference, std::ostream& out) {
  out << "{\"strings\":" << strings << ",\"languages\":[";
  for (size_t i = 0; i < counts.size(); ++i) {
    const sLanguageCount& count = counts[i];
    out << (i ? "," : "") << "{\"language\":" << Json(count.mLanguage->mName)
        << ",\"code\":" << Json(count.mLanguage->mCode) << ",\"filled\":" << count.mFilled
        << ",\"missing\":" << count.mMissing << ",\"words\":" << count.mWords << "}";
  }
  out << "]";
  if (difference) {
    const auto list = [&out](const char* name, const std::vector<std::string>& keys) {
      out << ",\"" << name << "\":[";
      for (size_t i = 0; i < keys.size(); ++i) out << (i ? "," : "") << Json(keys[i]);
      out << "]";
    };
    list("notInFile", difference->mLacking);
    list("notInTree", difference->mStale);
  }
  out << "}\n";
}
}  // namespace

int RunStats(const std::filesystem::path& translations, const std::filesystem::path* tree,
             const std::filesystem::path& glossmill, bool json, std::ostream& out,
             std::ostream& err) {
  cTranslationsFile file;
  std::string error;
  if (!file.Load(translations, error)) {
    err << cProgram << error << "\n";
    return cFailed;
  }
  std::vector<sLanguageCount> counts;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) counts.push_back({&GetBridgeLanguages()[i]});
  for (const sTranslationsEntry& entry : file.Entries()) {
    const size_t words = CountWords(entry.GetText(GetSourceLanguage().mTextIndex));
    for (sLanguageCount& count : counts) {
      if (!entry.GetText(count.mLanguage->mTextIndex).empty()) {
        ++count.mFilled;
      } else {
        ++count.mMissing;
        count.mWords += words;
      }
    }
  }
  sTreeDifference difference;
  if (tree && !CompareWithTree(file, *tree, glossmill, difference, error)) {
    err << cProgram << error << "\n";
    return cFailed;
  }
  if (json)
    PrintJson(counts, file.Entries().size(), tree ? &difference : nullptr, out);
  else
    PrintText(counts, file.Entries().size(), tree ? &difference : nullptr, out);
  return cDone;
}
