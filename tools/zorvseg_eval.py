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

With --numbers-apart a word of digits and the Chinese after them in the
output (2009年, 10月, 520万) is scored as two words (2009 年): the
convention of treebanks that write numbers apart from their units, where
the segmenter follows the training corpus, which joins them.

Reported: precision, recall, F1, OOV rate and recall, IV recall (OOV means
not in the --train-words list, one word per line), the output words not in
that list (their share of the output, and how many of them are right), and with --pos on pd
gold: joint segmentation+tag precision/recall/F1 and the tag accuracy on
the gold segmentation (zorvseg --presegmented). Also the segmenter's
throughput.

With --entities it measures entity recognition instead: precision, recall
and F1 per type (PER, LOC, ORG) and overall, an entity counting as right
when its type and both ends of its character span match. The sentences go
through zorvseg --format json --entities, whose entities carry their
character offsets in the line given; dates are not scored. Gold formats:
  bio     one character and its label per line (B-PER, I-LOC, O, ...),
          a blank line after each sentence.
  conll   the Weibo form: a character with its position in its word
          appended, TAB, a label such as B-PER.NAM; only named mentions
          (.NAM) count, GPE (geo-political) as LOC.
  pd      People's Daily, with the entity trainer's rules: a bracketed
          compound tagged nr, ns or nt is one person, place or
          organisation (but in an nt compound ending in 政府, a place's
          government, the parts keep their tags); outside such
          compounds an nr token is a person, joined with the nr token
          after it when it is a surname (one
          character, or a compound surname of the data directory's
          name.dat), an ns token a place and an nt token an organisation;
          with --place-abbreviations FILE (the entity trainer's
          place_abbreviations.txt) a one-character j token listed there
          is a place too.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import time

SOUND_NOTE = re.compile(r"（[^）]*音）")
NUMBER_AND_UNIT = re.compile(r"^([0-9０-９](?:[0-9０-９.,．，]*[0-9０-９])?)([^\x00-\x7f０-９．，]+)$")
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
    if path.endswith(".conll"):
        return "conll"
    if path.endswith(".bio.txt") or path.endswith(".bio"):
        return "bio"
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


def run_segmenter(args, lines, extra, switches=()):
    """Segments the lines; switches come after --mode, so they apply on top."""
    cmd = [args.zorvseg, *extra]
    if args.data:
        cmd += ["--data", args.data]
    if args.mode:
        cmd += ["--mode", args.mode]
    cmd += switches
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


def numbers_apart(line):
    """The line's number-and-unit words split into the number and the unit."""
    words = []
    for word in line.split(" ") if line else []:
        match = NUMBER_AND_UNIT.match(word)
        words.extend(match.groups() if match else (word,))
    return " ".join(words)


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
             tagged_right=0, span_tag_right=0, test_oov=0, test_oov_right=0)
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
        if train_words is not None:
            count_output_oov(c, test, test_spans, set(gold_spans), train_words)
    return c


def count_output_oov(c, test, test_spans, gold_spans, train_words):
    """Output words missing from the training words, and how many are right."""
    for (word, _), span in zip(test, test_spans):
        if normalise(word) not in train_words:
            c["test_oov"] += 1
            c["test_oov_right"] += span in gold_spans


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


ENTITY_TYPES = ("PER", "LOC", "ORG")
JSON_TYPES = {"person": "PER", "location": "LOC", "organization": "ORG"}
PD_ENTITY_TAGS = {"nr": "PER", "ns": "LOC", "nt": "ORG"}


def bio_spans(labels):
    """(start, end, type) of the entities in a list of BIO labels; an I-
    without its B- starts an entity."""
    out, start, kind = [], None, None
    for i, label in enumerate(labels + ["O"]):
        marker, _, label_type = label.partition("-")
        if marker == "I" and kind == label_type:
            continue
        if kind is not None:
            out.append((start, i, kind))
        start, kind = (i, label_type) if marker in ("B", "I") and label_type else (None, None)
    return out


def weibo_label(label):
    """B-PER.NAM to B-PER; nominal mentions and unknown types to O."""
    marker, _, rest = label.partition("-")
    kind, _, mention = rest.partition(".")
    kind = "LOC" if kind == "GPE" else kind
    return f"{marker}-{kind}" if mention == "NAM" and kind in ENTITY_TYPES else "O"


def read_character_gold(path, fmt):
    """[(text, [(start, end, type)])] of a bio or conll file."""
    sentences, chars, labels = [], [], []

    def flush():
        if chars:
            sentences.append(("".join(chars), bio_spans(labels)))
        chars.clear()
        labels.clear()

    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if not line.strip():
                flush()
                continue
            token, _, label = line.rpartition("\t" if fmt == "conll" else " ")
            if fmt == "conll":
                label = weibo_label(label)
                if len(token) > 1 and token[1:].isdigit():
                    token = token[0]
            if not token:
                continue
            chars.append(token[0])
            labels.append(label if label.startswith(("B-", "I-")) else "O")
    flush()
    return sentences


