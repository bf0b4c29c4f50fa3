#!/usr/bin/env python3
"""The Python package zorvsegment, run by ctest with the build tree's
package on PYTHONPATH: the extension class, its mended lifecycle, bad
input, the idiomatic layer, threads and the README's example.

Checks that need a process without live segmenters run in a child
interpreter."""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import threading
import unittest

import zorvsegment
from zorvsegment import Mode, Segmenter, StringVector, ZorvSegmenter

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from unittest_summary import run_tests  # noqa: E402

ARGS = None
DATA = zorvsegment.default_data_dir()
# The sanitizer build runs slower: its huge input is smaller.
HUGE_BYTES = (8 if os.environ.get("ZORVSEG_SANITIZED") else 100) << 20


def run_python(code):
    """Runs code in a fresh interpreter; its (stdout, stderr, exit code)."""
    proc = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=600)
    return proc.stdout, proc.stderr, proc.returncode


def linked_data_dir(parent, leave_out=()):
    """A data directory in parent whose files link to those of DATA."""
    for name in os.listdir(DATA):
        if name not in leave_out:
            os.symlink(os.path.join(DATA, name), os.path.join(parent, name))
    return parent


def new_segmenter(mode=ZorvSegmenter.GetDefaultMode()):
    seg = ZorvSegmenter()
    assert seg.Init(DATA, mode) == 0
    return seg


class ExtensionClass(unittest.TestCase):
    def test_default_mode(self):
        self.assertEqual(ZorvSegmenter.GetDefaultMode(), 136389396)

    def test_segment_returns_a_tuple_of_mix_words(self):
        seg = new_segmenter()
        self.assertEqual(seg.Segment("我爱北京天安门", False, False, 0, False),
                         ("我", "爱", "北京", "天安门"))
        self.assertEqual(seg.Segment("   ", False, False, 0, False), ())
        self.assertEqual(seg.Segment("", True, True, 0, False), ())

    def test_upper_case_from_a_word_index_on_ascii_letters_only(self):
        seg = new_segmenter(Mode.DEFAULT)
        text = "北京ab天安门cd"
        self.assertEqual(seg.Segment(text, False, True, 2, False), ("北京", "ab", "天安门", "CD"))
        self.assertEqual(seg.Segment(text, False, True, -1, False), ("北京", "ab", "天安门", "cd"))
        # Characters whose GBK trail byte is an ASCII letter stay as they are.
        trail_letter = [c for c in map(chr, range(0x4E00, 0x4F00))
                        if 0x61 <= c.encode("gbk")[1] <= 0x7A][:4]
        word = "".join(trail_letter) + "x"
        joined = "".join(seg.Segment(word, False, True, 0, True))
        self.assertEqual(joined, "".join(trail_letter) + "X")

    def test_gbk_calls_round_trip_every_character(self):
        seg = new_segmenter(Mode.DEFAULT)
        text = "我爱北京天安门 😀 ＡＢＣ é"
        self.assertEqual(seg.Segment(text, False, False, 0, True),
                         seg.Segment(text, False, False, 0, False))
        self.assertIn("😀", seg.Segment(text, False, False, 0, True))

    def test_argument_errors_name_method_position_and_type(self):
        seg = new_segmenter()
        cases = [
            (lambda: seg.Init(DATA, "x"), TypeError, "argument 3 of type 'int32_t'"),
            (lambda: seg.Init(DATA, 2**31), OverflowError, "argument 3 of type 'int32_t'"),
            (lambda: seg.Init(7, 0), TypeError, "argument 2 of type 'std::string const &'"),
            (lambda: seg.Segment("a", False, False, "2", False), TypeError,
             "in method 'ZorvSegmenter_Segment', argument 5 of type 'int'"),
            (lambda: seg.Segment("a", False, False, 2**40, False), OverflowError,
             "argument 5 of type 'int'"),
            (lambda: seg.Segment("a", False, False, 0, 1), TypeError,
             "in method 'ZorvSegmenter_Segment', argument 6 of type 'bool'"),
            (lambda: seg.Segment(b"a", False, False, 0, False), TypeError,
             "argument 2 of type 'std::string const &'"),
            (lambda: ZorvSegmenter.Segment(None, "a", False, False, 0, False), TypeError,
             "in method 'ZorvSegmenter_Segment', argument 1 of type 'ZorvSegmenter *'"),
        ]
        for call, error, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(error) as raised:
                    call()
                self.assertIn(message, str(raised.exception))

    def test_string_vector_is_a_sequence(self):
        words = StringVector()
        words.append("北京")
        words.append("天安门")
        self.assertEqual((len(words), words[1], list(words[0:1])), (2, "天安门", ["北京"]))
        self.assertEqual(list(words), ["北京", "天安门"])
        self.assertEqual(words.pop(), "天安门")
        self.assertEqual(len(words), 1)


