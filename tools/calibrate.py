#!/usr/bin/python3
"""Fits the virtual clock's cost table to this host and writes a cost file.

Runs a spread of searches, timed from outside: the bench
positions at successive depths (from a few tens to a few hundred milliseconds), under several configurations (evaluation extras on
and off, some search switches) so that the mix of operations varies. Each
search is repeated and its shortest time kept; the time is the processor time
the engine process used from "go" to "bestmove" (read through its CPU clock,
nanoseconds), so the fit describes this host with a core to itself even while
other work shares it (on a loaded machine the wall clock measures the load).
After each search "vsdump" gives the operation counters and "mobstat" the
mobility counters (counted only with a parameter set that weighs mobility, such
as tools/params/tuned.txt; their prices are printed as MOBSQ/MOBPC/MOBEV
settings, since the environment, not the cost file, prices them). Two
configurations play with a network (a random width-128 test network written by
tests/data/make_network.py, or the file --network names), so that its feature
updates and output computations get prices too, printed as NNFCOST/NNOCOST
settings (a network's load sets those costs from the environment, never from
the file). The per-operation costs are then fitted by non-negative
least squares on the relative error (every search counts alike, short or long),
and written as a cost file that names its own rate ("UNITS_PER_SECOND", a
picosecond per unit unless a cost would not fit 32 bits) so the costs are
meaningful whole numbers. A picture of modelled against measured time per
search is written beside the file.

Use: VCOSTFILE=build/host-costs.json build/kelmstrad

The fitted table is a model of this host: games stay reproducible everywhere,
but the strength matches the real clock only on the host it was fitted on.
Run on an idle machine; the tool warns when the repeated times disagree.

Needs Debian's python3-numpy, python3-scipy and python3-matplotlib (hence
/usr/bin/python3).
"""
import argparse
import ctypes
import ctypes.util
import json
import os
import re
import subprocess
import sys
import tempfile
import time

import numpy as np
from scipy.optimize import nnls

# The counters' names, as the engine's "costkeys" gives them (read_counter_names):
COUNTER_NAMES = []  # "vsdump"'s columns, then the mobility counters "mobstat" prints
# The mobility counters are priced by the environment (MOBSQ, MOBPC, MOBEV),
# not by the cost file, so the fit prints their prices for the user to set.
SIDE_KEYS = []
# Priced by the network when it loads, not by the cost file; the engine reads
# each one's price from the switch NAME + "COST" (NNFCOST), which the fit prints.
NETWORK_KEYS = {}
FILE_KEYS = []      # the keys the cost file prices
VSDUMP_COUNT = 0


def read_counter_names(engine_path):
    """Sets the lists above from the engine's "costkeys" lines."""
    global COUNTER_NAMES, SIDE_KEYS, NETWORK_KEYS, FILE_KEYS, VSDUMP_COUNT
    proc = subprocess.run([engine_path], input="costkeys\nquit\n", capture_output=True,
                          text=True, timeout=60)
    lines = {line.split()[1]: line.split()[2:] for line in proc.stdout.splitlines()
             if line.startswith("costkeys ") and len(line.split()) > 1}
    if proc.returncode != 0 or not all(k in lines for k in ("vsdump", "network", "mobstat")):
        raise RuntimeError(f"{engine_path} did not name its counters (\"costkeys\")")
    SIDE_KEYS = lines["mobstat"]
    NETWORK_KEYS = {k: k + "COST" for k in lines["network"]}
    COUNTER_NAMES = lines["vsdump"] + SIDE_KEYS
    FILE_KEYS = [k for k in COUNTER_NAMES if k not in list(NETWORK_KEYS) + SIDE_KEYS]
    VSDUMP_COUNT = len(lines["vsdump"])


INT32_MAX = 2**31 - 1
FINEST_RATE = 10**12  # one unit a picosecond
DEFAULT_RATE = 3546900  # the engine's units a second when a cost file names none
MIN_MS = 10           # shorter searches are dropped: start-up and output weigh too much
NOISE_LIMIT = 0.05    # repeats more than 5% apart make a search noisy
UNREACHED_MS = 10**9  # a movetime the measured searches never reach

