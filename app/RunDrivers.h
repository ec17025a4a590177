// The six run drivers, one per operation and flavour. Each runs to its end
// and returns; a badly formed data file ends the process inside the run.
#pragma once

#include <vector>

#include "API/core/cFxString.h"

class cFxFile;

typedef std::vector<cFxWString> tTagList;

// -gx / -sx: extract every localised string below the current directory
// into the translations file `outputName` (8-bit, as typed).
void RunGameExtract(const char* outputName);
void RunSourceExtract(const char* outputName);

// -gu / -su: write the translations of an opened translations file back.
void RunGameUpdate(cFxFile& translations);
void RunSourceUpdate(cFxFile& translations);

// -gr / -sr: turn plain strings in named tags into localised strings.
void RunGameReplace(const tTagList& replaceTags, const tTagList& excludeTags,
                    const tTagList& scopeTags);
void RunSourceReplace(const tTagList& replaceTags, const tTagList& excludeTags,
                      const tTagList& scopeTags);
