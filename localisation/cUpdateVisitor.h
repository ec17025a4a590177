// The common part of the two update visitors: their configuration, the
// look-up of a string's record by its English text, and the translation a
// language element receives from a matched record.
//
// A record matches a string when its id equals the string's id: the English
// text with every TAB written as backslash-t and then every space as "#",
// exactly as extraction keys it. A record whose id still holds spaces
// therefore matches nothing. Only the id is compared; the driver has already
// chosen the records of this data file and flavour.
//
// The seven translated languages read fixed text columns of a record:
// French 1, Italian 2, German 3, Spanish 4, Dutch 12, Polish 21, Russian 25
// (English, column 0, is the id and is never replaced). A record too short
// to hold a language's column leaves that language's text as it is.
#pragma once

#include "API/core/cFxString.h"
#include "localisation/cRewritingVisitor.h"
#include "translations/cFileRecords.h"

class cUpdateVisitor : public cRewritingVisitor {
 public:
  // The data file's path; each flavour says how the output path follows
  // from it.
  void SetFilePath(const cFxWString& path) { mFilePath = path; }
  // A second path the drivers hand over; the update does not use it.
  void SetOutputPath(const cFxWString& path) { mOutputPath = path; }
  // This data file's lines (not owned: they must outlive the walk, which
  // reads them as its strings come).
  void SetRecords(cFileRecords& records) { mRecords = &records; }

 protected:
  // Update visitors declare the namespace on the first start tag.
  cUpdateVisitor(eFlavour flavour, eDuplicateIds duplicates);

  // The record for the string whose English text is `englishText`, or null
  // when no record carries its id. It stays valid until a later call finds
  // one.
  const sTranslationRecord* FindRecord(const cFxWString& englishText);

  // The text a language element holds after the update: `record`'s column
  // for `language` when it is one of the seven translated languages and the
  // record is long enough, else `text` unchanged.
  static const cFxWString& Translate(const sTranslationRecord& record, const cFxWString& language,
                                     const cFxWString& text);

  cFxWString mFilePath;
  cFxWString mOutputPath;

 private:
  cFileRecords* mRecords = nullptr;
  eDuplicateIds mDuplicates;
};
