#include "bridge/WordCount.h"

#include <vector>

#include "API/core/FxUtf8.h"
#include "bridge/Utf8.h"

namespace {
typedef std::u32string tPoints;

// The punctuation that pocount strips from the ends of words.
const tPoints cPunctuation =
    U".,;:!?-@#$%^*_()[]{}/\\'`\"<>\u2018\u2019\u201B\u201C\u201D\u201E\u201F\u2032\u2033"
    U"\u2034\u2035\u2036\u2037\u2039\u203A\u00AB\u00BB\u00BF\u00A1\u060C\u061F\u061B\u00F7"
    U"\u3002\u3001\uFF0C\uFF1B\uFF01\uFF1F\u300C\u300D\u300E\u300F\u3010\u3011\u0964\u0965"
    U"\u0970\u1362\u1364\u1363\u2026\u00B1\u00B0\u00B9\u00B2\u00B3\u00B7\u00A9\u00AE\u00D7"
    U"\u00A3\u00A5\u20AC";

bool IsDigit(char32_t point) {
  // Decimal digits: ASCII, Arabic-Indic, Devanagari and fullwidth ones.
  return (point >= '0' && point <= '9') || (point >= 0x660 && point <= 0x669) ||
         (point >= 0x6F0 && point <= 0x6F9) || (point >= 0x966 && point <= 0x96F) ||
         (point >= 0xFF10 && point <= 0xFF19);
}

// A character of a tag or attribute name: a letter, digit, "_", "." or ":"
// (`colon` says whether a colon counts). Beyond ASCII every character that
// is not white space, punctuation or a symbol of the Latin-1 and general
// punctuation blocks counts as a letter.
bool IsNameCharacter(char32_t point, bool colon) {
  if (point < 0x80)
    return (point >= 'a' && point <= 'z') || (point >= 'A' && point <= 'Z') || IsDigit(point) ||
           point == '_' || point == '.' || (colon && point == ':');
  if (IsWhiteSpace(point)) return false;
  if (point < 0xC0) return point == 0xAA || point == 0xB5 || point == 0xBA;
  if (point == 0xD7 || point == 0xF7) return false;
  return !(point >= 0x2000 && point <= 0x2BFF) && !(point >= 0x3000 && point <= 0x303F) &&
         !(point >= 0xFF00 && point <= 0xFF0F);
}

tPoints Points(const std::u16string& text) {
  tPoints points;
  for (size_t at = 0; at < text.size();) points += FxReadUtf16(text.data(), text.size(), at);
  return points;
}

bool At(const tPoints& text, size_t at, char32_t point) {
  return at < text.size() && text[at] == point;
}

// The end of a <br> tag at `at`, or 0.
size_t MatchBreak(const tPoints& text, size_t at) {
  if (!(At(text, at, '<') && At(text, at + 1, 'b') && At(text, at + 2, 'r'))) return 0;
  size_t end = at + 3;
  while (end < text.size() && IsWhiteSpace(text[end])) ++end;
  if (At(text, end, '/')) ++end;
  return At(text, end, '>') ? end + 1 : 0;
}

// Matches what follows a tag's name: any number of (white space, then
// perhaps name="value" or name='value'), then "/>" or ">". Tried as a
// regular expression does, the longest number of repeats first and each
// value as short as it may be; the ends found from each position are kept,
// so a tag is matched in time proportional to its length and quotes.
class cTagTail {
 public:
  explicit cTagTail(const tPoints& text) : mText(text), mEnds(text.size() + 1, cUnknown) {}

  size_t Match(size_t at) {
    if (mEnds[at] != cUnknown) return mEnds[at];
    size_t end = cNoMatch;
    if (at < mText.size() && IsWhiteSpace(mText[at])) {
      const size_t afterSpace = at + 1;
      for (size_t value = FirstValueEnd(afterSpace); end == cNoMatch && value != cNoMatch;
           value = NextValueEnd(afterSpace, value))
        end = Match(value);
      if (end == cNoMatch) end = Match(afterSpace);
    }
    if (end == cNoMatch) {
      if (At(mText, at, '/') && At(mText, at + 1, '>'))
        end = at + 2;
      else if (At(mText, at, '>'))
        end = at + 1;
    }
    return mEnds[at] = end;
  }