# Configurations: (name, environment, UCI options). Switches in the
# environment are read once per process, so each configuration is one engine.
CONFIGS = [
    ("default", {}, {}),
    ("no-eval-extras", {}, {"Terms": "0"}),
    ("lean", {}, {"Lean": "true"}),
    ("no-lmr", {"NOLMR": "1"}, {}),
    ("no-pvs-no-futility", {"NOPVS": "1", "NOFUT": "1"}, {}),
    # The shipped parameters give mobility no weight, so it is never counted;
    # the tuned set weighs it, and its counters get a price of their own.
    ("mobility", {"PARAMS": os.path.join(os.path.dirname(os.path.abspath(__file__)), "params",
                                         "tuned.txt")}, {}),
]
# The network's own width-128 test network, when --network names none.
NETWORK_WIDTH = 128
NETWORK_SEED = 1


def network_configs(network):
    """The configurations that play with the network file `network`: the
    network alone, and the network added to the hand-made evaluation (so that
    the output's price is told apart from the evaluation's)."""
    return [("network", {"NNUE": network}, {}),
            ("network-residual", {"NNUE": network, "NNRES": "1"}, {})]


def write_test_network(path):
    """Writes the random test network of tests/data/make_network.py at `path`."""
    tool = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data",
                        "make_network.py")
    subprocess.run([sys.executable, tool, "--random", str(NETWORK_SEED), "--width",
                    str(NETWORK_WIDTH), path], check=True)


def bench_positions(source):
    """The FENs of the bench, in order, from the engine's source."""
    with open(source) as f:
        text = f.read()
    body = text[text.index("BENCH_FENS"):]
    body = body[:body.index("};")]
    return re.findall(r'"([^"]+/[^"]+)"', body)


class CpuClock(ctypes.Structure):
    _fields_ = [("seconds", ctypes.c_long), ("nanoseconds", ctypes.c_long)]


class Engine:
    """One engine process spoken to over UCI, with its processor-time clock."""

    def __init__(self, path, env, options, cost_file=None):
        full_env = dict(os.environ, **env)
        full_env.pop("VCOSTFILE", None)
        if cost_file:
            full_env["VCOSTFILE"] = cost_file
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     env=full_env, text=True, bufsize=1)
        self.libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.clock = ctypes.c_int()
        if self.libc.clock_getcpuclockid(self.proc.pid, ctypes.byref(self.clock)) != 0:
            raise RuntimeError("cannot read the engine's processor time")
        self.send("uci")
        self.read_until("uciok")
        for name, value in {"OwnBook": "false", **options}.items():
            self.send(f"setoption name {name} value {value}")

    def cpu_ms(self):
        t = CpuClock()
        if self.libc.clock_gettime(self.clock, ctypes.byref(t)) != 0:
            raise RuntimeError("cannot read the engine's processor time")
        return t.seconds * 1000.0 + t.nanoseconds / 1e6

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def read_until(self, prefix):
        """The lines up to and including the first that starts with prefix."""
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError(f"engine ended while waiting for {prefix!r}")
            lines.append(line.rstrip("\n"))
            if line.startswith(prefix):
                return lines

    def new_game_at(self, fen):
        """A new game from fen, the engine ready for "go"."""
        self.send("ucinewgame")
        self.send(f"position fen {fen}")
        self.send("isready")
        self.read_until("readyok")

    def search(self, fen, depth):
        """(processor ms, counters) of one search from a new game."""
        self.new_game_at(fen)
        start = self.cpu_ms()
        # The virtual clock runs, with a limit no search here reaches, so the
        # time includes its test at every node, as in a game on the fitted table.
        self.send(f"go depth {depth} movetime {UNREACHED_MS}")
        self.read_until("bestmove")
        ms = self.cpu_ms() - start
        self.send("vsdump")
        counts = [int(x) for x in self.read_until("vsdump")[-1].split()[1:]]
        if len(counts) != VSDUMP_COUNT:
            raise RuntimeError("unexpected vsdump line")
        self.send("mobstat")
        mobility = [int(x) for x in self.read_until("mobstat")[-1].split()[1:]]
        if len(mobility) != len(SIDE_KEYS):
            raise RuntimeError("unexpected mobstat line")
        return ms, counts + mobility

    def timed_move(self, fen, movetime, moves=()):
        """(wall-clock ms from "go movetime" to "bestmove", the move chosen)
        from fen after moves: a new game when no move is given, else the same
        game goes on, so the engine keeps what it learnt (its table)."""
        if moves:
            self.send(f"position fen {fen} moves {' '.join(moves)}")
        else:
            self.new_game_at(fen)
        start = time.monotonic()
        self.send(f"go movetime {movetime}")
        answer = self.read_until("bestmove")[-1].split()
        return (time.monotonic() - start) * 1000.0, answer[1] if len(answer) > 1 else "0000"

    def close(self):
        self.send("quit")
        self.proc.stdin.close()
        self.proc.wait()
        self.proc.stdout.close()


