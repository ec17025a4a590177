// The writer's layout rules live in the flags: a start tag stays open until
// something follows it (so an element without content can still become
// "/>"), and a line end is owed after any written name or escape, paid
// before the next start tag or after the next end tag. Text gets no line
// end or indentation of its own, so texts round-trip unchanged.
#include "xml/cXmlWriter.h"

#include "API/core/cFxString.h"
#include "xml/cFxFile.h"

namespace {

// Bytes of one writer call, put straight into the stream's write buffer:
// a call costs no copy and no Write of its own. A stream without a buffer
// of some size gets them gathered locally and written in as few Write
// calls as possible.
class cByteRun {
 public:
  explicit cByteRun(cFxFile* stream) : mStream(stream) { Begin(); }
  ~cByteRun() { End(); }
  cByteRun(const cByteRun&) = delete;
  cByteRun& operator=(const cByteRun&) = delete;

  void Byte(uint8_t byte) {
    if (mNext == mEnd) {
      End();
      Begin();
    }
    *mNext++ = byte;
  }
  // Where `count` bytes may go one after another without a check, or null
  // when the stream has no buffer of that size; Advance names their end.
  uint8_t* Reserve(uint32_t count) {
    if (static_cast<uint32_t>(mEnd - mNext) < count) {
      End();
      Begin(count);
    }
    return mDirect && static_cast<uint32_t>(mEnd - mNext) >= count ? mNext : nullptr;
  }
  void Advance(uint8_t* next) { mNext = next; }
  // One UTF-16 code unit as one, two or three bytes; a surrogate is encoded
  // on its own like any other unit.
  void Unit(wchar16 unit) {
    if (unit < 0x80) {
      Byte(static_cast<uint8_t>(unit));
    } else if (unit < 0x800) {
      Byte(static_cast<uint8_t>(0xC0 | (unit >> 6)));
      Byte(static_cast<uint8_t>(0x80 | (unit & 0x3F)));
    } else {
      Byte(static_cast<uint8_t>(0xE0 | (unit >> 12)));
      Byte(static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F)));
      Byte(static_cast<uint8_t>(0x80 | (unit & 0x3F)));
    }
  }

 private:
  // Room asked of the stream's buffer at a time: a tag or a short text.
  static constexpr uint32_t cLeastRoom = 64;

  void Begin(uint32_t least = cLeastRoom) {
    uint32_t room = 0;
    uint8_t* space = mStream != nullptr ? mStream->GetWriteSpace(least, room) : nullptr;
    mDirect = space != nullptr;
    mNext = mDirect ? space : mLocal;
    mEnd = mDirect ? space + room : mLocal + sizeof mLocal;
  }
  // A failed write needs no answer here: the stream remembers it for the
  // one who closes it.
  void End() {
    if (mDirect) {
      mStream->CommitWriteSpace(mNext);
    } else if (mNext != mLocal && mStream != nullptr) {
      mStream->Write(mLocal, static_cast<int>(mNext - mLocal));
    }
  }

  cFxFile* mStream;
  bool mDirect = false;
  uint8_t* mNext = nullptr;
  uint8_t* mEnd = nullptr;
  uint8_t mLocal[256];
};

const wchar16* const kEmpty = u"";
inline const wchar16* OrEmpty(const wchar16* text) { return text ? text : kEmpty; }

// The escape of a character that may not appear as itself, or null.
inline const wchar16* EscapeOf(wchar16 unit) {
  switch (unit) {
    case u'&': return u"&amp;";
    case u'<': return u"&lt;";
    case u'>': return u"&gt;";
    case u'"': return u"&quot;";
    case u'\'': return u"&apos;";
    default: return nullptr;
  }
}

// Units of a text written into the buffer between two checks for room.
constexpr uint32_t cStretchUnits = 1024;
// The most bytes one unit of a text can take: the escape "&quot;".
constexpr uint32_t cLongestUnitBytes = 6;

// The writer's output primitives over the byte run of the current call and
// the writer's pending-line-end flag.
struct sXmlWriterOutput {
  cByteRun& mRun;
  uint8_t& mNewlinePending;

