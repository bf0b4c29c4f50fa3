#!/usr/bin/env python3
"""Derives a lexicon and an n-gram table from a segmented corpus.

Reads the People's Daily corpus format (one paragraph per line: an id
token, then word/tag tokens separated by spaces; bracketed compounds) or
plain text with words separated by spaces, and writes, in UTF-8:

  LEXICON: one word per line, "word<TAB>1" (a plain dictionary word);
  TABLE:   "cost count id [id]" lines for the n-gram compiler, where ids
           are the words' core-dictionary ids (rank in GBK byte order,
           1-based), 100000001 marks the sentence start and id 0 is the
           cost of a character without a dictionary entry.

Costs are negative base-2 log probabilities. Pairs use absolute
discounting, which suits the model's fixed back-off (an unseen pair costs
the word's own cost plus 1.3219281). Words are normalised as the default
mode normalises input (full-width ASCII to half-width, lower case), so
they match what the segmenter looks up. Output is deterministic.
"""
import argparse
import collections
import math
import re
import sys

SENTENCE_START_ID = 100000001
DISCOUNT = 0.75
SOUND_NOTE = re.compile(r"（[^）]*音）")


def normalise(word):
    out = []
    for ch in word:
        code = ord(ch)
        if 0xFF01 <= code <= 0xFF5E:
            ch = chr(code - 0xFEE0)
        out.append(ch.lower() if ch.isascii() else ch)
    return "".join(out)


def corpus_words(line, people_daily):
    tokens = line.split()
    if people_daily:
        if not tokens or "/" not in tokens[0]:
            return []
        tokens = tokens[1:]  # paragraph id
    words = []
    for token in tokens:
        if people_daily:
            token = token.lstrip("[")
            slash = token.rfind("/")
            if slash <= 0:
                continue
            token = token[:slash]
        token = SOUND_NOTE.sub("", token)
        if token:
            words.append(normalise(token))
    return words


def read_corpus(path, people_daily, held_out_days):
    paragraphs, held = [], 0
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if people_daily and line[:8] in held_out_days:
                held += 1
                continue
            words = corpus_words(line, people_daily)
            if words:
                paragraphs.append(words)
    return paragraphs, held


def gbk_ids(words):
    encodable, skipped = [], 0
    for word in words:
        try:
            encodable.append((word.encode("gbk"), word))
        except UnicodeEncodeError:
            skipped += 1
    encodable.sort()
    return {word: i + 1 for i, (_, word) in enumerate(encodable)}, skipped


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("lexicon_out")
    parser.add_argument("table_out")
    parser.add_argument("--plain", action="store_true", help="plain space-separated words")
    parser.add_argument("--hold-out", default="19980129,19980130,19980131",
                        help="comma-separated days (YYYYMMDD) left out of training")
    args = parser.parse_args()

    held_out = set(d for d in args.hold_out.split(",") if d)
    paragraphs, held = read_corpus(args.corpus, not args.plain, held_out)
    unigrams = collections.Counter(w for p in paragraphs for w in p)
    ids, skipped = gbk_ids(unigrams)
    pairs = collections.Counter()
    for words in paragraphs:
        previous = SENTENCE_START_ID
        for word in words:
            current = ids.get(word)
            if current is None:
                previous = 0
                continue
            if previous:
                pairs[(previous, current)] += 1
            previous = current
    unigrams[SENTENCE_START_ID] = len(paragraphs)
    history_totals = collections.Counter()
    history_types = collections.Counter()
    for (a, _), count in pairs.items():
        history_totals[a] += count
        history_types[a] += 1

    total = sum(c for w, c in unigrams.items() if w in ids)
    unigram_prob = {ids[w]: c / total for w, c in unigrams.items() if w in ids}
    with open(args.lexicon_out, "w", encoding="utf-8") as lex:
        for word in sorted(ids, key=lambda w: ids[w]):
            lex.write(f"{word}\t1\n")
    with open(args.table_out, "w", encoding="utf-8") as table:
        table.write(f"{-math.log2(0.1 / total):.6f} 0 0\n")
        for word_id in sorted(unigram_prob):
            table.write(f"{-math.log2(unigram_prob[word_id]):.6f} "
                        f"{round(unigram_prob[word_id] * total)} {word_id}\n")
        for (a, b) in sorted(pairs):
            count = pairs[(a, b)]
            backoff = DISCOUNT * history_types[a] / history_totals[a]
            prob = (count - DISCOUNT) / history_totals[a] + backoff * unigram_prob[b]
            table.write(f"{-math.log2(prob):.6f} {count} {a} {b}\n")
    print(f"lexicon: {len(ids)} words ({skipped} not in GBK skipped), "
          f"{len(pairs)} pairs, {len(paragraphs)} paragraphs "
          f"({held} held out)", file=sys.stderr)


if __name__ == "__main__":
    main()