def measure(engine_path, positions, repeats, configs=CONFIGS, max_ms=150, extra_env=None):
    """Measures each position at successive depths from 3 while a search takes
    less than max_ms; searches of MIN_MS or more are repeated `repeats` times.
    Returns a list of measurement records."""
    records = []
    total = len(configs) * len(positions)
    done = 0
    for name, env, options in configs:
        engine = Engine(engine_path, {**env, **(extra_env or {})}, options)
        for index, fen in enumerate(positions):
            done += 1
            for depth in range(3, 30):
                times = []
                for r in range(repeats):
                    sys.stderr.write(f"\rmeasuring {done}/{total}: {name}, position {index + 1}, "
                                     f"depth {depth}, run {r + 1}/{repeats}   ")
                    sys.stderr.flush()
                    ms, counts = engine.search(fen, depth)
                    times.append(ms)
                    if ms < MIN_MS:
                        break  # too short to time, and not recorded
                if min(times) >= MIN_MS:
                    records.append({"config": name, "position": index + 1, "depth": depth,
                                    "ms": times, "counts": counts})
                if min(times) >= max_ms:
                    break  # deeper would only take longer
        engine.close()
    sys.stderr.write("\n")
    return records


def fit(counts, seconds):
    """Non-negative costs (seconds per count) minimising the relative error.

    Each row is divided by its measured time, so every search weighs alike;
    columns are scaled to unit length for the solver, never-counted
    operations get cost 0, and the costs are scaled so that the median search
    is modelled at its measured time.
    """
    a = np.asarray(counts, dtype=float) / np.asarray(seconds, dtype=float)[:, None]
    norms = np.linalg.norm(a, axis=0)
    used = norms > 0
    costs = np.zeros(a.shape[1])
    if used.any():
        x, _ = nnls(a[:, used] / norms[used], np.ones(a.shape[0]))
        costs[used] = x / norms[used]
    # Noisy times shrink a least-squares fit of ratios toward zero; one common
    # factor brings the median search back to modelled = measured.
    ratios = a @ costs
    if np.median(ratios) > 0:
        costs /= np.median(ratios)
    return costs


def summary(counts, seconds, costs):
    """R^2, and the per-search modelled/measured ratios."""
    model = np.asarray(counts, dtype=float) @ costs
    t = np.asarray(seconds, dtype=float)
    residual = np.sum((t - model) ** 2)
    spread = np.sum((t - t.mean()) ** 2)
    r2 = 1.0 - residual / spread if spread > 0 else float("nan")
    return r2, model / t


def cost_table(costs):
    """(rate, {key: whole units}) or (None, reason) when no cost is positive.

    The rate is the finest power of ten, at most a picosecond a unit, at which
    every cost fits 32 bits.
    """
    by_key = dict(zip(COUNTER_NAMES, costs))
    largest = max(by_key[k] for k in FILE_KEYS)
    rate = FINEST_RATE
    while rate > 1 and largest * rate > INT32_MAX:
        rate //= 10
    units = {k: int(round(by_key[k] * rate)) for k in FILE_KEYS}
    if max(units.values()) <= 0:
        return None, ("no operation has a positive cost in the fit (every counter was zero, "
                      "or no cost reaches one unit): the virtual clock would stand still")
    if units["SLCALLS"] == 0 and units["SEEL"] > 0:
        units["SLCALLS"] = 1  # 0 would make the engine price these lookups as SEEL
    return rate, units


def side_prices(costs, rate):
    """The environment settings that price the mobility counters at `rate`."""
    by_key = dict(zip(COUNTER_NAMES, costs))
    return " ".join(f"{k}={int(round(by_key.get(k, 0.0) * rate))}" for k in SIDE_KEYS)