def pd_tokens(line):
    """([word, tag, compound]) of a People's Daily line and the tags of its
    bracketed compounds; compound is the index of a token's compound, or
    None."""
    tokens = line.split()
    if tokens and re.match(r"^\d{8}-\d\d-\d{3}-\d{3}/m$", tokens[0]):
        tokens = tokens[1:]
    out, compound_tags, members = [], [], None
    for token in tokens:
        if token.startswith("["):
            members = []
            token = token[1:]
        closing = None
        bracket = token.rfind("]")
        if bracket > 0 and "/" in token[:bracket]:
            closing = token[bracket + 1:]
            token = token[:bracket]
        match = TAG_SUFFIX.search(token)
        word = SOUND_NOTE.sub("", token[:match.start()]) if match and match.start() else ""
        if word:
            out.append([word, match.group(1), None])
            if members is not None:
                members.append(out[-1])
        if closing is not None and members is not None:
            for member in members:
                member[2] = len(compound_tags)
            compound_tags.append(closing)
            members = None
    return out, compound_tags


def pd_entities(tokens, compound_tags, surnames, abbreviations=frozenset()):
    """(text, [(start, end, type)]) by the entity trainer's rules."""
    starts, pos = [], 0
    for word, _, _ in tokens:
        starts.append(pos)
        pos += len(word)
    starts.append(pos)

    # A place's government ([中国/ns 政府/n]nt): its parts keep their tags.
    members = {}
    for token in tokens:
        if token[2] is not None:
            members.setdefault(token[2], []).append(token[0])
    governments = {c for c, words in members.items()
                   if compound_tags[c] == "nt" and len(words) > 1 and words[-1].endswith("政府")}

    def compound_type(token):
        if token[2] is None or token[2] in governments:
            return None
        return PD_ENTITY_TAGS.get(compound_tags[token[2]])

    entities, i = [], 0
    while i < len(tokens):
        word, tag, compound = tokens[i]
        if compound_type(tokens[i]):
            j = i
            while j < len(tokens) and tokens[j][2] == compound:
                j += 1
            entities.append((starts[i], starts[j], compound_type(tokens[i])))
            i = j
            continue
        count = 1
        if tag == "nr" and i + 1 < len(tokens) and tokens[i + 1][1] == "nr" and \
                not compound_type(tokens[i + 1]) and \
                (len(word) == 1 or (len(word) == 2 and word in surnames)):
            count = 2
        if tag in PD_ENTITY_TAGS:
            entities.append((starts[i], starts[i + count], PD_ENTITY_TAGS[tag]))
        elif tag == "j" and word in abbreviations:
            entities.append((starts[i], starts[i + 1], "LOC"))
        i += count
    return "".join(word for word, _, _ in tokens), entities


def read_pd_entity_gold(path, days, surnames, abbreviations):
    sentences = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if days and line[:8] not in days:
                continue
            tokens, compound_tags = pd_tokens(line.rstrip("\r\n"))
            if tokens:
                sentences.append(pd_entities(tokens, compound_tags, surnames, abbreviations))
    return sentences


def compound_surnames(args):
    """The data directory's compound surnames (name.dat, GBK)."""
    data = args.data or os.path.join(os.path.dirname(args.zorvseg), "..", "data")
    path = os.path.join(data, "name.dat")
    if not os.path.exists(path):
        return set()
    with open(path, encoding="gb18030", errors="replace") as f:
        return set(line.strip() for line in f if line.strip())


def test_entities(output_lines):
    """[(start, end, type)] of each JSON line of zorvseg."""
    out = []
    for line in output_lines:
        entities = json.loads(line).get("entities", []) if line.strip() else []
        out.append([(e["start"], e["end"], JSON_TYPES[e["type"]])
                    for e in entities if e.get("type") in JSON_TYPES])
    return out


