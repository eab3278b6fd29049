#!/usr/bin/env python3
"""Prints the cells of the first sheet of an .xlsx file, one JSON array per row: strings,
numbers, and null for a cell that holds nothing (such as the covered cells of a merge).
    bench/xlsx_cells.py BOOK.xlsx > cells.jsonl
Reads inline and shared strings, which is all a workbook written by nlpeval holds."""

import json
import sys
import zipfile
import xml.etree.ElementTree as ElementTree

NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"


def column_of(reference):
    """"C12" -> 2."""
    number = 0
    for char in reference:
        if not char.isalpha():
            break
        number = number * 26 + ord(char) - ord("A") + 1
    return number - 1


def shared_strings(book):
    if "xl/sharedStrings.xml" not in book.namelist():
        return []
    root = ElementTree.fromstring(book.read("xl/sharedStrings.xml"))
    return ["".join(t.text or "" for t in item.iter(NS + "t")) for item in root.iter(NS + "si")]


def cell_value(cell, strings):
    kind = cell.get("t")
    if kind == "inlineStr":
        return "".join(t.text or "" for t in cell.iter(NS + "t"))
    value = cell.find(NS + "v")
    if value is None:
        return None
    if kind == "s":
        return strings[int(value.text)]
    if kind == "str":
        return value.text or ""
    number = float(value.text)
    return int(number) if number.is_integer() else number


def main():
    with zipfile.ZipFile(sys.argv[1]) as book:
        strings = shared_strings(book)
        with book.open("xl/worksheets/sheet1.xml") as sheet:
            out = sys.stdout
            for _, element in ElementTree.iterparse(sheet):
                if element.tag != NS + "row":
                    continue
                row = []
                for cell in element.iter(NS + "c"):
                    column = column_of(cell.get("r"))
                    row.extend([None] * (column + 1 - len(row)))
                    row[column] = cell_value(cell, strings)
                out.write(json.dumps(row, ensure_ascii=False) + "\n")
                element.clear()


if __name__ == "__main__":
    main()
