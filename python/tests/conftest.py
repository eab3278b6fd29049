import pathlib

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


@pytest.fixture
def examples():
    return EXAMPLES


def read_jsonl(path):
    import json

    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines if line.strip()]
