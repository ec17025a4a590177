#!/usr/bin/env python3
"""Plants faults in the product's sources one at a time and tells which test
catches each: a mutation pass, to show that the tests find real faults and
that trimming them lost none.

Usage: tools/plant_faults.py [--build DIR] [--only TEXT] FAULTS...

A faults file lists faults, each one line of a source changed:

    == xml/cXmlParser.cpp: a comment's end is taken one unit early
    @@ XmlParser
    -- exact text of the line as it stands (found once in the file)
    ++ the text that replaces it

"@@" is optional: a ctest name pattern to try first, so a fault is mostly
found in seconds; when those tests pass, every other test runs. Lines
starting with "#" are comments.

For each fault the source is changed, the build directory (default
build/ci, configured beforehand) rebuilt and ctest run until the first
failure; then the source is put back as it was, whatever happened. A fault
the build refuses is reported as such (fix the entry). Exit status 1 when
any fault survived or did not build.
"""
import argparse
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Fault:
    def __init__(self, where, title):
        self.path, self.title, self.hint, self.old, self.new = where, title, None, None, None

    def name(self):
        return "%s: %s" % (self.path, self.title)


def read_faults(path):
    faults = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if not line.strip() or line.startswith("#"):
            continue
        tag, text = line[:3], line[3:]
        if tag == "== ":
            where, _, title = text.partition(": ")
            faults.append(Fault(where.strip(), title.strip()))
        elif faults and tag == "@@ ":
            faults[-1].hint = text.strip()
        elif faults and tag == "-- ":
            faults[-1].old = text
        elif faults and tag == "++ ":
            faults[-1].new = text
        else:
            sys.exit("%s:%d: not a line of a faults file" % (path, number))
    for f in faults:
        if f.old is None or f.new is None:
            sys.exit("%s: fault %r lacks its -- or ++ line" % (path, f.title))
    return faults


def failed_tests(output):
    return re.findall(r"Test +#\d+: (\S+)[^\n]*?\*\*\*(?:Failed|Exception|Timeout|Not Run)", output)


def ctest(build, args):
    run = subprocess.run(["ctest", "--test-dir", build, "--stop-on-failure", "-j", str(os.cpu_count() or 2),
                          "--timeout", "300"] + args, capture_output=True, text=True)
    return failed_tests(run.stdout + run.stderr)


def try_fault(fault, build):
    source = os.path.join(ROOT, fault.path)
    original = open(source, encoding="utf-8").read()
    found = original.count(fault.old.strip())
    if found != 1:
        return "entry stale: its -- text is found %d times" % found
    try:
        with open(source, "w", encoding="utf-8") as out:
            out.write(original.replace(fault.old.strip(), fault.new.strip(), 1))
        made = subprocess.run(["cmake", "--build", build], capture_output=True, text=True)
        if made.returncode != 0:
            return "does not build"
        failed = ctest(build, ["-R", fault.hint]) if fault.hint else []
        if not failed:
            failed = ctest(build, ["-E", fault.hint] if fault.hint else [])
        return "caught by " + ", ".join(failed[:3]) if failed else "SURVIVED"
    finally:
        with open(source, "w", encoding="utf-8") as out:
            out.write(original)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "ci"))
    ap.add_argument("--only", help="only the faults whose title or file contains this text")
    ap.add_argument("faults", nargs="+")
    args = ap.parse_args()
    faults = [f for path in args.faults for f in read_faults(path)]
    if args.only:
        faults = [f for f in faults if args.only in f.name()]
    bad = 0
    for i, fault in enumerate(faults, 1):
        outcome = try_fault(fault, args.build)
        bad += not outcome.startswith("caught")
        print("%3d/%d %s\n        %s" % (i, len(faults), fault.name(), outcome), flush=True)
    subprocess.run(["cmake", "--build", args.build], capture_output=True)
    print("%d faults, %d caught, %d not" % (len(faults), len(faults) - bad, bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
