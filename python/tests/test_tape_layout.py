"""The record writer's tape is the tape simdjson's parser makes of the same records as JSON."""

import json

import pytest

from nlpeval import _nlpeval

NUMBER_KINDS = {ord("l"), ord("u"), ord("d")}
STRING_KIND = ord('"')


def kind(word):
    return word >> 56


def string_entry(strings, word):
    """The string buffer entry a string's word points at: the 32-bit length, bytes and NUL."""
    offset = word & ((1 << 56) - 1)
    length = int.from_bytes(strings[offset:offset + 4], "little")
    entry = strings[offset:offset + 4 + length + 1]
    assert entry[-1:] == b"\0", f"entry at {offset} lacks its NUL"
    return entry


def assert_same_tapes(written, parsed):
    """Word for word, except that a string's word may point at an earlier copy of the same
    entry: the writer writes a key it has seen before only once."""
    (words, strings), (expected_words, expected_strings) = written, parsed
    assert len(words) == len(expected_words)
    at = 0
    while at < len(words):
        expected = expected_words[at]
        if kind(expected) == STRING_KIND:
            assert kind(words[at]) == STRING_KIND, f"word {at}"
            assert string_entry(strings, words[at]) == string_entry(expected_strings, expected)
            at += 1
        else:
            width = 2 if kind(expected) in NUMBER_KINDS else 1
            assert words[at:at + width] == expected_words[at:at + width], f"word {at}"
            at += width


def parse(records, ensure_ascii=True):
    return _nlpeval._parsed_tape(json.dumps(records, ensure_ascii=ensure_ascii))


def with_fresh_keys(value):
    """`value` with every key a str object of its own, so that the writer shares none."""
    if isinstance(value, dict):
        return {key.encode().decode(): with_fresh_keys(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [with_fresh_keys(item) for item in value]
    return value


NER = {"text": "李明在北京", "entities": [{"offset": 0, "length": 2, "type": "PER"},
                                          {"offset": 3, "length": 2, "type": "LOC"}]}

RECORDS = {
    "ner records sharing their keys": [NER, NER, dict(NER, text="")],
    "nested and empty containers": [
        {}, [], [[]], {"outer": {"inner": {"deepest": [[], {}, [[[]]]]}}},
        {"": {}, "list": [{}, [], ""]}, [{"a": [1, [2, [3, {"b": None}]]]}],
    ],
    "strings": [
        "", "plain", "李明在北京", "naïve café", "emoji \U0001F600 and \U00010348",
        'quote " backslash \\ slash /', "controls \n\t\r\b\f and \x01\x1f", "nul \0 inside",
        "\u2028\u2029\ufeff", "x" * 300,
        # where the UTF-8 byte count changes, in strings stored 1, 2 and 4 bytes a character
        "\x7f\x80\xff a", "\x7f\x80\u07ff\u0800\ud7ff\ue000\uffff a\u0100",
        "\x7f\x80\u07ff\u0800\uffff\U00010000\U0010ffff a\xe9", {"ключ": "значение", "键": "值", "\t": "\n"},
    ],
    "integers": [0, 1, -1, 42, -42, 2**31, -(2**31) - 1, 2**53 + 1, 2**63 - 1, -(2**63),
                 {"offset": -7, "length": 10**18}],
    "doubles": [0.0, -0.0, 0.1, -2.5, 1.0, 1e16, 1e300, -1e-300, 5e-324,
                1.7976931348623157e308, 2.0**-1074 * 3, 123456.789, [3.14, {"x": -0.5}]],
    "literals": [True, False, None, [True, False, None], {"t": True, "f": False, "n": None}],
    "keys repeated across records and levels": [
        {"a": {"a": {"a": 1}}, "b": [{"a": 2, "b": 3}]}, {"b": {"a": {}}}, {"a": "a"},
    ],
    "tuples": [(1, "two", (3.0, None)), ()],
}


@pytest.mark.parametrize("ensure_ascii", [True, False], ids=["escaped", "utf-8"])
@pytest.mark.parametrize("records", RECORDS.values(), ids=RECORDS.keys())
def test_written_tape_is_the_parsed_tape(records, ensure_ascii):
    assert_same_tapes(_nlpeval._written_tape(records), parse(records, ensure_ascii))


def test_with_no_shared_key_every_word_and_string_byte_is_the_parsed_one():
    records = with_fresh_keys([NER, NER, {"outer": {"inner": [{"deep": "李明"}, [], {}]}},
                               {"neg": -(2**63), "max": 2**63 - 1, "pi": 3.14159, "ok": True,
                                "no": False, "none": None, "quote": 'a"\\b\n'}])
    assert _nlpeval._written_tape(records) == parse(records)


def test_single_record_and_empty_list():
    for records in ([], [NER], [[]], [{}], ["lone"]):
        assert_same_tapes(_nlpeval._written_tape(records), parse(records))


def test_counts_beyond_16_bits():
    # An opening word keeps its element count above the position (saturated at 24 bits, which
    # takes too long to reach here).
    records = [list(range(70000)), {f"k{i}": i for i in range(300)}]
    assert _nlpeval._written_tape(records) == parse(records)


def test_integers_beyond_int64_are_refused_rather_than_written_as_unsigned():
    # The parser writes 2**63 as an unsigned 'u'; the writer refuses every integer beyond
    # int64 instead.
    assert kind(parse([2**63])[0][2]) == ord("u")
    for value in (2**63, 2**64, -(2**63) - 1):
        with pytest.raises(ValueError, match=r"records\[0\]: integer does not fit in 64 bits"):
            _nlpeval._written_tape([value])
