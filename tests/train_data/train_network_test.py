#!/usr/bin/python3
"""Checks tools/train_network.py against the engine and build/tools/datagen.

  train_network_test.py ENGINE DATAGEN

- The trainer's integer forward pass equals the engine's network evaluation,
  to the centipawn, on more than 10,000 self-play positions (a small network
  exported by the trainer, read by the engine through NNUE, NNSCALE 50).
- Trained on a few hundred positions labelled by a known network, the trainer
  recovers its evaluations.
- tools/profiles/strong adds exactly the shipped network's integer forward
  pass to the tuned evaluation.
- Bad input: one message, exit status 1, nothing written.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import torch

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import train_network as tn  # noqa: E402

ENGINE, DATAGEN = sys.argv[1], sys.argv[2]
WORK = tempfile.mkdtemp(prefix="train_network_test_")
DATA = os.path.join(WORK, "positions.bin")
OPENINGS = os.path.join(HERE, "..", "..", "tools", "openings", "book_walk8.txt")


def setUpModule():
    subprocess.run([DATAGEN, "-out", DATA, "-games", "180", "-nodes", "200", "-seed", "11",
                    "-jobs", "2", "-openings", OPENINGS],
                   check=True, capture_output=True)


def tearDownModule():
    shutil.rmtree(WORK, ignore_errors=True)


def views(data):
    """Feature lists of the side to move and of the other side."""
    white, black = tn.feature_lists(data["pieces"])
    is_black = data["black"][:, None] == 1
    return np.where(is_black, black, white), np.where(is_black, white, black)


def engine_evals(positions, **switches):
    """The engine's "eval" of each position under the environment switches."""
    return tn.engine_evals(ENGINE, positions, dict(os.environ, **switches)).astype(np.int64)


class Exactness(unittest.TestCase):
    def test_trainer_forward_equals_engine_eval(self):
        data = tn.read_packed(DATA)
        self.assertGreaterEqual(len(data["score"]), 10000)
        # A network the trainer exports after a short training, its weights
        # spread so that units switch on and off across the positions.
        net = tn.Network(12, 50, torch.Generator().manual_seed(3))
        with torch.no_grad():
            net.feature.mul_(4.0)
            net.output.mul_(10.0)
            net.output_bias.fill_(0.37)
        weights = tn.exported_integers(net)
        self.assertEqual(int(np.abs(weights[2]).max()), 128)  # output weights clipped to 8 bits
        path = os.path.join(WORK, "exact.txt")
        tn.write_atomically(path, text=tn.network_text(weights))
        us, them = views(data)
        mine = tn.integer_eval(weights, us, them, 50)
        self.assertGreater(len(set(mine.tolist())), 1000)
        with torch.no_grad():
            float_eval = net(torch.from_numpy(us), torch.from_numpy(them)).numpy()
        # The training pass differs from the integer one only by the two floors.
        raw = np.floor(np.round(float_eval * 64 / 50 * 16) / 16)
        np.testing.assert_array_equal(np.floor(raw * 50 / 64).astype(np.int64), mine)
        # The residual mode adds the raw network output to the hand-made score,
        # endgame rules included: the difference is network_forward alone.
        positions = tn.position_fens(data)
        hand_made = np.array(engine_evals(positions))
        residual = np.array(engine_evals(positions, NNUE=path, NNRES="1"))
        forward = tn.integer_forward(weights, us, them)
        self.assertEqual(len(residual), len(forward))
        differ = np.nonzero(residual - hand_made != forward)[0]
        shown = [(positions[i], forward[i], residual[i] - hand_made[i]) for i in differ[:5]]
        self.assertEqual(differ[:5].tolist(), [], shown)
        # Network only, scaled by NNSCALE: the engine's endgame rules may scale a
        # sparse board, so the comparison takes the positions with 20 pieces or more.
        only = np.array(engine_evals(positions, NNUE=path, NNSCALE="50"))
        crowded = np.count_nonzero(data["pieces"], axis=1) >= 20
        self.assertGreater(crowded.sum(), 3000)
        np.testing.assert_array_equal(only[crowded], mine[crowded])


