#!/usr/bin/env python3
"""Writes People's Daily paragraphs as a character column file for
zorvseg-train crf: one character per line, a tab and its position in its
word (B begins, M inside, E ends a word of two or more characters, S is a
word of one), a blank line after each paragraph.

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
    paragraphs = 0
    with open(args.corpus, encoding="utf-8") as corpus, \
            open(args.out, "w", encoding="utf-8", newline="\n") as out:
        for line in corpus:
            day = line[:8]
            if day in held_out or (only and day not in only):
                continue
            rows = []
            for word, _ in parse_pd_line(line):
                word = normalise(word).replace(" ", "")
                rows.extend(f"{ch}\t{label}" for ch, label in zip(word, labels(word)))
            if rows:
                out.write("\n".join(rows) + "\n\n")
                paragraphs += 1
    print(f"{args.out}: {paragraphs} paragraphs")


if __name__ == "__main__":
    main()
