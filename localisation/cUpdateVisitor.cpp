#include "localisation/cUpdateVisitor.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"

cUpdateVisitor::cUpdateVisitor(eFlavour flavour, eDuplicateIds duplicates)
    : cRewritingVisitor(flavour, true), mDuplicates(duplicates) {}

const sTranslationRecord* cUpdateVisitor::FindRecord(const cFxWString& englishText) {
  return mRecords ? mRecords->Find(MakeEntryId(englishText), mDuplicates) : nullptr;
}

const cFxWString& cUpdateVisitor::Translate(const sTranslationRecord& record,
                                            const cFxWString& language, const cFxWString& text) {
  // Position 0 is English, the id, which no record replaces.
  for (uint32_t i = 1; i < kTranslationsColumns::cLanguageCount; ++i) {
    if (!TextEquals(language, kTranslationsColumns::cLanguages[i])) continue;
    const uint32_t column = static_cast<uint32_t>(kTranslationsColumns::cLanguageTextIndex[i]);
    return column < record.mTexts.size() ? record.mTexts[column] : text;
  }
  return text;
}
