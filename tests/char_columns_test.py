#!/usr/bin/env python3
"""Checks of the unknown-word model's training columns (pd_char_columns.py):
which characters make the weak runs the model is trained on, and how the
words cut by a run's edge are labelled."""
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "support"))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
from unittest_summary import run_tests  # noqa: E402
import pd_char_columns as columns  # noqa: E402


def runs(words, lexicon=(), edges="word", missing=()):
    """[(characters, labels)] of each weak run of the words as one line."""
    text = "".join(words)
    codes = columns.Lexicon(lexicon).codes(text, set(missing))
    out = []
    for rows in columns.weak_runs(text, codes, columns.word_labels(words),
                                  columns.sentence_ends(words), edges):
        fields = [row.split("\t") for row in rows]
        out.append(("".join(f[0] for f in fields), "".join(f[3] for f in fields)))
    return out


class WeakRunTest(unittest.TestCase):
    def test_lexicon_words_and_ascii_break_runs(self):
        # 中国 is a lexicon word: none of its characters is weak, nor the
        # digits; what is left on each side is a run of its own.
        self.assertEqual(runs(["闽宁", "中国", "统", "建", "2", "桑燕"], lexicon=["中国"]),
                         [("闽宁", "BE"), ("统建", "SS"), ("桑燕", "BE")])

    def test_a_character_where_a_lexicon_word_ends_is_not_weak(self):
        # 国 ends 中国 even when it starts nothing: the run is 家人 only.
        self.assertEqual(runs(["中国", "家人", "们"], lexicon=["中国", "人们"]),
                         [])
        self.assertEqual(runs(["中国", "家", "人"], lexicon=["中国"]), [("家人", "SS")])

    def test_single_weak_characters_are_not_written(self):
        self.assertEqual(runs(["中国", "的", "中国"], lexicon=["中国"]), [])
        self.assertEqual(runs([]), [])

    def test_sentence_end_closes_a_run(self):
        # The segmenter labels one sentence at a time: 。 belongs to the run
        # before it and the next sentence opens a new one.
        self.assertEqual(runs(["好", "。", "华楠", "说"]), [("好。", "SS"), ("华楠说", "BES")])

    def test_word_cut_by_the_edge(self):
        # 奥运史 is unknown, 史书 a lexicon word: the run ends before 史.
        words = ["看", "奥运史", "书"]
        self.assertEqual(runs(words, lexicon=["史书"], edges="word"), [("看奥运", "SBE")])
        self.assertEqual(runs(words, lexicon=["史书"], edges="keep"), [("看奥运", "SBM")])
        # Cut at the start: 工程师 with 工程 known leaves 师 and what follows.
        words = ["工程师", "哈翠平"]
        self.assertEqual(runs(words, lexicon=["工程"], edges="word"), [("师哈翠平", "SBME")])
        self.assertEqual(runs(words, lexicon=["工程"], edges="keep"), [("师哈翠平", "EBME")])

    def test_words_left_out_of_the_day_lexicon_are_weak(self):
        self.assertEqual(runs(["统建", "房"], lexicon=["统建"]), [])
        self.assertEqual(runs(["统建", "房"], lexicon=["统建"], missing=["统建"]),
                         [("统建房", "BES")])


if __name__ == "__main__":
    run_tests(sys.argv[1:])
