#!/usr/bin/env python3
"""Checks build/tools/tune: it recovers known parameters, its file round-trips
through PARAMS and "dumpparams", and bad input ends it with one message and no file.

usage: tune_test.py TUNE KELMSTRAD
"""
import os
import subprocess
import sys
import tempfile
import unittest

TUNE = KELMSTRAD = None


def tune(*args, cwd=None):
    return subprocess.run([TUNE, *args], capture_output=True, text=True, cwd=cwd, timeout=240)


def dumpparams(params=None):
    env = dict(os.environ)
    env.pop("PARAMS", None)
    if params:
        env["PARAMS"] = params
    out = subprocess.run([KELMSTRAD], input="dumpparams\nquit\n", capture_output=True, text=True,
                         env=env, timeout=60).stdout
    return out.splitlines()


def read(path):
    with open(path) as f:
        return f.read()


def values(lines):
    """Record lines as {(name, piece, square): value}; stops at the first comment."""
    table = {}
    for line in lines:
        if line.startswith("#"):
            break
        name, piece, square, value = line.split()
        table[(name, int(piece), int(square))] = int(value)
    return table


class Tuner(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dir = cls.tmp.name
        cls.shipped = dumpparams()
        # The truth: the shipped values with the knight worth 90 more and a rook
        # on an open file 60 more.
        cls.changes = {("matmg", 2, 0): 90, ("mateg", 2, 0): 90, ("ropen", 0, 0): 60}
        truth = []
        for line in cls.shipped:
            name, piece, square, value = line.split()
            key = (name, int(piece), int(square))
            truth.append("%s %s %s %d" % (name, piece, square, int(value) + cls.changes.get(key, 0)))
        cls.truth = cls.path("truth.txt")
        with open(cls.truth, "w") as f:
            f.write("\n".join(truth) + "\n")
        cls.data = cls.path("synthetic.txt")
        proc = tune("synth", "-params", cls.truth, "-n", "30000", "-seed", "7", "-k", "0.008",
                    "-o", cls.data)
        assert proc.returncode == 0, proc.stderr
        cls.out = cls.path("tuned.txt")
        # K as labelled: a K fitted to the start values would let all weights grow together.
        cls.proc = tune("-data", cls.data, "-groups", "material,rooks", "-threads", "2",
                        "-rate", "3", "-passes", "10", "-k", "0.008", "-o", cls.out)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir, name)

    def test_recovers_the_changed_values(self):
        self.assertEqual(self.proc.returncode, 0, self.proc.stderr)
        start, tuned = values(self.shipped), values(read(self.out).splitlines())
        for key, change in self.changes.items():
            moved = tuned[key] - start[key]
            # Within the noise of 30000 drawn results (about +-40 for an endgame weight).
            self.assertGreater(moved, change / 2, (key, moved, self.proc.stdout))
            self.assertLess(moved, change * 2, (key, moved, self.proc.stdout))
        # Groups not asked for keep their values.
        self.assertEqual(tuned[("pstmg", 2, 27)], start[("pstmg", 2, 27)])
        self.assertEqual(tuned[("passeg", 3, 0)], start[("passeg", 3, 0)])
        lines = self.proc.stdout.splitlines()
        self.assertTrue(any(l.startswith("pass 1 train ") for l in lines), self.proc.stdout)
        first = float(lines[[l.startswith("pass 0 ") for l in lines].index(True)].split()[5])
        best = [l for l in lines if l.startswith("best pass")][0]
        self.assertLess(float(best.split()[6].rstrip(";")), first, best)

    def test_draws_the_error_curves(self):
        with open(self.path("tuned.png"), "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        rows = read(self.path("tuned.csv")).splitlines()
        self.assertEqual(rows[0], "pass,train,valid")
        self.assertGreater(len(rows), 3)

    def test_file_round_trips_through_params(self):
        written = read(self.out).splitlines()
        records = [l for l in written if not l.startswith("#")]
        self.assertEqual(len(records), 800 + 5 + 8 + 10)
        self.assertTrue(written[-1].startswith("# "), written[-1])  # provenance, skipped
        # The engine loads the whole file (its comment included) and prints it back.
        self.assertEqual(dumpparams(self.out), written[:800])
        # So does the shipped tuned file, whose provenance follows its records.
        shipped = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                               "params", "tuned.txt")
        self.assertEqual(dumpparams(shipped), read(shipped).splitlines()[:800])
        # The tuner accepts its own file as start values; no pass keeps them as they are.
        again = self.path("again.txt")
        proc = tune("-data", self.data, "-params", self.out, "-passes", "0", "-o", again,
                    "-curve", "none")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(values(read(again).splitlines()), values(written))


