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
// The language names and the flavours are the translations file's columns
// (TranslationsColumns.h).
#pragma once

#include "API/core/FxTypes.h"
#include "translations/TranslationsColumns.h"

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
constexpr const wchar16* cEnglish = kTranslationsColumns::cLanguages[0];
}  // namespace kLocalisation
