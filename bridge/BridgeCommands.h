// The commands of glossmill-bridge. Each writes its result to `out`, its
// messages to `err`, and answers the program's exit status: 0 done, 1 an
// error (nothing written), 2 an import that wrote what it could and
// reported the rest.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "bridge/ExchangeFile.h"

namespace kBridgeStatus {
constexpr int cDone = 0;
constexpr int cFailed = 1;
constexpr int cReported = 2;
}  // namespace kBridgeStatus

// Writes one unit per line of `translations` into `out` in `format`, the
// target being `language`'s text. Refuses, writing nothing, when a text
// cannot be carried by the format (a lone surrogate; for XLIFF a control
// character).
int RunExport(eExchangeFormat format, const sBridgeLanguage& language,
              const std::filesystem::path& translations, const std::filesystem::path& exchange,
              std::ostream& out, std::ostream& err);

// Writes the translations of `exchange` into `language`'s column of
// `translations`. Each unit that is not in the file, whose English text has
// changed since the export, or whose translation the file cannot carry (TAB,
// double quote, line break, markup) is reported with its name and skipped;
// an empty or fuzzy translation is no translation. A file in another
// language, a malformed file, or one none of whose units is in the
// translations file is an error.
int RunImport(const sBridgeLanguage& language, const std::filesystem::path& translations,
              const std::filesystem::path& exchange, std::ostream& out, std::ostream& err);

// Per language, the strings with and without a translation and the English
// words still to translate. With `tree`, also the strings of the tree the
// file lacks and the lines whose string is no longer in the tree: the tree
// is extracted by `glossmill` (run in the tree, once per flavour the file
// holds, the source flavour when it holds none) into a temporary file.
int RunStats(const std::filesystem::path& translations, const std::filesystem::path* tree,
             const std::filesystem::path& glossmill, bool json, std::ostream& out,
             std::ostream& err);
