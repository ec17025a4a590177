// PO as the gettext tools write it: a header naming the language, its
// plural rule, UTF-8 and the bridge, then one entry per unit with the
// unit's name as message context and as reference (which gettext's
// converters keep where they drop the context), the English text as msgid
// and the translation as msgstr; flavour, key path and the other
// languages' texts stand in extracted comments. Read back, an entry names
// its line by its context or else by a reference.
#include <gettext-po.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>

#include "bridge/ExchangeFile.h"
#include "bridge/cTranslationsFile.h"

namespace {
// The library reports through plain callbacks without a context; the first
// problem of the current call is kept here.
std::string gPoProblem;

void NoteProblem(int severity, const char* fileName, size_t line, const char* text) {
  if (gPoProblem.empty()) {
    gPoProblem = (fileName ? std::string(fileName) + ":" : std::string()) +
                 (fileName && line != static_cast<size_t>(-1) ? std::to_string(line) + ": " : " ") +
                 (text ? text : "error");
    while (!gPoProblem.empty() && gPoProblem.back() == '\n') gPoProblem.pop_back();
  }
  if (severity == PO_SEVERITY_FATAL_ERROR) {
    // The library must not be returned to: nothing has been written yet.
    std::fprintf(stderr, "glossmill-bridge: %s\n", gPoProblem.c_str());
    std::exit(1);
  }
}

void OnProblem(int severity, po_message_t, const char* fileName, size_t line, size_t, int,
               const char* text) {
  // Warnings leave the file usable.
  if (severity != PO_SEVERITY_WARNING) NoteProblem(severity, fileName, line, text);
}

void OnProblemPair(int severity, po_message_t, const char* fileName, size_t line, size_t, int,
                   const char* text, po_message_t, const char*, size_t, size_t, int,
                   const char*) {
  if (severity != PO_SEVERITY_WARNING) NoteProblem(severity, fileName, line, text);
}

const po_xerror_handler cHandler = {OnProblem, OnProblemPair};
// The line number of a reference that has none.
constexpr size_t cNoLine = static_cast<size_t>(-1);

struct sPoFileFree {
  void operator()(po_file_t file) const { po_file_free(file); }
};
typedef std::unique_ptr<struct po_file, sPoFileFree> tPoFile;

std::string PoDate(std::time_t seconds) {
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M+0000", std::gmtime(&seconds));
  return date;
}

std::string MakeHeader(const sExchangeFile& file, const sBridgeLanguage& language) {
  return "Project-Id-Version: glossmill translations\n"
         "POT-Creation-Date: " + PoDate(file.mMade) + "\n"
         "PO-Revision-Date: " + PoDate(std::time(nullptr)) + "\n"
         "Last-Translator: \n"
         "Language-Team: \n"
         "Language: " + language.mCode + "\n"
         "MIME-Version: 1.0\n"
         "Content-Type: text/plain; charset=UTF-8\n"
         "Content-Transfer-Encoding: 8bit\n"
         "Plural-Forms: " + language.mPluralForms + "\n"
         "X-Generator: glossmill-bridge " + file.mVersion + "\n";
}

std::string MakeComments(const sExchangeUnit& unit) {
  std::string comments = "flavour: " + unit.mFlavour + "\nfile: " + unit.mPath + "\n";
  for (const auto& note : unit.mNotes) comments += note.first + ": " + note.second + "\n";
  return comments;
}

// The charset the header's Content-Type names; empty when none.
std::string CharsetOf(const char* header) {
  std::string charset;
  char* contentType = po_header_field(header, "Content-Type");
  if (contentType) {
    const std::string field = contentType;
    std::free(contentType);
    const size_t at = field.find("charset=");
    if (at != std::string::npos) charset = field.substr(at + 8);
    while (!charset.empty() && (charset.back() == ' ' || charset.back() == ';')) charset.pop_back();
  }
  return charset;
}

bool IsUtf8Name(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name == "UTF-8" || name == "UTF8";
}
}  // namespace

