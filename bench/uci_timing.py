#!/usr/bin/env python3
"""Real-time figures of the engine, measured from outside over UCI.

  uci_timing.py ENGINE [--movetime MS] [--repeats N]

Prints, for the start position and three middlegames:
  - nodes per second with "VirtualClock false" and "go movetime MS" (default 5000);
  - the real milliseconds that "go movetime 1000" takes on the virtual clock
    (one virtual second of search);
  - the real milliseconds from "stop" to "bestmove" during "go infinite".
"""
import argparse
import re
import subprocess
import time

POSITIONS = {
    "start": "startpos",
    "queens-gambit": "fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    "kiwipete": "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "italian": "fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
}


class Engine:
    def __init__(self, path):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True, bufsize=1)
        self.send("setoption name OwnBook value false")

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def read_until(self, prefix):
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("engine ended")
            lines.append(line.rstrip("\n"))
            if line.startswith(prefix):
                return lines

    def close(self):
        self.send("quit")
        self.proc.wait(timeout=10)


def last_info(lines):
    infos = [l for l in lines if l.startswith("info depth")]
    return infos[-1] if infos else ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("engine")
    parser.add_argument("--movetime", type=int, default=5000)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()
    engine = Engine(args.engine)

    print(f"Real clock, go movetime {args.movetime}:")
    engine.send("setoption name VirtualClock value false")
    for name, pos in POSITIONS.items():
        engine.send("ucinewgame")
        engine.send(f"position {pos}")
        engine.send(f"go movetime {args.movetime}")
        info = last_info(engine.read_until("bestmove"))
        nodes = int(re.search(r" nodes (\d+)", info).group(1))
        ms = int(re.search(r" time (\d+)", info).group(1))
        print(f"  {name:14s} {nodes:10d} nodes in {ms:5d} ms = {nodes * 1000 / max(ms, 1) / 1e6:.2f} M nps")

    print("Virtual clock, go movetime 1000 (one virtual second), real ms:")
    engine.send("setoption name VirtualClock value true")
    for name, pos in POSITIONS.items():
        engine.send("ucinewgame")
        engine.send(f"position {pos}")
        start = time.perf_counter()
        engine.send("go movetime 1000")
        engine.read_until("bestmove")
        print(f"  {name:14s} {(time.perf_counter() - start) * 1000:8.2f} ms")

    print("Reaction: stop to bestmove during go infinite, real ms:")
    engine.send("setoption name VirtualClock value false")
    for _ in range(args.repeats):
        engine.send("ucinewgame")
        engine.send("position startpos")
        engine.send("go infinite")
        time.sleep(0.3)
        start = time.perf_counter()
        engine.send("stop")
        engine.read_until("bestmove")
        print(f"  {(time.perf_counter() - start) * 1000:8.2f} ms")
    engine.close()


if __name__ == "__main__":
    main()
