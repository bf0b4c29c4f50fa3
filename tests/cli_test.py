#!/usr/bin/env python3
"""End-to-end checks of the command-line tools, run by ctest."""
import argparse
import os
import re
import runpy
import shutil
import subprocess
import sys
import tempfile
import types
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from unittest_summary import run_tests  # noqa: E402

ARGS = None


SMALL_ENTITIES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "entities")


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

    def test_entities_of_the_example_sentence(self):
        # The built data with the small hand-written entity dictionary and
        # name model of tests/entities in place of the trained ones.
        with tempfile.TemporaryDirectory() as d:
            data = os.path.join(d, "data")
            shutil.copytree(ARGS.data, data)
            os.remove(os.path.join(data, "manifest.txt"))
            build = os.path.join(ARGS.bin, "zorvseg-build")
            for kind, source, target in (("ne-dict", "ne_dict.txt", "ne_dict.dat"),
                                         ("crf-model", "ne_model.txt", "ne_model.dat")):
                subprocess.run([build, kind, os.path.join(SMALL_ENTITIES, source),
                                os.path.join(data, target)], check=True, capture_output=True)
            line = "2023年10月1日上午9点30分，欧阳明在北京大学见到了王小二。\n".encode()
            out = zorvseg("--data", data, "--format", "entities", stdin=line).stdout.decode()
            self.assertEqual(out.split(), ["2023年10月1日/DATE", "9点30分/DATE", "欧阳明/PER",
                                           "北京大学/ORG", "王小二/PER"])
            # The basic words of a recognised person name are tagged nr,
            # whatever the tagger made of them alone (王 小 二 is n a m).
            out = zorvseg("--data", data, "--entities", "--format", "pos",
                          stdin=line).stdout.decode().split()
            spans, text = [], ""
            for word, tag in (w.rsplit("/", 1) for w in out):
                spans.append((len(text), len(text) + len(word), tag))
                text += word
            for name in ("欧阳明", "王小二"):
                begin = text.index(name)
                end = begin + len(name)
                inside = {tag for b, e, tag in spans if b >= begin and e <= end}
                self.assertEqual(inside, {"nr"}, out)
            # Whole names come out as single words with their tags.
            out = zorvseg("--data", data, "--whole-names", "--format", "pos",
                          stdin=line).stdout.decode().split()
            for word in ("欧阳明/nr", "北京大学/nt", "王小二/nr"):
                self.assertIn(word, out)

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
            copy_untrained_resources(d)
            with open(os.path.join(d, "lex.txt"), "w", encoding="utf-8") as f:
                f.write("研究\t1\n研究生\t1\n生命\t1\n起源\t1\n")
            # ids follow GBK byte order: 起源=1, 生命=2, 研究=3, 研究生=4
            with open(os.path.join(d, "ngram.txt"), "w", encoding="utf-8") as f:
                f.write("5 1 1\n5 1 2\n5 1 3\n6 1 4\n")
            with open(os.path.join(d, "rules.txt"), "w", encoding="utf-8") as f:
                f.write("x-ray\t0 5 0 5\n")
            # The tags follow from the weights: 研究 alone prefers v, but the
            # transitions make vn the better start; 起源 prefers v, but n after n wins.
            with open(os.path.join(d, "tags.txt"), "w", encoding="utf-8") as f:
                f.write("# test model\nword 研究 v:-0.5 vn:-1\nword 生命 n:-1\n"
                        "word 起源 v:-1 n:-2\nword 不在词典 n:-1\n"
                        "transition <s> vn -1\ntransition <s> v -3\ntransition vn n -1\n"
                        "transition v n -1\ntransition n n -0.5\ntransition n v -5\n"
                        "name 1 2 3\n")
            for args in (["core-dict", "lex.txt", "core_dict.dat"],
                         ["ngram", "ngram.txt", "2", "ngram.dat"],
                         ["core-rule", "rules.txt", "core_rule.dat"]):
                subprocess.run([build, *[os.path.join(d, a) if "." in a else a for a in args]],
                               check=True, capture_output=True)
            built = subprocess.run([build, "tag-model", os.path.join(d, "tags.txt"),
                                    os.path.join(d, "core_dict.dat"),
                                    os.path.join(d, "tag_info.dat")],
                                   check=True, capture_output=True).stdout.decode()
            self.assertIn("3 words (1 not in the core dictionary", built)
            out = zorvseg("--data", d, "--mode", "0",
                          stdin="研究生命起源x-ray\n".encode()).stdout.decode()
            self.assertEqual(out, "研究 生命 起源 x-ray\n")
            out = zorvseg("--data", d, "--mode", "4", "--format", "pos",
                          stdin="研究生命起源\n".encode()).stdout.decode()
            self.assertEqual(out, "研究/vn 生命/n 起源/n\n")

    def test_unknown_word_record_tags_words_without_an_entry(self):
        with tempfile.TemporaryDirectory() as d:
            copy_untrained_resources(d)
            build = os.path.join(ARGS.bin, "zorvseg-build")
            with open(os.path.join(d, "lex.txt"), "w", encoding="utf-8") as f:
                f.write("研究\t1\n")
            with open(os.path.join(d, "ngram.txt"), "w", encoding="utf-8") as f:
                f.write("5 1 1\n30 0 0\n")
            with open(os.path.join(d, "tags.txt"), "w", encoding="utf-8") as f:
                f.write("word 研究 v:-1\nunknown ns:-1 n:-3\ntransition v ns -1\n"
                        "transition v n -1\nname 1 2 3\n")
            for args in (["core-dict", "lex.txt", "core_dict.dat"],
                         ["ngram", "ngram.txt", "2", "ngram.dat"],
                         ["tag-model", "tags.txt", "core_dict.dat", "tag_info.dat"]):
                subprocess.run([build, *[os.path.join(d, a) if "." in a else a for a in args]],
                               check=True, capture_output=True)
            out = zorvseg("--data", d, "--presegmented", "--mode", "4",
                          stdin="研究 桂林\n".encode()).stdout.decode()
            self.assertEqual(out, "研究/v 桂林/ns\n")

    def test_pos_tags_with_the_built_model(self):
        out = zorvseg("--data", ARGS.data, "--format", "pos",
                      stdin="我爱北京天安门\n今天的天气很好。\n".encode()).stdout.decode()
        self.assertEqual(out, "我/r 爱/v 北京/ns 天安门/ns\n今天/t 的/u 天气/n 很/d 好/a 。/w\n")

    def test_presegmented_person_names_keep_their_tag_with_entities_on(self):
        # Entity recognition, which tags person names in a segmented line,
        # does not run on given words: the tagger's own person tags stay.
        line = "克林顿 会见 了 李 鹏 。\n".encode()
        tags = {}
        for switch in ("--entities", "--no-entities"):
            tags[switch] = zorvseg("--data", ARGS.data, "--presegmented", "--format", "pos",
                                   switch, stdin=line).stdout.decode()
        self.assertEqual(tags["--entities"], tags["--no-entities"])
        self.assertTrue(tags["--entities"].startswith("克林顿/nr "), tags)

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
        for option in ("--data", "--mode", "--gbk", "--format", "--user-dict", "--help"):
            self.assertIn(option, help_out)

    def test_user_dict_changes_the_segmentation(self):
        text = "我爱北京天安门广场\n".encode()
        self.assertEqual(zorvseg("--data", ARGS.data, stdin=text).stdout.decode(),
                         "我 爱 北京 天安门 广场\n")
        with tempfile.TemporaryDirectory() as d:
            for encoding in ("utf-8", "gbk"):
                path = os.path.join(d, encoding + ".txt")
                with open(path, "w", encoding=encoding) as f:
                    f.write("# 地名\n天安门广场,ns\n")
                out = zorvseg("--data", ARGS.data, "--user-dict", path, "--format", "pos",
                              stdin=text).stdout.decode()
                self.assertEqual(out.split()[-1], "天安门广场/ns", encoding)

    def test_last_user_dict_is_the_one_consulted(self):
        text = "我爱北京天安门广场\n".encode()
        with tempfile.TemporaryDirectory() as d:
            first = os.path.join(d, "first.txt")
            with open(first, "w", encoding="utf-8") as f:
                f.write("天安门广场\n")
            second = os.path.join(d, "second")
            os.mkdir(second)
            with open(os.path.join(second, "a.txt"), "w", encoding="utf-8") as f:
                f.write("北京天安门\n")
            out = zorvseg("--data", ARGS.data, "--user-dict", first, "--user-dict", second,
                          stdin=text).stdout.decode()
            self.assertEqual(out, "我 爱 北京天安门 广场\n")
            out = zorvseg("--data", ARGS.data, "--user-dict", second, "--user-dict", first,
                          stdin=text).stdout.decode()
            self.assertEqual(out, "我 爱 北京 天安门广场\n")

    def test_unusable_user_dict_fails_before_segmenting(self):
        with tempfile.TemporaryDirectory() as d:
            missing = os.path.join(d, "missing.txt")
            proc = zorvseg("--data", ARGS.data, "--user-dict", missing, stdin=b"x\n",
                           check=False)
            self.assertEqual((proc.returncode, proc.stdout), (1, b""))
            self.assertIn(missing.encode(), proc.stderr)
            fifo = os.path.join(d, "fifo")
            os.mkfifo(fifo)
            proc = zorvseg("--data", ARGS.data, "--user-dict", fifo, stdin=b"x\n", check=False)
            self.assertEqual((proc.returncode, proc.stdout), (1, b""))
            self.assertIn(b"not a regular file", proc.stderr)
        proc = zorvseg("--user-dict", check=False)
        self.assertEqual(proc.returncode, 2)

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


CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared",
                      "corpora", "pd1998-01", "199801.utf8.txt")


TRAINED_FILES = ("core_dict.dat", "tag_info.dat", "tag_context.dat", "ngram.dat0", "ngram.dat1", "ngram.dat2", "ngram.dat3")


def copy_untrained_resources(out_dir):
    """The resources the trainer does not write, from the built data."""
    for name in os.listdir(ARGS.data):
        src = os.path.join(ARGS.data, name)
        if name in TRAINED_FILES or os.path.exists(os.path.join(out_dir, name)):
            continue
        if os.path.isdir(src):
            shutil.copytree(src, os.path.join(out_dir, name))
        else:
            shutil.copy(src, out_dir)


def train(corpus_path, out_dir, *extra):
    copy_untrained_resources(out_dir)
    cmd = [os.path.join(ARGS.bin, "zorvseg-train"), *extra, corpus_path, out_dir]
    return subprocess.run(cmd, capture_output=True, timeout=300)


class Trainer(unittest.TestCase):
    # Made-up lines in the corpus format, with the defects real corpora have.
    SAMPLE = (
        "20990101-01-001-001/m  我们/r  研究/v  生命/n  起源/n  。/w  \r\n"
        "\r\n"
        "20990101-01-001-002/m  [中华/nz  人民/n  共和国/n]ns  成立/v  ２０/m  年/q  \n"
        "20990101-01-001-003/m  惠（君音）/nr  说/v  broken  /w  x/  ｗｏｒｌｄ/nx  \n"
        "20990102-01-001-001/m  held/v  out/v  \n"
        "20990101-01-001-004/m  [未/d  闭合/v  \n"
        "20990101-01-001-005/m  " + "长" * 101 + "/n  \n")

    def run_sample(self, out_dir, *extra):
        corpus = os.path.join(out_dir, "corpus.txt")
        with open(corpus, "w", encoding="utf-8", newline="") as f:
            f.write(self.SAMPLE)
        return train(corpus, out_dir, "--hold-out-days", "20990102", *extra)

    def test_summary_counts_what_was_skipped(self):
        with tempfile.TemporaryDirectory() as d:
            proc = self.run_sample(d)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            summary = proc.stdout.decode()
            self.assertIn("4 sentences trained, 1 held out, 1 empty", summary)
            self.assertIn("3 malformed tokens, 1 tokens over 100 characters", summary)
            self.assertIn("1 sound notes reduced", summary)
            self.assertIn("1 unbalanced brackets", summary)
            self.assertIn("1 phrases", summary)

    def test_trained_directory_segments_and_recuts_compounds(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(self.run_sample(d, "--sources", d).returncode, 0)
            out = zorvseg("--data", d, "--mode", "08200314",
                          stdin="我们研究中华人民共和国。\n".encode()).stdout.decode()
            self.assertEqual(out, "我们 研究 中华 人民 共和国 。\n")
            mix = zorvseg("--data", d, "--mode", "08200314", "--format", "mix",
                          stdin="中华人民共和国成立\n".encode()).stdout.decode()
            self.assertEqual(mix, "中华人民共和国 成立\n")
            with open(os.path.join(d, "train_words.txt"), encoding="utf-8") as f:
                words = f.read().split()
            self.assertIn("world", words)  # full-width letters normalised
            self.assertIn("惠", words)     # sound note removed
            self.assertNotIn("held", words)

    def test_output_is_deterministic(self):
        outputs = []
        for _ in range(2):
            with tempfile.TemporaryDirectory() as d:
                self.assertEqual(self.run_sample(d).returncode, 0)
                files = []
                for name in ("core_dict.dat", "ngram.dat0", "ngram.dat1", "ngram.dat2",
                             "ngram.dat3", "tag_context.dat"):
                    with open(os.path.join(d, name), "rb") as f:
                        files.append(f.read())
                outputs.append(files)
        self.assertEqual(outputs[0], outputs[1])

    def test_open_words_fill_only_what_the_corpus_never_shows(self):
        with tempfile.TemporaryDirectory() as d:
            open_list = os.path.join(d, "open.txt")
            with open(open_list, "w", encoding="utf-8") as f:
                f.write("潜艇\t5000\n"          # new: added
                        "我们\t900\n"           # a corpus word already
                        "我们研究\t800\n"       # the corpus writes it as two words
                        "起源研究\t700\n"       # a compound of corpus words
                        "生命力\t0.001\n"       # too rare to beat 生命 + 力
                        "生\t600\n潜水\t0\n"   # one character; count 0
                        "\t3\n词\tmany\n\xff\n")  # unusable lines
            proc = self.run_sample(d, "--sources", d, "--open-words", open_list,
                                   "--open-scale", "1")
            self.assertEqual(proc.returncode, 0, proc.stderr)
            summary = proc.stdout.decode()
            self.assertIn("open word list: 10 lines, 3 unusable", summary)
            self.assertRegex(summary, r"open words: 1 added \(left out: 1 already in the corpus, "
                                      r"1 written across word ends there, 1 likelier as corpus "
                                      r"words, 1 compounds of corpus words, 2 single")
            self.assertIn("1 listed words tagged by their characters", summary)
            out = zorvseg("--data", d, "--format", "pos",
                          stdin="我们研究潜艇起源研究\n".encode()).stdout.decode()
            self.assertRegex(out, r"^我们/r 研究/v 潜艇/\w+ 起源/n 研究/v\n$")
            with open(os.path.join(d, "train_words.txt"), encoding="utf-8") as f:
                self.assertNotIn("潜艇", f.read().split())
            missing = os.path.join(d, "missing.txt")
            self.assertEqual(self.run_sample(d, "--open-words", missing).returncode, 1)
            self.assertEqual(train(open_list, d, "--open-scale", "-1").returncode, 2)

    def test_own_words_keep_their_tags_unless_the_corpus_disagrees(self):
        with tempfile.TemporaryDirectory() as d:
            own_list = os.path.join(d, "own.txt")
            with open(own_list, "w", encoding="utf-8") as f:
                f.write("三十万\t1\tm\n"       # new: added with its tag
                        "研究生命\t1\tn\n"     # the corpus writes it as two words
                        "生命\t1\tv\n"         # the corpus has it: its tags stay
                        "五\t1\tzz\n五\t1\tm\tx\n"  # unknown tag; too many fields
                        + "国" * 40000 + "\t1\tn\n")     # no word is that long
            proc = self.run_sample(d, "--own-words", own_list)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            summary = proc.stdout.decode()
            self.assertIn("own word list: 6 lines, 3 unusable", summary)
            self.assertIn("own words: 1 added (left out: 1 already in the corpus, "
                          "1 written across word ends there)", summary)
            self.assertIn("1 by their list", summary)
            out = zorvseg("--data", d, "--format", "pos",
                          stdin="研究生命三十万\n".encode()).stdout.decode()
            self.assertEqual(out, "研究/v 生命/n 三十万/m\n")

    def test_open_verbs_with_complements_the_corpus_writes_apart_are_left_out(self):
        with tempfile.TemporaryDirectory() as d:
            corpus = os.path.join(d, "corpus.txt")
            with open(corpus, "w", encoding="utf-8") as f:
                # 起来 after five verbs, no verb ending in it; 提出 is a verb
                # of its own, so 出 is not a complement written apart.
                for i, verb in enumerate(("站", "跑", "跳", "唱", "笑")):
                    f.write(f"20990101-01-001-00{i}/m  他/r  {verb}/v  起来/v  提出/v  "
                            "意见/n  。/w\n")
                f.write("20990101-01-001-009/m  他/r  抬/v  头/n  。/w\n")
            open_list = os.path.join(d, "open.txt")
            with open(open_list, "w", encoding="utf-8") as f:
                f.write("抬起来\t5000\n抬出\t5000\n")
            proc = train(corpus, d, "--open-words", open_list, "--open-scale", "1")
            self.assertEqual(proc.returncode, 0, proc.stderr)
            self.assertRegex(proc.stdout.decode(),
                             r"open words: 1 added .* 1 verbs with complements written apart")
            out = zorvseg("--data", d, stdin="他抬起来\n".encode()).stdout.decode()
            self.assertEqual(out, "他 抬 起来\n")

    def test_unknown_words_are_tagged_like_rare_words_with_their_last_character(self):
        with tempfile.TemporaryDirectory() as d:
            corpus = os.path.join(d, "corpus.txt")
            verbs = ("跑步", "跳舞", "唱歌", "读书", "写字", "画画", "游泳", "爬山")
            nouns = ("演员", "队员", "职员", "学员", "海员")
            with open(corpus, "w", encoding="utf-8") as f:
                for i, (verb, noun) in enumerate(zip(verbs, nouns + nouns)):
                    f.write(f"20990101-01-001-00{i}/m  他/r  {verb}/v  ，/w  {noun}/n  好/a  。/w\n")
            self.assertEqual(train(corpus, d, "--pos-passes", "0").returncode, 0)
            out = zorvseg("--data", d, "--presegmented", "--format", "pos",
                          stdin="他 乘务员 好\n他 滑冰\n".encode()).stdout.decode()
            self.assertEqual(out, "他/r 乘务员/n 好/a\n他/r 滑冰/v\n")
            for bad in (("--pos-passes", "-1"), ("--pos-passes", "x"), ("--pos-rate", "0")):
                self.assertEqual(train(corpus, d, *bad).returncode, 2, bad)

    def test_numbers_take_the_units_the_corpus_writes_with_them(self):
        with tempfile.TemporaryDirectory() as d:
            corpus = os.path.join(d, "corpus.txt")
            with open(corpus, "w", encoding="utf-8") as f:
                for i, number in enumerate(("１９９８", "１９９７", "２０００", "１８６", "５", "７")):
                    f.write(f"20990101-01-001-00{i}/m  {number}年/t  １月/t  ５日/t  ，/w  "
                            "增长/v  ３·５％/m  ，/w  ３/m  个/q  ８０/m  年代/n  。/w\n")
            proc = train(corpus, d, "--sources", d)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            self.assertIn("numbers: 1 characters join digit groups, 4 units join numbers",
                          proc.stdout.decode())
            out = zorvseg("--data", d, "--format", "pos",
                          stdin="2023年12月31日，增长19·1%，3个80年代\n".encode()).stdout.decode()
            self.assertEqual(out, "2023年/t 12月/t 31日/t ,/w 增长/v 19·1%/m ,/w 3/m 个/q "
                                  "80/m 年代/n\n")
            with open(os.path.join(d, "train_words.txt"), encoding="utf-8") as f:
                words = f.read().split()
            self.assertIn("1998年", words)
            self.assertNotIn("N年", words)

    @unittest.skipUnless(os.path.exists(CORPUS), "corpus not present")
    def test_slice_of_the_real_corpus(self):
        with tempfile.TemporaryDirectory() as d:
            corpus_slice = os.path.join(d, "slice.txt")
            with open(CORPUS, "rb") as src, open(corpus_slice, "wb") as dst:
                dst.write(b"\n".join(src.read().split(b"\n")[:400]))
            proc = train(corpus_slice, d, "--hold-out-lines", "1-20")
            self.assertEqual(proc.returncode, 0, proc.stderr)
            self.assertRegex(proc.stdout.decode(), r"corpus: 400 lines, \d+ sentences trained, "
                                                    r"(1\d|20) held out")
            out = zorvseg("--data", d, stdin="中国共产党\n".encode()).stdout.decode()
            self.assertTrue(out.strip())

    def test_bad_invocations(self):
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(train(os.path.join(d, "missing.txt"), d).returncode, 1)
            empty = os.path.join(d, "empty.txt")
            open(empty, "w").close()
            self.assertEqual(train(empty, d).returncode, 1)
            self.assertEqual(train(empty, d, "--hold-out-days", "1998").returncode, 2)
class EntityTrainer(unittest.TestCase):
    """zorvseg-train entities on made-up lines with the defects it must survive."""
    SAMPLE = (
        "20990101-01-001-001/m  江/nr  泽民/nr  在/p  [北京/ns  大学/n]nt  。/w  \n"
        "20990101-01-001-002/m  江/nr  泽民/nr  到/v  [北京/ns  大学/n]nt  。/w  \n"
        "20990101-01-001-003/m  ，/nr  《/ns  /nr  [未/d  闭合/v  \n"
        "20990101-01-001-004/m  𠀀/nr  说/v  𠀀/nr  \n"
        "20990102-01-001-001/m  held/nr  \n"
        "20990101-01-001-005/m  " + "好/a  " * 150000 + "\n")

    def test_bad_lines_are_counted_and_the_dictionary_loads(self):
        with tempfile.TemporaryDirectory() as d:
            data = os.path.join(d, "data")
            shutil.copytree(ARGS.data, data)
            corpus = os.path.join(d, "corpus.txt")
            with open(corpus, "w", encoding="utf-8") as f:
                f.write(self.SAMPLE)
            columns = os.path.join(d, "columns.txt")
            proc = subprocess.run([os.path.join(ARGS.bin, "zorvseg-train"), "entities",
                                   "--hold-out-days", "20990102", "--crf-columns", columns,
                                   corpus, data], capture_output=True, timeout=300)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            summary = proc.stdout.decode()
            self.assertIn("5 sentences trained, 1 held out", summary)
            self.assertIn("1 malformed tokens", summary)
            self.assertIn("1 unbalanced brackets", summary)
            self.assertIn("(skipped: 2 only punctuation, 0 empty)", summary)
            self.assertIn("ne_dict: 1 persons, 0 places, 1 organisations (1 outside GBK left out)",
                          summary)
            self.assertIn("(1 pieces longer than a sentence left out)", summary)
            with open(columns, encoding="gb18030") as f:
                self.assertTrue(f.read().startswith("江\t"))
            out = zorvseg("--data", data, "--format", "entities",
                          stdin="江泽民在北京大学。\n".encode()).stdout.decode()
            self.assertIn("北京大学/ORG", out.split())

    def test_bad_invocations(self):
        trainer = os.path.join(ARGS.bin, "zorvseg-train")
        with tempfile.TemporaryDirectory() as d:
            for args, status in ((["--hold-out-days", "1998", "c", d], 2), (["c"], 2),
                                 (["--bogus", "1", "c", d], 2),
                                 ([os.path.join(d, "missing.txt"), d], 1)):
                proc = subprocess.run([trainer, "entities", *args], capture_output=True)
                self.assertEqual(proc.returncode, status, args)


FAKE_SEGMENTER = """#!/usr/bin/env python3
import json, re, sys
KINDS = {"王小二": "person", "欧阳明": "person", "北京": "location", "新华社": "organization",
         "春节": "date"}
for line in sys.stdin.read().split("\\n")[:-1]:
    found = [{"text": m.group(0), "type": KINDS[m.group(0)], "start": m.start(), "end": m.end()}
             for m in re.finditer("|".join(KINDS), line)]
    print(json.dumps({"words": [], "entities": found}))
"""


class EntityEvaluation(unittest.TestCase):
    """zorvseg-eval --entities reads the three gold forms and scores spans,
    here against a stand-in segmenter that finds fixed strings."""

    def evaluate(self, gold_name, gold_text, *extra):
        with tempfile.TemporaryDirectory() as d:
            fake = os.path.join(d, "fake-zorvseg")
            with open(fake, "w", encoding="utf-8") as f:
                f.write(FAKE_SEGMENTER)
            os.chmod(fake, 0o755)
            os.mkdir(os.path.join(d, "data"))
            with open(os.path.join(d, "data", "name.dat"), "wb") as f:
                f.write("欧阳\n".encode("gbk"))
            gold = os.path.join(d, gold_name)
            with open(gold, "w", encoding="utf-8") as f:
                f.write(gold_text)
            proc = subprocess.run([os.path.join(ARGS.bin, "zorvseg-eval"), "--entities",
                                   "--zorvseg", fake, "--data", os.path.join(d, "data"),
                                   *extra, gold], capture_output=True, timeout=60)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            return {line.split()[0]: line.split("(")[1].rstrip(")")
                    for line in proc.stdout.decode().splitlines() if "(" in line and "F1" in line}

    def test_bio_gold(self):
        rows = self.evaluate("dev.bio.txt", "王 B-PER\n小 I-PER\n二 I-PER\n在 O\n北 B-LOC\n"
                             "京 I-LOC\n。 O\n\n新 B-ORG\n华 I-ORG\n社 O\n春 O\n节 O\n")
        self.assertEqual(rows["PER"], "1 right, 1 gold, 1 found")
        self.assertEqual(rows["LOC"], "1 right, 1 gold, 1 found")
        self.assertEqual(rows["ORG"], "0 right, 1 gold, 1 found")  # 新华 is not 新华社
        self.assertEqual(rows["overall"], "2 right, 3 gold, 3 found")  # dates not scored

    def test_weibo_gold_counts_named_mentions_and_gpe_as_loc(self):
        rows = self.evaluate("dev.conll", "王0\tB-PER.NAM\n小1\tI-PER.NAM\n二2\tI-PER.NAM\n"
                             "北0\tB-GPE.NAM\n京1\tI-GPE.NAM\n新0\tB-ORG.NOM\n"
                             "华1\tI-ORG.NOM\n社2\tI-ORG.NOM\n112\tO\n\n")
        self.assertEqual(rows["PER"], "1 right, 1 gold, 1 found")
        self.assertEqual(rows["LOC"], "1 right, 1 gold, 1 found")
        self.assertEqual(rows["ORG"], "0 right, 0 gold, 1 found")

    def test_people_daily_gold_by_the_trainer_rules(self):
        rows = self.evaluate(
            "corpus.txt",
            "19980101-01-001-001/m  王/nr  小二/nr  在/p  [北京/ns  大学/n]nt  和/c  北京/ns  。/w\n"
            "19980101-01-001-002/m  欧阳/nr  明/nr  [北京/ns  人/n]n  \n"
            "19980102-01-001-001/m  新华社/nt  \n", "--days", "19980101")
        self.assertEqual(rows["PER"], "2 right, 2 gold, 2 found")
        # 北京 of 北京大学 is no place; 北京 of the untyped compound [北京 人]n is
        self.assertEqual(rows["LOC"], "2 right, 2 gold, 3 found")
        self.assertEqual(rows["ORG"], "0 right, 1 gold, 0 found")

    def test_people_daily_place_abbreviations_on_request(self):
        gold = "19980101-01-001-001/m  北/j  京/j  北京/ns  \n"
        self.assertEqual(self.evaluate("corpus.txt", gold)["LOC"], "1 right, 1 gold, 2 found")
        with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt") as listed:
            listed.write("京\n")
            listed.flush()
            rows = self.evaluate("corpus.txt", gold, "--place-abbreviations", listed.name)
        # 京 of 北/j 京/j is a place now (北 is not listed)
        self.assertEqual(rows["LOC"], "1 right, 2 gold, 2 found")

    def test_unreadable_files_are_a_clear_error(self):
        with tempfile.TemporaryDirectory() as d:
            gold = os.path.join(d, "gold.bio.txt")
            with open(gold, "w", encoding="utf-8") as f:
                f.write("王 B-PER\n\n")
            missing = os.path.join(d, "missing.txt")
            for args in (["--place-abbreviations", missing, gold],
                         ["--train-words", missing, gold], [missing], ["--entities", d]):
                proc = subprocess.run([os.path.join(ARGS.bin, "zorvseg-eval"), *args],
                                      capture_output=True, timeout=60)
                self.assertEqual(proc.returncode, 1, args)
                self.assertIn(b"zorvseg-eval: cannot read", proc.stderr, args)
                self.assertNotIn(b"Traceback", proc.stderr, args)


FAKE_WORD_SEGMENTER = """#!/usr/bin/env python3
import re, sys
for line in sys.stdin.read().split("\\n")[:-1]:
    print(" ".join(re.findall("[0-9]+[^0-9a-z]|[a-z]+|.", line)))
"""


class WordEvaluation(unittest.TestCase):
    """zorvseg-eval scores word spans, here against a stand-in segmenter that
    joins every number to the character after it."""

    def f1(self, gold_text, *extra):
        with tempfile.TemporaryDirectory() as d:
            fake = os.path.join(d, "fake-zorvseg")
            with open(fake, "w", encoding="utf-8") as f:
                f.write(FAKE_WORD_SEGMENTER)
            os.chmod(fake, 0o755)
            gold = os.path.join(d, "gold.txt")
            with open(gold, "w", encoding="utf-8") as f:
                f.write(gold_text)
            proc = subprocess.run([os.path.join(ARGS.bin, "zorvseg-eval"), "--format", "words",
                                   "--zorvseg", fake, *extra, gold],
                                  capture_output=True, timeout=60)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            return re.search(r"F1 ([0-9.]+)", proc.stdout.decode()).group(1)

    def test_numbers_apart_splits_only_number_and_unit_words(self):
        gold = "2009 年 我 们\n在 2 楼 ab\n"
        self.assertEqual(self.f1(gold), "0.5714")  # 2009年 and 2楼 are wrong
        self.assertEqual(self.f1(gold, "--numbers-apart"), "1.0000")
        # a number the gold joins to its unit is then wrong instead
        self.assertEqual(self.f1("2009年 我\n", "--numbers-apart"), "0.4000")


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

    def test_full_mode_is_the_default_and_simple_mode_cuts_by_class(self):
        default = zorvseg("--data", ARGS.data, stdin="斥资40.89亿，abc123!!?\n".encode())
        # A number runs into the units the corpus writes with it.
        self.assertEqual(default.stdout.decode(), "斥资 40.89亿 , abc 123 ! ! ?\n")
        self.assertEqual(self.segment(SIMPLE, "abc123!!?中文"), "abc 123 !! ? 中文")
        self.assertEqual(self.segment(SIMPLE, "12.5$"), "12.5 $")  # a number, whole

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


def load_data_script(name):
    """The functions of a script in data/, without running its main()."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", name + ".py")
    return types.SimpleNamespace(**runpy.run_path(path))


class NumeralsList(unittest.TestCase):
    def test_readings_of_numbers(self):
        numerals = load_data_script("build_numerals")
        readings = {5: "五", 10: "十", 15: "十五", 20: "二十", 105: "一百零五",
                    116: "一百一十六", 1050: "一千零五十", 1005: "一千零五",
                    6916: "六千九百一十六", 9999: "九千九百九十九"}
        for number, text in readings.items():
            self.assertEqual(numerals.below_ten_thousand(number), text)
        words = numerals.cardinals()
        for word in ("两千", "二千", "六千九百一十六万", "五亿", "一万二千", "两万"):
            self.assertIn(word, words)
        self.assertNotIn("两十", words)
        self.assertIn("三分之二", numerals.fractions())
        self.assertIn("百分之七十", numerals.fractions())
        self.assertIn("五六万", numerals.approximations())
        numbers, years = numerals.digit_strings()
        for year in ("二○○○年", "二〇〇一年", "二零零五年", "一九九八年"):
            self.assertIn(year, years)
        self.assertIn("一九〇五", numbers)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--data", required=True)
    ARGS, rest = parser.parse_known_args()
    run_tests(rest)


if __name__ == "__main__":
    main()
