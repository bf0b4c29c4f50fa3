#!/usr/bin/env python3
"""zorvseg-eval: measures segmentation and tagging against a gold corpus.

It drives the zorvseg command-line segmenter, so it measures exactly what
users get, and scores the way the SIGHAN bakeoff scorer does: words are
compared as character spans, so a word counts as right when both of its
ends match the gold segmentation.

Gold formats (--format, default: guessed from the file):
  pd      People's Daily: an id token, then word/tag tokens separated by
          spaces; [bracketed/x compounds]tag; X（Y音）sound notes.
  words   plain text, words separated by spaces, one sentence per line.
  conllu  CoNLL-U: the FORM column of each sentence's word lines.

Reported: precision, recall, F1, OOV rate and recall, IV recall (OOV means
not in the --train-words list, one word per line), and with --pos on pd
gold: joint segmentation+tag precision/recall/F1 and the tag accuracy on
the gold segmentation (zorvseg --presegmented). Also the segmenter's
throughput.
"""
import argparse
import os
import re
import subprocess
import sys
import time

SOUND_NOTE = re.compile(r"（[^）]*音）")
TAG_SUFFIX = re.compile(r"/([A-Za-z]+)$")


def normalise(word):
    """Full-width ASCII to half-width and lower case, as the default mode."""
    out = []
    for ch in word:
        code = ord(ch)
        if 0xFF01 <= code <= 0xFF5E:
            ch = chr(code - 0xFEE0)
        out.append(ch.lower() if ch.isascii() else ch)
    return "".join(out)


def parse_pd_line(line):
    """[(word, tag)] of a People's Daily line, compounds flattened."""
    tokens = line.split()
    if not tokens:
        return []
    if re.match(r"^\d{8}-\d\d-\d{3}-\d{3}/m$", tokens[0]):
        tokens = tokens[1:]
    pairs = []
    for token in tokens:
        token = token.lstrip("[")
        bracket = token.rfind("]")
        if bracket > 0 and "/" in token[:bracket]:
            token = token[:bracket]
        match = TAG_SUFFIX.search(token)
        if not match or match.start() == 0:
            continue
        word = SOUND_NOTE.sub("", token[:match.start()])
        if word:
            pairs.append((word, match.group(1)))
    return pairs


def read_gold(path, fmt, days):
    """List of sentences, each a list of (word, tag-or-None)."""
    sentences = []
    with open(path, encoding="utf-8", errors="replace") as f:
        if fmt == "conllu":
            current = []
            for line in f:
                line = line.rstrip("\n")
                if not line:
                    if current:
                        sentences.append(current)
                    current = []
                elif not line.startswith("#"):
                    cols = line.split("\t")
                    if len(cols) > 3 and cols[0].isdigit():
                        current.append((cols[1], cols[3]))
            if current:
                sentences.append(current)
            return sentences
        for line in f:
            line = line.rstrip("\r\n")
            if fmt == "pd":
                if days and line[:8] not in days:
                    continue
                pairs = parse_pd_line(line)
            else:
                pairs = [(w, None) for w in line.split()]
            if pairs:
                sentences.append(pairs)
    return sentences


def guess_format(path):
    if path.endswith(".conllu"):
        return "conllu"
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.strip():
                return "pd" if re.match(r"^\d{8}-\d\d-\d{3}-\d{3}/m", line) else "words"
    return "words"


def spans(words):
    out, pos = [], 0
    for w in words:
        out.append((pos, pos + len(w)))
        pos += len(w)
    return out


def run_segmenter(args, lines, extra):
    cmd = [args.zorvseg, *extra]
    if args.data:
        cmd += ["--data", args.data]
    if args.mode:
        cmd += ["--mode", args.mode]
    payload = ("\n".join(lines) + "\n").encode("utf-8")
    start = time.perf_counter()
    proc = subprocess.run(cmd, input=payload, capture_output=True)
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"zorvseg-eval: {' '.join(cmd)} failed: {proc.stderr.decode(errors='replace')}")
    out = proc.stdout.decode("utf-8", errors="replace").split("\n")
    if len(out) < len(lines):
        sys.exit("zorvseg-eval: the segmenter returned fewer lines than it was given")
    return out[:len(lines)], len(payload), seconds


def split_tagged(token):
    slash = token.rfind("/")
    return (token[:slash], token[slash + 1:]) if slash > 0 else (token, None)


def load_words(path):
    words = set()
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            word = line.rstrip("\r\n").split("\t")[0]
            if word:
                words.add(normalise(word))
    return words