def network_prices(costs, rate, counts):
    """The settings that price the network's counters at `rate` ("NNFCOST=..
    NNOCOST=.."), or "" when no measured search counted them (no network
    played: a price of 0 would make a network free)."""
    by_key = dict(zip(COUNTER_NAMES, costs))
    totals = np.asarray(counts, dtype=float).sum(axis=0)
    if not all(totals[COUNTER_NAMES.index(k)] > 0 for k in NETWORK_KEYS):
        return ""
    return " ".join(f"{v}={int(round(by_key[k] * rate))}" for k, v in NETWORK_KEYS.items())


def write_cost_file(path, rate, units):
    """A one-line JSON object the engine's cost reader takes: every key, then the rate."""
    members = [f'"{k}": {units[k]}' for k in FILE_KEYS if k in units]
    members += [f'"UNITS_PER_SECOND": {rate}']
    with open(path, "w") as f:
        f.write("{" + ", ".join(members) + "}\n")


# The real-time guard the host profile sets: a search whose real time passes
# its hard limit by more than this percentage is stopped (see RTGUARD).
HOST_GUARD_PERCENT = 50


def write_host_profile(path, cost_file, side, extra_env):
    """A profile beside the table: the table (by its name, found beside the
    profile), the side prices the fit printed, the switches the table was
    fitted with, and the real-time guard, so that reproducible games at this
    host's speed are one argument: kelmstrad --profile PATH."""
    folder = os.path.dirname(os.path.abspath(path))
    table = os.path.relpath(os.path.abspath(cost_file), folder)
    lines = ["# Written by tools/calibrate.py: the virtual clock with the cost table",
             "# fitted to this host. Use: kelmstrad --profile " + path,
             f"VCOSTFILE={table}"]
    lines += side.split()
    given = {k for k in ("VCOSTFILE", "RTGUARD") if k in extra_env}
    given |= {item.split("=", 1)[0] for item in side.split()}
    lines += ["# The switches the table was fitted with."] if any(
        k not in given for k in extra_env) else []
    lines += [f"{k}={v}" for k, v in extra_env.items() if k not in given]
    lines += ["# A move whose real time passes its hard limit by more than "
              f"{HOST_GUARD_PERCENT}% is cut short",
              "# (that game is then no longer reproducible, and the engine says so).",
              f"RTGUARD={HOST_GUARD_PERCENT}"]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def draw(path, measured, model, configs):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7, 7))
    for name in dict.fromkeys(configs):
        sel = [i for i, c in enumerate(configs) if c == name]
        ax.scatter(measured[sel] * 1000, model[sel] * 1000, s=12, label=name)
    lo = min(measured.min(), model.min()) * 1000 * 0.8
    hi = max(measured.max(), model.max()) * 1000 * 1.25
    ax.plot([lo, hi], [lo, hi], color="black", linewidth=1, label="modelled = measured")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlim(lo, hi)
    ax.set_ylim(lo, hi)
    ax.set_xlabel("measured time (ms of processor time)")
    ax.set_ylabel("modelled time (ms, fitted cost table)")
    ax.set_title("Cost table fitted to this host: one point per search")
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def report(records, costs, out):
    """Prints the fit; returns (r2, ratios)."""
    counts = [r["counts"] for r in records]
    seconds = np.array([min(r["ms"]) / 1000.0 for r in records])
    r2, ratios = summary(counts, seconds, costs)
    out.write(f"{len(records)} searches fitted\n")
    out.write("cost per operation (ns):\n")
    totals = np.asarray(counts, dtype=float).sum(axis=0)
    for key, cost, total in zip(COUNTER_NAMES, costs, totals):
        if key not in NETWORK_KEYS or total > 0:
            out.write(f"  {key:<11} {cost * 1e9:9.3f}\n")
    off = np.sort(np.abs(ratios - 1.0))
    worst = off[int(0.9 * len(off)):]
    out.write(f"R^2 {r2:.4f}\n")
    out.write(f"modelled/measured per search: median {np.median(ratios):.3f}, "
              f"worst 10% off by {worst.min() * 100:.1f}% to {worst.max() * 100:.1f}%\n")
    spreads = np.array([(np.median(r["ms"]) - min(r["ms"])) / min(r["ms"]) for r in records])
    noisy = spreads > NOISE_LIMIT
    if noisy.mean() > 0.1:
        out.write(f"warning: measured times are noisy: {noisy.sum()} of {len(records)} searches "
                  f"have repeats more than {NOISE_LIMIT * 100:.0f}% apart (median spread "
                  f"{np.median(spreads) * 100:.1f}%); run on an idle machine\n")
    return seconds, counts, ratios


