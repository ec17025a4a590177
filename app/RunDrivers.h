// The three run drivers, one per operation, each in the flavour the
// command line's switch names (g: game, s: source). Each runs to its end
// and returns; a badly formed data file ends the process inside the run.
// How the flavours differ is tabled, step by step, at the top of each
// driver's file.
#pragma once

#include <vector>

#include "API/core/cFxString.h"
#include "translations/TranslationsColumns.h"

class cFxFile;

typedef std::vector<cFxWString> tTagList;

// -gx / -sx: extract every localised string below the current directory
// into the translations file `outputName` (8-bit, as typed).
void RunExtract(eFlavour flavour, const char* outputName);

// -gu / -su: write the translations of an opened translations file back.
void RunUpdate(eFlavour flavour, cFxFile& translations);

// -gr / -sr: turn plain strings in named tags into localised strings.
void RunReplace(eFlavour flavour, const tTagList& replaceTags, const tTagList& excludeTags,
                const tTagList& scopeTags);
