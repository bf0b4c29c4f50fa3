#!/usr/bin/env python3
"""Throughput of zorvseg on pathological input classes (a benchmark, not a test).

Each class is SIZE bytes of one kind of text, on one line (the command line
cuts long lines into pieces) or, for the "lines" classes, in short lines.
Prints one row per class: the median over RUNS of the whole process's CPU
time and the throughput it gives, against the input's size.

  bench/pathological_inputs.py --bin build/bin/zorvseg [--data build/data]
      [--size-mb 10] [--runs 3] [--mode 0x214] [--only NAME,...]
"""
import argparse
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def repeat(unit, size):
    return (unit * (size // len(unit) + 1))[:size]


def random_bytes(size, seed, alphabet):
    rnd = random.Random(seed)
    return bytes(rnd.choice(alphabet) for _ in range(size))


def classes(size, corpus):
    yield "cjk-one-char", repeat("的".encode(), size)
    yield "corpus-text", repeat(corpus, size) if corpus else None
    yield "u0080", repeat("\u0080".encode(), size)
    yield "combining-marks", repeat("\u0301".encode(), size)
    yield "byte-0x80", repeat(b"\x80", size)
    yield "byte-0xff", repeat(b"\xff", size)
    yield "emoji", repeat("😀".encode(), size)
    yield "fullwidth-comma", repeat("，".encode(), size)
    yield "ascii-letters", repeat(b"a", size)
    yield "ascii-digits", repeat(b"7", size)
    yield "ascii-punct", repeat(b"!", size)
    yield "ascii-dots", repeat(b".", size)
    yield "spaces", repeat(b" ", size)
    yield "nul-bytes", repeat(b"\0", size)
    yield "url-like", repeat(b"http://a.b/", size)
    yield "empty-lines", repeat(b"\n", size)
    yield "one-char-lines", repeat("的\n".encode(), size)
    yield "random-bytes", random_bytes(size, 1, list(range(256)))
    yield "random-ascii", random_bytes(size, 2, list(range(32, 127)))
    yield "random-cjk", b"".join(chr(random.Random(3 + i).randint(0x4E00, 0x9FA5)).encode()
                                 for i in range(size // 3))


def cpu_seconds(cmd, path):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    with open(path, "rb") as stdin:
        proc = subprocess.run(cmd, stdin=stdin, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if proc.returncode != 0:
        sys.exit(f"{cmd} failed: {proc.stderr.decode(errors='replace')[:500]}")
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="the zorvseg executable")
    parser.add_argument("--data", help="data directory (default: the tool's own)")
    parser.add_argument("--size-mb", type=float, default=10)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--mode", default="0x214")
    parser.add_argument("--only", help="comma-separated class names")
    parser.add_argument("--corpus", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "corpora",
        "ud-zh-gsdsimp", "zh_gsdsimp-ud-dev.conllu"))
    args = parser.parse_args()
    size = int(args.size_mb * 1e6)
    corpus = b""
    if os.path.exists(args.corpus):
        # The text lines of the CoNLL-U file: running text the data was not trained on.
        with open(args.corpus, encoding="utf-8") as f:
            corpus = "".join(line[len("# text = "):] for line in f
                             if line.startswith("# text = ")).encode()
    cmd = [args.bin, "--mode", args.mode, "--no-progress"]
    if args.data:
        cmd += ["--data", args.data]
    only = set(args.only.split(",")) if args.only else None
    empty = tempfile.NamedTemporaryFile(delete=False)
    empty.close()
    load = statistics.median(cpu_seconds(cmd, empty.name) for _ in range(args.runs))
    print(f"# {' '.join(cmd)}; {size / 1e6:g} MB per class; median of {args.runs} runs; "
          f"CPU seconds less the {load:.3f} s of an empty input")
    print(f"{'class':<18} {'cpu s':>8} {'MB/s':>8}")
    with tempfile.TemporaryDirectory() as tmp:
        for name, data in classes(size, corpus):
            if data is None or (only and name not in only):
                continue
            path = os.path.join(tmp, name)
            with open(path, "wb") as f:
                f.write(data)
            seconds = statistics.median(cpu_seconds(cmd, path) for _ in range(args.runs))
            net = max(seconds - load, 1e-6)
            print(f"{name:<18} {net:8.3f} {len(data) / 1e6 / net:8.2f}", flush=True)
            os.remove(path)
    os.remove(empty.name)


if __name__ == "__main__":
    main()
