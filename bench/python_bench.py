#!/usr/bin/env python3
"""Throughput of the Python package next to the C++ command line on the
same text (People's Daily paragraphs, annotation removed, one per line),
and the speed-up of two threads over one.

    build/bench/python_bench [--mb 2] [--repeat 3]

Throughputs are in processor time (user and system), the best of --repeat
runs, so that other work on the machine does not skew them; the command
line's time is that of its run over the text less that of a run over no
text (start-up and loading the data). The thread speed-up is in elapsed
time, which is what threads save."""
import argparse
import os
import resource
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(BUILD, "python"))

import zorvsegment  # noqa: E402  (from the build tree)
from zorvsegment import Mode, Segmenter  # noqa: E402

CORPUS = "@ZORVSEG_CORPUS@"
CLI = os.path.join(BUILD, "bin", "zorvseg")


def corpus_lines(limit):
    """Paragraphs of the corpus without ids, tags and brackets."""
    lines, size = [], 0
    with open(CORPUS, encoding="utf-8") as corpus:
        for line in corpus:
            words = [token.rsplit("/", 1)[0].lstrip("[") for token in line.split()[1:]]
            text = "".join(words)
            lines.append(text)
            size += len(text.encode()) + 1
            if size >= limit:
                break
    return lines


def cpu_seconds(who=resource.RUSAGE_SELF):
    usage = resource.getrusage(who)
    return usage.ru_utime + usage.ru_stime


def best_time(run, repeat, who=resource.RUSAGE_SELF):
    best = float("inf")
    for _ in range(repeat):
        start = cpu_seconds(who)
        run()
        best = min(best, cpu_seconds(who) - start)
    return best


def cli_seconds(text, mode, repeat):
    def run(data):
        subprocess.run([CLI, "--mode", hex(mode)], input=data, stdout=subprocess.DEVNULL,
                       check=True)
    full = best_time(lambda: run(text.encode()), repeat, resource.RUSAGE_CHILDREN)
    empty = best_time(lambda: run(b""), repeat, resource.RUSAGE_CHILDREN)
    return full - empty


def segment_in_threads(lines, threads, mode):
    """Seconds to cut all lines with `threads` threads, each with its own
    segmenter and an equal share of the lines."""
    segmenters = [Segmenter(mode=mode) for _ in range(threads)]
    shares = [lines[i::threads] for i in range(threads)]

    def work(segmenter, share):
        for line in share:
            segmenter.cut(line)
    workers = [threading.Thread(target=work, args=pair) for pair in zip(segmenters, shares)]
    start = time.perf_counter()
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mb", type=float, default=2, help="megabytes of text (default 2)")
    parser.add_argument("--repeat", type=int, default=3, help="runs per figure (default 3)")
    args = parser.parse_args()

    lines = corpus_lines(int(args.mb * 2**20))
    text = "\n".join(lines) + "\n"
    mb = len(text.encode()) / 2**20
    # The package adds the custom-word bit to its mode; the command line gets it too.
    mode = int(Mode.DEFAULT | Mode.USE_CUSTOM_WORD)
    segmenter = Segmenter(mode=mode)

    cli = cli_seconds(text, mode, args.repeat)
    per_line = best_time(lambda: [segmenter.cut(line) for line in lines], args.repeat)
    whole = best_time(lambda: segmenter.cut(text), args.repeat)
    print(f"text: {mb:.2f} MB in {len(lines)} lines, mode {mode:#x}")
    print(f"C++ command line        {mb / cli:7.2f} MB/s")
    print(f"Python cut, per line    {mb / per_line:7.2f} MB/s  ({cli / per_line:.2f} of C++)")
    print(f"Python cut, whole text  {mb / whole:7.2f} MB/s  ({cli / whole:.2f} of C++)")

    one = min(segment_in_threads(lines, 1, mode) for _ in range(args.repeat))
    two = min(segment_in_threads(lines, 2, mode) for _ in range(args.repeat))
    print(f"Python cut, 1 thread    {mb / one:7.2f} MB/s")
    print(f"Python cut, 2 threads   {mb / two:7.2f} MB/s  (speed-up {one / two:.2f} "
          f"on {os.cpu_count()} cores)")


if __name__ == "__main__":
    main()
