#!/usr/bin/env python3
"""Writes People's Daily paragraphs as a character column file for
zorvseg-train crf: one character per line, its class, and its position in
its word (B begins, M inside, E ends a word of two or more characters, S is
a word of one), TAB-separated, a blank line after each sentence.

The class is read from the character's GB18030 bytes exactly as the
library's unknown-word stage reads it (UnknownWordFinder::CharClass): D
digit, L Latin letter, P punctuation or symbol, N Chinese numeral, C any
other character.

Words are read and normalised as zorvseg-eval reads them (compounds
flattened, sound notes dropped, full-width ASCII to half-width, lower case).

  pd_char_columns.py CORPUS OUT --hold-out-days 19980129,19980130,19980131
  pd_char_columns.py CORPUS OUT --only-days 19980129,19980130,19980131
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from zorvseg_eval import normalise, parse_pd_line  # noqa: E402


CHINESE_NUMERALS = set("〇零一二三四五六七八九十百千万亿两")


def char_class(ch):
    data = ch.encode("gb18030")
    if len(data) == 1:
        if ch.isdigit():
            return "D"
        return "L" if ch.isalpha() else "P"
    if ch in CHINESE_NUMERALS:
        return "N"
    if len(data) == 2 and 0xA1 <= data[0] <= 0xA9:
        if data[0] == 0xA3 and 0xB0 <= data[1] <= 0xB9:
            return "D"
        if data[0] == 0xA3 and (0xC1 <= data[1] <= 0xDA or 0xE1 <= data[1] <= 0xFA):
            return "L"
        return "P"
    return "C"


# The segmenter labels one sentence at a time: sequences end where its
# sentences do.
SENTENCE_ENDS = {"。", "!", "?", ";", "！", "？", "；"}


def write_sequence(out, rows):
    if not rows:
        return 0
    out.write("\n".join(rows) + "\n\n")
    rows.clear()
    return 1


def labels(word):
    if len(word) == 1:
        return "S"
    return "B" + "M" * (len(word) - 2) + "E"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("out")
    days = parser.add_mutually_exclusive_group()
    days.add_argument("--hold-out-days", default="", help="days YYYYMMDD left out")
    days.add_argument("--only-days", default="", help="the only days written")
    args = parser.parse_args()
    held_out = set(filter(None, args.hold_out_days.split(",")))
    only = set(filter(None, args.only_days.split(",")))
    sequences = 0
    with open(args.corpus, encoding="utf-8") as corpus, \
            open(args.out, "w", encoding="utf-8", newline="\n") as out:
        for line in corpus:
            day = line[:8]
            if day in held_out or (only and day not in only):
                continue
            rows = []
            for word, _ in parse_pd_line(line):
                word = normalise(word).replace(" ", "")
                rows.extend(f"{ch}\t{char_class(ch)}\t{label}"
                            for ch, label in zip(word, labels(word)))
                if word in SENTENCE_ENDS:
                    sequences += write_sequence(out, rows)
            sequences += write_sequence(out, rows)
    print(f"{args.out}: {sequences} sentences")


if __name__ == "__main__":
    main()