  void Char(wchar16 unit) { mRun.Unit(unit); }
  // Any string, even an empty one, leaves a line end owed.
  void String(const wchar16* text) {
    for (const wchar16* p = OrEmpty(text); *p; ++p) mRun.Unit(*p);
    mNewlinePending = 1;
  }
  void QualifiedName(const wchar16* name, const wchar16* prefix) {
    if (prefix && *prefix) {
      String(prefix);
      Char(u':');
    }
    String(name);
  }
  void Escaped(const wchar16* text, uint32_t length) {
    uint32_t i = 0;
    while (i < length) {
      // A stretch of the text at a time straight into the buffer, with room
      // for the longest form of every unit in it ("&quot;").
      const uint32_t stretch = length - i < cStretchUnits ? length - i : cStretchUnits;
      uint8_t* next = mRun.Reserve(stretch * cLongestUnitBytes);
      if (next == nullptr) break;
      bool escaped = false;
      for (const uint32_t end = i + stretch; i < end; ++i) {
        const wchar16 unit = text[i];
        if (unit < 0x80) {
          const wchar16* escape = EscapeOf(unit);
          if (escape == nullptr) {
            *next++ = static_cast<uint8_t>(unit);
          } else {
            for (; *escape; ++escape) *next++ = static_cast<uint8_t>(*escape);
            escaped = true;
          }
        } else if (unit < 0x800) {
          *next++ = static_cast<uint8_t>(0xC0 | (unit >> 6));
          *next++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        } else {
          *next++ = static_cast<uint8_t>(0xE0 | (unit >> 12));
          *next++ = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
          *next++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        }
      }
      mRun.Advance(next);
      // An escape is a written string: it leaves a line end owed.
      if (escaped) mNewlinePending = 1;
    }
    // A stream without a buffer that large: unit by unit.
    for (; i < length; ++i) {
      const wchar16* escape = EscapeOf(text[i]);
      if (escape) {
        String(escape);
      } else {
        Char(text[i]);
      }
    }
  }
  void Tabs(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) mRun.Byte('\t');
  }
  void LineEnd() {
    mRun.Byte('\r');
    mRun.Byte('\n');
  }
};

}  // namespace

void cXmlWriter::Begin(cFxFile& stream) {
  mStream = &stream;
  mDepth = 0;
  mTagOpen = 0;
  mEmpty = 0;
  cByteRun run(mStream);
  sXmlWriterOutput out{run, mNewlinePending};
  out.String(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  out.LineEnd();
  mNewlinePending = 0;
  mAtLineStart = 1;
}

void cXmlWriter::StartElement(const wchar16* name, const wchar16* prefix) {
  cByteRun run(mStream);
  sXmlWriterOutput out{run, mNewlinePending};
  if (mTagOpen) {
    out.Char(u'>');
    mTagOpen = 0;
  }
  if (mNewlinePending) {
    out.LineEnd();
    mNewlinePending = 0;
    mAtLineStart = 1;
  }
  if (mAtLineStart) {
    out.Tabs(mDepth);
    mAtLineStart = 0;
  }
  ++mDepth;
  out.Char(u'<');
  out.QualifiedName(name, prefix);
  mTagOpen = 1;
  mEmpty = 1;
}

void cXmlWriter::Attribute(const wchar16* name, const wchar16* value, uint32_t valueLength,
                           const wchar16* prefix) {
  cByteRun run(mStream);
  sXmlWriterOutput out{run, mNewlinePending};
  out.Char(u' ');
  out.QualifiedName(name, prefix);
  out.Char(u'=');
  out.Char(u'"');
  out.Escaped(OrEmpty(value), value ? valueLength : 0);
  out.Char(u'"');
}

void cXmlWriter::Attribute(const wchar16* name, const wchar16* value, const wchar16* prefix) {
  Attribute(name, value, FxWStrLen(value), prefix);
}

void cXmlWriter::NamespaceDeclaration(const wchar16* prefix, const wchar16* uri) {
  cByteRun run(mStream);
  sXmlWriterOutput out{run, mNewlinePending};
  out.Char(u' ');
  out.String(u"xmlns");
  out.Char(u':');
  out.String(prefix);
  out.Char(u'=');
  out.Char(u'"');
  uri = OrEmpty(uri);
  out.Escaped(uri, FxWStrLen(uri));
  out.Char(u'"');
}

void cXmlWriter::Text(const wchar16* text, uint32_t length) {
  cByteRun run(mStream);
  sXmlWriterOutput out{run, mNewlinePending};
  if (mTagOpen) {
    out.Char(u'>');
    mTagOpen = 0;
  }
  mEmpty = 0;
  out.Escaped(OrEmpty(text), text ? length : 0);
}

void cXmlWriter::Text(const wchar16* text) { Text(text, FxWStrLen(text)); }

// The parser passes end tags without a matching start tag through; such
// an end tag must not wrap the depth round to four billion TABs.
void cXmlWriter::LeaveLevel() {
  if (mDepth > 0) --mDepth;
}

void cXmlWriter::EndElement(const wchar16* name, const wchar16* prefix) {
  cByteRun run(mStream);
  sXmlWriterOutput out{run, mNewlinePending};
  if (mEmpty) {
    mEmpty = 0;
    mTagOpen = 0;
    out.Char(u'/');
    out.Char(u'>');
    LeaveLevel();
  } else {
    if (mTagOpen) {
      out.Char(u'>');
      mTagOpen = 0;
    }
    LeaveLevel();
    if (mAtLineStart) {
      out.Tabs(mDepth);
      mAtLineStart = 0;
    }
    out.Char(u'<');
    out.Char(u'/');
    out.QualifiedName(name, prefix);
    out.Char(u'>');
  }
  if (mNewlinePending) {
    out.LineEnd();
    mNewlinePending = 0;
    mAtLineStart = 1;
  }
}
