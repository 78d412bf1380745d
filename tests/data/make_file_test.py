#!/usr/bin/env python3
"""Checks tests/data/make_file.py: repeated text with escapes, random bytes and usage errors."""
import os
import subprocess
import sys
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make_file.py")


def run(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True)


def written(*args):
    proc = run("-", *args)
    assert proc.returncode == 0, proc.stderr
    return proc.stdout


class Text(unittest.TestCase):
    def test_prefix_repeated_text_and_suffix(self):
        self.assertEqual(written("--prefix", "go", "--text", " depth 1", "--repeat", "3",
                                 "--suffix", "\\n"),
                         b"go depth 1 depth 1 depth 1\n")

    def test_escapes_give_single_bytes(self):
        self.assertEqual(written("--text", "isready\\x00x\\n\\xff\\\\"),
                         b"isready\x00x\n\xff\\")

    def test_zero_repeats_leave_prefix_and_suffix(self):
        self.assertEqual(written("--prefix", "a", "--text", "b", "--repeat", "0", "--suffix", "c"),
                         b"ac")

    def test_megabyte_line(self):
        data = written("--text", "x", "--repeat", str(1 << 20), "--suffix", "\\n")
        self.assertEqual(len(data), (1 << 20) + 1)
        self.assertEqual(data.count(b"\n"), 1)

    def test_writes_a_file(self):
        path = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"mkfile_{os.getpid()}.bin")
        try:
            self.assertEqual(run(path, "--text", "ab", "--repeat", "2").returncode, 0)
            with open(path, "rb") as handle:
                self.assertEqual(handle.read(), b"abab")
        finally:
            if os.path.exists(path):
                os.remove(path)


class RandomBytes(unittest.TestCase):
    def test_same_seed_same_bytes(self):
        first = written("--random", "1000", "--seed", "7")
        self.assertEqual(len(first), 1000)
        self.assertEqual(first, written("--random", "1000", "--seed", "7"))
        self.assertNotEqual(first, written("--random", "1000", "--seed", "8"))

    def test_empty(self):
        self.assertEqual(written("--random", "0"), b"")


class Usage(unittest.TestCase):
    def test_negative_counts_are_refused(self):
        self.assertNotEqual(run("-", "--repeat", "-1").returncode, 0)
        self.assertNotEqual(run("-", "--random", "-5").returncode, 0)

    def test_characters_beyond_a_byte_are_refused(self):
        proc = run("-", "--text", "\u0100")
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn(b"above", proc.stderr)

    def test_missing_output_is_refused(self):
        self.assertNotEqual(run().returncode, 0)


if __name__ == "__main__":
    unittest.main()
