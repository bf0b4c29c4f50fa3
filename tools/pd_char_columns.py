#!/usr/bin/env python3
"""Writes People's Daily paragraphs as a character column file for
zorvseg-train crf: one character per line, its class, what the lexicon
offers there, and its position in its word (B begins, M inside, E ends a
word of two or more characters, S is a word of one), TAB-separated, a blank
line after each sentence.

The class is read from the character's GB18030 bytes exactly as the
library's unknown-word stage reads it (UnknownWordFinder::CharClass): D
digit, L Latin letter, P punctuation or symbol, N Chinese numeral, C any
other character.

The lexicon column is a letter 'a' + 1 (a lexicon word of two or more
characters starts here) + 2 (one ends here) + 4 (one that starts earlier
covers this character), as the stage computes it from the lattice's
dictionary matches (OmniSegNetBuilder::MarkWeakCharacters). The segmenter's lexicon
holds every training word, so read as it is the column would say that
every word is known; each day is instead written with a lexicon that lacks
the corpus words seen on at most --rare-days days (words of the
--keep-words lists stay), so that the model sees unknown words as new text
brings them.

Words are read and normalised as zorvseg-eval reads them (compounds
flattened, sound notes dropped, full-width ASCII to half-width, lower case).

With --weak-runs, only what the stage labels is written: each maximal run
of two or more weak characters (multi-byte, lexicon letter 'a': no lexicon
word of two or more characters touches them) as a sequence of its own. A
word that crosses the run's edge is cut there, and its part inside the run
is labelled as a word of its own (--weak-runs word) or keeps its labels
(--weak-runs keep).

  pd_char_columns.py CORPUS OUT --lexicon lexicon.txt --keep-words open_words.txt \
      --hold-out-days 19980129,19980130,19980131
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


def word_labels(words):
    """Each character's label and the index of its word."""
    out = []
    for index, word in enumerate(words):
        out.extend((label, index) for label in labels(word))
    return out


def sentence_ends(words):
    """The positions right after each sentence-ending word."""
    ends, pos = set(), 0
    for word in words:
        pos += len(word)
        if word in SENTENCE_ENDS:
            ends.add(pos)
    return ends


def run_labels(run, marks, edges):
    """The labels of a run's characters: their own ones (keep), or with the
    pieces of words cut by the run's edges labelled as words (word)."""
    if edges == "keep":
        return [marks[pos][0] for pos in run]
    tags, piece = [], 1
    for k, pos in enumerate(run):
        if k + 1 < len(run) and marks[run[k + 1]][1] == marks[pos][1]:
            piece += 1
            continue
        tags.extend(labels("x" * piece))
        piece = 1
    return tags


def weak_runs(text, codes, marks, ends, edges):
    """The rows of each run of weak characters in `text`, a run closed at
    each sentence end (`ends` holds the positions after one)."""
    runs, run = [], []
    for pos, ch in enumerate(text):
        weak = codes[pos] == "a" and ord(ch) >= 0x80
        if pos in ends or not weak:
            runs.append(run)
            run = []
        if weak:
            run.append(pos)
    runs.append(run)
    for run in runs:
        if len(run) >= 2:
            yield [f"{text[pos]}\t{char_class(text[pos])}\ta\t{tag}"
                   for pos, tag in zip(run, run_labels(run, marks, edges))]


def read_words(path, encoding):
    with open(path, encoding=encoding) as f:
        return {normalise(line.split("\t")[0].rstrip("\n")) for line in f}


def written_lines(corpus, held_out, only):
    """(day, normalised words) of each corpus line written."""
    with open(corpus, encoding="utf-8") as f:
        for line in f:
            day = line[:8]
            if day in held_out or (only and day not in only):
                continue
            yield day, [normalise(w).replace(" ", "") for w, _ in parse_pd_line(line)]


def day_words(corpus, held_out, only):
    """The normalised words of each day written."""
    days = {}
    for day, words in written_lines(corpus, held_out, only):
        days.setdefault(day, set()).update(words)
    return days


def rare_words(days, kept, most_days):
    """Per day, its words that at most `most_days` days have and no kept
    list holds."""
    seen = {}
    for words in days.values():
        for word in words:
            seen[word] = seen.get(word, 0) + 1
    return {day: {w for w in words if seen[w] <= most_days and w not in kept}
            for day, words in days.items()}


class Lexicon:
    """Multi-character lexicon words, matched from every character."""

    def __init__(self, words):
        self.words = {w for w in words if len(w) >= 2}
        self.longest = max((len(w) for w in self.words), default=0)

    def codes(self, text, missing):
        n = len(text)
        starts, ends, covered = [0] * n, [0] * n, [0] * n
        for i in range(n):
            for j in range(i + 2, min(n, i + self.longest) + 1):
                word = text[i:j]
                if word in self.words and word not in missing:
                    starts[i] = ends[j - 1] = 1
                    for k in range(i + 1, j):
                        covered[k] = 1
        return [chr(ord("a") + s + 2 * e + 4 * c) for s, e, c in zip(starts, ends, covered)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("out")
    days = parser.add_mutually_exclusive_group()
    days.add_argument("--hold-out-days", default="", help="days YYYYMMDD left out")
    days.add_argument("--only-days", default="", help="the only days written")
    parser.add_argument("--lexicon", required=True,
                        help="the segmenter's lexicon (GB18030, word TAB type ...)")
    parser.add_argument("--keep-words", action="append", default=[],
                        help="word list (UTF-8, word first on a line) the lexicon "
                             "keeps on every day")
    parser.add_argument("--weak-runs", choices=["word", "keep"],
                        help="write only the runs of weak characters; a word "
                             "crossing a run's edge is relabelled as a word of its "
                             "own inside the run, or keeps its labels")
    parser.add_argument("--rare-days", type=int, default=1,
                        help="corpus words seen on at most this many days are left "
                             "out of the lexicon on those days")
    args = parser.parse_args()
    held_out = set(filter(None, args.hold_out_days.split(",")))
    only = set(filter(None, args.only_days.split(",")))
    lexicon = Lexicon(read_words(args.lexicon, "gb18030"))
    kept = set()
    for path in args.keep_words:
        kept |= read_words(path, "utf-8")
    missing = rare_words(day_words(args.corpus, held_out, only), kept, args.rare_days)
    sequences = 0
    with open(args.out, "w", encoding="utf-8", newline="\n") as out:
        for day, words in written_lines(args.corpus, held_out, only):
            codes = lexicon.codes("".join(words), missing[day])
            if args.weak_runs:
                for rows in weak_runs("".join(words), codes, word_labels(words),
                                      sentence_ends(words), args.weak_runs):
                    sequences += write_sequence(out, rows)
                continue
            rows = []
            pos = 0
            for word in words:
                rows.extend(f"{ch}\t{char_class(ch)}\t{code}\t{label}"
                            for ch, code, label in zip(word, codes[pos:], labels(word)))
                pos += len(word)
                if word in SENTENCE_ENDS:
                    sequences += write_sequence(out, rows)
            sequences += write_sequence(out, rows)
    print(f"{args.out}: {sequences} sequences")


if __name__ == "__main__":
    main()
