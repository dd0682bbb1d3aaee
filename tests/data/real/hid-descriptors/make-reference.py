#!/usr/bin/env python3
"""Makes the reference readings the descriptor tests compare with.

Reads the shared corpus (corpus/*.hex, corpus.tsv, hidtools_ref.json.gz: the
hid-tools parser's reading of each descriptor) and writes, next to this script:

  descriptors.tsv  id, name, descriptor bytes in hex
  reference.tsv    one line per report: id, type (0 input, 1 output,
                   2 feature), report ID, bit length with the ID byte, number
                   of elements, FNV-1a 64 of the report's elements (see Canon)

usage: make-reference.py SHARED_HID_DESCRIPTORS_FOLDER
       make-reference.py SHARED_HID_DESCRIPTORS_FOLDER --show ID TYPE REPORT_ID
         prints the canonical elements of one report (to compare with what the
         test prints on a mismatch)
"""
import gzip
import json
import os
import sys


def canon(report):
    """The report's elements, one per line, as the test writes them; items of
    no bits are left out (and reports that have nothing else).

    A variable field gives one element per bit field: "v start size usage
    lmin lmax"; an array gives one: "a start size count lmin lmax u1,u2,...";
    padding gives "c start bits", one span for padding that follows padding. Usages are page << 16 | id, in hex. The
    elements are in the order of their first bit (stable: equal starts keep the
    descriptor's order), so that the comparison does not depend on how a parser
    groups the fields of two collections that share a report.
    """
    lines = []  # (start, text)
    for f in report["fields"]:
        if f["size"] * f["count"] == 0:
            continue  # no bits: nothing to read
        if f["const"]:
            lines.append((f["start"], f"c {f['start']} {f['size'] * f['count']}"))
        elif f["array"]:
            usages = ",".join(f"{u:x}" for u in f["usages"])
            lines.append((f["start"], f"a {f['start']} {f['size']} {f['count']} {f['lmin']} {f['lmax']} {usages}"))
        else:
            for i in range(f["count"]):
                start = f["start"] + i * f["size"]
                lines.append((start, f"v {start} {f['size']} {f['usage']:x} {f['lmin']} {f['lmax']}"))
    merged = []
    for start, text in sorted(lines, key=lambda line: line[0]):
        # Padding is one span however a parser splits it into elements.
        if text.startswith("c ") and merged and merged[-1][1].startswith("c "):
            first, bits = (int(x) for x in merged[-1][1].split()[1:])
            if first + bits == start:
                merged[-1] = (first, f"c {first} {bits + int(text.split()[2])}")
                continue
        merged.append((start, text))
    return [text for _, text in merged]


def fnv(text):
    h = 0xCBF29CE484222325
    for b in text.encode():
        h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def main():
    shared = sys.argv[1]
    with gzip.open(os.path.join(shared, "hidtools_ref.json.gz"), "rt") as f:
        ref = json.load(f)
    if len(sys.argv) == 6 and sys.argv[2] == "--show":
        for r in ref[sys.argv[3]]["reports"]:
            if r["type"] == int(sys.argv[4]) and r["id"] == int(sys.argv[5]):
                print("\n".join(canon(r)))
        return
    here = os.path.dirname(os.path.abspath(__file__))
    names = {}
    with open(os.path.join(shared, "corpus.tsv")) as f:
        next(f)
        for line in f:
            cells = line.rstrip("\n").split("\t")
            names[cells[0]] = cells[1]
    ids = sorted(names)
    with open(os.path.join(here, "descriptors.tsv"), "w") as out:
        for i in ids:
            with open(os.path.join(shared, "corpus", i + ".hex")) as f:
                out.write(f"{i}\t{names[i]}\t{f.read().strip()}\n")
    with open(os.path.join(here, "reference.tsv"), "w") as out:
        for i in ids:
            for r in ref[i]["reports"]:
                lines = canon(r)
                if not lines:
                    continue  # a report of no bits
                text = "".join(l + "\n" for l in lines)
                out.write(f"{i}\t{r['type']}\t{r['id']}\t{r['bitsize']}\t{len(lines)}\t{fnv(text):016x}\n")


if __name__ == "__main__":
    main()
