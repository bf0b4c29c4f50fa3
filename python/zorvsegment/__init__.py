"""Chinese word segmentation with part-of-speech tags and named entities.

    >>> import zorvsegment
    >>> zorvsegment.cut("我爱北京天安门")
    ['我', '爱', '北京', '天安门']

`Segmenter` holds one segmentation handle; the module-level functions use
a segmenter of their own per thread, created on first use. Segmentation
releases the interpreter lock, so threads segment in parallel, each with
its own segmenter (a segmenter shared by threads serves them in turn).

The data directory and the user words are process-wide: every segmenter
of the process uses the same data directory, and `load_userdict`,
`add_word` and `del_word` change the words of all of them. Those changes
wait until no segmenter is segmenting and apply from the next call on.

`ZorvSegmenter` and `StringVector` are the extension module's own class
and sequence type (`ZorvSegmenter().Init(data_dir, mode)`, then
`Segment(text, seg_pos, result_upper_case, upper_begin_index, is_gbk)`).
"""

from __future__ import annotations

import enum
import os
import threading
from typing import Dict, Iterable, Iterator, List, Optional, Tuple, Union

from . import _paths, binding
from .binding import StringVector, ZorvSegmenter

__all__ = [
    "Mode", "Segmenter", "ZorvSegmenter", "StringVector", "default_data_dir",
    "cut", "iter_cut", "pos_cut", "tokenize", "entities",
    "load_userdict", "add_word", "del_word",
]

PathLike = Union[str, "os.PathLike[str]"]


class Mode(enum.IntFlag):
    """The mode bits of a segmenter (combine them with ``|``)."""

    SINGLE_WORD = binding.kModeSingleWord
    POS_TAG = binding.kModePosTag
    USE_CUSTOM_WORD = binding.kModeUseCustomWord
    SBC_TO_DBC = binding.kModeSbcToDbc
    UPPER_TO_LOWER = binding.kModeUpperToLower
    USE_PHRASE = binding.kModeUsePhrase
    USE_CUSTOM_RULE = binding.kModeUseCustomRule
    NE_NAME = binding.kModeNeName
    TRADITIONAL_TO_SIMPLIFIED = binding.kModeTraditionalToSimplified
    NE_PER_WHOLE = binding.kModeNePerWhole
    NE_ORG_WHOLE = binding.kModeNeOrgWhole
    NE_LOC_WHOLE = binding.kModeNeLocWhole
    USE_WHOLE_MODE = binding.kModeUseWholeMode
    USE_ASCII_LM_MODE = binding.kModeUseAsciiLmMode
    USE_ASCII_LM_PINYIN = binding.kModeUseAsciiLmPinyin
    USE_SIMPLE_MODE = binding.kModeUseSimpleMode
    USE_ADDITIONAL_RULE_MODE = binding.kModeUseAdditionalRuleMode
    ADJUST_NE = binding.kModeAdjustNe
    FIND_UNKNOWN_WORDS = binding.kModeFindUnknownWords
    #: The command line's default: tagging, full-width to half-width,
    #: traditional to simplified, full ASCII segmentation, unknown words.
    DEFAULT = binding.kModeCommandLineDefault


_GRANULARITIES = {"basic": ZorvSegmenter.kBasicWords, "mix": ZorvSegmenter.kMixWords}


def default_data_dir() -> str:
    """The data directory of the installation, else that of the build tree."""
    for directory in _paths.DATA_DIRS:
        if os.path.isfile(os.path.join(directory, "core_dict.dat")):
            return directory
    raise FileNotFoundError(
        "no data directory found in " + ", ".join(_paths.DATA_DIRS) + "; pass data_dir")


def _check_text(text: object) -> str:
    if not isinstance(text, str):
        raise TypeError(f"text must be str, not {type(text).__name__}")
    return text


def _granularity(name: str) -> int:
    try:
        return _GRANULARITIES[name]
    except (KeyError, TypeError):
        raise ValueError(f"granularity must be 'basic' or 'mix', not {name!r}") from None


