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
// target being `language`'s current text. A string that cannot travel
// through the translations file and back (or that XLIFF cannot carry) is
// left out; the strings left out are named in one line on `err`. Refuses,
// writing nothing, a translations file that is not one and an output that
// would overwrite it.
int RunExport(eExchangeFormat format, const sBridgeLanguage& language,
              const std::filesystem::path& translations, const std::filesystem::path& exchange,
              std::ostream& out, std::ostream& err);

// Makes the translations of `exchange` `language`'s current texts in
// `translations`, changing no other language. Each unit that names no line
// of the file, whose string cannot travel, whose English text has changed
// since the export, whose translation is still a draft (an XLIFF state
// "new" or "needs-...", approved="no" without a state, a PO or CSV entry
// marked fuzzy) or whose translation the file cannot carry (TAB, double
// quote, line break, markup) is named on `err` and left out; an empty
// translation is no translation. A file in another language, a malformed
// file, one none of whose units is in the translations file, or the
// translations file itself is an error.
int RunImport(const sBridgeLanguage& language, const std::filesystem::path& translations,
              const std::filesystem::path& exchange, std::ostream& out, std::ostream& err);

// Per language, the strings translated and missing and the English words
// still to translate, as pocount counts words; per folder at the top of
// the tree the missing strings; the strings that cannot travel. With
// `tree`, also the strings of the tree the file lacks and the lines whose
// string is no longer in the tree: the tree is extracted by `glossmill`
// (run in the tree, once per flavour the file holds, the source flavour
// when it holds none) into a temporary file. Printed as text or `json`;
// with `page`, written there as a coverage page instead of the text.
int RunStats(const std::filesystem::path& translations, const std::filesystem::path* tree,
             const std::filesystem::path& glossmill, bool json, const std::filesystem::path* page,
             std::ostream& out, std::ostream& err);