class Recovery(unittest.TestCase):
    def test_learns_a_known_network(self):
        data = tn.read_packed(DATA)
        data = {k: v[:400] for k, v in data.items()}
        known = tn.Network(4, 64, torch.Generator().manual_seed(9))
        with torch.no_grad():
            known.feature.mul_(6.0)
            known.output.mul_(10.0)
        us, them = views(data)
        labels = tn.integer_eval(tn.exported_integers(known), us, them, 64)
        data["score"] = np.where(data["black"] == 1, -labels, labels)
        self.assertGreater(labels.std(), 50)
        args = tn.parse_args(["x", "y", "--width", "8", "--epochs", "200", "--batch", "32",
                              "--lambda", "1", "--scale", "1000", "--held-out", "0",
                              "--lr", "0.02"])
        net, _, history = tn.train(data, args, log=False)
        learnt = tn.integer_eval(tn.exported_integers(net), us, them, 64)
        error = np.abs(learnt - labels).mean()
        # Against the spread of the labels (about 300 centipawns from their mean).
        self.assertLess(error, 0.2 * np.abs(labels - labels.mean()).mean(), error)
        self.assertLess(history[-1][1], history[0][1] / 10)

    def test_learns_a_known_correction(self):
        # Residual: the labels are the engine's hand-made evaluation plus a known
        # network's raw output; the trainer is given the first and finds the second.
        data = tn.read_packed(DATA)
        data = {k: v[:400] for k, v in data.items()}
        data["base"] = engine_evals(tn.position_fens(data)).astype(np.float64)
        known = tn.Network(4, 64, torch.Generator().manual_seed(9))
        with torch.no_grad():
            known.feature.mul_(6.0)
            known.output.mul_(10.0)
        us, them = views(data)
        correction = tn.integer_forward(tn.exported_integers(known), us, them)
        labels = data["base"] + correction
        data["score"] = np.where(data["black"] == 1, -labels, labels).astype(np.int64)
        args = tn.parse_args(["x", "y", "--residual", "--engine", ENGINE, "--width", "8",
                              "--epochs", "200", "--batch", "32", "--lambda", "1", "--scale",
                              "1000", "--held-out", "0", "--lr", "0.02", "--nnscale", "50"])
        net, _, _ = tn.train(data, args, log=False)
        learnt = tn.integer_forward(tn.exported_integers(net), us, them)
        error = np.abs(learnt - correction).mean()
        self.assertLess(error, 0.2 * np.abs(correction - correction.mean()).mean(), error)


def read_network_text(path):
    """The integers of a network file in the engine's text format (network_text's inverse)."""
    with open(path) as handle:
        rows = [np.array(line.split(), dtype=np.int64) for line in handle]
    width = int(rows[0][0])
    feature = np.vstack(rows[1:1 + tn.INPUTS])
    hidden, output, bias = rows[1 + tn.INPUTS:]
    assert feature.shape == (tn.INPUTS, width) and len(output) == 2 * width
    return [feature, hidden, output, bias[0]]


class ShippedNetwork(unittest.TestCase):
    def test_profile_plays_the_trained_network(self):
        # The shipped profile adds the shipped file's integer forward pass to
        # the tuned hand-made evaluation, exactly: the file, the profile and
        # the trainer's arithmetic agree.
        tools = os.path.join(HERE, "..", "..", "tools")
        profile = os.path.join(tools, "profiles", "strong")
        with open(profile) as handle:
            settings = dict(line.strip().split("=", 1) for line in handle
                            if "=" in line and not line.startswith(("#", "setoption")))
        self.assertEqual(settings.get("NNRES"), "1")
        weights = read_network_text(os.path.join(tools, "profiles", settings["NNUE"]))
        data = tn.read_packed(DATA)
        data = {k: v[:2000] for k, v in data.items()}
        positions = tn.position_fens(data)
        script = "".join(f"position fen {fen}\neval\n" for fen in positions) + "quit\n"
        proc = subprocess.run([ENGINE, "--profile", profile], input=script, capture_output=True,
                              text=True, check=True)
        played = np.array([int(line) for line in proc.stdout.split("\n")
                           if line.lstrip("-").isdigit()])
        self.assertEqual(len(played), len(positions))
        hand_made = engine_evals(positions,
                                 PARAMS=os.path.join(tools, "profiles", settings["PARAMS"]))
        us, them = views(data)
        np.testing.assert_array_equal(played - hand_made, tn.integer_forward(weights, us, them))


