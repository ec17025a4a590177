// Names of the two shapes of a user-localised string, shared by every
// visitor. Names are compared exactly, code unit by code unit.
//
// Game shape (XML made from a ".bin"):
//   <Localisation-cUserLocalisedString>
//     <English d:type="cDeltaString">text</English> ... <Dutch .../>
//     <Other/>
// Source shape (".xml" data files):
//   <Localisation-cUserLocalisedString><Element><Value>
//     <Attribute name="English"><cDeltaString><Element><Value>text</Value>...
//     ... one Attribute per language, then
//     <Attribute name="Other"><__Indexed__...-cOtherStringLangPair>
//       <Element><Value/></Element>...
#pragma once

#include "API/core/FxTypes.h"

// The two flavours every operation comes in: game (the XML form the
// serializer makes of a ".bin" file) and source (".xml" data files). They
// differ in the string's shape, the rules of a copy and the key's label.
enum class eFlavour { Game, Source };

namespace kLocalisation {
constexpr const wchar16* cLocalisedString = u"Localisation-cUserLocalisedString";
constexpr const wchar16* cDeltaString = u"cDeltaString";
constexpr const wchar16* cOtherList =
    u"__Indexed__Localisation-cUserLocalisedString-cOtherStringLangPair";
constexpr const wchar16* cElement = u"Element";
constexpr const wchar16* cValue = u"Value";
constexpr const wchar16* cAttribute = u"Attribute";
constexpr const wchar16* cNameAttribute = u"name";
constexpr const wchar16* cTypeAttribute = u"type";
constexpr const wchar16* cNamespacePrefix = u"d";
constexpr const wchar16* cNil = u"nil";
constexpr const wchar16* cBlob = u"blob";
constexpr const wchar16* cOther = u"Other";
// The language whose text is the string's id.
constexpr const wchar16* cEnglish = u"English";

// Flavour labels of the translations-file key.
constexpr const wchar16* cGameLabel = u"Game";
constexpr const wchar16* cSourceLabel = u"Source";
constexpr const wchar16* FlavourLabel(eFlavour flavour) {
  return flavour == eFlavour::Game ? cGameLabel : cSourceLabel;
}

// The languages in the order a localised string holds them.
constexpr uint32_t cLanguageCount = 8;
constexpr const wchar16* cLanguages[cLanguageCount] = {
    u"English", u"French", u"Italian", u"German", u"Spanish", u"Russian", u"Polish", u"Dutch"};
// The text index in a translations record that the update reads for each
// language; English (-1) is the lookup id and is never replaced.
constexpr int32_t cLanguageTextIndex[cLanguageCount] = {-1, 1, 2, 3, 4, 25, 21, 12};
}  // namespace kLocalisation