  static constexpr size_t cNoMatch = static_cast<size_t>(-1);

 private:
  static constexpr size_t cUnknown = static_cast<size_t>(-2);

  // Where the opening quote of an attribute starting at `at` stands, or
  // npos.
  size_t OpeningQuote(size_t at) const {
    size_t name = at;
    while (name < mText.size() && IsNameCharacter(mText[name], true)) ++name;
    if (name == at || !At(mText, name, '=')) return cNoMatch;
    const size_t quote = name + 1;
    return At(mText, quote, '"') || At(mText, quote, '\'') ? quote : cNoMatch;
  }
  // The end of the shortest value, then of each longer one: the next
  // closing quote, never across a line break.
  size_t FirstValueEnd(size_t at) const {
    const size_t quote = OpeningQuote(at);
    return quote == cNoMatch ? cNoMatch : Closing(quote, quote + 1);
  }
  size_t NextValueEnd(size_t at, size_t previous) const {
    return Closing(OpeningQuote(at), previous);
  }
  size_t Closing(size_t quote, size_t from) const {
    for (size_t i = from; i < mText.size() && mText[i] != '\n'; ++i) {
      if (mText[i] == mText[quote]) return i + 1;
    }
    return cNoMatch;
  }

  const tPoints& mText;
  std::vector<size_t> mEnds;
};

// The end of an XML tag at `at`, or 0: "<name", its attributes, ">" or
// "/>"; or "</name>".
size_t MatchTag(const tPoints& text, size_t at, cTagTail& tail) {
  if (!At(text, at, '<')) return 0;
  size_t name = at + 1;
  while (name < text.size() && IsNameCharacter(text[name], true)) ++name;
  if (name > at + 1) {
    const size_t end = tail.Match(name);
    if (end != cTagTail::cNoMatch) return end;
  }
  if (!At(text, at + 1, '/')) return 0;
  name = at + 2;
  while (name < text.size() && IsNameCharacter(text[name], false)) ++name;
  return name > at + 2 && At(text, name, '>') ? name + 1 : 0;
}

// Replaces each match of `match` from left to right by `with`.
template <typename tMatch>
tPoints ReplaceMatches(const tPoints& text, const tPoints& with, tMatch match) {
  tPoints out;
  for (size_t at = 0; at < text.size();) {
    const size_t end = match(at);
    if (end > at) {
      out += with;
      at = end;
    } else {
      out += text[at++];
    }
  }
  return out;
}
}  // namespace

size_t CountWords(const std::u16string& utf16) {
  tPoints text = Points(utf16);
  text = ReplaceMatches(text, U"\n", [&text](size_t at) { return MatchBreak(text, at); });
  cTagTail tail(text);
  text = ReplaceMatches(text, U"", [&](size_t at) { return MatchTag(text, at, tail); });
  text = ReplaceMatches(text, U" ", [&text](size_t at) {
    const bool dotBetween = at + 2 < text.size() && !IsDigit(text[at]) && text[at + 1] == '.' &&
                            !IsDigit(text[at + 2]);
    return dotBetween ? at + 3 : at;
  });
  size_t words = 0;
  size_t start = 0;
  for (size_t at = 0; at <= text.size(); ++at) {
    if (at < text.size() && !IsWhiteSpace(text[at])) continue;
    // A piece counts when some character of it is not punctuation.
    for (size_t i = start; i < at; ++i) {
      if (cPunctuation.find(text[i]) == tPoints::npos) {
        ++words;
        break;
      }
    }
    start = at + 1;
  }
  return words;
}
