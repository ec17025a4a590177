// CSV as RFC 4180 in UTF-8: a header row, then one record per unit; fields
// that hold a comma, a double quote, a line break or edge spaces are quoted
// with inner quotes doubled; records end with CRLF. The header names the
// columns: id, flavour, file, English, the target language, then the other
// languages, so that a spreadsheet shows each text under its language.
#include <fstream>
#include <iterator>

#include "bridge/ExchangeFile.h"
#include "bridge/cTranslationsFile.h"

namespace {
constexpr size_t cFixedColumns = 5;
constexpr const char* cFixedNames[cFixedColumns - 1] = {"id", "flavour", "file", "English"};
constexpr const char* cUtf8Bom = "\xEF\xBB\xBF";

void AppendField(const std::string& text, std::string& out) {
  const bool quoted = text.find_first_of(",\"\r\n") != std::string::npos ||
                      (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quoted) {
    out += text;
    return;
  }
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
}  // namespace

bool WriteCsv(const sExchangeFile& file, const sBridgeLanguage& language,
              const std::filesystem::path& path, std::string& error) {
  std::vector<std::string> header(cFixedNames, cFixedNames + cFixedColumns - 1);
  header.push_back(language.mName);
  std::vector<const sBridgeLanguage*> others;
  for (size_t i = 1; i < cBridgeLanguageCount; ++i) {
    const sBridgeLanguage& other = GetBridgeLanguages()[i];
    if (&other == &language) continue;
    others.push_back(&other);
    header.push_back(other.mName);
  }
  std::string out;
  AppendRecord(header, out);
  for (const sExchangeUnit& unit : file.mUnits) {
    std::vector<std::string> fields = {unit.mId,     unit.mFlavour, unit.mPath,
                                       unit.mSource, unit.mTarget};
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
  std::vector<std::vector<std::string>> records;
  if (!ParseRecords(text, records, error)) {
    error = path.string() + ": " + error;
    return false;
  }
  bool headerFits = !records.empty() && records[0].size() >= cFixedColumns;
  for (size_t i = 0; headerFits && i + 1 < cFixedColumns; ++i)
    headerFits = records[0][i] == cFixedNames[i];
  if (!headerFits) {
    error = path.string() + ": the header row must begin id,flavour,file,English,<language>";
    return false;
  }
  file.mTargetLanguage = records[0][cFixedColumns - 1];
  for (size_t r = 1; r < records.size(); ++r) {
    const std::vector<std::string>& fields = records[r];
    if (fields.size() != records[0].size()) {
      error = path.string() + ": record " + std::to_string(r + 1) + " has " +
              std::to_string(fields.size()) + " fields, the header " +
              std::to_string(records[0].size());
      return false;
    }
    sExchangeUnit unit;
    unit.mId = fields[0];
    unit.mSource = fields[3];
    unit.mTarget = fields[4];
    file.mUnits.push_back(std::move(unit));
  }
  return true;
}
