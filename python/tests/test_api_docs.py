"""The public API documents itself: real signatures, numpydoc docstrings, the version."""

import importlib
import inspect
import pydoc
import re

import pytest

import nlpeval.evaluator

import nlpeval
from nlpeval.evaluator import Instrument

MODULES = ["nlpeval", "nlpeval.evaluator", "nlpeval.scoring", "nlpeval.span_tools",
           "nlpeval.metrics", "nlpeval.metrics.sequence", "nlpeval.char_metrics"]
# Classes whose constructors take nothing, or that are holders of constants.
WITHOUT_PARAMETERS = {"Const", "Error"}


def public_callables():
    for module_name in MODULES:
        module = importlib.import_module(module_name)
        for name in module.__all__:
            value = getattr(module, name)
            if callable(value):
                yield f"{module_name}.{name}", value


def public_methods(cls):
    for name, value in vars(cls).items():
        if not name.startswith("_") and callable(value):
            yield f"{cls.__name__}.{name}", getattr(cls, name)


def test_version_is_the_library_version():
    assert re.fullmatch(r"\d+\.\d+\.\d+", nlpeval.__version__)
    assert nlpeval.__version__ == nlpeval._nlpeval.__version__


def test_no_help_page_mentions_handle():
    for name, value in public_callables():
        assert "handle" not in pydoc.render_doc(value), name


def test_every_public_callable_documents_its_parameters():
    for name, value in public_callables():
        doc = inspect.getdoc(value)
        assert doc, name
        if name.rsplit(".", 1)[1] not in WITHOUT_PARAMETERS:
            assert "Parameters\n----------" in doc, name
        if inspect.isclass(value):
            for method_name, method in public_methods(value):
                assert "Parameters\n----------" in (inspect.getdoc(method) or ""), method_name


def test_functions_have_python_signatures():
    parameters = list(inspect.signature(nlpeval.evaluate).parameters)
    assert parameters[:3] == ["type_", "true_list", "pred_list"]
    assert inspect.signature(nlpeval.evaluate).parameters["do_print"].default is True
    for name, value in public_callables():
        if inspect.isfunction(value):
            assert "handle" not in str(inspect.signature(value)), name


@pytest.mark.parametrize("name", ["classification_report"])
def test_reports_take_output_dict(name):
    from nlpeval import metrics
    from nlpeval.metrics import sequence

    for module in (metrics, sequence):
        assert inspect.signature(getattr(module, name)).parameters["output_dict"].default is False
        assert "output_dict" in inspect.getdoc(getattr(module, name))


def test_registry_keys_are_looked_up_whole():
    registry = Instrument()
    for key in [("ner",), ("ner", "pos"), None, 3.0]:
        for lookup in (registry.get_generator, registry.get_convertor):
            with pytest.raises(KeyError) as missing:
                lookup(key)
            assert missing.value.args == (key,)
    with pytest.raises(TypeError, match=r"^type_: unhashable type: 'list'$"):
        registry.get_generator(["ner"])


@pytest.mark.parametrize("call", [
    lambda: nlpeval.evaluate(("ner",), [], [], do_print=False),
    lambda: nlpeval.evaluate_file(("ner",), "a", "b", do_print=False),
    lambda: nlpeval.evaluator.validate(None, [], [], ("ner",)),
    lambda: nlpeval.evaluator.generate_badcase(("ner",), [], "bad.xlsx"),
])
def test_entry_functions_refuse_a_non_string_type(call):
    with pytest.raises(TypeError, match=r"^type_: expected str, got tuple$"):
        call()
