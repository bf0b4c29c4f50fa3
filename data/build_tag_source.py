#!/usr/bin/env python3
"""Derives the part-of-speech model source from a tagged corpus.

Reads the People's Daily corpus format (one paragraph per line: an id
token, then word/tag tokens separated by spaces; bracketed compounds are
read as their inner words) and writes, in UTF-8, the text that
`zorvseg-build tag-model` compiles into tag_info.dat:

  word WORD TAG:WEIGHT ...   every tag the word carries in the corpus,
                             most frequent first; WEIGHT = ln P(word | tag)
  transition FROM TO WEIGHT  WEIGHT = ln P(TO | FROM) with add-one
                             smoothing over the 48 tags; FROM "<s>" is the
                             start of a paragraph
  default-transition WEIGHT  ln(1/48) for rows never seen
  name 1 2 3                 a placeholder triple (the role pattern B C D:
                             surname, first and second given-name
                             character); the file needs one, and nothing
                             reads it yet

Corpus tags are mapped onto the 48 tags of LxPosId2Str ("vvn" becomes
"vn", "na" becomes "n"; any other unknown tag becomes "n" and is counted).
Words are normalised like build_lexicon.py does, so they match the core
dictionary it produces, and the same days are held out. Words GBK cannot
hold are left out, as in the lexicon. Output is deterministic.
"""
import argparse
import collections
import math
import sys

from build_lexicon import SOUND_NOTE, normalise

TAGS = ("a ad an b c d e f g h i j k l m n nr nrf nrg ns nt nz nx o p q r s t "
        "u v vd vn w x y z Ag Bg Dg Mg Ng Qg Rg Tg Vg Yg Zg").split()
TAG_MAP = {"vvn": "vn", "na": "n"}
START = "<s>"


def tagged_words(line, unknown_tags):
    tokens = line.split()
    if not tokens or "/" not in tokens[0]:
        return []
    pairs = []
    for token in tokens[1:]:  # after the paragraph id
        token = token.lstrip("[")
        slash = token.rfind("/")
        if slash <= 0:
            continue
        word = normalise(SOUND_NOTE.sub("", token[:slash]))
        tag = token[slash + 1:].split("]")[0]
        tag = TAG_MAP.get(tag, tag)
        if tag not in TAGS:
            unknown_tags[tag] += 1
            tag = "n"
        if word:
            pairs.append((word, tag))
    return pairs


def gbk_encodable(word):
    try:
        word.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("source_out")
    parser.add_argument("--hold-out", default="19980129,19980130,19980131",
                        help="comma-separated days (YYYYMMDD) left out of training")
    args = parser.parse_args()
    held_out = set(d for d in args.hold_out.split(",") if d)

    emissions = collections.defaultdict(collections.Counter)  # word -> tag counts
    tag_counts = collections.Counter()
    transitions = collections.Counter()
    unknown_tags = collections.Counter()
    paragraphs = 0
    with open(args.corpus, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line[:8] in held_out:
                continue
            pairs = tagged_words(line, unknown_tags)
            if not pairs:
                continue
            paragraphs += 1
            previous = START
            for word, tag in pairs:
                emissions[word][tag] += 1
                tag_counts[tag] += 1
                transitions[(previous, tag)] += 1
                previous = tag

    from_totals = collections.Counter()
    for (a, _), count in transitions.items():
        from_totals[a] += count
    skipped = 0
    with open(args.source_out, "w", encoding="utf-8") as out:
        out.write("# Part-of-speech model derived from the corpus by build_tag_source.py\n")
        out.write(f"default-transition {math.log(1 / len(TAGS)):.6f}\n")
        for a in [START] + TAGS:
            if from_totals[a] == 0:
                continue
            for b in TAGS:
                prob = (transitions[(a, b)] + 1) / (from_totals[a] + len(TAGS))
                out.write(f"transition {a} {b} {math.log(prob):.6f}\n")
        for word in sorted(emissions):
            if not gbk_encodable(word):
                skipped += 1
                continue
            counts = emissions[word]
            ranked = sorted(counts, key=lambda t: (-counts[t], TAGS.index(t)))
            weights = " ".join(f"{t}:{math.log(counts[t] / tag_counts[t]):.6f}" for t in ranked)
            out.write(f"word {word} {weights}\n")
        out.write("name 1 2 3\n")
    print(f"tag source: {len(emissions) - skipped} words ({skipped} not in GBK skipped), "
          f"{paragraphs} paragraphs, unknown tags {dict(unknown_tags)}", file=sys.stderr)


if __name__ == "__main__":
    main()
