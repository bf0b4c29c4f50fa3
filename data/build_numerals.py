#!/usr/bin/env python3
"""Writes the numerals list: Chinese numbers as the segmentation standard
keeps them, one word each ("一百九十五", "六千九百一十六万", "三分之二",
"五六万", "一九九八年", "十四时"), each on a line of its own: the word, a
tab, the count 1, a tab and its tag.

No corpus can hold every number, and a number it has not seen would
otherwise be cut into the pieces it has seen ("一百 九十五").
"""
import argparse

DIGITS = "零一二三四五六七八九"
SMALL_UNITS = ["", "十", "百", "千"]
YEAR_DIGITS = "○一二三四五六七八九"
# The corpus writes the zero of a year as ○; other text writes 〇 (the
# ideographic zero) or 零, in the same one word: 二〇〇一年, 二零零一年.
YEAR_ZEROS = "○〇零"


def below_ten_thousand(n):
    """1 <= n <= 9999 in the usual reading: 一百零五, 一千零五十, 十五."""
    parts = []
    digits = [int(c) for c in f"{n:04d}"]
    pending_zero = False
    started = False
    for position, digit in enumerate(digits):
        unit = SMALL_UNITS[3 - position]
        if digit == 0:
            pending_zero = started
            continue
        if pending_zero:
            parts.append("零")
            pending_zero = False
        parts.append(DIGITS[digit] + unit)
        started = True
    text = "".join(parts)
    # Ten to nineteen are read 十, 十一 ... without the leading 一.
    if 10 <= n <= 19:
        text = text[1:]
    return text


def with_liang(word):
    """两 for a leading 二 before 百, 千, 万 or 亿, as people write it."""
    if len(word) > 1 and word[0] == "二" and word[1] in "百千万亿":
        return "两" + word[1:]
    return None


def cardinals():
    words = set()
    for n in range(1, 10000):
        base = below_ten_thousand(n)
        for word in (base, base + "万", base + "亿"):
            words.add(word)
            liang = with_liang(word)
            if liang:
                words.add(liang)
    # Ten thousands with thousands: 一万二千, 三十五万六千.
    for high in range(1, 100):
        for thousands in range(1, 10):
            words.add(below_ten_thousand(high) + "万" + DIGITS[thousands] + "千")
    return words


def approximations():
    """Two neighbouring digits for an approximate number: 五六万, 三四十."""
    words = set()
    pairs = ["一二", "两三", "三四", "四五", "五六", "六七", "七八", "八九"]
    for pair in pairs:
        for unit in ["", "十", "百", "千", "万", "亿", "十万", "百万", "千万"]:
            words.add(pair + unit)
        if pair != "一二":
            words.add(pair.replace("两", "二") + "十")
            words.add(pair.replace("两", "二") + "十万")
    return words


def fractions():
    """X分之Y: 三分之二, 百分之七十, 千分之五."""
    words = set()
    for denominator in range(2, 11):
        for numerator in range(1, denominator):
            words.add(below_ten_thousand(denominator) + "分之" + below_ten_thousand(numerator))
    for denominator in ["百", "千", "万"]:
        for numerator in range(1, 100):
            words.add(denominator + "分之" + below_ten_thousand(numerator))
        words.add(denominator + "分之几")
    return words


def digit_strings():
    """Numbers read digit by digit, as years are: 一九九八, 二○○○年, with
    each way of writing their zero."""
    numbers, years = set(), set()
    for year in range(1900, 2100):
        for zero in YEAR_ZEROS:
            text = "".join(zero if c == "0" else YEAR_DIGITS[int(c)] for c in str(year))
            numbers.add(text)
            years.add(text + "年")
    return numbers, years


def times():
    """Clock times and calendar days as the standard writes them: 十四时,
    二十八分, 三十一日, 十二月, 四月份."""
    words = set()
    for hour in range(1, 25):
        words.add(below_ten_thousand(hour) + "时")
        words.add(below_ten_thousand(hour) + "点")
    for minute in range(1, 60):
        words.add(below_ten_thousand(minute) + "分")
    for day in range(1, 32):
        words.add(below_ten_thousand(day) + "日")
    for month in range(1, 13):
        words.add(below_ten_thousand(month) + "月")
        words.add(below_ten_thousand(month) + "月份")
    return words


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    numbers, years = digit_strings()
    tagged = {word: "m" for word in cardinals() | approximations() | fractions() | numbers}
    tagged.update({word: "t" for word in years | times()})
    with open(args.out, "w", encoding="utf-8") as out:
        for word in sorted(tagged):
            out.write(f"{word}\t1\t{tagged[word]}\n")


if __name__ == "__main__":
    main()
