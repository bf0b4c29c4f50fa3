#!/usr/bin/env python3
"""Throughput of the zorvseg command line against other segmenters, side by side.

    python3 bench/peers/peer_bench.py [--build build] [--rounds 3]

Installs the peers into a cache folder outside the source tree (default
~/.cache/zorvseg-peers; nothing of theirs enters the project): Debian's
python3-jieba, the npm packages nodejieba (built from source with node-gyp) and
@node-rs/jieba, and a small C++ driver compiled against the headers that the
nodejieba package bundles, run with its HMM on and off.

Input: about 20 MB of text the data directory was not trained on (the held-out
days of the annotated corpus, the NER development texts and the UD development
text, repeated), one paragraph per line. Every command reads lines on standard
input and writes one line of space-separated words per input line. The commands
run in turn, round after round (the order rotates); each full run is paired with
a one-line run, and throughput is input bytes / (median full run - median
one-line run), so loading is not counted. Peak memory is the largest resident
set of the full run; "after load" is that of the one-line run.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[2]
CORPORA = SOURCE_DIR.parent / "shared" / "corpora"
HELD_OUT_DAYS = ("19980129", "19980130", "19980131")
DEBIAN_PYTHON = "/usr/bin/python3"

# --- peer drivers: each reads lines and writes one line of words per line ---

CPP_DRIVER = r"""
#include <iostream>
#include <string>
#include <vector>
#include "cppjieba/Jieba.hpp"

int main(int argc, char** argv) {
  if (argc != 3) { std::cerr << "usage: driver DICT_DIR hmm|nohmm\n"; return 2; }
  std::string dir = std::string(argv[1]) + "/";
  bool hmm = std::string(argv[2]) == "hmm";
  cppjieba::Jieba jieba(dir + "jieba.dict.utf8", dir + "hmm_model.utf8",
                        dir + "user.dict.utf8", dir + "idf.utf8", dir + "stop_words.utf8");
  std::ios::sync_with_stdio(false);
  std::string line, out;
  std::vector<std::string> words;
  while (std::getline(std::cin, line)) {
    jieba.Cut(line, words, hmm);
    out.clear();
    for (const std::string& word : words) {
      if (word.find_first_not_of(" \t\r") == std::string::npos) continue;
      if (!out.empty()) out += ' ';
      out += word;
    }
    out += '\n';
    std::cout << out;
  }
  return 0;
}
"""

NODE_DRIVER = r"""
// usage: node driver.js nodejieba|node-rs hmm|nohmm
const readline = require('readline');
const [peer, mode] = process.argv.slice(2);
const hmm = mode === 'hmm';
let cut;
if (peer === 'nodejieba') {
  const nodejieba = require('nodejieba');
  nodejieba.load();
  cut = (s) => nodejieba.cut(s, !hmm);  // the second argument turns the HMM off
} else {
  const { Jieba } = require('@node-rs/jieba');
  const { dict } = require('@node-rs/jieba/dict');
  const jieba = Jieba.withDict(dict);
  cut = (s) => jieba.cut(s, hmm);
}
const chunks = [];
let pending = 0;
const flush = () => { process.stdout.write(chunks.join('')); chunks.length = 0; pending = 0; };
const rl = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
rl.on('line', (line) => {
  const words = cut(line).filter((w) => w.trim() !== '');
  chunks.push(words.join(' ') + '\n');
  if (++pending >= 256) flush();
});
rl.on('close', flush);
"""

PYTHON_DRIVER = r"""
import sys
import jieba
jieba.dt.tmp_dir = sys.argv[1]
jieba.setLogLevel(60)
jieba.initialize()
hmm = sys.argv[2] == "hmm"
out = sys.stdout
for line in sys.stdin:
    words = [w for w in jieba.cut(line.rstrip("\n"), HMM=hmm) if not w.isspace()]
    out.write(" ".join(words) + "\n")
