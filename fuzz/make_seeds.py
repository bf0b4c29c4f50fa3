#!/usr/bin/env python3
"""Builds the seed corpora of the fuzz targets (never committed): real text
from the corpora, the files of a built data directory, small files compiled
from the data build's sources by zorvseg-build, and truncated copies.

  make_seeds.py --data build/data --sources build/data-sources \
      --bin build/bin --corpora ../shared/corpora --out build-fuzz/seeds
"""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(HERE)

# Mode words the segment target starts from: the command-line and module
# defaults, nothing, every low bit, entities, ASCII modes, single characters.
SEGMENT_MODES = [0x214, 0x08212314, 0, 0x3FF, 0x20010100, 0x03000000, 0x10000080, 0x2, 0x88]
SYNTHETIC_TEXTS = [
    "😀312月7日下午3点",
    "http://www.example.com/a?b=1&c=２ e-mail: a.b@example.org 电话：010-12345678",
    "ＡＢＣ１２３，。！ 乾隆皇帝扭轉乾坤",
    "\u0080\u0300\u0301 \t\r\n \ue5cf\U00020087",
    "1998年12月31日，共有3.5万人参加；增长15.5%。",
]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def seed(out_dir, data):
    write(os.path.join(out_dir, hashlib.sha1(data).hexdigest()[:16]), data)


def corpus_lines(corpora, limit_per_source=40, max_bytes=400):
    """A few real lines of text from each corpus, UTF-8."""
    lines = []
    pd = os.path.join(corpora, "pd1998-01", "199801.utf8.txt")
    weibo = os.path.join(corpora, "ner-weibo", "dev.conll")
    ud = os.path.join(corpora, "ud-zh-gsdsimp", "zh_gsdsimp-ud-dev.conllu")
    if os.path.exists(pd):
        with open(pd, encoding="utf-8", errors="replace") as f:
            for i, line in enumerate(f):
                if i % 500 == 0 and line.strip():
                    # "word/tag" tokens joined back into text.
                    words = [t.rsplit("/", 1)[0].lstrip("[") for t in line.split()[1:]]
                    lines.append("".join(words))
                if len(lines) >= limit_per_source:
                    break
    if os.path.exists(weibo):
        chars, count = [], 0
        with open(weibo, encoding="utf-8", errors="replace") as f:
            for line in f:
                if line.strip():
                    chars.append(line.split()[0][:1] if line.split() else "")
                elif chars:
                    count += 1
                    if count % 10 == 0:
                        lines.append("".join(chars))
                    chars = []
                if count >= 10 * limit_per_source:
                    break
    if os.path.exists(ud):
        with open(ud, encoding="utf-8", errors="replace") as f:
            texts = [l[len("# text = "):].strip() for l in f if l.startswith("# text = ")]
        lines.extend(texts[::25][:limit_per_source])
    return [l.encode("utf-8")[:max_bytes].decode("utf-8", "ignore") for l in lines if l]


def segment_seeds(out, corpora):
    texts = corpus_lines(corpora) + SYNTHETIC_TEXTS
    for i, text in enumerate(texts):
        first = SEGMENT_MODES[i % len(SEGMENT_MODES)]
        second = SEGMENT_MODES[(i * 7 + 3) % len(SEGMENT_MODES)]
        header = struct.pack("<II", first, second)
        seed(out, header + b"\x01" + text.encode("utf-8"))
        seed(out, header + b"\x00" + text.encode("gb18030", "replace"))
    return len(texts) * 2