class Segmenter:
    """One segmentation handle on the process-wide data directory.

    data_dir defaults to `default_data_dir()`; mode (a `Mode` or an int)
    to `Mode.DEFAULT`. `Mode.USE_CUSTOM_WORD` is always added, so that the
    user words apply. Raises RuntimeError when the directory cannot be
    loaded or differs from the one other live segmenters use.
    """

    def __init__(self, data_dir: Optional[PathLike] = None,
                 mode: Optional[int] = None) -> None:
        self._seg: Optional[ZorvSegmenter] = None
        directory = default_data_dir() if data_dir is None else os.fspath(data_dir)
        if not isinstance(directory, str):
            raise TypeError(f"data_dir must be a str path, not {type(directory).__name__}")
        mode_bits = Mode.DEFAULT if mode is None else mode
        if isinstance(mode_bits, bool) or not isinstance(mode_bits, int):
            raise TypeError(f"mode must be an int or Mode, not {type(mode_bits).__name__}")
        if not -2**31 <= int(mode_bits) < 2**31:
            raise ValueError(f"mode {mode_bits:#x} does not fit in 32 bits")
        segmenter = ZorvSegmenter()
        result = segmenter.Init(directory, int(mode_bits) | Mode.USE_CUSTOM_WORD)
        if result != 0:
            loaded = ZorvSegmenter.GetLoadedDataDir()
            if loaded and loaded != os.path.realpath(directory):
                raise RuntimeError(f"data directory {directory!r} is not {loaded!r}, which "
                                   "live segmenters use: one data directory per process")
            raise RuntimeError(f"cannot load the data directory {directory!r}")
        self._seg = segmenter
        self.data_dir: str = directory
        self.mode: Mode = Mode(int(mode_bits))

    def close(self) -> None:
        """Gives up the handle (the data goes with the last segmenter)."""
        self._seg = None

    def __enter__(self) -> "Segmenter":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def _ready(self) -> ZorvSegmenter:
        if self._seg is None:
            raise RuntimeError("the segmenter is closed")
        _apply_user_words()
        return self._seg

    def _call(self, method, text: object, *args):
        seg = self._ready()
        _check_text(text)
        try:
            return method(seg, text, *args)
        except TypeError:
            text.encode("utf-8")  # raises UnicodeEncodeError for lone surrogates
            raise

    def cut(self, text: str, granularity: str = "basic") -> List[str]:
        """The words of text: "basic" (fine-grained) or "mix" (with
        dictionary phrases and entities whole). Words that are only white
        space are left out."""
        return list(self._call(ZorvSegmenter.Words, text, _granularity(granularity)))

    def iter_cut(self, text: Union[str, Iterable[str]],
                 granularity: str = "basic") -> Iterator[str]:
        """Yields the words of long text (or of an iterable of lines, such
        as a file) line by line."""
        lines = text.splitlines(keepends=True) if isinstance(text, str) else text
        for line in lines:
            yield from self.cut(line, granularity)

    def pos_cut(self, text: str) -> List[Tuple[str, str]]:
        """(word, tag) pairs of the basic words, tagged even when the mode
        does not ask for tags."""
        tokens = self._call(ZorvSegmenter.Tokens, text, ZorvSegmenter.kBasicWords,
                            int(Mode.POS_TAG))
        return [(word, tag) for word, tag, _, _ in tokens]

    def tokenize(self, text: str, granularity: str = "basic") -> List[Tuple[str, int, int]]:
        """(word, start, end) of each word: text[start:end] is what the word
        was cut from (before full-width, traditional and upper-case
        characters were normalised)."""
        tokens = self._call(ZorvSegmenter.Tokens, text, _granularity(granularity), 0)
        return [(word, start, end) for word, _, start, end in tokens]

    def entities(self, text: str) -> List[Tuple[str, str, int, int]]:
        """(text, type, start, end) of each recognised entity; type is
        "person", "location", "organization" or "date". Entity recognition
        is turned on for the call whatever the mode."""
        return [tuple(token) for token in
                self._call(ZorvSegmenter.Tokens, text, ZorvSegmenter.kEntities,
                           int(Mode.NE_NAME))]

    # The user words are process-wide; these are the module's functions.
    def load_userdict(self, path_or_lines: Union[PathLike, Iterable[str]]) -> int:
        """Same as `zorvsegment.load_userdict`: changes all segmenters."""
        return load_userdict(path_or_lines)

    def add_word(self, word: str, tag: Optional[str] = None) -> None:
        """Same as `zorvsegment.add_word`: changes all segmenters."""
        add_word(word, tag)

    def del_word(self, word: str) -> bool:
        """Same as `zorvsegment.del_word`: changes all segmenters."""
        return del_word(word)


# User words: word -> tag (None for the default, n). Changes are applied
# before the next segmentation, so adding many words costs one rebuild.
_user_words: Dict[str, Optional[str]] = {}
_user_words_lock = threading.Lock()
_user_words_changed = False


def _apply_user_words() -> None:
    global _user_words_changed
    if not _user_words_changed:
        return
    with _user_words_lock:
        if not _user_words_changed:
            return
        lines = "".join(word + ("," + tag if tag else "") + "\n"
                        for word, tag in _user_words.items())
        if not ZorvSegmenter.SetUserWords(lines):
            raise RuntimeError("the user words cannot be loaded")
        _user_words_changed = False