"""


def log(message):
    print(message, file=sys.stderr, flush=True)


def run_checked(argv, **kwargs):
    log("+ " + " ".join(str(a) for a in argv))
    subprocess.run(argv, check=True, **kwargs)


# --- installing the peers ---

def node_header_prefix():
    """The prefix under which the node headers were installed (include/node)."""
    node = shutil.which("node")
    candidates = ["/usr", "/usr/local"]
    if node:
        candidates.insert(0, str(Path(node).resolve().parents[1]))
    for prefix in candidates:
        if (Path(prefix) / "include" / "node" / "node_version.h").exists():
            return prefix
    return None


def apt_install(packages):
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    run_checked(sudo + ["apt-get", "update", "-qq"])
    run_checked(sudo + ["apt-get", "install", "-y", "-qq"] + packages,
                env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def install_peers(cache):
    if subprocess.run([DEBIAN_PYTHON, "-c", "import jieba"],
                      capture_output=True).returncode != 0:
        apt_install(["python3-jieba"])
    if shutil.which("npm") is None or shutil.which("node") is None:
        apt_install(["nodejs", "npm"])
    npm_dir = cache / "npm"
    npm_dir.mkdir(parents=True, exist_ok=True)
    addon = npm_dir / "node_modules/nodejieba/build/Release/nodejieba.node"
    rs = npm_dir / "node_modules/@node-rs/jieba"
    if addon.exists() and rs.exists():
        return
    prefix = node_header_prefix()
    if prefix is None:
        raise SystemExit("peer_bench: no node headers (include/node) found; "
                         "install the node development headers (Debian: libnode-dev)")
    env = dict(os.environ, npm_config_nodedir=prefix)
    package = npm_dir / "package.json"
    if not package.exists():
        package.write_text('{"name": "zorvseg-peers", "private": true}\n')
    npm = ["npm", "install", "--no-audit", "--no-fund"]
    run_checked(npm + ["@mapbox/node-pre-gyp"], cwd=npm_dir, env=env)
    run_checked(npm + ["nodejieba", "@node-rs/jieba"], cwd=npm_dir, env=env)
    if not addon.exists():
        # Newer npm skips dependency install scripts until they are approved.
        subprocess.run(["npm", "install-scripts", "approve", "nodejieba"], cwd=npm_dir, env=env)
        run_checked(["npm", "rebuild", "nodejieba"], cwd=npm_dir, env=env)
    if not addon.exists():
        raise SystemExit("peer_bench: nodejieba did not build (see npm's output above)")


def cppjieba_dir(cache):
    return cache / "npm/node_modules/nodejieba/submodules/cppjieba"


def build_drivers(cache):
    drivers = cache / "drivers"
    drivers.mkdir(exist_ok=True)
    (cache / "npm/node_driver.js").write_text(NODE_DRIVER)  # beside node_modules
    (drivers / "jieba_driver.py").write_text(PYTHON_DRIVER)
    source = drivers / "cppjieba_driver.cc"
    binary = drivers / "cppjieba_driver"
    if not source.exists() or source.read_text() != CPP_DRIVER or not binary.exists():
        source.write_text(CPP_DRIVER)
        root = cppjieba_dir(cache)
        run_checked(["g++", "-std=c++17", "-O2", "-DNDEBUG", "-w",
                     "-I", str(root / "include"), "-I", str(root / "deps/limonp/include"),
                     str(source), "-o", str(binary)])
    return drivers


# --- the input text ---

def corpus_paragraphs():
    """Held-out corpus days, NER development texts and UD development text."""
    with open(CORPORA / "pd1998-01/199801.utf8.txt", encoding="utf-8") as f:
        for line in f:
            tokens = line.split()
            if not tokens or not tokens[0].startswith(HELD_OUT_DAYS):
                continue
            words = []
            for token in tokens[1:]:
                word = token.rsplit("/", 1)[0]
                words.append(word.lstrip("["))
            yield "".join(words)
    for path, char_of in ((CORPORA / "ner-peoplesdaily/dev.bio.txt", lambda t: t),
                          (CORPORA / "ner-weibo/dev.conll", lambda t: t.rstrip("0123456789"))):
        sentence = []
        with open(path, encoding="utf-8") as f:
            for line in f:
                fields = line.split()
                if fields:
                    sentence.append(char_of(fields[0]))
                elif sentence:
                    yield "".join(sentence)
                    sentence = []
        if sentence:
            yield "".join(sentence)
    with open(CORPORA / "ud-zh-gsdsimp/zh_gsdsimp-ud-dev.conllu", encoding="utf-8") as f:
        for line in f:
            if line.startswith("# text = "):
                yield line[len("# text = "):].strip()


def build_input(cache, megabytes):
    path = cache / f"input-{megabytes}mb.txt"
    one_line = cache / "input-one-line.txt"
    if path.exists() and one_line.exists():
        return path, one_line
    block = "".join(p + "\n" for p in corpus_paragraphs() if p.strip()).encode("utf-8")
    target = megabytes * 1000 * 1000
    with open(path, "wb") as f:
        written = 0
        while written < target:
            f.write(block)
            written += len(block)
    one_line.write_bytes(block[:block.index(b"\n") + 1])
    return path, one_line


# --- running and timing ---

def run_once(argv, input_path, output_path):
    """Wall seconds, CPU seconds and peak resident set (MB) of one run."""
    with open(input_path, "rb") as stdin, open(output_path, "wb") as stdout:
        start = time.perf_counter()
        process = subprocess.Popen(argv, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        error = process.stderr.read().decode(errors="replace")
        process.stderr.close()
    if process.returncode != 0:
        raise SystemExit(f"peer_bench: {argv[0]} failed ({process.returncode}): {error}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def count_lines(path):
    with open(path, "rb") as f:
        return sum(chunk.count(b"\n") for chunk in iter(lambda: f.read(1 << 20), b""))


def commands(args, cache, drivers):
    build = Path(args.build).resolve()
    zorvseg = [str(build / "bin/zorvseg"), "--data", str(Path(args.data or build / "data").resolve())]
    node = ["node", str(cache / "npm/node_driver.js")]
    cpp = [str(drivers / "cppjieba_driver"), str(cppjieba_dir(cache) / "dict")]
    table = [("zorvseg 0x214", zorvseg + ["--mode", "0x214"]),
             ("zorvseg 0x210", zorvseg + ["--mode", "0x210"])]
    for mode in args.extra_modes:
        table.append((f"zorvseg {mode}", zorvseg + ["--mode", mode]))
    table += [("cppjieba HMM", cpp + ["hmm"]),
              ("cppjieba no HMM", cpp + ["nohmm"]),
              ("nodejieba HMM", node + ["nodejieba", "hmm"]),
              ("@node-rs/jieba HMM", node + ["node-rs", "hmm"]),
              ("python3-jieba HMM", [DEBIAN_PYTHON, str(drivers / "jieba_driver.py"),
                                     str(cache), "hmm"])]
    if args.only:
        wanted = set(args.only.split(","))
        table = [(name, argv) for name, argv in table
                 if name in wanted or name.startswith("zorvseg")]
    return table


def measure(table, input_path, one_line, rounds, cache):
    expected_lines = count_lines(input_path)
    results = {name: {"full": [], "cpu": [], "one": [], "peak": [], "loaded": []}
               for name, _ in table}
    output = cache / "output.txt"
    for r in range(rounds):
        order = table[r % len(table):] + table[:r % len(table)]
        for name, argv in order:
            wall, cpu, peak = run_once(argv, input_path, output)
            lines = count_lines(output)
            if lines != expected_lines:
                raise SystemExit(f"peer_bench: {name} wrote {lines} lines for {expected_lines}")
            one_wall, one_cpu, loaded = run_once(argv, one_line, output)
            entry = results[name]
            entry["full"].append(wall)
            entry["cpu"].append(cpu - one_cpu)
            entry["one"].append(one_wall)
            entry["peak"].append(peak)
            entry["loaded"].append(loaded)
            log(f"round {r + 1}: {name}: {wall:.2f} s, one line {one_wall:.2f} s, "
                f"{peak:.0f} MB")
    return results


def summarise(results, input_bytes):
    rows = {}
    for name, entry in results.items():
        full = statistics.median(entry["full"])
        load = statistics.median(entry["one"])
        segmenting = max(full - load, 1e-9)
        rows[name] = {
            "load_s": load,
            "full_s": full,
            "mb_per_s": input_bytes / 1e6 / segmenting,
            "cpu_mb_per_s": input_bytes / 1e6 / max(statistics.median(entry["cpu"]), 1e-9),
            "peak_mb": max(entry["peak"]),
            "loaded_mb": statistics.median(entry["loaded"]),
            "runs": entry,
        }
    return rows


def print_table(rows, input_bytes, rounds):
    print(f"Input {input_bytes / 1e6:.1f} MB, {rounds} rounds, medians; "
          "MB/s = input / (full run - one-line run).\n")
    print("| command | MB/s | MB/s by CPU time | load s | RSS after load MB "
          "| peak RSS MB | 0x214 / it | 0x210 / it |")
    print("|---|---|---|---|---|---|---|---|")
    ours = rows.get("zorvseg 0x214")
    ours_plain = rows.get("zorvseg 0x210")
    for name, row in rows.items():
        ratio = lambda r: f"{r['mb_per_s'] / row['mb_per_s']:.2f}" if r else "-"
        print(f"| {name} | {row['mb_per_s']:.2f} | {row['cpu_mb_per_s']:.2f} "
              f"| {row['load_s']:.2f} | {row['loaded_mb']:.0f} | {row['peak_mb']:.0f} "
              f"| {ratio(ours)} | {ratio(ours_plain)} |")
    targets = [("zorvseg 0x214", "cppjieba HMM"), ("zorvseg 0x210", "cppjieba no HMM")]
    print()
    for a, b in targets:
        if a in rows and b in rows:
            print(f"{a} / {b}: {rows[a]['mb_per_s'] / rows[b]['mb_per_s']:.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(SOURCE_DIR / "build"),
                        help="build tree holding bin/zorvseg (default: build/)")
    parser.add_argument("--data", help="data directory (default: BUILD/data)")
    parser.add_argument("--cache", default=str(Path.home() / ".cache/zorvseg-peers"),
                        help="where the peers, drivers and input live")
    parser.add_argument("--rounds", type=int, default=3, help="rounds (at least 3)")
    parser.add_argument("--size", type=int, default=20, help="input size in MB")
    parser.add_argument("--extra-modes", nargs="*", default=[],
                        help="further zorvseg modes to time (hex)")
    parser.add_argument("--only", help="comma-separated peer names to run besides zorvseg")
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    if args.rounds < 3:
        parser.error("--rounds must be at least 3")

    cache = Path(args.cache).expanduser().resolve()
    if SOURCE_DIR in cache.parents or cache == SOURCE_DIR:
        parser.error("--cache must lie outside the source tree")
    cache.mkdir(parents=True, exist_ok=True)
    install_peers(cache)
    drivers = build_drivers(cache)
    input_path, one_line = build_input(cache, args.size)
    table = commands(args, cache, drivers)
    log(f"uptime: {os.getloadavg()}")
    results = measure(table, input_path, one_line, args.rounds, cache)
    input_bytes = input_path.stat().st_size
    rows = summarise(results, input_bytes)
    print_table(rows, input_bytes, args.rounds)
    log(f"uptime: {os.getloadavg()}")
    if args.json:
        Path(args.json).write_text(json.dumps(rows, indent=1))


if __name__ == "__main__":
    main()
