"""The entry functions, the task registry and the badcase records."""

from nlpeval import _nlpeval
from nlpeval._nlpeval import (
    AttributeMapper,
    AttributeMiner,
    CwsMapper,
    CwsMiner,
    Desc,
    EntityMapper,
    EntityMiner,
    EventMapper,
    EventMiner,
    Instrument,
    Label2PredData,
    PosMapper,
    PosMiner,
    RelationMapper,
    RelationMiner,
    evaluate,
    evaluate_file,
    generate_badcase,
    print_evaluate,
    read_entity_count,
    validate,
)


class Const:
    """The marker of a side or field with nothing in it."""

    NONE = _nlpeval.CONST_NONE


class Error:
    """The error kinds of a badcase element, as stored in its ``error_type`` field."""


for _name, _value in _nlpeval.ERROR_KINDS.items():
    setattr(Error, _name, _value)
del _name, _value

__all__ = [
    "evaluate",
    "evaluate_file",
    "validate",
    "read_entity_count",
    "print_evaluate",
    "generate_badcase",
    "Instrument",
    "Label2PredData",
    "Desc",
    "Const",
    "Error",
    "EventMapper",
    "RelationMapper",
    "EntityMapper",
    "AttributeMapper",
    "CwsMapper",
    "PosMapper",
    "EventMiner",
    "RelationMiner",
    "EntityMiner",
    "AttributeMiner",
    "CwsMiner",
    "PosMiner",
]