def check(engine_path, cost_file, positions, movetime, out, extra_env=None, moves=1):
    """Plays "go movetime" on the virtual clock with the cost file, `moves`
    moves of a game from each position (the engine playing both sides, as in
    a match where it keeps its table), and prints the real (wall) time each
    took against the budget: the table's accuracy as a user sees it. Returns
    the ratios."""
    engine = Engine(engine_path, extra_env or {}, {}, cost_file=cost_file)
    ratios = []
    out.write(f"go movetime {movetime} on the virtual clock with {cost_file}"
              f"{f', {moves} moves a game' if moves > 1 else ''}:\n")
    out.write("position  wall ms   ratio\n")
    for index, fen in enumerate(positions):
        played = []
        for _ in range(moves):
            ms, move = engine.timed_move(fen, movetime, played)
            ratios.append(ms / movetime)
            out.write(f"{index + 1:8d} {ms:8.0f} {ms / movetime:7.3f}\n")
            out.flush()
            if move == "0000" or move.startswith("("):
                break  # the game is over
            played.append(move)
    engine.close()
    ratios = np.array(ratios)
    worst = np.abs(ratios - 1.0).max()
    out.write(f"median ratio {np.median(ratios):.3f}, worst off by {worst * 100:.1f}% "
              f"(lowest {ratios.min():.3f}, highest {ratios.max():.3f})\n")
    return ratios


def scale_table(path, factor):
    """Multiplies every price of the cost file at path by factor (a table
    whose moves took factor times their budget then takes about the budget);
    returns the rate written, a tenth of the old one when a price would pass
    32 bits."""
    with open(path) as f:
        table = json.load(f)
    rate = int(table.get("UNITS_PER_SECOND", DEFAULT_RATE))
    scaled = {k: table[k] * factor for k in FILE_KEYS if k in table}  # absent: the default
    while rate > 1 and max(scaled.values()) > INT32_MAX:
        rate //= 10
        scaled = {k: v / 10 for k, v in scaled.items()}
    write_cost_file(path, rate, {k: int(round(v)) for k, v in scaled.items()})
    return rate