def _check_word(word: object, tag: object) -> None:
    if not isinstance(word, str) or not word.strip():
        raise ValueError(f"a word must be a non-empty str, not {word!r}")
    if any(c in word for c in ",\n\r") or word.startswith("#"):
        raise ValueError(f"a word holds no comma or line break and starts with no '#': {word!r}")
    if len(word.encode("gb18030", errors="replace")) > 255:
        raise ValueError("a word holds at most 255 bytes")
    if tag is not None and (not isinstance(tag, str) or not tag.isalnum()):
        raise ValueError(f"a tag is a tag name such as 'n' or 'ns', not {tag!r}")


def add_word(word: str, tag: Optional[str] = None) -> None:
    """Adds a user word (for every segmenter of the process). Where it starts
    and ends on word boundaries and is at least as long as the word at its
    start, it replaces the words it spans, with its tag (default n)."""
    global _user_words_changed
    _check_word(word, tag)
    with _user_words_lock:
        _user_words[word] = tag
        _user_words_changed = True


def del_word(word: str) -> bool:
    """Removes a user word (for every segmenter); False when it was none."""
    global _user_words_changed
    with _user_words_lock:
        if word not in _user_words:
            return False
        del _user_words[word]
        _user_words_changed = True
        return True


def _parse_user_line(line: str) -> Optional[Tuple[str, Optional[str]]]:
    """A "word[,tag]" line or a "word [count] [tag]" line; None for empty
    lines and comments."""
    line = line.strip().lstrip("\ufeff")
    if not line or line.startswith("#"):
        return None
    fields = line.split()
    if len(fields) > 1 and ("," not in line or fields[1].isdigit()):
        rest = fields[1:]
        if rest and rest[0].replace(".", "", 1).isdigit():
            rest = rest[1:]  # the count of the common format is not used
        return fields[0], (rest[0] if rest else None)
    word, comma, tag = line.rpartition(",")
    return (word.strip(), tag.strip() or None) if comma else (line, None)


def load_userdict(path_or_lines: Union[PathLike, Iterable[str]]) -> int:
    """Adds the user words of a file (UTF-8, else GB18030) or of an
    iterable of lines, for every segmenter of the process, and returns
    how many. A line is "word[,tag]" or "word [count] [tag]" (the count
    is not used); empty lines and lines starting with '#' are skipped."""
    if isinstance(path_or_lines, (str, os.PathLike)):
        with open(path_or_lines, "rb") as file:
            data = file.read()
        try:
            lines: Iterable[str] = data.decode("utf-8").splitlines()
        except UnicodeDecodeError:
            lines = data.decode("gb18030").splitlines()
    elif isinstance(path_or_lines, bytes):
        raise TypeError("pass a path or an iterable of str lines, not bytes")
    else:
        lines = path_or_lines
    entries = []
    for number, line in enumerate(lines, 1):
        if not isinstance(line, str):
            raise TypeError(f"line {number}: lines must be str, not {type(line).__name__}")
        entry = _parse_user_line(line)
        if entry is not None:
            try:
                _check_word(*entry)
            except ValueError as error:
                raise ValueError(f"line {number}: {error}") from None
            entries.append(entry)
    for word, tag in entries:
        add_word(word, tag)
    return len(entries)


_per_thread = threading.local()


def _default_segmenter() -> Segmenter:
    segmenter = getattr(_per_thread, "segmenter", None)
    if segmenter is None:
        segmenter = _per_thread.segmenter = Segmenter()
    return segmenter


def cut(text: str, granularity: str = "basic") -> List[str]:
    """`Segmenter.cut` on this thread's default segmenter."""
    return _default_segmenter().cut(text, granularity)


def iter_cut(text: Union[str, Iterable[str]], granularity: str = "basic") -> Iterator[str]:
    """`Segmenter.iter_cut` on this thread's default segmenter."""
    return _default_segmenter().iter_cut(text, granularity)


def pos_cut(text: str) -> List[Tuple[str, str]]:
    """`Segmenter.pos_cut` on this thread's default segmenter."""
    return _default_segmenter().pos_cut(text)


def tokenize(text: str, granularity: str = "basic") -> List[Tuple[str, int, int]]:
    """`Segmenter.tokenize` on this thread's default segmenter."""
    return _default_segmenter().tokenize(text, granularity)


def entities(text: str) -> List[Tuple[str, str, int, int]]:
    """`Segmenter.entities` on this thread's default segmenter."""
    return _default_segmenter().entities(text)