class BadInput(unittest.TestCase):
    def check_refused(self, data_lines, message, params_lines=None):
        with tempfile.TemporaryDirectory() as d:
            data = os.path.join(d, "data.txt")
            with open(data, "w") as f:
                f.write("\n".join(data_lines) + "\n")
            args = ["-data", data, "-o", os.path.join(d, "out.txt")]
            if params_lines is not None:
                params = os.path.join(d, "params.txt")
                with open(params, "w") as f:
                    f.write("\n".join(params_lines) + "\n")
                args += ["-params", params]
            proc = tune(*args)
            self.assertNotEqual(proc.returncode, 0)
            self.assertEqual(len(proc.stderr.splitlines()), 1, proc.stderr)
            self.assertIn(message, proc.stderr)
            self.assertEqual(sorted(os.listdir(d)), sorted(["data.txt"] + (
                ["params.txt"] if params_lines is not None else [])))

    GOOD = ["rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1 [0.5]"] * 12

    def test_malformed_data_lines(self):
        self.check_refused(self.GOOD + ["8/8/8/8/8/8/8/K6k w - - 0 [1.0]"],
                           "line 13: the FEN has 5 fields")
        self.check_refused(["# header", "8/8/8/8/8/8/8/K6k w - - 0 1 [2.0]"] + self.GOOD,
                           "line 2: result '2.0'")
        self.check_refused(["8/8/8/8/8/8/8/K7k w - - 0 1 [1.0]"] + self.GOOD,
                           "line 1: rank 1 holds more than 8 squares")
        self.check_refused(["8/8/8/8/8/8/8/K7 w - - 0 1 [1.0]"] + self.GOOD, "Black has no king")
        self.check_refused(self.GOOD + ["8/8/8/8/8/8/8/K6k w - - 0 1"], "no result in brackets")

    def test_empty_data_set(self):
        self.check_refused(["# nothing but a comment", ""], "holds 0 positions")

    def test_parameter_file_the_engine_cannot_load(self):
        self.check_refused(self.GOOD, "line 2: not a record", ["matmg 1 0 80", "mateg 1 0"])
        self.check_refused(self.GOOD, "a record after the comment on line 1",
                           ["# start", "matmg 1 0 80"])
        self.check_refused(self.GOOD, "does not fit its 8-bit entry", ["pstmg 1 20 200"])
        self.check_refused(self.GOOD, "unknown parameter name 'matmgx'", ["matmgx 1 0 80"])
        proc = tune("-data", "/nonexistent/data.txt", "-o", "/nonexistent/out.txt")
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("cannot read data file", proc.stderr)

    def test_existing_output_survives_a_refusal(self):
        with tempfile.TemporaryDirectory() as d:
            out = os.path.join(d, "out.txt")
            with open(out, "w") as f:
                f.write("old\n")
            proc = tune("-data", os.path.join(d, "missing.txt"), "-o", out)
            self.assertNotEqual(proc.returncode, 0)
            self.assertEqual(read(out), "old\n")


class Games(unittest.TestCase):
    PGN = """[Event "?"]
[Result "1-0"]

1. e4 {0.1s} e5 {+0.10/5 0.1s} 2. Bc4 {-0.10/5 0.1s} Nc6 {+0.10/5 0.1s} 3. Bxf7+ {-1.00/5 0.1s}
Kxf7 {+1.00/5 0.1s} 4. Qh5+ {-1.00/5 0.1s} g6 {+1.00/5 0.1s} 5. Qf3+ {-1.00/5 0.1s} 1-0

[Event "?"]
[Result "*"]

1. d4 {+0.10/5 0.1s} *
"""

    def test_quiet_searched_positions_out_of_check(self):
        with tempfile.TemporaryDirectory() as d:
            pgn, out = os.path.join(d, "games.pgn"), os.path.join(d, "positions.txt")
            with open(pgn, "w") as f:
                f.write(self.PGN)
            proc = tune("pgn", "-pgn", pgn, "-skip", "2", "-o", out)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            # Left out: the engine's book move (a time, no score), the positions before ply 2
            # (-skip 2), a capture, two positions in check and the unfinished game. The filters
            # themselves are tested in tests/tune/positions_test.cpp.
            self.assertEqual([l for l in read(out).splitlines() if not l.startswith("#")], [
                "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2 [1.0]",
                "rnbqkbnr/pppp1ppp/8/4p3/2B1P3/8/PPPP1PPP/RNBQK1NR b KQkq - 1 2 [1.0]",
                "r1bq1bnr/pppp1kpp/2n5/4p3/4P3/8/PPPP1PPP/RNBQK1NR w KQ - 0 4 [1.0]",
                "r1bq1bnr/pppp1k1p/2n3p1/4p2Q/4P3/8/PPPP1PPP/RNB1K1NR w KQ - 0 5 [1.0]"])
            with open(pgn, "w") as f:
                f.write(self.PGN.replace("Qh5+", "Qh6+"))
            proc = tune("pgn", "-pgn", pgn, "-o", out)
            self.assertNotEqual(proc.returncode, 0)
            self.assertIn('game 1: cannot play move 7 "Qh6+"', proc.stderr)


if __name__ == "__main__":
    TUNE, KELMSTRAD = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
