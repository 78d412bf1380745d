#!/usr/bin/env python3
"""Checks that the engine's one-source tables and the code that uses them agree.

Each list is written once (the switch table, the parameter table, ...); this
test reads the sources to find a name used in one place but missing from its
table, or a table entry that nothing uses any more.
"""
import glob
import os
import re
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SRC = os.path.join(ROOT, "src")


def source_texts():
    """Every engine source file's text, by path relative to src/."""
    texts = {}
    for path in sorted(glob.glob(os.path.join(SRC, "**", "*.[ch]*"), recursive=True)):
        with open(path, encoding="utf-8") as f:
            texts[os.path.relpath(path, SRC)] = f.read()
    return texts


ENV_READERS = {"env_lookup", "env_str", "env_present", "env_int", "env_int_within", "env_long", "env_real"}


def switch_readers(texts):
    """The environment readers and the helpers that pass their `name` on to one."""
    readers = set(ENV_READERS)
    for text in texts.values():
        for m in re.finditer(r"\b(\w+)\(const char\* name\b[^)]*\)\s*\{", text):
            body = text[m.end():text.find("\n}", m.end())]
            if re.search(r"\b(%s)\(name\b" % "|".join(ENV_READERS), body):
                readers.add(m.group(1))
    return readers


def switches_read(texts):
    """Switch name -> first file that reads it."""
    readers = switch_readers(texts)
    pattern = re.compile(r"\b(%s)\(\s*\"([A-Z][A-Z0-9_]*)\"" % "|".join(sorted(readers)))
    names = {}
    for path, text in texts.items():
        for m in pattern.finditer(text):
            names.setdefault(m.group(2), path)
    # The side counters' price switches are read from their table.
    table = texts["clock/counters.h"]
    table = table[table.index("SIDE_COUNTERS[] = {"):]
    for name in re.findall(r'\{"([A-Z][A-Z0-9_]*)",', table[:table.index("};")]):
        names.setdefault(name, "clock/counters.h")
    return names


class SwitchTable(unittest.TestCase):
    def test_every_switch_read_is_in_the_table_and_every_entry_is_read(self):
        texts = source_texts()
        table = re.findall(r"\{\"([A-Z][A-Z0-9_]*)\"", texts["io/switch_table.h"])
        self.assertGreater(len(table), 100)
        self.assertEqual(len(table), len(set(table)), "a switch listed twice")
        read = switches_read(texts)
        self.assertEqual({n: f for n, f in read.items() if n not in table}, {},
                         "switches read but missing from io/switch_table.h")
        self.assertEqual(sorted(set(table) - set(read)), [],
                         "switches in io/switch_table.h that no source reads")


def param_table_rows(texts):
    """(record name, EvalParams field, term) of each row of the parameter table."""
    return re.findall(r'\{\.name = "(\w+)",\s*\.term = ParamTerm::(\w+),.*?offsetof\(EvalParams, (\w+)\)',
                      texts["eval/param_table.h"], re.S)


def store_fields(texts):
    """The field names of the EvalParams struct, in order."""
    text = texts["eval/params.h"]
    body = text[text.index("struct EvalParams {"):]
    body = body[body.index("{") + 1:body.index("};")]
    fields = []
    for line in body.splitlines():
        declaration = line.split("//")[0].strip().rstrip(";")
        if declaration:
            names = declaration.split(None, 1)[1]
            fields += [re.sub(r"\[.*", "", n).strip() for n in names.split(",")]
    return fields


class ParamTable(unittest.TestCase):
    def test_every_store_field_has_one_row_and_one_name(self):
        texts = source_texts()
        rows = param_table_rows(texts)
        self.assertGreater(len(rows), 15)
        names = [name for name, _, _ in rows]
        fields = [field for _, _, field in rows]
        self.assertEqual(len(names), len(set(names)), "a record name listed twice")
        self.assertEqual(sorted(fields), sorted(store_fields(texts)),
                         "EvalParams fields and eval/param_table.h rows differ")

    def test_record_names_are_spelled_only_in_the_table(self):
        texts = source_texts()
        for path in glob.glob(os.path.join(ROOT, "tools", "tune", "*.[ch]*")):
            with open(path, encoding="utf-8") as f:
                texts[os.path.relpath(path, SRC)] = f.read()
        names = [name for name, _, _ in param_table_rows(texts)]
        pattern = re.compile(r'"(%s)"' % "|".join(names))
        spelled = {path: sorted(set(pattern.findall(text))) for path, text in texts.items()
                   if path != "eval/param_table.h" and pattern.search(text)}
        self.assertEqual(spelled, {}, "record names written outside eval/param_table.h")

    def test_the_tuner_counts_every_term(self):
        texts = source_texts()
        with open(os.path.join(ROOT, "tools", "tune", "features.cpp"), encoding="utf-8") as f:
            counted = set(re.findall(r"ParamTerm::(\w+)", f.read()))
        terms = {term for _, term, _ in param_table_rows(texts)}
        self.assertEqual(sorted(terms - counted), [],
                         "terms of eval/param_table.h that tools/tune/features.cpp never counts")


if __name__ == "__main__":
    unittest.main()
