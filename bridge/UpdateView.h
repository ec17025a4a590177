// A translations file as glossmill's update sees it, which is what every
// command of the bridge shows and changes.
//
// Extraction writes a string's texts in document order (English, French,
// Italian, German, Spanish, Russian, Polish, Dutch), while the update reads
// Russian, Polish and Dutch from columns far beyond those; it leaves a
// language's text in the data file as it is when the line does not reach
// the column it reads. So a language's current text depends on the line's
// length, and only here.
#pragma once

#include <string>
#include <vector>

#include "bridge/Languages.h"
#include "bridge/cTranslationsFile.h"

// A language's current text: its update column's text when the line
// reaches that column, else its document-order column's text (what
// extraction found in the data file, which the update then leaves).
std::u16string GetCurrentText(const sTranslationsEntry& entry, const sBridgeLanguage& language);

// Makes `text` the current text of `language` (not English). A line too
// short for the language's update column grows to it, and every update
// column it newly reaches gets its language's current text, so no other
// language changes. `text` must hold no TAB, double quote, CR or LF.
void SetCurrentText(sTranslationsEntry& entry, const sBridgeLanguage& language,
                    const std::u16string& text);

// For each line of `file`, why its string cannot travel through the file
// and back into the game, or null when it can: its English text does not
// come back as the key's id (a double quote, TAB, line break or U+FEFF in
// it), a
// lone surrogate (no exchange format carries one), a flavour no update
// reads, or another line of the same key that the update reads instead.
std::vector<const char*> FindStringsThatCannotTravel(const cTranslationsFile& file);

// A string that was left out, by its line's key, and why.
struct sLeftOutString {
  std::string mKey;
  std::string mWhy;
};
// One line for standard error naming the strings left out:
// "2 strings cannot travel through a translations file: KEY (why); ...".
std::string DescribeLeftOut(const std::vector<sLeftOutString>& strings);