def score(gold_sentences, output_lines, train_words, with_tags):
    c = dict(gold=0, test=0, right=0, oov=0, oov_right=0, iv_right=0,
             tagged_right=0, span_tag_right=0)
    for gold, line in zip(gold_sentences, output_lines):
        tokens = line.split(" ") if line else []
        test = [split_tagged(t) if with_tags else (t, None) for t in tokens]
        gold_words = [w for w, _ in gold]
        gold_spans = spans(gold_words)
        test_spans = spans([w for w, _ in test])
        test_index = {s: i for i, s in enumerate(test_spans)}
        c["gold"] += len(gold_spans)
        c["test"] += len(test_spans)
        for i, span in enumerate(gold_spans):
            oov = train_words is not None and normalise(gold_words[i]) not in train_words
            c["oov"] += oov
            j = test_index.get(span)
            if j is None:
                continue
            c["right"] += 1
            c["oov_right" if oov else "iv_right"] += 1
            if with_tags and test[j][1] == gold_tag(gold[i][1]):
                c["span_tag_right"] += 1
    return c


def prf(right, gold, test):
    p = right / test if test else 0.0
    r = right / gold if gold else 0.0
    return p, r, (2 * p * r / (p + r) if p + r else 0.0)


TAG_TYPOS = {"vvn": "vn", "na": "n"}


def gold_tag(tag):
    return TAG_TYPOS.get(tag, tag)


def pos_on_gold_segmentation(args, gold):
    """Tag accuracy when the tagger is given the gold words."""
    lines = [" ".join(w for w, _ in sentence) for sentence in gold]
    output, _, _ = run_segmenter(args, lines, ["--presegmented"])
    right = total = 0
    for sentence, line in zip(gold, output):
        tagged = [split_tagged(t) for t in line.split(" ")] if line else []
        if len(tagged) != len(sentence):
            sys.exit("zorvseg-eval: the tagger returned another number of words")
        for (_, tag), (_, test_tag) in zip(sentence, tagged):
            total += 1
            right += gold_tag(tag) == test_tag
    return right, total


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog=__doc__.split("\n\n", 1)[1])
    parser.add_argument("gold", help="gold file")
    parser.add_argument("--format", choices=["pd", "words", "conllu"])
    parser.add_argument("--days", default="",
                        help="pd only: comma-separated days (YYYYMMDD) to score, e.g. the held-out ones")
    parser.add_argument("--train-words", help="training word list for OOV figures")
    parser.add_argument("--zorvseg", default=os.path.join(here, "zorvseg"))
    parser.add_argument("--data", help="data directory (default: the segmenter's own)")
    parser.add_argument("--mode", help="mode bits in hexadecimal (default: the segmenter's)")
    parser.add_argument("--stream", choices=["words", "mix"], default="words",
                        help="result stream to score: basic words or mix words")
    parser.add_argument("--pos", action="store_true", help="also score tags (pd gold)")
    args = parser.parse_args()

    fmt = args.format or guess_format(args.gold)
    days = set(d for d in args.days.split(",") if d)
    gold = read_gold(args.gold, fmt, days)
    if not gold:
        sys.exit("zorvseg-eval: no gold sentences read")
    train_words = load_words(args.train_words) if args.train_words else None
    raw = ["".join(w for w, _ in sentence) for sentence in gold]
    with_tags = args.pos and args.stream == "words"
    extra = ["--format", "pos" if with_tags else args.stream]
    output, size, seconds = run_segmenter(args, raw, extra)
    c = score(gold, output, train_words, with_tags)

    p, r, f = prf(c["right"], c["gold"], c["test"])
    print(f"sentences {len(gold)}  gold words {c['gold']}  test words {c['test']}")
    print(f"precision {p:.4f}  recall {r:.4f}  F1 {f:.4f}")
    if train_words is not None:
        iv = c["gold"] - c["oov"]
        print(f"OOV rate {c['oov'] / c['gold']:.4f}  OOV recall "
              f"{(c['oov_right'] / c['oov']) if c['oov'] else 0:.4f}  IV recall "
              f"{(c['iv_right'] / iv) if iv else 0:.4f}")
    if with_tags:
        jp, jr, jf = prf(c["span_tag_right"], c["gold"], c["test"])
        print(f"joint seg+POS precision {jp:.4f}  recall {jr:.4f}  F1 {jf:.4f}")
        right, total = pos_on_gold_segmentation(args, gold)
        print(f"POS accuracy on gold segmentation {right / total:.4f} ({right}/{total})")
    print(f"throughput {size / seconds / 1e6:.2f} MB/s ({size} bytes in {seconds:.2f} s, "
          "start-up included)")


if __name__ == "__main__":
    main()
