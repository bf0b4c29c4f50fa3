#!/usr/bin/env python3
"""End-to-end checks of the command-line tools, run by ctest."""
import argparse
import os
import subprocess
import sys
import tempfile
import unittest

ARGS = None


def zorvseg(*args, stdin=b"", check=True):
    cmd = [os.path.join(ARGS.bin, "zorvseg"), *args]
    proc = subprocess.run(cmd, input=stdin, capture_output=True, timeout=120)
    if check and proc.returncode != 0:
        raise AssertionError(f"{cmd} failed: {proc.stderr.decode(errors='replace')}")
    return proc


class SegmenterCli(unittest.TestCase):
    def test_single_character_mode_keeps_runs_and_emoji(self):
        out = zorvseg("--data", ARGS.data, "--mode", "2",
                      stdin="我爱北京天安门😀 abc123\n".encode()).stdout.decode()
        self.assertEqual(out, "我 爱 北 京 天 安 门 😀 abc 123\n")

    def test_one_output_line_per_input_line(self):
        text = "第一行\n\n  \nlast line without newline"
        out = zorvseg("--data", ARGS.data, "--mode", "2", stdin=text.encode()).stdout.decode()
        lines = out.split("\n")
        self.assertEqual(len(lines), 5)
        self.assertEqual(lines[1:3], ["", ""])
        self.assertEqual(lines[3], "last line without newline")

    def test_gbk_input_and_output(self):
        text = "我爱abc\n".encode("gbk")
        out = zorvseg("--data", ARGS.data, "--mode", "2", "--gbk", stdin=text).stdout
        self.assertEqual(out.decode("gbk"), "我 爱 abc\n")

    def test_pos_format_names_tags(self):
        out = zorvseg("--data", ARGS.data, "--mode", "2", "--format", "pos",
                      stdin="ab 我\n".encode()).stdout.decode()
        self.assertEqual(out, "ab/unk 我/unk\n")

    def test_default_mode_and_data_directory(self):
        # The build writes the data directory beside bin/, where the tool
        # looks by default.
        out = zorvseg(stdin="ＡＢＣ愛\n".encode()).stdout.decode()
        self.assertEqual(out.strip().replace(" ", ""), "ABC爱")

    def test_dictionary_mode_with_the_built_data(self):
        out = zorvseg("--data", ARGS.data,
                      stdin="我爱北京天安门\n今天的天气很好。\n".encode()).stdout.decode()
        self.assertEqual(out, "我 爱 北京 天安门\n今天 的 天气 很 好 。\n")

    def test_data_compiled_by_zorvseg_build(self):
        build = os.path.join(ARGS.bin, "zorvseg-build")
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "lex.txt"), "w", encoding="utf-8") as f:
                f.write("研究\t1\n研究生\t1\n生命\t1\n起源\t1\n")
            # ids follow GBK byte order: 起源=1, 生命=2, 研究=3, 研究生=4
            with open(os.path.join(d, "ngram.txt"), "w", encoding="utf-8") as f:
                f.write("5 1 1\n5 1 2\n5 1 3\n6 1 4\n")
            subprocess.run([build, "core-dict", os.path.join(d, "lex.txt"),
                            os.path.join(d, "core_dict.dat")], check=True, capture_output=True)
            subprocess.run([build, "ngram", os.path.join(d, "ngram.txt"), "2",
                            os.path.join(d, "ngram.dat")], check=True, capture_output=True)
            with open(os.path.join(d, "rules.txt"), "w", encoding="utf-8") as f:
                f.write("x-ray\t0 5 0 5\n")
            subprocess.run([build, "core-rule", os.path.join(d, "rules.txt"),
                            os.path.join(d, "core_rule.dat")], check=True, capture_output=True)
            for name in ("t2s.dat", "ascii_dict.txt"):
                with open(os.path.join(ARGS.data, name), "rb") as src, \
                        open(os.path.join(d, name), "wb") as dst:
                    dst.write(src.read())
            out = zorvseg("--data", d, "--mode", "0",
                          stdin="研究生命起源x-ray\n".encode()).stdout.decode()
            self.assertEqual(out, "研究 生命 起源 x-ray\n")

    def test_bad_data_directory_fails_clearly(self):
        proc = zorvseg("--data", "/nonexistent/dir", stdin=b"x\n", check=False)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"/nonexistent/dir", proc.stderr)
        with tempfile.NamedTemporaryFile() as f:
            proc = zorvseg("--data", f.name, stdin=b"x\n", check=False)
            self.assertEqual(proc.returncode, 1)

    def test_usage_errors(self):
        for args in (["--mode", "zz"], ["--format", "xml"], ["--bogus"], ["--data"]):
            proc = zorvseg(*args, check=False)
            self.assertEqual(proc.returncode, 2, args)
            self.assertTrue(proc.stderr, args)
        help_out = zorvseg("--help").stdout.decode()
        for option in ("--data", "--mode", "--gbk", "--format", "--help"):
            self.assertIn(option, help_out)

    def test_long_line_is_streamed_whole(self):
        line = ("长句子没有标点" * 20000 + "abc" * 30000).encode()
        out = zorvseg("--data", ARGS.data, "--mode", "2", stdin=line + b"\nx\n").stdout
        first, second, rest = out.split(b"\n")
        self.assertEqual(first.replace(b" ", b""), line)
        self.assertEqual((second, rest), (b"x", b""))

    def test_invalid_bytes_and_nul(self):
        data = b"a\xff\xfeb\x00c\n"
        proc = zorvseg("--data", ARGS.data, "--mode", "2", stdin=data)
        self.assertEqual(proc.stdout.count(b"\n"), 1)
        self.assertIn(b"\x00", proc.stdout)