def scaled_side_prices(extra_env, factor, old_rate, new_rate):
    """The side prices among the switches (mobility, network), scaled like
    the table: "NAME=VALUE ..."."""
    names = SIDE_KEYS + list(NETWORK_KEYS.values())
    return " ".join(f"{k}={int(round(int(extra_env[k]) * factor * new_rate / old_rate))}"
                    for k in names if k in extra_env)


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--engine", default=os.path.join(here, "..", "build", "kelmstrad"))
    p.add_argument("--out", default=os.path.join(here, "..", "build", "host-costs.json"),
                   help="cost file to write (the picture goes beside it, .png)")
    p.add_argument("--max-ms", type=int, default=150,
                   help="deepen each position until a search takes this long")
    p.add_argument("--repeats", type=int, default=3, help="runs of each search (minimum kept)")
    p.add_argument("--positions", type=int, default=40, help="first N bench positions")
    p.add_argument("--stride", type=int, default=1, help="only every Nth of those positions")
    p.add_argument("--configs", type=int, default=len(CONFIGS),
                   help=f"first N configurations of: {', '.join(c[0] for c in CONFIGS)}")
    p.add_argument("--network", help="the network file of the network configurations "
                                      "(default: a random width-128 test network); the "
                                      "NNFCOST/NNOCOST prices fit its width")
    p.add_argument("--no-network", action="store_true",
                   help="leave out the network configurations")
    p.add_argument("--bench-source", default=os.path.join(here, "..", "src", "driver",
                                                          "bench.cpp"))
    p.add_argument("--profile", help="the profile to write (default: host.profile beside "
                                      "the cost file)")
    p.add_argument("--save", help="also write the measurements to this JSON file")
    p.add_argument("--measurements", help="fit these saved measurements instead of measuring")
    p.add_argument("--check", type=int, metavar="MS",
                   help="do not fit: time 'go movetime MS' on each bench position on the "
                        "virtual clock with the cost file --out names")
    p.add_argument("--moves", type=int, default=1, metavar="N",
                   help="with --check: play N moves of a game from each position, the "
                        "engine keeping its table as in a match (default 1)")
    p.add_argument("--scale", action="store_true",
                   help="with --check: multiply the cost file's prices, and the side prices "
                        "given with --env, by the median real/virtual ratio, so moves take "
                        "about their budget under these settings; writes the profile")
    p.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                   help="a switch for every engine the tool starts (repeatable), e.g. the "
                        "settings of a profile the table or the check is for")
    args = p.parse_args(argv)
    if any("=" not in item or item.startswith("=") for item in args.env):
        p.error("--env takes NAME=VALUE")
    extra_env = dict(item.split("=", 1) for item in args.env)
    read_counter_names(args.engine)

    if (args.moves != 1 or args.scale) and not args.check:
        p.error("--moves and --scale go with --check")
    if args.moves < 1:
        p.error("--moves takes a count of at least 1")
    if args.scale:  # scaled as integers, the engine reads them as integers
        for k in SIDE_KEYS + list(NETWORK_KEYS.values()):
            if k in extra_env and not extra_env[k].lstrip("-").isdigit():
                p.error(f"--scale: {k}={extra_env[k]} is not a whole price")
    profile = args.profile or os.path.join(os.path.dirname(args.out) or ".", "host.profile")
    if args.check:
        positions = bench_positions(args.bench_source)[:args.positions:args.stride]
        ratios = check(args.engine, args.out, positions, args.check, sys.stdout, extra_env,
                       args.moves)
        if args.scale:
            factor = float(np.median(ratios))
            with open(args.out) as f:
                old_rate = int(json.load(f).get("UNITS_PER_SECOND", DEFAULT_RATE))
            rate = scale_table(args.out, factor)
            side = scaled_side_prices(extra_env, factor, old_rate, rate)
            print(f"scaled {args.out} by {factor:.3f} ({rate} units per second)")
            if side:
                print(f"side prices (set in the environment with it): {side}")
            write_host_profile(profile, args.out, side, extra_env)
            print(f"wrote {profile}: kelmstrad --profile {profile}")
        return 0
    if args.measurements:
        with open(args.measurements) as f:
            records = json.load(f)
        for r in records:  # saved before the mobility counters were read
            r["counts"] += [0] * (len(COUNTER_NAMES) - len(r["counts"]))
    else:
        positions = bench_positions(args.bench_source)[:args.positions:args.stride]
        configs = CONFIGS[:args.configs]
        with tempfile.TemporaryDirectory() as folder:
            if not args.no_network:
                network = args.network
                if network is None:
                    network = os.path.join(folder, "network.txt")
                    write_test_network(network)
                configs = configs + network_configs(os.path.abspath(network))
            records = measure(args.engine, positions, args.repeats, configs, args.max_ms,
                              extra_env)
        if args.save:
            with open(args.save, "w") as f:
                json.dump(records, f)
    if not records:
        sys.stderr.write("calibrate: no search lasted long enough to measure; "
                         "no cost file written\n")
        return 1
    seconds = [min(r["ms"]) / 1000.0 for r in records]
    costs = fit([r["counts"] for r in records], seconds)
    seconds, counts, ratios = report(records, costs, sys.stdout)
    rate, units = cost_table(costs)
    if rate is None:
        sys.stderr.write(f"calibrate: {units}; no cost file written\n")
        return 1
    write_cost_file(args.out, rate, units)
    picture = os.path.splitext(args.out)[0] + ".png"
    draw(picture, seconds, np.asarray(counts, dtype=float) @ costs,
         [r["config"] for r in records])
    print(f"wrote {args.out} ({rate} units per second) and {picture}")
    side = side_prices(costs, rate)
    print(f"mobility (not in the file; set in the environment with it): {side}")
    network = network_prices(costs, rate, counts)
    if network:
        print(f"network (not in the file; set in the environment with it): {network}")
        side = f"{side} {network}"
    write_host_profile(profile, args.out, side, extra_env)
    print(f"wrote {profile}: kelmstrad --profile {profile}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