def run_build(bin_dir, *args):
    try:
        subprocess.run([os.path.join(bin_dir, "zorvseg-build")] + list(args), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        return True
    except subprocess.CalledProcessError as e:
        print(f"make_seeds: zorvseg-build {' '.join(args)}: {e.stderr.decode(errors='replace')}",
              file=sys.stderr)
        return False
    except OSError as e:
        print(f"make_seeds: zorvseg-build: {e}", file=sys.stderr)
        return False


def head_lines(path, count, per_field_count=False):
    """The first lines of a source file (bytes); with per_field_count, the
    first `count` lines of each number of fields."""
    taken, seen = [], {}
    with open(path, "rb") as f:
        for line in f:
            key = len(line.split()) if per_field_count else 0
            if seen.get(key, 0) < count:
                seen[key] = seen.get(key, 0) + 1
                taken.append(line)
            elif not per_field_count:
                break
    return b"".join(taken)


# A small unknown-word model of the real one's shape (character and class
# columns, B/M/E/S labels), so that loader inputs stay quick to read.
SMALL_UNKNOWN_WORD_MODEL = """xsize\t2
label\tB
label\tM
label\tE
label\tS
template\tU00:%x[0,0]
template\tU01:
template\tU10:%x[-1,1]/%x[0,1]/%x[1,1]
word\t\t1:0 0 0 1
word\t研\t0:2 0 0 0
word\t究\t0:0 0 2 0
pos\tC/C/C\t0:0.5 0.5 0.5 0
transition\tB\t-5 1 1 -5
transition\tM\t-5 1 1 -5
transition\tE\t1 -5 -5 1
transition\tS\t1 -5 -5 1
"""


def small_data_files(sources, bin_dir, work):
    """Small data files compiled from the heads of the data build's sources:
    {file name: bytes}. A source that is missing or does not compile is
    left out."""
    files = {}

    def source(name):
        path = os.path.join(sources, name)
        return path if os.path.exists(path) else None

    def compile_from(text, kind, out_name, *extra, encoding=None):
        src = os.path.join(work, out_name + ".txt")
        write(src, text)
        out = os.path.join(work, out_name)
        options = ["--encoding", encoding] if encoding else []
        if run_build(bin_dir, *options, kind, src, *extra, out) and os.path.exists(out):
            with open(out, "rb") as f:
                files[out_name] = f.read()
            return out
        return None

    core = None
    if source("lexicon.txt"):
        core = compile_from(head_lines(source("lexicon.txt"), 400), "core-dict", "core_dict.dat",
                            encoding="gbk")
    if source("ngram.txt"):
        table = os.path.join(work, "ngram.txt")
        write(table, head_lines(source("ngram.txt"), 300, per_field_count=True))
        base = os.path.join(work, "ngram.dat")
        if run_build(bin_dir, "ngram", table, "4", base):
            for k in range(4):
                if os.path.exists(base + str(k)):
                    with open(base + str(k), "rb") as f:
                        files["ngram.dat" + str(k)] = f.read()
    if source("ne_dict.txt"):
        compile_from(head_lines(source("ne_dict.txt"), 300), "ne-dict", "ne_dict.dat",
                     encoding="gbk")
    if source("tag_source.txt") and core:
        # Every line but the words, and the first few hundred words.
        with open(source("tag_source.txt"), "rb") as f:
            lines = f.readlines()
        words = [l for l in lines if l.startswith(b"word ")][:300]
        text = b"".join([l for l in lines if not l.startswith(b"word ")] + words)
        compile_from(text, "tag-model", "tag_info.dat", core, encoding="gbk")
    model = os.path.join(SOURCE_DIR, "tests", "entities", "ne_model.txt")
    with open(model, "rb") as f:
        compile_from(f.read(), "crf-model", "ne_model.dat")
    compile_from(SMALL_UNKNOWN_WORD_MODEL.encode("utf-8"), "crf-model", "unk_model.dat")
    return files


def loader_cases():
    """The loader target's files in the order of its table: the first byte
    of an input picks one."""
    with open(os.path.join(HERE, "loader_fuzzer.cc"), encoding="utf-8") as f:
        table = f.read().split("kCases[] = {", 1)[1].split("};", 1)[0]
    return re.findall(r'^\s*\{"([^"]+)"', table, re.M)


def loader_seeds(out, data, small):
    count = 0
    words = "北京大学\n自然语言,n\nhello world\n# comment\nc++,nz\n".encode("utf-8")
    for index, name in enumerate(loader_cases()):
        selector = bytes([index])
        variants = []
        if name.startswith("custom_word/"):
            variants = [words, words.decode("utf-8").encode("gbk")]
        else:
            real = os.path.join(data, name)
            if os.path.exists(real):
                with open(real, "rb") as f:
                    content = f.read()
                # Small real files whole; every real file cut short.
                if len(content) <= 256 * 1024:
                    variants.append(content)
                variants.append(content[:4096])
                if name.endswith(".txt"):
                    variants.append(b"".join(content.splitlines(True)[:200]))
            if name in small:
                variants.append(small[name])
        for v in variants:
            seed(out, selector + v)
            count += 1
    return count


def small_data_dir(out, data, small):
    """A data directory of small files for the loader target, whose every
    input loads one file again: the small compiled files, the real small
    files, the head of the ASCII dictionary and an empty custom_word/ (a
    large binary file without a small version is copied whole)."""
    os.makedirs(os.path.join(out, "custom_word"), exist_ok=True)
    written = 0
    for name in loader_cases():
        if name.startswith("custom_word/"):
            continue
        real = os.path.join(data, name)
        if name in small:
            content = small[name]
        elif os.path.exists(real):
            with open(real, "rb") as f:
                content = f.read()
            # A long word list is cut to its head; a binary file stays whole.
            if len(content) > 256 * 1024 and name.endswith(".txt"):
                content = b"".join(content.splitlines(True)[:3000])
        else:
            continue
        write(os.path.join(out, name), content)
        written += 1
    return written


def user_dict_seeds(out, sources, corpora):
    count = 0
    words = []
    lexicon = os.path.join(sources, "lexicon.txt")
    if os.path.exists(lexicon):
        with open(lexicon, "rb") as f:
            for i, line in enumerate(f):
                if i % 997 == 0:
                    words.append(line.split(b"\t")[0].decode("gb18030", "replace"))
    words += ["北京大学", "Hello World", "c++", "２０２６年", "王小明"]
    tags = ["", ",n", ",nr", ",NS", ",v", ",unknown", ",", ",,n"]
    for chunk in range(0, len(words), 40):
        lines = [w + tags[i % len(tags)] for i, w in enumerate(words[chunk:chunk + 40])]
        text = "\n".join(["# user words"] + lines + ["", "x" * 300]) + "\n"
        seed(out, text.encode("utf-8"))
        seed(out, text.encode("gb18030", "replace"))
        count += 2
    return count


def crf_seeds(out, sources):
    path = os.path.join(sources, "ne_crf_train.txt")
    if not os.path.exists(path):
        seed(out, "张\t1\t0\n三\t2\t2\n丰\t2\t4\n\n".encode("gb18030"))
        return 1
    count = 0
    with open(path, "rb") as f:
        sequence = []
        for i, line in enumerate(f):
            if line.strip():
                # The tagger reads the feature columns; the label is dropped.
                sequence.append(b"\t".join(line.rstrip(b"\n").split(b"\t")[:3]) + b"\n")
                continue
            if sequence and count < 60 and i % 37 == 0:
                seed(out, b"".join(sequence[:200]) + b"\n")
                count += 1
            sequence = []
            if count >= 60:
                break
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", required=True, help="a built data directory")
    parser.add_argument("--sources", required=True, help="the data build's sources")
    parser.add_argument("--bin", required=True, help="where zorvseg-build is")
    parser.add_argument("--corpora", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        small = small_data_files(args.sources, args.bin, work)
        counts = {
            "segment_fuzzer": segment_seeds(os.path.join(args.out, "segment_fuzzer"), args.corpora),
            "loader_fuzzer": loader_seeds(os.path.join(args.out, "loader_fuzzer"), args.data, small),
            "small data directory": small_data_dir(os.path.join(args.out, "small_data"),
                                                   args.data, small),
            "user_dict_fuzzer": user_dict_seeds(os.path.join(args.out, "user_dict_fuzzer"),
                                                args.sources, args.corpora),
            "crf_tagger_fuzzer": crf_seeds(os.path.join(args.out, "crf_tagger_fuzzer"), args.sources),
        }
    print("seeds: " + ", ".join(f"{k} {v}" for k, v in counts.items()))


if __name__ == "__main__":
    main()
