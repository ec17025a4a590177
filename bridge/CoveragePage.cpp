// The coverage page: one HTML5 file that a translator or a lead opens in any
// browser, offline, and that a script can read (each figure in an element
// of its own, named by class and data attribute).
#include <string>

#include "bridge/Coverage.h"

namespace {
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Count(const char* className, size_t count) {
  return "<td class=\"" + std::string(className) + "\">" + std::to_string(count) + "</td>";
}

// Translated strings in whole percent, rounded down: 100 only when none is
// missing.
size_t Percent(size_t translated, size_t total) {
  return total == 0 ? 100 : translated * 100 / total;
}

const char* const cStyle =
    "body{font-family:system-ui,sans-serif;margin:2em auto;max-width:60em;color:#222;"
    "padding:0 1em}"
    "table{border-collapse:collapse;margin:1em 0}"
    "th,td{padding:.3em .8em;border-bottom:1px solid #ddd;text-align:right}"
    "th:first-child{text-align:left}"
    ".bar{display:inline-block;vertical-align:middle;width:16em;height:1em;background:#d9534f}"
    ".done{display:block;height:100%;background:#3c9a5f}"
    "code{font-size:.9em}";

void AppendLanguages(const sCoverage& coverage, std::string& page) {
  page += "<h2>Languages</h2>\n<table id=\"languages\">\n<thead><tr><th scope=\"col\">Language"
          "</th><th scope=\"col\">Translated</th><th scope=\"col\">Missing</th><th scope=\"col\">"
          "Words to translate</th><th scope=\"col\">Coverage</th></tr></thead>\n<tbody>\n";
  for (const sLanguageCoverage& language : coverage.mLanguages) {
    const size_t total = language.mTranslated + language.mMissing;
    const std::string percent = std::to_string(Percent(language.mTranslated, total));
    const std::string width =
        std::to_string(total == 0 ? 100.0 : 100.0 * language.mTranslated / total);
    page += "<tr data-code=\"" + language.mLanguage->mCode + "\"><th scope=\"row\">" +
            language.mLanguage->mName + "</th>" + Count("translated", language.mTranslated) +
            Count("missing", language.mMissing) + Count("words", language.mWords) +
            "<td><span class=\"bar\" role=\"img\" aria-label=\"" +
            std::to_string(language.mTranslated) + " translated, " +
            std::to_string(language.mMissing) + " missing\"><span class=\"done\" style=\"width:" +
            width + "%\"></span></span> <span class=\"percent\">" + percent +
            "</span>&nbsp;%</td></tr>\n";
  }
  page += "</tbody>\n</table>\n";
}

void AppendFolders(const sCoverage& coverage, std::string& page) {
  page += "<h2>Missing strings by folder</h2>\n<p>Folders at the top of the tree, the one "
          "with the most missing texts first.</p>\n<table id=\"folders\">\n<thead><tr>"
          "<th scope=\"col\">Folder</th><th scope=\"col\">Strings</th>";
  for (const sLanguageCoverage& language : coverage.mLanguages)
    page += "<th scope=\"col\">" + language.mLanguage->mName + "</th>";
  page += "<th scope=\"col\">All</th></tr></thead>\n<tbody>\n";
  for (const sFolderCoverage& folder : coverage.mFolders) {
    page += "<tr data-folder=\"" + Escape(folder.mFolder) + "\"><th scope=\"row\">" +
            (folder.mFolder.empty() ? std::string("(files at the top)") : Escape(folder.mFolder)) +
            "</th>" + Count("strings", folder.mStrings);
    for (size_t l = 0; l < folder.mMissing.size(); ++l)
      page += "<td class=\"missing\" data-code=\"" + coverage.mLanguages[l].mLanguage->mCode +
              "\">" + std::to_string(folder.mMissing[l]) + "</td>";
    page += Count("all", folder.mAllMissing) + "</tr>\n";
  }
  page += "</tbody>\n</table>\n";
}

void AppendKeys(const char* id, const std::vector<std::string>& keys, std::string& page) {
  if (keys.empty()) return;
  page += "<ul id=\"" + std::string(id) + "\">\n";
  for (const std::string& key : keys) page += "<li><code>" + Escape(key) + "</code></li>\n";
  page += "</ul>\n";
}
}  // namespace

std::string MakeCoveragePage(const sCoverage& coverage, const std::string& title) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta name=\"generator\" content=\"glossmill-bridge " GLOSSMILL_BRIDGE_VERSION "\">\n"
      "<title>Translation coverage of " + Escape(title) + "</title>\n<style>" + cStyle +
      "</style>\n</head>\n<body>\n<h1>Translation coverage of <code>" + Escape(title) +
      "</code></h1>\n<p><span id=\"strings\">" + std::to_string(coverage.mStrings) +
      "</span> strings in the file; <span id=\"cannot-travel\">" +
      std::to_string(coverage.mCannotTravel.size()) +
      "</span> of them cannot travel through a translations file and are not counted below.</p>\n";
  AppendLanguages(coverage, page);
  AppendFolders(coverage, page);
  if (!coverage.mCannotTravel.empty()) {
    page += "<h2>Strings that cannot travel</h2>\n<ul id=\"cannot-travel-list\">\n";
    for (const sLeftOutString& string : coverage.mCannotTravel)
      page += "<li><code>" + Escape(string.mKey) + "</code>: " + Escape(string.mWhy) + "</li>\n";
    page += "</ul>\n";
  }
  if (coverage.mComparedWithTree) {
    page += "<h2>File and tree</h2>\n<p><span id=\"not-in-file\">" +
            std::to_string(coverage.mNotInFile.size()) +
            "</span> strings of the tree are not in the file.</p>\n";
    AppendKeys("not-in-file-list", coverage.mNotInFile, page);
    page += "<p><span id=\"not-in-tree\">" + std::to_string(coverage.mNotInTree.size()) +
            "</span> lines name strings no longer in the tree.</p>\n";
    AppendKeys("not-in-tree-list", coverage.mNotInTree, page);
  }
  return page + "</body>\n</html>\n";
}
