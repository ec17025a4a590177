#!/usr/bin/env python3
"""Checks a coverage page of glossmill-bridge against its stats --json.

check_coverage_page.py PAGE JSON

Reads PAGE with Python's HTML parser (and, where html5lib is installed,
with html5lib's strict HTML5 parser, which fails on any parse error), checks
that it is self-contained (no scripts, nothing it would fetch), and that
every figure on it is the one the JSON report gives: strings, strings that
cannot travel, per language translated, missing, words and percentage, per
folder strings and missing texts in the report's order (worst first), and
the keys that tree and file lack. Prints what differs and exits 1, or
prints how many figures it compared.
"""
import json
import sys
from html.parser import HTMLParser

VOID = {"meta", "link", "br", "img", "input", "hr"}


class Node:
    """An element: its tag, attributes, and its children (elements and
    texts) in document order."""

    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent = tag, dict(attrs), parent
        self.children = []

    def elements(self):
        return [child for child in self.children if isinstance(child, Node)]

    def find_all(self, test):
        for child in self.elements():
            if test(child):
                yield child
            yield from child.find_all(test)

    def find(self, test):
        return next(self.find_all(test), None)

    def all_text(self):
        return "".join(child if isinstance(child, str) else child.all_text() for child in self.children)


class TreeBuilder(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = self.current = Node("#document", [], None)
        self.problems = []

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.current)
        self.current.children.append(node)
        if tag not in VOID:
            self.current = node

    def handle_endtag(self, tag):
        if self.current.tag != tag:
            self.problems.append(f"</{tag}> closes <{self.current.tag}>")
            return
        self.current = self.current.parent

    def handle_data(self, data):
        self.current.children.append(data)


def main(page_path, json_path):
    with open(page_path, encoding="utf-8") as page_file:
        page = page_file.read()
    with open(json_path, encoding="utf-8") as json_file:
        report = json.load(json_file)
    problems = []
    compared = 0

    def same(what, shown, expected):
        nonlocal compared
        compared += 1
        if str(shown).strip() != str(expected):
            problems.append(f"{what}: the page shows {shown!r}, the report {expected!r}")

    try:
        import html5lib
    except ImportError:
        html5lib = None
    if html5lib is not None:
        try:
            html5lib.HTMLParser(strict=True).parse(page)
        except Exception as error:  # html5lib names each parse error by its own class
            problems.append(f"not well-formed HTML5: {error!r}")
    if not page.startswith("<!DOCTYPE html>"):
        problems.append("no HTML5 doctype")

    builder = TreeBuilder()
    builder.feed(page)
    builder.close()
    problems += builder.problems
    document = builder.root
    if builder.current is not document:
        problems.append(f"<{builder.current.tag}> is never closed")

    for node in document.find_all(lambda n: True):
        if node.tag in ("script", "link", "img", "iframe", "object", "embed"):
            problems.append(f"<{node.tag}> on a self-contained page")
        for name in ("src", "href", "srcset"):
            if name in node.attrs:
                problems.append(f"<{node.tag} {name}=...> would fetch something")
        if "url(" in node.attrs.get("style", "") or (node.tag == "style" and "url(" in node.all_text()):
            problems.append("a style that fetches something")

    def by_id(name):
        return document.find(lambda n: n.attrs.get("id") == name)

    def cell(row, class_name):
        found = row.find(lambda n: n.attrs.get("class") == class_name)
        return found.all_text() if found else None

    same("strings", by_id("strings").all_text(), report["strings"])
    same("strings that cannot travel", by_id("cannot-travel").all_text(), len(report["cannotTravel"]))
    travel_list = by_id("cannot-travel-list")
    shown_keys = [li.all_text() for li in travel_list.elements()] if travel_list else []
    same("strings named as unable to travel", shown_keys,
         [f"{item['key']}: {item['why']}" for item in report["cannotTravel"]])

    rows = list(by_id("languages").find_all(lambda n: n.tag == "tr" and "data-code" in n.attrs))
    same("languages", [row.attrs["data-code"] for row in rows], [l["code"] for l in report["languages"]])
    for row, language in zip(rows, report["languages"]):
        for figure in ("translated", "missing", "words"):
            same(f"{language['code']} {figure}", cell(row, figure), language[figure])
        total = language["translated"] + language["missing"]
        same(f"{language['code']} percent", cell(row, "percent"),
             100 if total == 0 else language["translated"] * 100 // total)
        done = row.find(lambda n: n.attrs.get("class") == "done")
        width = float(done.attrs["style"].split("width:")[1].rstrip("%;"))
        same(f"{language['code']} bar", round(width, 3),
             round(100.0 if total == 0 else 100.0 * language["translated"] / total, 3))
        bar = row.find(lambda n: n.attrs.get("class") == "bar")
        same(f"{language['code']} bar label", bar.attrs.get("aria-label"),
             f"{language['translated']} translated, {language['missing']} missing")

    rows = list(by_id("folders").find_all(lambda n: n.tag == "tr" and "data-folder" in n.attrs))
    same("folders, worst first", [row.attrs["data-folder"] for row in rows], [f["folder"] for f in report["folders"]])
    for row, folder in zip(rows, report["folders"]):
        same(f"{folder['folder']} strings", cell(row, "strings"), folder["strings"])
        same(f"{folder['folder']} all", cell(row, "all"), folder["allMissing"])
        for code, missing in folder["missing"].items():
            shown = row.find(lambda n: n.attrs.get("class") == "missing" and n.attrs.get("data-code") == code)
            same(f"{folder['folder']} {code}", shown.all_text() if shown else None, missing)
    same("folders in order", [f["allMissing"] for f in report["folders"]],
         sorted((f["allMissing"] for f in report["folders"]), reverse=True))

    for name, key in (("not-in-file", "notInFile"), ("not-in-tree", "notInTree")):
        if key not in report:
            same(f"no {name} figure without a tree", by_id(name), None)
            continue
        same(name, by_id(name).all_text(), len(report[key]))
        listed = by_id(name + "-list")
        same(f"{name} keys", [li.all_text() for li in listed.elements()] if listed else [], report[key])

    if problems:
        print("\n".join(problems))
        return 1
    print(f"{compared} figures as the report gives them")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
