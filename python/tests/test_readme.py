"""The README's Python example runs as written and prints what it says."""

import pathlib
import re

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def test_readme_example_runs(capsys):
    section = README.read_text(encoding="utf-8").split("## Python\n", 1)[1]
    example = re.search(r"```python\n(.*?)```", section, re.DOTALL).group(1)
    assert len(example.strip().splitlines()) == 5
    exec(compile(example, "README.md", "exec"), {})
    out = capsys.readouterr().out
    assert out.startswith("precision: 1.000\trecall: 0.500\tf1: 0.667\n")
    assert out.endswith("1.0 0.5 0.6666666666666666\n")
