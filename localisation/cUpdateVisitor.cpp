#include "localisation/cUpdateVisitor.h"

#include <algorithm>

#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"

cUpdateVisitor::cUpdateVisitor(eFlavour flavour, eDuplicateIds duplicates)
    : cRewritingVisitor(flavour, true), mDuplicates(duplicates) {}

void cUpdateVisitor::SetRecords(const std::vector<sTranslationRecord>& records) {
  mRecords = records;
  mById.resize(mRecords.size());
  for (uint32_t i = 0; i < mById.size(); ++i) mById[i] = i;
  // Stable, so equal ids keep their file order and the first and last of a
  // run are the first and last line of the file.
  std::stable_sort(mById.begin(), mById.end(),
                   [this](uint32_t a, uint32_t b) { return mRecords[a].mId < mRecords[b].mId; });
}

const sTranslationRecord* cUpdateVisitor::FindRecord(const cFxWString& englishText) const {
  const cFxWString id = MakeEntryId(englishText);
  const auto first = std::lower_bound(
      mById.begin(), mById.end(), id,
      [this](uint32_t index, const cFxWString& key) { return mRecords[index].mId < key; });
  if (first == mById.end() || !TextEquals(mRecords[*first].mId, id)) return nullptr;
  if (mDuplicates == eDuplicateIds::FirstWins) return &mRecords[*first];
  const auto last = std::upper_bound(
      first, mById.end(), id,
      [this](const cFxWString& key, uint32_t index) { return key < mRecords[index].mId; });
  return &mRecords[*(last - 1)];
}

const cFxWString& cUpdateVisitor::Translate(const sTranslationRecord& record,
                                            const cFxWString& language, const cFxWString& text) {
  // Position 0 is English, the id, which no record replaces.
  for (uint32_t i = 1; i < kLocalisation::cLanguageCount; ++i) {
    if (!TextEquals(language, kLocalisation::cLanguages[i])) continue;
    const uint32_t column = static_cast<uint32_t>(kLocalisation::cLanguageTextIndex[i]);
    return column < record.mTexts.size() ? record.mTexts[column] : text;
  }
  return text;
}