class Lifecycle(unittest.TestCase):
    def test_segment_before_init_raises(self):
        with self.assertRaisesRegex(RuntimeError, "call Init first"):
            ZorvSegmenter().Segment("北京", False, False, 0, False)

    def test_missing_resource_fails_and_names_the_directory(self):
        with tempfile.TemporaryDirectory() as parent:
            partial = linked_data_dir(parent, leave_out=("t2s.dat",))
            out, err, code = run_python(
                "import zorvsegment as z\n"
                f"s = z.ZorvSegmenter(); print(s.Init({partial!r}, 0))\n"
                "try: s.Segment('a', False, False, 0, False)\n"
                "except RuntimeError: print('refused')\n"
                f"print(z.ZorvSegmenter().Init({DATA!r}, 0))\n")
        self.assertEqual((out, code), ("-1\nrefused\n0\n", 0), err)
        self.assertIn(f'Init:init seg from "{partial}" failed!', err)

    def test_data_is_released_with_the_last_object_only(self):
        # A directory other than the loaded one is refused while any object
        # lives, so its acceptance shows the data was released, and a second
        # Init of one object holds one reference, not two.
        with tempfile.TemporaryDirectory() as parent:
            other = linked_data_dir(parent)
            out, err, code = run_python(
                "import zorvsegment as z\n"
                f"data, other = {DATA!r}, {other!r}\n"
                "a, b = z.ZorvSegmenter(), z.ZorvSegmenter()\n"
                "print(a.Init(data, 0), a.Init(data, 0), b.Init(data, 0))\n"
                "c = z.ZorvSegmenter(); print(c.Init(other, 0))\n"
                "del a\n"
                "print(b.Segment('我爱北京天安门', False, False, 0, False))\n"
                "print(c.Init(other, 0))\n"
                "del b\n"
                "print(c.Init(other, 0), c.Segment('北京', False, False, 0, False))\n"
                "try: z.Segmenter(data)\n"
                "except RuntimeError as e: print('refused:', e)\n")
        self.assertEqual(code, 0, err)
        lines = out.splitlines()
        self.assertEqual(lines[:5], ["0 0 0", "-1", "('我', '爱', '北京', '天安门')", "-1",
                                     "0 ('北京',)"])
        self.assertIn("one data directory per process", lines[5])
        self.assertIn(f'data directory "{other}" is not', err)


