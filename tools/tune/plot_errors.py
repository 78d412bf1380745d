#!/usr/bin/python3
"""Draws the training and held-out error per pass of a tuning run.

usage: plot_errors.py ERRORS.csv OUT.png
The CSV is what tools/tune writes: a header "pass,train,valid", then one row a pass
(pass 0 is the start values). Needs matplotlib (Debian: python3-matplotlib).
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], newline="") as f:
        rows = list(csv.DictReader(f))
    if not rows:
        sys.exit("plot_errors.py: no rows in " + sys.argv[1])
    passes = [int(r["pass"]) for r in rows]
    train = [float(r["train"]) for r in rows]
    valid = [float(r["valid"]) for r in rows]
    best = min(range(len(valid)), key=valid.__getitem__)
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot(passes, train, marker=".", label="training")
    ax.plot(passes, valid, marker=".", label="held out")
    ax.axvline(passes[best], color="grey", linestyle=":", label="best pass %d" % passes[best])
    ax.set_xlabel("pass")
    ax.set_ylabel("mean squared error")
    ax.set_title("Evaluation tuning")
    ax.legend()
    ax.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=100)


if __name__ == "__main__":
    main()
