#!/usr/bin/env python3
"""The command line as users meet it: inputs and outputs, switches, formats,
exit statuses and the progress bar. Run by ctest."""
import json
import os
import pty
import re
import subprocess
import tempfile
import threading
import unittest

import cli_test
from cli_test import zorvseg

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "README.md")
SAMPLE = "我爱北京天安门。\n今天的天气很好\n"


def seg(*args, stdin=b"", check=True):
    return zorvseg("--data", cli_test.ARGS.data, *args, stdin=stdin, check=check)


class InputsAndOutputs(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def write(self, name, data):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_files_are_read_in_order_and_dash_is_standard_input(self):
        a = self.write("a.txt", "我爱北京\n".encode())
        b = self.write("b.txt", "天安门".encode())  # no final newline
        from_stdin = seg(stdin=SAMPLE.encode()).stdout
        out = seg(a, "-", b, stdin=SAMPLE.encode()).stdout.decode()
        self.assertEqual(out, "我 爱 北京\n" + from_stdin.decode() + "天安门\n")

    def test_output_file(self):
        src = self.write("in.txt", SAMPLE.encode())
        expected = seg(stdin=SAMPLE.encode()).stdout
        for args in (["-o"], ["--output"]):
            dest = os.path.join(self.dir.name, "out.txt")
            proc = seg(src, *args, dest)
            self.assertEqual(proc.stdout, b"")
            with open(dest, "rb") as f:
                self.assertEqual(f.read(), expected)
        dest = os.path.join(self.dir.name, "eq.txt")
        seg("--output=" + dest, src)
        with open(dest, "rb") as f:
            self.assertEqual(f.read(), expected)

    def test_failures_exit_1_with_a_message_naming_the_path(self):
        unreadable = self.write("secret.txt", b"x\n")
        os.chmod(unreadable, 0)
        missing = os.path.join(self.dir.name, "missing.txt")
        cases = [([missing], missing), ([self.dir.name], self.dir.name),
                 (["-o", os.path.join(missing, "out.txt")], missing),
                 (["-o", "/dev/full"], "/dev/full")]
        if os.geteuid() != 0:  # root reads anything
            cases.append(([unreadable], unreadable))
        for args, named in cases:
            proc = seg(*args, stdin=SAMPLE.encode(), check=False)
            self.assertEqual(proc.returncode, 1, args)
            self.assertIn(named.encode(), proc.stderr, args)

    def test_usage_errors_exit_2(self):
        for args in (["--bogus"], ["--ascii", "none"], ["--format"], ["--t2s=yes"],
                     ["--format", "json", "--gbk"], ["-x"]):
            proc = seg(*args, check=False)
            self.assertEqual(proc.returncode, 2, args)
            self.assertIn(b"zorvseg: ", proc.stderr, args)
            self.assertEqual(proc.stdout, b"", args)

    def test_version_and_help(self):
        self.assertRegex(zorvseg("--version").stdout.decode(), r"^zorvseg \d+\.\d+\.\d+\n$")
        help_text = zorvseg("--help").stdout.decode()
        examples = re.findall(r"^  ((?:echo .*\| )?zorvseg .*)$", help_text, re.M)
        self.assertGreaterEqual(len(examples), 4)
        with open(README, encoding="utf-8") as f:
            readme = f.read()
        for example in examples:
            self.assertIn(example, readme, "the README shows the examples of --help")

    def test_last_line_used_up_by_long_line_chunking_keeps_its_newline(self):
        # Lines without a final newline whose pieces end exactly at the end
        # of the input.
        for data in (b"." * 65536, b"x\n" + b"," * 131072, "中".encode() * 65536):
            out = seg("--mode", "2", stdin=data).stdout
            self.assertEqual(out.count(b"\n"), data.count(b"\n") + 1, len(data))
            self.assertEqual(out.replace(b" ", b"").replace(b"\n", b""),
                             data.replace(b"\n", b""))

    def test_presegmented_streams_long_lines_and_words(self):
        words = "我们 研究 生命 起源 ".split()
        line = " ".join(words * 30000)
        long_word = "a" * 70000
        data = (line + "\n" + "我们 " + long_word + " 研究\n" + "生命").encode()
        out = seg("--presegmented", stdin=data).stdout.decode().split("\n")
        self.assertEqual(len(out), 4)
        self.assertEqual([w.split("/")[0] for w in out[0].split(" ")], words * 30000)
        self.assertEqual(out[0].split(" ")[:4], ["我们/r", "研究/v", "生命/n", "起源/n"])
        self.assertEqual(out[1].split(" "), ["我们/r", long_word + "/unk", "研究/v"])
        self.assertEqual((out[2], out[3]), ("生命/n", ""))


class Jobs(unittest.TestCase):
    """-j N segments with N threads and must print what one thread prints."""

    def corpus_text(self, lines):
        with open(cli_test.CORPUS, encoding="utf-8") as f:
            raw = [next(f) for _ in range(lines)]
        # Words without their tags, one paragraph per line.
        return [" ".join(t.split("/")[0] for t in line.split()[1:]) for line in raw]

    def test_threads_print_what_one_thread_prints(self):
        text = self.corpus_text(3000)
        long_line = "".join(text[:400]) * 4  # longer than a batch of input
        mixed = text[:1000] + ["", "", long_line, ""] + text[1000:] + [long_line]
        data = "\n".join(mixed).encode()  # the last line has no newline
        for fmt in ("pos", "json"):
            expected = seg("--format", fmt, stdin=data).stdout
            self.assertEqual(expected.count(b"\n"), len(mixed))
            for jobs in (["-j", "2"], ["--jobs=3"], ["-j4"]):
                self.assertEqual(seg("--format", fmt, *jobs, stdin=data).stdout, expected,
                                 (fmt, jobs))
        words = "\n".join(text[:2000]).encode()
        expected = seg("--presegmented", stdin=words).stdout
        self.assertEqual(seg("--presegmented", "-j", "2", stdin=words).stdout, expected)

    def test_bad_thread_counts_are_usage_errors(self):
        for value in ("0", "-1", "x", "", "2x", "100000"):
            proc = seg("-j", value, check=False)
            self.assertEqual(proc.returncode, 2, value)
            self.assertIn(b"-j", proc.stderr)


class ModeSwitches(unittest.TestCase):
    TEXT = "臺灣ＡＢＣ的Wi-Fi網站abc123，我愛北京天安門\n".encode()

    def test_switches_equal_their_mode_bits(self):
        pairs = [
            (["--single-chars"], "0x400216"),
            (["--no-pos-tags", "--no-t2s"], "0x400010"),
            (["--no-half-width"], "0x400204"),
            (["--lower-case"], "0x400234"),
            (["--ascii", "simple"], "0x08400214"),
            (["--ascii", "whole"], "0x00480214"),
            (["--ascii=lm"], "0x01400214"),
            (["--ascii", "lm-pinyin"], "0x03400214"),
            (["--mode", "0x08000214", "--ascii", "full"], "0x214"),
            (["--mode", "0x00080000", "--t2s", "--pos-tags"], "0x00080204"),
            (["--entities"], "0x400314"),
            (["--whole-names"], "0x470314"),
            (["--whole-names", "--no-entities"], "0x400214"),
            (["--no-t2s", "--t2s"], "0x400214"),
            (["--no-unknown-words"], "0x214"),
            (["--mode", "0x214", "--unknown-words"], "0x400214"),
        ]
        for fmt in ("pos", "mix"):
            for switches, mode in pairs:
                with self.subTest(switches=switches, fmt=fmt):
                    self.assertEqual(seg("--format", fmt, *switches, stdin=self.TEXT).stdout,
                                     seg("--format", fmt, "--mode", mode, stdin=self.TEXT).stdout)

    def test_switches_change_the_output(self):
        default = seg(stdin=self.TEXT).stdout.decode()
        self.assertIn("台湾", default)
        self.assertIn("臺", seg("--no-t2s", stdin=self.TEXT).stdout.decode())
        self.assertIn("，", seg("--no-half-width", stdin=self.TEXT).stdout.decode())
        self.assertEqual(seg("--single-chars", stdin="天安门\n".encode()).stdout.decode(),
                         "天 安 门\n")


    def test_default_leaves_out_the_unknown_word_stage_only_when_its_model_is_missing(self):
        with tempfile.TemporaryDirectory() as data:
            for name in os.listdir(cli_test.ARGS.data):
                if name not in ("unk_model.dat", "manifest.txt"):
                    os.symlink(os.path.join(os.path.abspath(cli_test.ARGS.data), name),
                               os.path.join(data, name))
            default = zorvseg("--data", data, stdin=self.TEXT, check=False)
            self.assertEqual(default.returncode, 0, default.stderr)
            self.assertIn(b"unk_model.dat", default.stderr)
            self.assertEqual(default.stdout,
                             zorvseg("--data", data, "--mode", "0x214", stdin=self.TEXT).stdout)
            for asked in (["--unknown-words"], ["--mode", "0x400214"]):
                proc = zorvseg("--data", data, *asked, stdin=self.TEXT, check=False)
                self.assertEqual(proc.returncode, 1, asked)
                self.assertIn(b"unk_model.dat", proc.stderr, asked)


class Formats(unittest.TestCase):
    LINES = ["我爱北京天安门。", "  访问 HTTP://www.Sina.com.cn 或写信给 foo-bar@example.com ",
             "臺灣ＡＢＣ的Wi-Fi，价格12.5$", "", "中华人民共和国成立了", "😀 emoji\ttab"]

    def json_lines(self, *args, lines=None):
        text = "\n".join(lines or self.LINES) + "\n"
        out = seg("--format", "json", *args, stdin=text.encode()).stdout.decode()
        objects = [json.loads(line) for line in out.split("\n")[:-1]]
        self.assertEqual(len(objects), len(lines or self.LINES))
        return objects

    def test_json_offsets_map_words_back_to_the_input(self):
        for args in ((), ("--no-t2s", "--no-half-width", "--ascii", "whole"), ("--single-chars",)):
            for line, obj in zip(self.LINES, self.json_lines(*args)):
                with self.subTest(args=args, line=line):
                    covered = set()
                    for word in obj["words"]:
                        piece = line[word["start"]:word["end"]]
                        self.assertEqual(len(piece), len(word["text"]))
                        if "--no-t2s" in args:
                            self.assertEqual(piece, word["text"])
                        covered.update(range(word["start"], word["end"]))
                    self.assertEqual({i for i, c in enumerate(line) if not c.isspace()},
                                     {i for i in covered if not line[i].isspace()})
                    for mix in obj["mix"]:
                        self.assertEqual(len(line[mix["start"]:mix["end"]]), len(mix["text"]))

    def test_json_phrases_name_the_words_they_cover(self):
        obj = self.json_lines(lines=["北京石景山发电总厂和广播电影电视部"])[0]
        self.assertTrue(obj["phrases"])
        for phrase in obj["phrases"]:
            covered = obj["words"][phrase["first_word"]:phrase["end_word"]]
            self.assertEqual("".join(w["text"] for w in covered), phrase["text"])
            self.assertEqual((covered[0]["start"], covered[-1]["end"]),
                             (phrase["start"], phrase["end"]))
            self.assertIn(phrase["type"], ("phrase", "url", "email", "person", "location",
                                           "organization", "date"))

    def test_json_of_a_line_segmented_in_pieces(self):
        line = "中文abc，" * 30000
        obj = self.json_lines(lines=[line])[0]
        self.assertEqual("".join(w["text"] for w in obj["words"]), line.replace("，", ","))
        self.assertEqual([w["end"] for w in obj["words"]][-1], len(line))
        starts = [w["start"] for w in obj["words"]]
        self.assertEqual(starts, sorted(set(starts)))

    def test_entities_format_prints_only_entity_phrases(self):
        out = seg("--format", "entities", stdin="\n".join(self.LINES).encode()).stdout.decode()
        lines = out.split("\n")
        self.assertEqual(len(lines), len(self.LINES) + 1)
        for entity in " ".join(lines).split():
            self.assertRegex(entity, r"/(PER|LOC|ORG|DATE)$")


class UrlsEmailAddressesAndPunctuation(unittest.TestCase):
    TEXT = "访问https://example.com/a?b=1#top，或写信给foo.bar@mail.com，谢谢"
    URL, MAIL = "https://example.com/a?b=1#top", "foo.bar@mail.com"

    def streams(self, *args):
        text = (self.TEXT + "\n").encode()
        return [seg("--format", fmt, *args, stdin=text).stdout.decode().split()
                for fmt in ("words", "mix", "phrases")]

    def test_mix_words_and_phrases_show_them_whole_where_the_mode_finds_them(self):
        full_words = self.streams()[0]
        self.assertEqual(full_words[:8],
                         ["访问", "https", ":", "//", "example", ".", "com/a", "?"])
        for ascii_mode in ("full", "lm", "lm-pinyin"):
            words, mix, phrases = self.streams("--ascii", ascii_mode)
            with self.subTest(ascii_mode):
                self.assertEqual(words, full_words)
                self.assertEqual(mix, ["访问", self.URL, ",", "或", "写信", "给", self.MAIL,
                                       ",", "谢谢"])
                self.assertEqual(phrases, [self.URL, self.MAIL])
        words, mix, phrases = self.streams("--ascii", "simple")
        self.assertEqual((mix, phrases), (words, []))
        self.assertIn("https", words)

    def test_full_width_punctuation_never_joins_an_ascii_word(self):
        # "，" and the others become "," etc.; in whole mode they still end
        # a word, unless they stand between digits, while "," typed as such
        # stays inside one.
        text = "写信给foo.bar@mail.com，访问a.com/x?b=1！abc；Wi-Fi,e.g.：x．y？共１２．５元\n"
        whole = seg("--ascii", "whole", stdin=text.encode()).stdout.decode().split()
        self.assertEqual(whole[:13], ["写信", "给", "foo.bar@mail.com", ",", "访问", "a.com/x?b=1",
                                      "!", "abc", ";", "Wi-Fi,e.g.", ":", "x", "."])
        self.assertIn("12.5", whole)
        for ascii_mode in ("full", "simple", "whole", "lm", "lm-pinyin"):
            for fmt in ("words", "mix"):
                out = seg("--ascii", ascii_mode, "--format", fmt, stdin=text.encode()).stdout
                words = out.decode().split()
                with self.subTest(ascii_mode=ascii_mode, fmt=fmt):
                    for mark in ",!;:?":
                        self.assertIn(mark, words)
                    self.assertFalse([w for w in words if len(w) > 1 and w[-1] in ",!;:?"])

    def test_json_names_url_and_email_phrases(self):
        out = seg("--format", "json", stdin=(self.TEXT + "\n").encode()).stdout.decode()
        phrases = json.loads(out)["phrases"]
        self.assertEqual([(p["type"], p["text"]) for p in phrases],
                         [("url", self.URL), ("email", self.MAIL)])
        self.assertEqual([self.TEXT[p["start"]:p["end"]] for p in phrases], [self.URL, self.MAIL])


class ProgressBar(unittest.TestCase):
    def run_with_terminal(self, args, stdin=b""):
        """Runs zorvseg with standard error on a pseudo-terminal."""
        master, slave = pty.openpty()
        shown = []

        def read_terminal():
            while True:
                try:
                    chunk = os.read(master, 4096)
                except OSError:
                    return
                if not chunk:
                    return
                shown.append(chunk)

        reader = threading.Thread(target=read_terminal)
        reader.start()
        cmd = [os.path.join(cli_test.ARGS.bin, "zorvseg"), "--data", cli_test.ARGS.data, *args]
        proc = subprocess.run(cmd, input=stdin, stdout=subprocess.PIPE, stderr=slave, timeout=120)
        os.close(slave)
        reader.join(timeout=10)
        os.close(master)
        return proc, b"".join(shown).decode(errors="replace")

    def test_progress_only_for_files_on_a_terminal(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "in.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write(SAMPLE * 1000)
            expected = seg(path).stdout
            proc, shown = self.run_with_terminal([path])
            self.assertEqual(proc.stdout, expected)
            self.assertRegex(shown, r"100%.*MB/s")
            for args, stdin in (([], SAMPLE.encode()), ([path, "-"], SAMPLE.encode()),
                                ([path, "--no-progress"], b"")):
                proc, shown = self.run_with_terminal(args, stdin)
                self.assertEqual((proc.returncode, shown), (0, ""), args)
            self.assertEqual(seg(path).stderr, b"")


if __name__ == "__main__":
    cli_test.main()
