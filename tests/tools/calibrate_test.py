#!/usr/bin/python3
"""Checks tools/calibrate.py: the fit recovers known costs (the network's
among them, counted only by the searches that play with one), the engine
reads back the cost file it writes (the mobility and network prices go to the
environment), "--check --scale" rescales a table by the real time of its
moves, the network configurations count the network's operations, and
a fit without a positive cost writes nothing.

Argument: the engine binary."""
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "tools", "calibrate.py")
sys.path.insert(0, os.path.dirname(TOOL))
import calibrate  # noqa: E402

ENGINE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "build",
                                                                 "kelmstrad")
calibrate.read_counter_names(ENGINE)


class Fit(unittest.TestCase):
    def test_recovers_known_costs(self):
        rng = np.random.default_rng(7)
        n, k = 80, len(calibrate.COUNTER_NAMES)
        counts = rng.integers(0, 10**6, size=(n, k))
        nnf, nno = (calibrate.COUNTER_NAMES.index(key) for key in ("NNF", "NNO"))
        # Only the searches of the network configurations count the network.
        counts[: n // 2, [nnf, nno]] = 0
        true = rng.uniform(1e-9, 50e-9, size=k)
        true[[3, 10, 20]] = 0.0  # operations that cost nothing
        seconds = counts @ true
        fitted = calibrate.fit(counts, seconds)
        np.testing.assert_allclose(fitted, true, rtol=1e-6, atol=1e-15)
        self.assertEqual(calibrate.network_prices(fitted, 10**12, counts),
                         f"NNFCOST={round(true[nnf] * 1e12)} NNOCOST={round(true[nno] * 1e12)}")
        # With a percent of noise on the times every search is still modelled within 2%.
        noisy = seconds * rng.uniform(0.99, 1.01, size=n)
        fitted = calibrate.fit(counts, noisy)
        r2, ratios = calibrate.summary(counts, noisy, fitted)
        self.assertGreater(r2, 0.99)
        self.assertLess(np.max(np.abs(ratios - 1)), 0.02)
        # Without a search that counted them there is no price to give.
        counts[:, nnf] = 0
        self.assertEqual(calibrate.network_prices(calibrate.fit(counts, counts @ true), 10**12,
                                                  counts), "")


class CostFile(unittest.TestCase):
    def test_engine_reads_back_what_the_tool_writes(self):
        # Every key its own cost, in milliseconds: the engine's tused after a
        # search must match the total the tool computes from vsdump's counters.
        costs = np.array([(i + 1) * 1e-3 for i in range(len(calibrate.COUNTER_NAMES))])
        rate, units = calibrate.cost_table(costs)
        self.assertEqual(rate, 10**10)  # 35 ms at a picosecond would pass 32 bits
        self.assertEqual(units["MAKE"], 8 * 10**7)
        # The mobility counters are not in the file: they are priced by the environment.
        self.assertNotIn("MOBSQ", units)
        self.assertEqual(calibrate.side_prices(costs, rate),
                         "MOBSQ=360000000 MOBPC=370000000 MOBEV=380000000")
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "costs.json")
            calibrate.write_cost_file(path, rate, units)
            with open(path) as f:
                self.assertEqual(json.load(f)["UNITS_PER_SECOND"], rate)
            env = dict(os.environ, VCOSTFILE=path, KLMRAW="1")
            engine = subprocess.Popen([ENGINE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      env=env, text=True)
            engine.stdin.write("setoption name OwnBook value false\nposition fen r1bqkbnr/pppp1"
                               "ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3\ngo depth 3\n")
            engine.stdin.flush()
            out = ""
            while not out.endswith("\n") or not out.splitlines()[-1].startswith("bestmove"):
                out += engine.stdout.readline()
            # "vsdump" only after the answer: any command but stop ends a search.
            out += engine.communicate("vsdump\n", timeout=60)[0]
        tused = int(re.search(r"info string tused (\d+) ", out).group(1))
        counts = [int(x) for x in re.search(r"^vsdump (.*)$", out, re.M).group(1).split()]
        priced = [units.get(k, 0) for k in calibrate.COUNTER_NAMES]  # NNF, NNO: 0
        self.assertGreater(sum(c > 0 for c in counts), 10)
        # tused is printed before the ponder move is looked up, which charges a
        # few more operations by the time of "vsdump".
        modelled = sum(u * c for u, c in zip(priced, counts)) * 1000 // rate
        self.assertLessEqual(tused, modelled)
        self.assertGreater(tused, modelled * 0.995)
        self.assertNotIn("UNITS_PER_SECOND", out)

    def test_host_profile_names_the_table(self):
        # A fit from saved measurements writes host.profile beside the table:
        # the table, the side prices, the --env switches and the guard; the
        # engine starts with it and searches on that table.
        rng = np.random.default_rng(3)
        records = [{"config": "default", "position": i, "depth": 4, "ms": [float(m)],
                    "counts": [int(c) for c in rng.integers(1, 10**5, len(calibrate.COUNTER_NAMES))]}
                   for i, m in enumerate(rng.uniform(20, 200, 60))]
        with tempfile.TemporaryDirectory() as tmp:
            saved = os.path.join(tmp, "m.json")
            with open(saved, "w") as f:
                json.dump(records, f)
            out = os.path.join(tmp, "host-costs.json")
            proc = subprocess.run([TOOL, "--engine", ENGINE, "--measurements", saved, "--out", out,
                                   "--env", "TTENT=4096"], capture_output=True, text=True)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            side = re.findall(r"set in the environment with it\): (.*)$", proc.stdout, re.M)
            profile = os.path.join(tmp, "host.profile")
            with open(profile) as f:
                settings = [line for line in f.read().splitlines() if not line.startswith("#")]
            self.assertEqual(settings, ["VCOSTFILE=host-costs.json"] + " ".join(side).split() +
                             ["TTENT=4096", "RTGUARD=50"])
            self.assertEqual([item.split("=")[0] for item in " ".join(side).split()],
                             calibrate.SIDE_KEYS + ["NNFCOST", "NNOCOST"])
            proc = subprocess.run([ENGINE, "--profile", profile], input="uci\nquit\n",
                                  capture_output=True, text=True, timeout=60)
            self.assertEqual((proc.returncode, proc.stderr), (0, ""))
            self.assertIn("uciok", proc.stdout)

    def test_check_in_play_scales_the_table(self):
        # "--check --moves --scale" plays short games on the table, then
        # multiplies every price (the side prices given with --env too) by the
        # median real/virtual ratio it prints, and writes the profile.
        costs = np.array([(i + 1) * 1e-9 for i in range(len(calibrate.COUNTER_NAMES))])
        rate, units = calibrate.cost_table(costs)
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "t.json")
            calibrate.write_cost_file(out, rate, units)
            proc = subprocess.run([TOOL, "--engine", ENGINE, "--out", out, "--check", "20",
                                   "--moves", "3", "--positions", "2", "--scale",
                                   "--env", "MOBSQ=1000", "--env", "TTENT=4096"],
                                  capture_output=True, text=True, timeout=120)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            timed = re.findall(r"^ +\d+ +\d+ +([\d.]+)$", proc.stdout, re.M)
            self.assertEqual(len(timed), 6)
            factor = float(re.search(r"scaled .* by ([\d.]+) ", proc.stdout).group(1))
            self.assertAlmostEqual(factor, float(np.median([float(r) for r in timed])), delta=0.002)
            with open(out) as f:
                table = json.load(f)
            scale = factor * table["UNITS_PER_SECOND"] / rate
            for key in ("MAKE", "GENT"):
                self.assertAlmostEqual(table[key] / (units[key] * scale), 1, delta=0.002)
            with open(os.path.join(tmp, "host.profile")) as f:
                settings = [line for line in f.read().splitlines() if not line.startswith("#")]
            self.assertEqual(settings[0], "VCOSTFILE=t.json")
            self.assertAlmostEqual(int(settings[1].split("=")[1]) / (1000 * scale), 1, delta=0.002)
            self.assertEqual(settings[2:], ["TTENT=4096", "RTGUARD=50"])
            # A side price that is not a whole number is refused before anything is played.
            with open(out) as f:
                before = f.read()
            proc = subprocess.run([TOOL, "--engine", ENGINE, "--out", out, "--check", "20",
                                   "--scale", "--env", "NNFCOST=12.5"],
                                  capture_output=True, text=True, timeout=60)
            self.assertEqual(proc.returncode, 2)
            self.assertIn("--scale: NNFCOST=12.5 is not a whole price", proc.stderr)
            with open(out) as f:
                self.assertEqual(f.read(), before)
        # A price that would pass 32 bits moves the table to a coarser rate.
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "t.json")
            calibrate.write_cost_file(path, 10**12, {"MAKE": 2 * 10**9, "GENT": 10})
            self.assertEqual(calibrate.scale_table(path, 1.5), 10**11)
            with open(path) as f:
                self.assertEqual(json.load(f), {"MAKE": 3 * 10**8, "GENT": 2,
                                                "UNITS_PER_SECOND": 10**11})

    def test_network_configurations_count_the_network(self):
        # The test network plays: each short search counts feature updates
        # (at least two a make) and output computations, the residual one the
        # hand-made evaluation's full path as well.
        with tempfile.TemporaryDirectory() as tmp:
            network = os.path.join(tmp, "net.txt")
            calibrate.write_test_network(network)
            with open(network) as f:
                self.assertEqual(f.readline().split(), [str(calibrate.NETWORK_WIDTH)])
            fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"
            configs = calibrate.network_configs(network)
            records = calibrate.measure(ENGINE, [fen], 1, configs, max_ms=calibrate.MIN_MS)
        self.assertEqual({r["config"] for r in records}, {"network", "network-residual"})
        index = {k: calibrate.COUNTER_NAMES.index(k) for k in ("MAKE", "NNF", "NNO", "EVALX")}
        for r in records:
            c = {k: r["counts"][i] for k, i in index.items()}
            self.assertGreaterEqual(c["NNF"], 2 * c["MAKE"], r["config"])
            self.assertGreater(c["NNO"], 0, r["config"])
            self.assertEqual(c["EVALX"] > 0, r["config"] == "network-residual")

    def test_no_positive_cost_writes_nothing(self):
        records = [{"config": "default", "position": 1, "depth": 6, "ms": [30, 31],
                    "counts": [0] * len(calibrate.COUNTER_NAMES)}]
        with tempfile.TemporaryDirectory() as tmp:
            saved = os.path.join(tmp, "m.json")
            with open(saved, "w") as f:
                json.dump(records, f)
            out = os.path.join(tmp, "costs.json")
            proc = subprocess.run([TOOL, "--engine", ENGINE, "--measurements", saved, "--out", out],
                                  capture_output=True, text=True)
            self.assertEqual(proc.returncode, 1)
            self.assertIn("no operation has a positive cost", proc.stderr)
            self.assertIn("no cost file written", proc.stderr)
            self.assertFalse(os.path.exists(out))
        # Costs below half a unit at the finest rate round to nothing as well.
        self.assertIsNone(calibrate.cost_table(np.full(35, 1e-13))[0])


if __name__ == "__main__":
    unittest.main()