class BadInput(unittest.TestCase):
    def test_wrong_types_raise_type_error(self):
        for text in (None, 12, b"bytes", ["list"]):
            with self.subTest(text=text):
                with self.assertRaisesRegex(TypeError, "text must be str"):
                    zorvsegment.cut(text)
        for granularity in ("coarse", None):
            with self.assertRaisesRegex(ValueError, "granularity"):
                zorvsegment.cut("北京", granularity)

    def test_lone_surrogates_raise_unicode_error(self):
        for call in (zorvsegment.cut, zorvsegment.tokenize, zorvsegment.pos_cut):
            with self.assertRaises(UnicodeEncodeError):
                call("北京\ud800")

    def test_nul_characters_are_text(self):
        self.assertEqual(zorvsegment.tokenize("北京\x00天安门")[-1], ("天安门", 3, 6))

    def test_modes_out_of_range(self):
        for mode, error in ((2**31, ValueError), (-2**31 - 1, ValueError), ("1", TypeError),
                            (True, TypeError)):
            with self.subTest(mode=mode), self.assertRaises(error):
                Segmenter(mode=mode)

    def test_huge_text_is_segmented_in_bounded_pieces(self):
        filler = "\n" * (HUGE_BYTES // 2)
        text = "北京" + filler + "天安门" + filler + "我爱"
        tokens = zorvsegment.tokenize(text)
        self.assertEqual([t[0] for t in tokens], ["北京", "天安门", "我", "爱"])
        for word, start, end in tokens:
            self.assertEqual(text[start:end], word)


class IdiomaticLayer(unittest.TestCase):
    def test_cut_granularities(self):
        text = "香港特别行政区成立了"
        self.assertEqual(zorvsegment.cut(text, "mix")[0], "香港特别行政区")
        self.assertEqual(zorvsegment.cut(text)[:3], ["香港", "特别", "行政区"])
        self.assertEqual(zorvsegment.cut(" \t我爱北京 "), ["我", "爱", "北京"])

    def test_iter_cut_goes_line_by_line(self):
        lines = ["我爱北京天安门\n", "今天的天气很好。\n", "abc 123"]
        expected = [w for line in lines for w in zorvsegment.cut(line)]
        self.assertEqual(list(zorvsegment.iter_cut("".join(lines))), expected)
        self.assertEqual(list(zorvsegment.iter_cut(iter(lines))), expected)

    def test_offsets_map_back_to_the_input(self):
        # Full-width letters, traditional characters and upper case are
        # normalised in the words; their spans are those of the input.
        text = "我爱北京天安门，ＡＢＣ中華人民共和國 Hello😀World\n第二行"
        for granularity in ("basic", "mix"):
            tokens = zorvsegment.tokenize(text, granularity)
            covered = "".join(text[start:end] for _, start, end in tokens)
            self.assertEqual(covered, "".join(text.split()))
            for word, start, end in tokens:
                self.assertEqual(len(word), end - start)
        seg = Segmenter(mode=Mode.DEFAULT | Mode.UPPER_TO_LOWER)
        self.assertIn(("abc", 8, 11), seg.tokenize(text))
        self.assertIn(("hello", 19, 24), seg.tokenize(text))

    def test_tags_and_entities(self):
        tags = dict(zorvsegment.pos_cut("我爱北京天安门"))
        self.assertEqual(tags["北京"], "ns")
        plain = Segmenter(mode=0)  # tags even without the tagging bit
        self.assertEqual(dict(plain.pos_cut("我爱北京"))["北京"], "ns")
        text = "国家主席江泽民和李鹏总理在北京人民大会堂会见了微软公司的比尔·盖茨。1998年1月1日"
        for entity, kind, start, end in zorvsegment.entities(text):
            self.assertIn(kind, {"person", "location", "organization", "date"})
            self.assertEqual(text[start:end], entity)
        found = zorvsegment.entities("春节前，张伟在上海见到了王小明。")
        for expected in (("春节", "date", 0, 2), ("上海", "location", 7, 9),
                         ("王小明", "person", 12, 15)):
            self.assertIn(expected, found)

    def test_mode_flags(self):
        self.assertEqual(int(Mode.DEFAULT), 0x400214)
        self.assertEqual(Mode.POS_TAG | Mode.NE_NAME, 0x104)
        self.assertEqual(Segmenter(mode=Mode.SINGLE_WORD).cut("北京"), ["北", "京"])

    def test_user_words_are_process_wide(self):
        text = "我爱北京天安门广场"
        other = Segmenter()
        self.assertNotIn("天安门广场", zorvsegment.cut(text))
        zorvsegment.add_word("天安门广场", "ns")
        try:
            self.assertIn("天安门广场", zorvsegment.cut(text))
            self.assertIn(("天安门广场", "ns"), other.pos_cut(text))
        finally:
            self.assertTrue(zorvsegment.del_word("天安门广场"))
        self.assertFalse(zorvsegment.del_word("天安门广场"))
        self.assertNotIn("天安门广场", other.cut(text))

    def test_user_dictionary_formats(self):
        lines = ["# comment", "", "北京天安门,ns", "天安门广场 12 nz", "人民大会堂 5", "大会堂 n"]
        self.assertEqual(zorvsegment.load_userdict(lines), 4)
        try:
            self.assertIn(("天安门广场", "nz"), zorvsegment.pos_cut("天安门广场"))
            self.assertIn("北京天安门", zorvsegment.cut("我爱北京天安门"))
            with tempfile.NamedTemporaryFile("wb", suffix=".txt") as file:
                file.write("长江大桥 3 ns\n".encode("gbk"))
                file.flush()
                self.assertEqual(zorvsegment.load_userdict(file.name), 1)
            self.assertIn("长江大桥", zorvsegment.cut("南京市长江大桥"))
        finally:
            for word in ("北京天安门", "天安门广场", "人民大会堂", "大会堂", "长江大桥"):
                zorvsegment.del_word(word)
        for bad in (["a,b,n"], [b"bytes"], b"bytes"):
            with self.subTest(bad=bad), self.assertRaises((ValueError, TypeError)):
                zorvsegment.load_userdict(bad)
        for word, tag in (("#x", None), ("", None), ("北京", "n s"), ("x" * 256, None)):
            with self.subTest(word=word), self.assertRaises(ValueError):
                zorvsegment.add_word(word, tag)


class Threads(unittest.TestCase):
    LINES = ["我爱北京天安门", "今天的天气很好。", "中华人民共和国成立了", "ＡＢＣ中華人民共和國",
             "国家主席江泽民发表了新年讲话", "abc 123 hello world"] * 20

    def run_threads(self, work, count=8):
        results = [None] * count
        errors = []

        def run(i):
            try:
                results[i] = work()
            except Exception as error:  # reported below
                errors.append(error)
        threads = [threading.Thread(target=run, args=(i,)) for i in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(errors, [])
        return results

    def test_eight_threads_give_the_single_thread_results(self):
        expected = [zorvsegment.pos_cut(line) for line in self.LINES]
        results = self.run_threads(lambda: [zorvsegment.pos_cut(l) for l in self.LINES])
        self.assertEqual(results, [expected] * 8)
        shared = Segmenter()
        results = self.run_threads(lambda: [shared.pos_cut(l) for l in self.LINES])
        self.assertEqual(results, [expected] * 8)

    def test_user_words_change_while_threads_segment(self):
        stop = threading.Event()

        def churn():
            while not stop.is_set():
                zorvsegment.add_word("天安门广场")
                zorvsegment.cut("天安门广场")
                zorvsegment.del_word("天安门广场")
        changer = threading.Thread(target=churn)
        changer.start()
        try:
            results = self.run_threads(lambda: [zorvsegment.cut(l) for l in self.LINES], 4)
        finally:
            stop.set()
            changer.join()
        self.assertEqual(results[0], [zorvsegment.cut(l) for l in self.LINES])


class Readme(unittest.TestCase):
    def test_python_example_runs_as_printed(self):
        with open(ARGS.readme, encoding="utf-8") as file:
            readme = file.read()
        block = re.search(r"```python\n(.*?)```", readme, re.S).group(1)
        expected = "".join(line[2:] + "\n" for line in block.splitlines()
                           if line.startswith("# "))
        out, err, code = run_python(block)
        self.assertEqual(code, 0, err)
        self.assertEqual(out, expected)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--readme", required=True)
    ARGS, rest = parser.parse_known_args()
    run_tests(rest)


if __name__ == "__main__":
    main()