FULL, SIMPLE, WHOLE, LM_PINYIN = "0x00212314", "0x08212314", "0x00292314", "0x03212314"


class MixedTextCli(unittest.TestCase):
    """ASCII runs inside Chinese text, with the data directory the build made."""

    def segment(self, mode, text, fmt="words"):
        return zorvseg("--data", ARGS.data, "--mode", mode, "--format", fmt,
                       stdin=(text + "\n").encode()).stdout.decode().rstrip("\n")

    def test_full_mode_numbers_prices_and_versions(self):
        out = self.segment(FULL, "价格12.5$，版本3.14.2，温度-3.14度")
        self.assertEqual(out, "价格 12.5$ , 版本 3 . 14 . 2 , 温度 -3.14 度")
        self.assertEqual(self.segment(FULL, "版本3.14.2和192.168.0.1", "phrases"),
                         "3.14.2 192.168.0.1")

    def test_full_mode_urls_and_email_addresses(self):
        text = "访问HTTP://www.Sina.com.cn或写信给foo-bar@example.com"
        self.assertEqual(self.segment(FULL, text),
                         "访问 HTTP : // www . Sina . com . cn 或 写信 给 "
                         "foo-bar @ example . com")
        self.assertEqual(self.segment(FULL, text, "phrases"),
                         "HTTP://www.Sina.com.cn foo-bar@example.com")

    def test_full_mode_keeps_the_core_rules_of_the_data_directory(self):
        self.assertEqual(self.segment(FULL, "用C++连Wi-Fi"), "用 C++ 连 Wi-Fi")

    def test_simple_mode_is_the_default(self):
        out = zorvseg("--data", ARGS.data, stdin="abc123!!?中文\n".encode()).stdout.decode()
        self.assertEqual(out, "abc 123 !! ? 中文\n")
        self.assertEqual(self.segment(SIMPLE, "12.5$"), "12 . 5 $")

    def test_whole_mode_cuts_only_at_blanks(self):
        self.assertEqual(self.segment(WHOLE, "用C++ and Wi-Fi,e.g. 3.14!!?"),
                         "用 C++ and Wi-Fi,e.g. 3.14!!?")

    def test_language_model_reads_english_and_pinyin(self):
        self.assertEqual(self.segment(LM_PINYIN, "我爱helloworld和beijingdaxue"),
                         "我 爱 hello world 和 bei jing da xue")

    def test_hostile_ascii_lines_come_back_whole(self):
        for unit in ("a", "7", "!", '"', "http://www.", "a-b@", "1.", "x" * 500 + "-b.com "):
            line = (unit * (300000 // len(unit) + 1))[:300000]
            out = zorvseg("--data", ARGS.data, "--mode", FULL,
                          stdin=(line + "\n").encode()).stdout.decode()
            self.assertEqual(out.replace(" ", ""), line.replace(" ", "") + "\n", unit)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--data", required=True)
    ARGS, rest = parser.parse_known_args()
    result = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=1).result
    failed = len(result.failures) + len(result.errors)
    print(f"{result.testsRun - failed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