def evaluate_entities(args, fmt, days):
    if fmt == "pd":
        gold = read_pd_entity_gold(args.gold, days, compound_surnames(args),
                                   load_words(args.place_abbreviations)
                                   if args.place_abbreviations else frozenset())
    else:
        gold = read_character_gold(args.gold, fmt)
    if not gold:
        sys.exit("zorvseg-eval: no gold sentences read")
    lines = [text for text, _ in gold]
    if any("\n" in text or "\r" in text for text in lines):
        sys.exit("zorvseg-eval: a gold sentence holds a line break")
    output, size, seconds = run_segmenter(args, lines, ["--format", "json"], ["--entities"])
    counts = {kind: [0, 0, 0] for kind in ENTITY_TYPES}  # right, gold, test
    for (_, gold_spans), test_spans in zip(gold, test_entities(output)):
        test_set = set(test_spans)
        for span in gold_spans:
            counts[span[2]][0] += span in test_set
            counts[span[2]][1] += 1
        for span in test_spans:
            counts[span[2]][2] += 1
    total = [sum(c[i] for c in counts.values()) for i in range(3)]
    print(f"sentences {len(gold)}  gold entities {total[1]}  test entities {total[2]}")
    for kind, (right, gold_count, test_count) in [*counts.items(), ("overall", total)]:
        p, r, f = prf(right, gold_count, test_count)
        print(f"{kind:<8}precision {p:.4f}  recall {r:.4f}  F1 {f:.4f}  "
              f"({right} right, {gold_count} gold, {test_count} found)")
    print(f"throughput {size / seconds / 1e6:.2f} MB/s ({size} bytes in {seconds:.2f} s, "
          "start-up included)")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog=__doc__.split("\n\n", 1)[1])
    parser.add_argument("gold", help="gold file")
    parser.add_argument("--format", choices=["pd", "words", "conllu", "bio", "conll"])
    parser.add_argument("--days", default="",
                        help="pd only: comma-separated days (YYYYMMDD) to score, e.g. the held-out ones")
    parser.add_argument("--train-words", help="training word list for OOV figures")
    parser.add_argument("--zorvseg", default=os.path.join(here, "zorvseg"))
    parser.add_argument("--data", help="data directory (default: the segmenter's own)")
    parser.add_argument("--mode", help="mode bits in hexadecimal (default: the segmenter's)")
    parser.add_argument("--stream", choices=["words", "mix"], default="words",
                        help="result stream to score: basic words or mix words")
    parser.add_argument("--pos", action="store_true", help="also score tags (pd gold)")
    parser.add_argument("--entities", action="store_true",
                        help="score entities (bio, conll or pd gold) instead of words")
    parser.add_argument("--place-abbreviations",
                        help="pd entities: one-character j tokens listed here are places")
    parser.add_argument("--numbers-apart", action="store_true",
                        help="score a number and the Chinese unit after it as two words")
    args = parser.parse_args()
    for path in (args.gold, args.train_words, args.place_abbreviations):
        if path and not (os.path.isfile(path) and os.access(path, os.R_OK)):
            sys.exit(f"zorvseg-eval: cannot read {path}")

    fmt = args.format or guess_format(args.gold)
    days = set(d for d in args.days.split(",") if d)
    if args.entities:
        if fmt not in ("bio", "conll", "pd"):
            sys.exit("zorvseg-eval: --entities reads bio, conll or pd gold")
        evaluate_entities(args, fmt, days)
        return
    if fmt in ("bio", "conll"):
        sys.exit(f"zorvseg-eval: {fmt} gold is scored with --entities")
    gold = read_gold(args.gold, fmt, days)
    if not gold:
        sys.exit("zorvseg-eval: no gold sentences read")
    train_words = load_words(args.train_words) if args.train_words else None
    raw = ["".join(w for w, _ in sentence) for sentence in gold]
    with_tags = args.pos and args.stream == "words"
    if with_tags and args.numbers_apart:
        sys.exit("zorvseg-eval: --numbers-apart scores words, not tags")
    extra = ["--format", "pos" if with_tags else args.stream]
    output, size, seconds = run_segmenter(args, raw, extra)
    if args.numbers_apart:
        output = [numbers_apart(line) for line in output]
    c = score(gold, output, train_words, with_tags)

    p, r, f = prf(c["right"], c["gold"], c["test"])
    print(f"sentences {len(gold)}  gold words {c['gold']}  test words {c['test']}")
    print(f"precision {p:.4f}  recall {r:.4f}  F1 {f:.4f}")
    if train_words is not None:
        iv = c["gold"] - c["oov"]
        print(f"OOV rate {c['oov'] / c['gold']:.4f}  OOV recall "
              f"{(c['oov_right'] / c['oov']) if c['oov'] else 0:.4f}  IV recall "
              f"{(c['iv_right'] / iv) if iv else 0:.4f}")
        print(f"output words not in the training words {c['test_oov']} "
              f"(share {c['test_oov'] / c['test'] if c['test'] else 0:.4f}), right "
              f"{c['test_oov_right']} (precision "
              f"{c['test_oov_right'] / c['test_oov'] if c['test_oov'] else 0:.4f})")
    if with_tags:
        jp, jr, jf = prf(c["span_tag_right"], c["gold"], c["test"])
        print(f"joint seg+POS precision {jp:.4f}  recall {jr:.4f}  F1 {jf:.4f}")
        right, total = pos_on_gold_segmentation(args, gold)
        print(f"POS accuracy on gold segmentation {right / total:.4f} ({right}/{total})")
    print(f"throughput {size / seconds / 1e6:.2f} MB/s ({size} bytes in {seconds:.2f} s, "
          "start-up included)")


if __name__ == "__main__":
    main()
