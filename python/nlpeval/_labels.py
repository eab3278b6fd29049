"""Labels as scikit-learn takes them, turned into the strings the library scores.

The library compares and sorts labels as strings. Callers may give lists, tuples, numpy
arrays or pandas Series of strings, ints, floats or bools; here each argument becomes one
numpy array (as scikit-learn's own checks do), the labels get scikit-learn's set, order and
equality (1 == 1.0 == True; ints sort as numbers), and every label is written as the text
scikit-learn prints for it ("%s" % label, so a float label shows as "1.0"). The public
wrappers try a plain list of strings with the library first and come here only when that
fails or the input is not a plain list.
"""

from __future__ import annotations

import numbers
import os
from typing import Any, NamedTuple

MIXED_KINDS = "Mix of label input types (string and number)"


def is_plain(*values: Any) -> bool:
    """Whether every value is a list, a tuple or None: what the library converts itself."""
    return all(value is None or type(value) in (list, tuple) for value in values)


def path(value: Any) -> Any:
    """A file argument as the library takes it: os.PathLike objects become their path."""
    return os.fspath(value) if isinstance(value, os.PathLike) else value


def _numpy():
    import numpy

    return numpy


class Text(NamedTuple):
    """Two label lists written as text, with the label lists a caller may pass on."""

    y_true: list
    y_pred: list
    # The caller's labels as text; None when not given.
    labels: list | None
    # Every label of the data as text, in scikit-learn's order; None when every label is a
    # string, whose order (by code point) the library applies itself.
    present: list | None


def _reject_kind(value: Any, name: str) -> None:
    if isinstance(value, (str, bytes, dict, set, frozenset)) or not hasattr(value, "__len__"):
        raise TypeError(f"{name}: expected list, got {type(value).__name__}")


def _first_non_label(array) -> tuple[int, Any]:
    np = _numpy()
    for index, item in enumerate(array):
        if not isinstance(item, (str, numbers.Real, np.bool_)):
            return index, item
    return -1, None


def _object_labels(array, name: str):
    """An object array (a pandas Series of strings, a list holding None...) as labels."""
    np = _numpy()
    if all(isinstance(item, str) for item in array):
        return array
    index, item = _first_non_label(array)
    if index >= 0:
        raise TypeError(f"{name}[{index}]: expected a label (str, int, float or bool), "
                        f"got {type(item).__name__}")
    # Plain numbers held as objects: the array a list of them would have given.
    return np.asarray(array.tolist())


def _check_class_values(array, name: str) -> None:
    """Floats are class labels only when whole and finite, as scikit-learn requires."""
    np = _numpy()
    finite = np.isfinite(array)
    if not finite.all():
        raise ValueError(f"{name}: labels must be finite, got {array[~finite][0]}")
    fractional = array != np.floor(array)
    if fractional.any():
        raise ValueError(f"{name}: continuous values such as {array[fractional][0]} are not "
                         "class labels")


def label_array(value: Any, name: str, *, class_values: bool = True):
    """One argument as a 1-d numpy array of labels: one conversion, then kind checks."""
    _reject_kind(value, name)
    np = _numpy()
    try:
        array = np.asarray(value)
    except ValueError:
        array = np.asarray(value, dtype=object)
    if array.ndim == 2 and array.shape[1] == 1:
        array = array.ravel()
    if array.ndim != 1:
        raise ValueError(f"{name}: expected one label per position, got an array of shape "
                         f"{array.shape}")
    if array.dtype.kind == "O":
        array = _object_labels(array, name)
    kind = array.dtype.kind
    if kind == "f" and class_values:
        _check_class_values(array, name)
    elif kind not in "OUSbiuf":  # "O": strings held as objects, as pandas keeps them
        raise TypeError(f"{name}: expected labels of kind str, int, float or bool, got "
                        f"{array.dtype}")
    return array


def _is_text(array) -> bool:
    return array.dtype.kind in "UO"


def _distinct(array):
    """The distinct labels of one array, sorted, and where each position's label stands among
    them: the one sort each argument takes."""
    return _numpy().unique(array, return_inverse=True)


def _present_labels(*distinct) -> set:
    """The labels of the data, compared as numpy compares them; strings and numbers do not
    mix."""
    labels = set()
    for values, _ in distinct:
        labels.update(values)
    if len({isinstance(label, str) for label in labels}) > 1:
        raise ValueError(MIXED_KINDS)
    return labels


def _as_text(distinct, text_of: dict) -> list:
    np = _numpy()
    values, positions = distinct
    texts = np.array([text_of[value] for value in values], dtype=object)
    return texts[positions].tolist()


def _add_data_labels(text_of: dict, present: set) -> None:
    """Names the data's labels that the caller's labels do not name; each text stays one
    label's."""
    taken = set(text_of.values())
    for value in present:
        if value not in text_of:
            text = "%s" % value
            if text in taken:
                raise ValueError(f"labels: {text!r} names two different labels")
            text_of[value] = text
            taken.add(text)


def as_text(y_true: Any, y_pred: Any, labels: Any = None, *,
            names: tuple[str, str] = ("y_true", "y_pred")) -> Text:
    """The two label lists (and the caller's labels) as text, with scikit-learn's label set,
    order and equality. Raises TypeError for an argument or label of the wrong kind and
    ValueError for strings mixed with numbers or continuous values."""
    np = _numpy()
    gold = label_array(y_true, names[0])
    pred = label_array(y_pred, names[1])
    given = None if labels is None else label_array(labels, "labels", class_values=False)
    if _is_text(gold) and _is_text(pred) and (given is None or _is_text(given) or not len(given)):
        return Text(gold.tolist(), pred.tolist(), None if given is None else given.tolist(), None)
    gold_distinct = _distinct(gold)
    pred_distinct = _distinct(pred)
    present = _present_labels(gold_distinct, pred_distinct)
    order = np.asarray(sorted(present))
    if given is None:
        text_of = {value: "%s" % value for value in order}
        shown = None
    else:
        if len(given) and present and _is_text(given) != isinstance(next(iter(present)), str):
            raise ValueError(MIXED_KINDS)
        shown = ["%s" % value for value in given]
        text_of = dict(zip(given, shown))
        _add_data_labels(text_of, present)
    return Text(_as_text(gold_distinct, text_of), _as_text(pred_distinct, text_of), shown,
                [text_of[value] for value in order])


def scored_labels(text: Text) -> list | None:
    """The label list for the flat metrics: the caller's, else the data's in scikit-learn's
    order (None lets the library sort strings itself)."""
    return text.labels if text.labels is not None else text.present


def strings(value: Any, name: str) -> list | None:
    """A list of strings given as any sequence or array (None stays None)."""
    if value is None or type(value) in (list, tuple) or isinstance(value, (str, bytes, dict)):
        return value  # the library takes it or names what is wrong with it
    if not hasattr(value, "__iter__"):
        return value
    return value.tolist() if hasattr(value, "tolist") else list(value)


def sequences(value: Any, name: str) -> Any:
    """Tag sequences (one per instance) given as nested sequences, arrays or Series."""
    if isinstance(value, (str, bytes, dict)) or not hasattr(value, "__iter__"):
        return value  # the library names what is wrong with it
    outer = value.tolist() if hasattr(value, "tolist") else list(value)
    return [sequence if isinstance(sequence, (str, bytes, dict))
            else strings(sequence, f"{name}[{index}]") for index, sequence in enumerate(outer)]
