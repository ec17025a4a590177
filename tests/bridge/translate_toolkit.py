#!/usr/bin/env python3
"""Translate Toolkit playing a translator's tool for the bridge's tests.

fill CODE IN OUT [IN OUT ...]
    reads each exchange file with Translate Toolkit's reader for its kind,
    gives every unit the target "CODE: <source> \u2713" and writes it with
    Translate Toolkit's writer to OUT.
read FILE...
    prints each file's units as Translate Toolkit reads them, one line per
    unit, TAB between the fields: the file, its locations (joined by "|"),
    source, target, and whether it counts the unit translated and fuzzy (1
    or 0). The texts of the tests hold no TAB or line break.
"""
import sys

from translate.storage import factory


def units_of(store):
    return [unit for unit in store.units if unit.istranslatable() and not unit.isheader()]


def fill(code, pairs):
    for source_path, target_path in zip(pairs[::2], pairs[1::2]):
        store = factory.getobject(source_path)
        for unit in units_of(store):
            unit.target = f"{code}: {unit.source} \u2713"
        store.savefile(target_path)


def read(paths):
    for path in paths:
        for unit in units_of(factory.getobject(path)):
            fields = [path, "|".join(unit.getlocations()), str(unit.source), str(unit.target or ""),
                      str(int(bool(unit.istranslated()))), str(int(bool(unit.isfuzzy())))]
            sys.stdout.write("\t".join(fields) + "\n")


if __name__ == "__main__":
    if sys.argv[1] == "fill":
        fill(sys.argv[2], sys.argv[3:])
    else:
        read(sys.argv[2:])
