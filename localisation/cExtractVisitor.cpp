#include "localisation/cExtractVisitor.h"

#include "localisation/VisitorHelpers.h"
#include "translations/TranslationsLine.h"

namespace {
// TAB, the product word, the three empty columns and the platform word.
constexpr wchar16 cLineHeadTail[] = u"\tVektrel\t\t\t\tPC";
constexpr uint32_t cLineHeadTailLength = sizeof(cLineHeadTail) / sizeof(wchar16) - 1;
constexpr wchar16 cColumnOpen[] = {u'\t', u'"'};
constexpr wchar16 cColumnClose = u'"';
constexpr wchar16 cLineEnd = u'\n';
}  // namespace

void cExtractVisitor::StartDocument() {
  // Every line of the data file starts the same: path, label and the "@"
  // its id follows.
  mKeyHead = MakeKeyPath(MakeRelativePath(mFilePath, mStartDirectory)) + u"@" +
             kTranslationsColumns::FlavourLabel(mFlavour) + u"@";
  OpenOutput();
}

void cExtractVisitor::OpenOutput() {
  // A shared stream is opened by the first visitor of the run.
  if (mOutputTried || mStream->IsOpen()) return;
  mOutputTried = true;
  const cFxPath path(mOutputPath);
  // Whether the file exists decides the byte-order mark; only opening it
  // tells, and the probe reads nothing, so it needs no buffers.
  const bool existed = mStream->Open(path, kFxFileMode::cModeRead, 0, 0, 0, 0);
  if (!mStream->Open(path, kFxFileMode::cModeAppend, 0, 0, 0, kExtract::cStreamBufferSize)) {
    mOutputFailure = mStream->GetFailure();
    return;
  }
  // A fatal error ends the process with no word to the stream's buffer:
  // the mark goes out now, or a first data file that is not well formed
  // would leave an empty file. A failed write is said at EndDocument.
  if (!existed && mStream->WriteWideChar(kTranslationsLine::cByteOrderMark)) mStream->Flush();
}

void cExtractVisitor::EndDocument() {
  if (!mStream->IsOpen()) return;
  // The lines of a data file reach the file when the data file is done,
  // whether the stream is shared or not: a fatal error in the next one
  // loses none of them.
  const bool written =
      mStream == &mOwnStream ? mStream->Close() : mStream->Flush() && !mStream->HasWriteFailed();
  if (!written) mOutputFailure = mStream->GetFailure();
}

void cExtractVisitor::ExtractText(const cXmlText& text) {
  if (mSkipString) return;
  if (!mLineStarted) {
    if (text.IsEmpty()) {
      mSkipString = true;
      return;
    }
    WriteLineHead(text);
  }
  WriteColumn(text);
}

void cExtractVisitor::EndString() {
  if (mLineStarted && mStream->IsOpen()) mStream->WriteWideChar(cLineEnd);
  mLineStarted = false;
  mSkipString = false;
}

void cExtractVisitor::WriteLineHead(const cXmlText& firstText) {
  WriteUnits(mKeyHead.c_str(), mKeyHead.Length());
  // The id goes out as it is made, with no string of its own.
  const uint32_t length = firstText.Length();
  if (mIdUnits.size() < 2 * static_cast<size_t>(length)) mIdUnits.resize(2 * static_cast<size_t>(length));
  WriteUnits(mIdUnits.data(), CopyEntryId(firstText.Units(), length, mIdUnits.data()));
  WriteUnits(cLineHeadTail, cLineHeadTailLength);
  mLineStarted = true;
}

void cExtractVisitor::WriteColumn(const cXmlText& text) {
  WriteUnits(cColumnOpen, 2);
  WriteUnits(text.Units(), text.Length());
  mStream->WriteWideChar(cColumnClose);
}

void cExtractVisitor::WriteUnits(const wchar16* units, uint32_t count) {
  if (count != 0) mStream->WriteWideChars(units, count);
}