bool WritePo(const sExchangeFile& file, const sBridgeLanguage& language,
             const std::filesystem::path& path, std::string& error) {
  tPoFile po(po_file_create());
  po_message_iterator_t iterator = po_message_iterator(po.get(), nullptr);
  po_message_t header = po_message_create();
  po_message_set_msgid(header, "");
  po_message_set_msgstr(header, MakeHeader(file, language).c_str());
  po_message_insert(iterator, header);
  for (const sExchangeUnit& unit : file.mUnits) {
    po_message_t message = po_message_create();
    const std::string& name = unit.mNames.at(0);
    po_message_set_msgctxt(message, name.c_str());
    po_message_set_msgid(message, unit.mSource.c_str());
    po_message_set_msgstr(message, unit.mTarget.c_str());
    po_message_set_extracted_comments(message, MakeComments(unit).c_str());
    po_message_add_filepos(message, EncodeReference(name).c_str(), cNoLine);
    po_message_insert(iterator, message);
  }
  po_message_iterator_free(iterator);

  // The library writes through a name it opens itself, following any link
  // there: it writes where nobody else can put one, and the output's own
  // temporary file is made as every other is.
  std::string bytes;
  gPoProblem.clear();
  const auto write = [&po](const std::filesystem::path& name) {
    po_file_write(po.get(), name.string().c_str(), &cHandler);
    return gPoProblem.empty();
  };
  if (!WriteThroughPrivateFile(write, bytes, error)) {
    if (!gPoProblem.empty()) error = gPoProblem;
    return false;
  }
  return ReplaceFileContents(path, bytes, error);
}

bool ReadPo(const std::filesystem::path& path, sExchangeFile& file, std::string& error) {
  // The library treats a file it cannot open as fatal; say it here instead.
  if (!std::ifstream(path)) {
    error = "cannot read " + path.string();
    return false;
  }
  gPoProblem.clear();
  tPoFile po(po_file_read(path.string().c_str(), &cHandler));
  if (!po || !gPoProblem.empty()) {
    error = gPoProblem.empty() ? "cannot read " + path.string() : gPoProblem;
    return false;
  }
  for (const char* const* domain = po_file_domains(po.get()); *domain; ++domain) {
    const char* header = po_file_domain_header(po.get(), *domain);
    if (header) {
      const std::string charset = CharsetOf(header);
      if (!charset.empty() && !IsUtf8Name(charset)) {
        error = path.string() + ": written in " + charset + ", not UTF-8";
        return false;
      }
      char* declared = po_header_field(header, "Language");
      if (declared) {
        file.mTargetLanguage = declared;
        std::free(declared);
      }
    }
    po_message_iterator_t iterator = po_message_iterator(po.get(), *domain);
    for (po_message_t message; (message = po_next_message(iterator)) != nullptr;) {
      const char* context = po_message_msgctxt(message);
      const bool isHeader = context == nullptr && *po_message_msgid(message) == '\0';
      if (isHeader || po_message_is_obsolete(message)) continue;
      sExchangeUnit unit;
      if (context) unit.mNames.push_back(context);
      for (int i = 0; po_filepos_t position = po_message_filepos(message, i); ++i) {
        const size_t line = po_filepos_start_line(position);
        const std::string reference = std::string(po_filepos_file(position)) +
                                      (line == cNoLine ? std::string() : ":" + std::to_string(line));
        // A reference is written encoded (by this program or Translate
        // Toolkit's tools); as it stands it comes second.
        const std::string decoded = DecodeReference(reference);
        unit.mNames.push_back(decoded);
        if (decoded != reference) unit.mNames.push_back(reference);
      }
      unit.mSource = po_message_msgid(message);
      // A message with plural forms keeps its translations apart.
      const char* target = po_message_msgid_plural(message) ? po_message_msgstr_plural(message, 0)
                                                           : po_message_msgstr(message);
      unit.mTarget = target ? target : "";
      if (po_message_is_fuzzy(message)) unit.mDraft = "marked fuzzy";
      if (po_message_msgid_plural(message)) unit.mUnfit = "it has plural forms";
      file.mUnits.push_back(std::move(unit));
    }
    po_message_iterator_free(iterator);
  }
  return true;
}
