// CSV as RFC 4180 in UTF-8 with a byte-order mark (spreadsheets take the
// encoding from it): a header row, then one record per unit, every field
// quoted with inner quotes doubled, records ending with CRLF. The header
// names the columns as Translate Toolkit's CSV reader knows them (location:
// the unit's name, source, target), then the target language, flavour and
// file, then the other languages by name, so that a spreadsheet shows each
// text under its language.
//
// Read back by the header's names, so columns may move; besides its own
// names a file may use those of Translate Toolkit (id, context, original,
// translation, fuzzy, ...) or name the target column by its language.
#include <fstream>
#include <initializer_list>
#include <iterator>

#include "bridge/ExchangeFile.h"
#include "bridge/cTranslationsFile.h"

namespace {
constexpr const char* cUtf8Bom = "\xEF\xBB\xBF";
constexpr const char* cLeadingNames[] = {"location", "source", "target", "language", "flavour",
                                         "file"};

void AppendField(const std::string& text, std::string& out) {
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendRecord(const std::vector<std::string>& fields, std::string& out) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) out += ',';
    AppendField(fields[i], out);
  }
  out += "\r\n";
}

// Splits `text` into records of fields. False with a message naming the
// record when a field is badly quoted.
bool ParseRecords(const std::string& text, std::vector<std::vector<std::string>>& records,
                  std::string& error) {
  size_t at = text.compare(0, 3, cUtf8Bom) == 0 ? 3 : 0;
  while (at < text.size()) {
    std::vector<std::string> fields;
    for (;;) {
      std::string field;
      if (at < text.size() && text[at] == '"') {
        ++at;
        for (;;) {
          if (at >= text.size()) {
            error = "record " + std::to_string(records.size() + 1) + ": a quoted field never ends";
            return false;
          }
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              field += '"';
              at += 2;
              continue;
            }
            ++at;
            break;
          }
          field += text[at++];
        }
        if (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n') {
          error = "record " + std::to_string(records.size() + 1) +
                  ": text after the closing quote of a field";
          return false;
        }
      } else {
        while (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n') {
          if (text[at] == '"') {
            error = "record " + std::to_string(records.size() + 1) +
                    ": a double quote inside an unquoted field";
            return false;
          }
          field += text[at++];
        }
      }
      fields.push_back(std::move(field));
      if (at < text.size() && text[at] == ',') {
        ++at;
        continue;
      }
      break;
    }
    if (at < text.size() && text[at] == '\r') ++at;
    if (at < text.size()) {
      if (text[at] != '\n') {
        error = "record " + std::to_string(records.size() + 1) + ": a CR without LF";
        return false;
      }
      ++at;
    }
    records.push_back(std::move(fields));
  }
  return true;
}

// Where the header row puts each column the reader looks at; npos when
// it has none.
struct sColumns {
  static constexpr size_t cNone = std::string::npos;
  std::vector<size_t> mNames;  // id, context, location: most telling first
  size_t mSource = cNone;
  size_t mTarget = cNone;
  size_t mLanguage = cNone;
  size_t mDraft = cNone;
  // The language a target column is named by ("French"), if it is.
  std::string mTargetLanguage;
};

size_t FindColumn(const std::vector<std::string>& header,
                  std::initializer_list<const char*> names) {
  for (const char* name : names) {
    for (size_t i = 0; i < header.size(); ++i) {
      if (header[i] == name) return i;
    }
  }
  return sColumns::cNone;
}

sColumns FindColumns(const std::vector<std::string>& header) {
  sColumns columns;
  for (const auto& names : {std::initializer_list<const char*>{"id", "identified", "key", "label"},
                            std::initializer_list<const char*>{"context"},
                            std::initializer_list<const char*>{"location"}}) {
    const size_t column = FindColumn(header, names);
    if (column != sColumns::cNone) columns.mNames.push_back(column);
  }
  columns.mSource = FindColumn(header, {"source", "original", "untranslated", "English"});
  columns.mTarget = FindColumn(header, {"target", "translated", "translation"});
  if (columns.mTarget == sColumns::cNone && columns.mSource != sColumns::cNone &&
      columns.mSource + 1 < header.size()) {
    // A target column named by its language follows the English one.
    const sBridgeLanguage* language = FindBridgeLanguage(header[columns.mSource + 1]);
    if (language && language != &GetSourceLanguage() && header[columns.mSource + 1] == language->mName) {
      columns.mTarget = columns.mSource + 1;
      columns.mTargetLanguage = language->mName;
    }
  }
  columns.mLanguage = FindColumn(header, {"language"});
  columns.mDraft = FindColumn(header, {"fuzzy", "state"});
  return columns;
}

// Why a review column's value marks a draft: Translate Toolkit's fuzzy
// values and XLIFF's draft states. Empty when it does not.
std::string DraftReason(std::string value) {
  for (char& c : value) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (value == "1" || value == "x" || value == "true" || value == "yes" || value == "fuzzy")
    return "marked fuzzy";
  return DraftStateReason(value);
}

