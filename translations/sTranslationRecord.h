// One line of the translations file as the update reads it.
#pragma once

#include <vector>

#include "API/core/cFxString.h"

struct sTranslationRecord {
  cFxWString mFlavour;   // the key's flavour part ("Game" or "Source")
  cFxWString mReserved;  // always empty
  cFxWString mId;        // the key's id part, still escaped (backslash-t, "#")
  // The text columns, the first text column (English) at index 0. A line
  // with n < 11 TABs gets 11 - n empty texts appended, so a well-formed one
  // always has at least six.
  std::vector<cFxWString> mTexts;
};
