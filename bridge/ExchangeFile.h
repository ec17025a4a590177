// What the exchange formats (XLIFF, PO, CSV) carry between the translations
// file and a translator's tools, and the three formats' readers and writers.
//
// A unit is one line of the translations file: its name (MakeUnitId), its
// key, flavour and key path, the English text as source, the chosen
// language's current text as target when there is one, and the other
// languages' current texts as notes. A unit with a target is written as
// approved, one without as needing translation. Texts are UTF-8.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bridge/Languages.h"

struct sExchangeUnit {
  // Writing: the unit's name. Reading: every name the file gives the unit,
  // most telling first (an XLIFF id, its resname, a PO message context, a
  // reference as it stands and decoded); the first that names a line of
  // the translations file is the unit's. Messages show the first.
  std::vector<std::string> mNames;
  std::string mKey;
  std::string mFlavour;
  std::string mPath;
  std::string mSource;
  std::string mTarget;
  // Language name and text of every other language with a text.
  std::vector<std::pair<std::string, std::string>> mNotes;
  // Read only: why the target is still a draft ("marked fuzzy", "its state
  // is needs-review-translation", ...), empty when it is final; and why it
  // is more than a plain text can carry ("it holds markup" for XLIFF
  // inline elements, "it has plural forms"), empty when it is not.
  std::string mDraft;
  std::string mUnfit;
};

struct sExchangeFile {
  // The translations file's name, for the reader's orientation.
  std::string mOriginal;
  // Writing: the bridge's version, and when the translations file was made
  // (its last change). Reading: nothing.
  std::string mVersion;
  std::time_t mMade = 0;
  // Writing: the target language. Reading: the language the file declares
  // for its targets, as written there; empty when it declares none.
  std::string mTargetLanguage;
  std::vector<sExchangeUnit> mUnits;
};

enum class eExchangeFormat { eXliff, ePo, eCsv };

// "xliff", "po" or "csv", without regard to case.
bool ParseExchangeFormat(const std::string& name, eExchangeFormat& format);
// The format of a file to import: by its extension (".xlf", ".xliff", ".po",
// ".pot", ".csv"), else by its first bytes.
eExchangeFormat GuessExchangeFormat(const std::filesystem::path& path);

// A unit's name as a PO reference ("#:"), in the form Translate Toolkit
// writes and reads references: a space becomes "+", and "%", "+", a colon
// (gettext would take what follows it for a line number) and every other
// white space or control character become "%" and the two hex digits of
// each of their UTF-8 bytes; the rest stands as it is, so the reference
// begins readably with the data file's path.
std::string EncodeReference(const std::string& name);
// The name a reference stands for: "+" a space, "%" and two hex digits a
// byte. A reference that decodes to no UTF-8 stands for itself.
std::string DecodeReference(const std::string& reference);

// Each writer puts the whole file in place in one step (a temporary sibling
// replaced into `path`), or writes nothing and answers false with a
// message. `language` is the target language.
bool WriteXliff(const sExchangeFile& file, const sBridgeLanguage& language,
                const std::filesystem::path& path, std::string& error);
bool WritePo(const sExchangeFile& file, const sBridgeLanguage& language,
             const std::filesystem::path& path, std::string& error);
bool WriteCsv(const sExchangeFile& file, const sBridgeLanguage& language,
              const std::filesystem::path& path, std::string& error);

// Each reader fills `file` (mNames, mSource, mTarget, mDraft, mUnfit of
// each unit, and the declared language) or answers false with a message
// naming what is wrong with the file.
bool ReadXliff(const std::filesystem::path& path, sExchangeFile& file, std::string& error);
bool ReadPo(const std::filesystem::path& path, sExchangeFile& file, std::string& error);
bool ReadCsv(const std::filesystem::path& path, sExchangeFile& file, std::string& error);

// Why XLIFF cannot carry a unit ("U+000B, which XLIFF cannot carry"): a
// character that XML 1.0 cannot hold; empty when it can.
std::string WhyXliffCannotCarry(const sExchangeUnit& unit);

// Whether a review state read from a file marks a draft: XLIFF's "new" and
// "needs-..." states. Empty when it does not; else the reason for messages.
std::string DraftStateReason(const std::string& state);
