#!/usr/bin/env python3
"""Builds transl.dt, the translation catalogue, from the data in translations/.

translations/languages.tsv lists the languages in column order, one a line: the language's own
name, a tab, its code. English comes first; its texts are the program's own. Every other language
has translations/<code>.tsv: one line per text, the English text exactly as the program passes it
to Translate(), a tab, the translation. All of these files hold the same English texts in the same
order, which is the order of the catalogue's rows.

transl.dt: line 1 holds the number of languages N; then groups of N lines, one group per row: the
languages' own names, their codes, then one English text and its translations per group.

This script only checks that the data has that structure. Whether a translation keeps the
placeholders, ampersands and blanks of its English text is checked by the catalogue test
(tests/translation/test_catalogue.cpp), which reads the catalogue as the program does.

Usage: python3 script/make_transl.py [--output PATH]   (default: src/app/transl.dt, the shipped copy;
the build writes its own beside the programs, and the catalogue test checks that the two agree)
"""

import argparse
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class DataError(Exception):
    pass


def read_rows(path):
    """The lines of a tab-separated file as pairs; LF or CR LF endings, an optional byte-order mark."""
    with open(path, encoding="utf-8-sig", newline="") as f:
        text = f.read()
    if text.endswith("\n"):
        text = text[:-1]
    rows = []
    for number, line in enumerate(text.split("\n") if text else [], 1):
        if line.endswith("\r"):
            line = line[:-1]
        fields = line.split("\t")
        where = "%s:%d" % (os.path.basename(path), number)
        if len(fields) != 2:
            raise DataError("%s: %d tab-separated fields instead of 2" % (where, len(fields)))
        if "\r" in line:
            raise DataError("%s: a text holds a line break" % where)
        if not fields[0]:
            raise DataError("%s: the first field is empty" % where)
        rows.append((fields[0], fields[1], where))
    return rows


def build(data):
    languages = read_rows(os.path.join(data, "languages.tsv"))
    names = [name for name, _, _ in languages]
    codes = [code for _, code, _ in languages]
    if not codes or codes[0] != "en":
        raise DataError("languages.tsv: English (en) must come first")
    if len(set(codes)) != len(codes):
        raise DataError("languages.tsv: a code is listed twice")
    listed = {code + ".tsv" for code in codes[1:]}
    unlisted = sorted(f for f in os.listdir(data) if f.endswith(".tsv") and f != "languages.tsv" and f not in listed)
    if unlisted:
        raise DataError("%s: not listed in languages.tsv" % ", ".join(unlisted))

    english = None
    columns = []
    for code in codes[1:]:
        rows = read_rows(os.path.join(data, code + ".tsv"))
        texts = [en for en, _, _ in rows]
        if english is None:
            english = texts
            first = code
        elif texts != english:
            for (en, _, where), expected in zip(rows, english):
                if en != expected:
                    raise DataError("%s: %r where %s.tsv has %r" % (where, en, first, expected))
            raise DataError("%s.tsv: %d texts where %s.tsv has %d" % (code, len(texts), first, len(english)))
        columns.append([translation for _, translation, _ in rows])

    lines = [str(len(codes))] + names + codes
    for row, en in enumerate(english or []):
        lines.append(en)
        lines += [column[row] for column in columns]
    return "\n".join(lines) + "\n", len(codes), len(english or [])


def main():
    parser = argparse.ArgumentParser(description="Builds transl.dt from translations/.")
    parser.add_argument("--output", default=os.path.join(ROOT, "src", "app", "transl.dt"))
    parser.add_argument("--data", default=os.path.join(ROOT, "translations"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    try:
        catalogue, languages, texts = build(args.data)
    except (DataError, OSError, UnicodeDecodeError) as error:
        print("make_transl: %s" % error, file=sys.stderr)
        return 1
    # Written whole or not at all: the build must never find half a catalogue up to date.
    with open(args.output + ".tmp", "w", encoding="utf-8", newline="\n") as out:
        out.write(catalogue)
    os.replace(args.output + ".tmp", args.output)
    print("%s: %d languages, %d texts" % (args.output, languages, texts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
