#!/usr/bin/env python3
"""Translate Toolkit playing a translator's tool for the bridge's tests.

CODE IN OUT [IN OUT ...]
    reads each exchange file with Translate Toolkit's reader for its kind,
    gives every unit the target "CODE: <source> \u2713" and writes it with
    Translate Toolkit's writer to OUT.
"""
import sys

from translate.storage import factory


def fill(code, pairs):
    for source_path, target_path in zip(pairs[::2], pairs[1::2]):
        store = factory.getobject(source_path)
        for unit in store.units:
            if unit.istranslatable() and not unit.isheader():
                unit.target = f"{code}: {unit.source} \u2713"
        store.savefile(target_path)


if __name__ == "__main__":
    fill(sys.argv[1], sys.argv[2:])