class HeldOut(unittest.TestCase):
    def test_whole_blocks_of_consecutive_positions(self):
        # A game's positions are consecutive: a held-out set drawn position by
        # position would share games with the training set.
        train, held = tn.split(10 * tn.SPLIT_BLOCK + 7, 0.2, 5)
        self.assertEqual(sorted(np.concatenate([train, held]).tolist()),
                         list(range(10 * tn.SPLIT_BLOCK + 7)))
        self.assertEqual(len({int(i) // tn.SPLIT_BLOCK for i in held}), 2)
        self.assertFalse({int(i) // tn.SPLIT_BLOCK for i in held}
                         & {int(i) // tn.SPLIT_BLOCK for i in train})


class BadInput(unittest.TestCase):
    def refused(self, data, *extra):
        out = os.path.join(WORK, "bad.txt")
        proc = subprocess.run([sys.executable, os.path.join(HERE, "..", "..", "tools",
                                                            "train_network.py"),
                               data, out, "--epochs", "1", *extra],
                              capture_output=True, text=True)
        self.assertEqual(proc.returncode, 1, proc.stderr)
        messages = [line for line in proc.stderr.splitlines() if "train_network" in line]
        self.assertEqual(len(messages), 1, proc.stderr)
        self.assertTrue(proc.stderr.splitlines()[-1].startswith("train_network: "), proc.stderr)
        self.assertEqual(sorted(f for f in os.listdir(WORK) if f.startswith("bad")), [])
        return proc.stderr

    def test_refusals(self):
        with open(DATA, "rb") as handle:
            good = handle.read(8 + 32 * 50)
        truncated = os.path.join(WORK, "truncated.bin")
        with open(truncated, "wb") as handle:
            handle.write(good[:-5])
        self.assertIn("truncated after record 49", self.refused(truncated))
        malformed = os.path.join(WORK, "malformed.bin")
        with open(malformed, "wb") as handle:
            handle.write(good[:8 + 32 * 3 + 27] + b"\x07" + good[8 + 32 * 3 + 28:])
        self.assertIn("record 4 is malformed", self.refused(malformed))
        self.assertIn("width 129", self.refused(DATA, "--width", "129"))
        self.assertIn("not finite", self.refused(DATA, "--lr", "3e37"))
        self.assertIn("cannot read", self.refused(os.path.join(WORK, "missing.bin")))

    def test_generator_file_does_not_depend_on_jobs(self):
        contents = []
        for jobs in ("1", "3"):
            out = os.path.join(WORK, f"jobs{jobs}.bin")
            subprocess.run([DATAGEN, "-out", out, "-games", "6", "-nodes", "300", "-seed", "4",
                            "-jobs", jobs, "-openings", OPENINGS], check=True, capture_output=True)
            with open(out, "rb") as handle:
                contents.append(handle.read())
        self.assertGreater(len(contents[0]), 8 + 32 * 100)
        self.assertEqual(contents[0], contents[1])

    def test_generator_refusals(self):
        out = os.path.join(WORK, "bad_gen.bin")
        for args, message in ((["-games", "0"], "bad value for -games: 0"),
                              (["-nodes"], "missing value after -nodes"),
                              (["-openings", os.path.join(WORK, "none.txt")], "cannot read"),
                              (["-depth", "3"], "unknown option -depth")):
            proc = subprocess.run([DATAGEN, "-out", out, *args], capture_output=True, text=True)
            self.assertEqual(proc.returncode, 1, args)
            lines = proc.stderr.splitlines()
            self.assertEqual(len(lines), 1, proc.stderr)
            self.assertTrue(lines[0].startswith("datagen: " + message), proc.stderr)
        self.assertEqual(sorted(f for f in os.listdir(WORK) if f.startswith("bad")), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
