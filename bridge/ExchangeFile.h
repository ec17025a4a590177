// What the exchange formats (XLIFF, PO, CSV) carry between the translations
// file and a translator's tools, and the three formats' readers and writers.
//
// A unit is one line of the translations file: its name (MakeUnitId), its
// key, flavour and key path, the English text as source, the chosen
// language's text as target when there is one, and the texts of the other
// languages as notes. Texts are UTF-8.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bridge/Languages.h"

struct sExchangeUnit {
  std::string mId;
  std::string mKey;
  std::string mFlavour;
  std::string mPath;
  std::string mSource;
  std::string mTarget;
  // Language name and text of every other language with a text.
  std::vector<std::pair<std::string, std::string>> mNotes;
  // Read only: the target is not final (a PO entry marked fuzzy), or it
  // holds markup that plain text cannot carry (XLIFF inline elements).
  bool mFuzzy = false;
  bool mMarkup = false;
};

struct sExchangeFile {
  // The translations file's name, for the reader's orientation.
  std::string mOriginal;
  // Writing: the target language. Reading: the language the file declares
  // for its targets, as written there; empty when it declares none.
  std::string mTargetLanguage;
  std::vector<sExchangeUnit> mUnits;
};

enum class eExchangeFormat { eXliff, ePo, eCsv };

// "xliff", "po" or "csv", without regard to case.
bool ParseExchangeFormat(const std::string& name, eExchangeFormat& format);
// The format of a file to import: by its extension (".xlf", ".xliff", ".po",
// ".csv"), else by its first bytes.
eExchangeFormat GuessExchangeFormat(const std::filesystem::path& path);

// Each writer puts the whole file in place in one step (a temporary sibling
// replaced into `path`), or writes nothing and answers false with a
// message. `language` is the target language.
bool WriteXliff(const sExchangeFile& file, const sBridgeLanguage& language,
                const std::filesystem::path& path, std::string& error);
bool WritePo(const sExchangeFile& file, const sBridgeLanguage& language,
             const std::filesystem::path& path, std::string& error);
bool WriteCsv(const sExchangeFile& file, const sBridgeLanguage& language,
              const std::filesystem::path& path, std::string& error);

// Each reader fills `file` (mId, mSource, mTarget, mFuzzy, mMarkup of each
// unit, and the declared language) or answers false with a message naming
// what is wrong with the file.
bool ReadXliff(const std::filesystem::path& path, sExchangeFile& file, std::string& error);
bool ReadPo(const std::filesystem::path& path, sExchangeFile& file, std::string& error);
bool ReadCsv(const std::filesystem::path& path, sExchangeFile& file, std::string& error);
