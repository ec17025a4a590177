// What a line of the translations file says besides its texts: the flavour
// its key is labelled with, and which language each text column holds. The
// table reads lines by them, the visitors write and look up lines by them,
// and the bridge maps its own languages onto them.
#pragma once

#include "API/core/FxTypes.h"

// The two flavours every operation comes in: game (the XML form the
// serializer makes of a ".bin" file) and source (".xml" data files). They
// differ in the string's shape, the rules of a copy and the key's label.
enum class eFlavour { Game, Source };

namespace kTranslationsColumns {
// Flavour labels of the translations-file key.
constexpr const wchar16* cGameLabel = u"Game";
constexpr const wchar16* cSourceLabel = u"Source";
constexpr const wchar16* FlavourLabel(eFlavour flavour) {
  return flavour == eFlavour::Game ? cGameLabel : cSourceLabel;
}

// The languages in the order a localised string holds them, which is the
// order of the text columns an extraction writes.
constexpr uint32_t cLanguageCount = 8;
constexpr const wchar16* cLanguages[cLanguageCount] = {
    u"English", u"French", u"Italian", u"German", u"Spanish", u"Russian", u"Polish", u"Dutch"};
// The text index in a translations record that the update reads for each
// language; English (-1) is the lookup id and is never replaced.
constexpr int32_t cLanguageTextIndex[cLanguageCount] = {-1, 1, 2, 3, 4, 25, 21, 12};
}  // namespace kTranslationsColumns
