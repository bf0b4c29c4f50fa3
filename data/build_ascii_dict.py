#!/usr/bin/env python3
"""Writes ascii_dict.txt: weighted English words and pinyin syllables.

English words come from a word-frequency list (JSON: [{"word", "count"}],
counts of words in American English film subtitles); pinyin syllables are
counted in Chinese text: every character of the corpus is read with its
most common pronunciation (from a character-to-pinyin table written as Go
source, "0x4E2D: \"zhōng,zhòng\","), tone marks removed and ü written v.

Each output line is "key<TAB>kind<TAB>weight" (kind 0 English, 1 pinyin),
the weight being the natural logarithm of the key's count. Keys are lower
case, as the default mode lower-cases the text it segments. Output is
sorted and deterministic.
"""
import argparse
import collections
import json
import math
import re
import unicodedata

# Single letters in the list are mostly pieces of contractions ("it's" cut
# into "it" and "s"); only the two one-letter English words keep a count.
ONE_LETTER_WORDS = {"a", "i"}
MIN_COUNT = 2
ENGLISH_WORD = re.compile(r"^[a-z]+$")
PINYIN_ENTRY = re.compile(r'^\s*0x([0-9A-Fa-f]+):\s*"([^"]*)"')
SYLLABLE = re.compile(r"^[a-z]+$")
HELD_OUT_DAYS = ("19980129", "19980130", "19980131")


def english_counts(path):
    with open(path, encoding="utf-8") as f:
        entries = json.load(f)
    counts = collections.Counter()
    for entry in entries:
        word = str(entry["word"]).lower()
        if not ENGLISH_WORD.match(word):
            continue
        if len(word) == 1 and word not in ONE_LETTER_WORDS:
            continue
        counts[word] += int(entry["count"])
    return {w: c for w, c in counts.items() if c >= MIN_COUNT}


def toneless(reading):
    reading = reading.replace("ü", "v").replace("Ü", "v")
    decomposed = unicodedata.normalize("NFD", reading)
    plain = "".join(ch for ch in decomposed if not unicodedata.combining(ch))
    return plain.replace("u\u0308", "v").lower()


def character_readings(path):
    readings = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            match = PINYIN_ENTRY.match(line)
            if not match:
                continue
            first = toneless(match.group(2).split(",")[0].strip())
            if SYLLABLE.match(first):
                readings[chr(int(match.group(1), 16))] = first
    return readings


def pinyin_counts(readings, corpus_path):
    counts = collections.Counter()
    with open(corpus_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line[:8] in HELD_OUT_DAYS:
                continue
            for ch in line:
                syllable = readings.get(ch)
                if syllable is not None:
                    counts[syllable] += 1
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--words", required=True, help="word-frequency list (JSON)")
    parser.add_argument("--pinyin-table", required=True, help="character-to-pinyin table")
    parser.add_argument("--corpus", required=True, help="Chinese text (UTF-8)")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    english = english_counts(args.words)
    readings = character_readings(args.pinyin_table)
    pinyin = pinyin_counts(readings, args.corpus)
    lines = [f"{w}\t0\t{math.log(c):.6f}" for w, c in sorted(english.items())]
    for syllable in sorted(set(readings.values())):
        count = pinyin.get(syllable, 0)
        # A syllable the text never used still belongs to the reading; with
        # no weight it gets the smallest one.
        weight = f"{math.log(count):.6f}" if count > 0 else ""
        lines.append(f"{syllable}\t1\t{weight}")
    with open(args.out, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print(f"ascii_dict.txt: {len(english)} English words, "
          f"{len(set(readings.values()))} pinyin syllables "
          f"({sum(1 for s in set(readings.values()) if pinyin.get(s))} seen in the corpus)")


if __name__ == "__main__":
    main()