// Translate Toolkit's own CSV writer doubles every backslash (its dialect
// escapes with one) while its reader and every spreadsheet take them as they
// stand. A unit's name is a key, which begins with one backslash: when every
// name in the file begins with two, the file was written so, and each field
// gets its backslashes back.
bool DoublesBackslashes(const std::vector<std::vector<std::string>>& records,
                        const std::vector<size_t>& nameColumns) {
  bool doubled = false;
  for (size_t r = 1; r < records.size(); ++r) {
    for (size_t column : nameColumns) {
      if (column >= records[r].size() || records[r][column].empty()) continue;
      if (records[r][column].compare(0, 2, "\\\\") != 0) return false;
      doubled = true;
    }
  }
  return doubled;
}

std::string UndoubleBackslashes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') ++i;
  }
  return out;
}

bool IsBlankRecord(const std::vector<std::string>& fields) {
  return fields.size() == 1 && fields[0].empty();
}
}  // namespace

bool WriteCsv(const sExchangeFile& file, const sBridgeLanguage& language,
              const std::filesystem::path& path, std::string& error) {
  std::vector<std::string> header(std::begin(cLeadingNames), std::end(cLeadingNames));
  std::vector<const sBridgeLanguage*> others;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& other = GetBridgeLanguages()[i];
    if (&other == &language) continue;
    others.push_back(&other);
    header.push_back(other.mName);
  }
  std::string out = cUtf8Bom;
  AppendRecord(header, out);
  for (const sExchangeUnit& unit : file.mUnits) {
    std::vector<std::string> fields = {unit.mNames.at(0), unit.mSource, unit.mTarget,
                                       language.mName,   unit.mFlavour, unit.mPath};
    for (const sBridgeLanguage* other : others) {
      std::string text;
      for (const auto& note : unit.mNotes) {
        if (note.first == other->mName) text = note.second;
      }
      fields.push_back(text);
    }
    AppendRecord(fields, out);
  }
  return ReplaceFileContents(path, out, error);
}

bool ReadCsv(const std::filesystem::path& path, sExchangeFile& file, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path.string();
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
    error = path.string() + " is UTF-16 text: save it as CSV in UTF-8";
    return false;
  }
  std::vector<std::vector<std::string>> records;
  if (!ParseRecords(text, records, error)) {
    error = path.string() + ": " + error;
    return false;
  }
  // Blank lines (a spreadsheet may leave one at the end) are no records.
  std::vector<std::vector<std::string>> kept;
  for (auto& record : records) {
    if (!IsBlankRecord(record)) kept.push_back(std::move(record));
  }
  records.swap(kept);
  if (!records.empty() && records[0].size() == 1 && records[0][0].find(';') != std::string::npos) {
    error = path.string() + " separates its fields by semicolons: save it with commas (CSV UTF-8)";
    return false;
  }
  const sColumns columns = records.empty() ? sColumns() : FindColumns(records[0]);
  if (columns.mNames.empty() || columns.mSource == sColumns::cNone ||
      columns.mTarget == sColumns::cNone) {
    error = path.string() + ": the header row must name the columns location, source and target";
    return false;
  }
  file.mTargetLanguage = columns.mTargetLanguage;
  const bool doubled = DoublesBackslashes(records, columns.mNames);
  for (size_t r = 1; r < records.size(); ++r) {
    std::vector<std::string>& fields = records[r];
    if (fields.size() != records[0].size()) {
      error = path.string() + ": record " + std::to_string(r + 1) + " has " +
              std::to_string(fields.size()) + " fields, the header " +
              std::to_string(records[0].size());
      return false;
    }
    if (doubled) {
      for (std::string& field : fields) field = UndoubleBackslashes(field);
    }
    if (columns.mLanguage != sColumns::cNone && !fields[columns.mLanguage].empty()) {
      const std::string& language = fields[columns.mLanguage];
      if (!file.mTargetLanguage.empty() &&
          FindBridgeLanguage(language) != FindBridgeLanguage(file.mTargetLanguage)) {
        error = path.string() + ": record " + std::to_string(r + 1) + " is in " + language +
                ", the ones before in " + file.mTargetLanguage;
        return false;
      }
      file.mTargetLanguage = language;
    }
    sExchangeUnit unit;
    for (size_t column : columns.mNames) {
      const std::string& name = fields[column];
      if (name.empty()) continue;
      unit.mNames.push_back(name);
      const std::string decoded = DecodeReference(name);
      if (decoded != name) unit.mNames.push_back(decoded);
    }
    unit.mSource = fields[columns.mSource];
    unit.mTarget = fields[columns.mTarget];
    if (columns.mDraft != sColumns::cNone) unit.mDraft = DraftReason(fields[columns.mDraft]);
    file.mUnits.push_back(std::move(unit));
  }
  return true;
}
