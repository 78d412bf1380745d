#!/usr/bin/env python3
"""Checks that the engine's one-source tables and the code that uses them agree.

Each list is written once (the switch table, ...); this test reads the
sources to find a name used in one place but missing from its table, or a
table entry that nothing uses any more.
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


if __name__ == "__main__":
    unittest.main()
