#!/usr/bin/env python3
"""Writes t2s.dat, the traditional-to-simplified character table.

Source: the character table of the Debian package of the open Chinese
conversion data (TSCharacters.ocd2), dumped to text with its own tool.
Only one-character-to-one-character mappings whose both sides are GBK
double-byte characters are kept; the first simplified candidate wins.

A character-by-character table cannot see context, so a traditional
character is left out when simplified Chinese itself writes it: when it
occurs in one of the simplified texts given (乾 in 乾隆 and 乾坤 is not 干),
or when the conversion data lists the character among its own candidates
(it stays unchanged in some words: 於, 徵, ...).
Each output line is: traditional (2 GBK bytes), TAB, simplified (2 GBK
bytes), LF. Lines are sorted by the traditional character so the file is
byte-identical from run to run.
"""
import argparse
import os
import subprocess
import sys
import tempfile


def gbk_double_byte(ch):
    try:
        b = ch.encode("gbk")
    except UnicodeEncodeError:
        return None
    return b if len(b) == 2 else None


def read_table(table_path):
    with tempfile.TemporaryDirectory() as tmp:
        text_path = os.path.join(tmp, "table.txt")
        subprocess.run(["opencc_dict", "-i", table_path, "-o", text_path,
                        "-f", "ocd2", "-t", "text"], check=True)
        with open(text_path, encoding="utf-8") as f:
            return f.read().splitlines()


def simplified_characters(paths):
    written = set()
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                written.update(line)
    return written


def build(lines, written_in_simplified=frozenset()):
    table = {}
    skipped = 0
    kept_as_simplified = []
    for line in lines:
        key, _, values = line.partition("\t")
        candidates = values.split()
        if len(key) != 1 or not candidates or len(candidates[0]) != 1:
            skipped += 1
            continue
        if key != candidates[0] and (key in candidates or key in written_in_simplified):
            kept_as_simplified.append(key)
            continue
        trad, simp = gbk_double_byte(key), gbk_double_byte(candidates[0])
        if trad is None or simp is None or trad == simp:
            skipped += 1
            continue
        table[trad] = simp
    return table, skipped, sorted(kept_as_simplified)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--table", required=True, help="TSCharacters.ocd2")
    parser.add_argument("--out", required=True, help="output t2s.dat")
    parser.add_argument("--simplified-text", action="append", default=[],
                        help="UTF-8 text in simplified characters; characters "
                             "it holds are never converted (repeatable)")
    args = parser.parse_args()
    if not os.path.exists(args.table):
        sys.exit(f"build_t2s: {args.table} not found "
                 "(install the Debian packages opencc and libopencc-data)")
    table, skipped, kept = build(read_table(args.table),
                                 simplified_characters(args.simplified_text))
    tmp_out = args.out + ".tmp"
    with open(tmp_out, "wb") as f:
        for trad in sorted(table):
            f.write(trad + b"\t" + table[trad] + b"\n")
    os.replace(tmp_out, args.out)
    print(f"t2s.dat: {len(table)} mappings written, {skipped} entries skipped, "
          f"{len(kept)} characters simplified text writes left unconverted: "
          f"{''.join(kept)}")


if __name__ == "__main__":
    main()
