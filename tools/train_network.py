#!/usr/bin/python3
"""Trains the engine's evaluation network on packed self-play positions.

  tools/train_network.py DATA [DATA ...] OUT [--width N] [--epochs N] [--lambda L] ...

DATA is a file written by build/tools/datagen (the "KLMPOS01" format described
in tools/train_data/packed.h); several files are read as one set. OUT receives the network in the engine's text
format (load it with NNUE=OUT), written through OUT.tmp and a rename; a PNG of
the training and held-out loss per epoch goes beside it (OUT with .png).

What is trained is what plays: the forward pass below is the engine's, with
its integers. Feature weights and hidden biases are 16-bit integers at a scale
where 127 is the top of the clip (a float weight of 1.0 is 127); the
accumulator of each view is clipped to 0..127; the 2N output weights are
integers of -128..127 (a float of 1.0 is OUTPUT_WEIGHT_SCALE); the output bias
is a 32-bit integer; the sum is shifted right by 4 (the network's raw output)
and scaled by NNSCALE/64 (the evaluation in network-only mode). Training
rounds every weight to its integer in the forward pass and passes gradients
straight through the rounding, so the exported integers give the trained
outputs exactly.

Loss: mean squared error between sigmoid(eval / K) and the target
LAMBDA * sigmoid(search score / K) + (1 - LAMBDA) * game result, all for the
side to move; K is fitted to the training set (the scale at which the search
scores best predict the results) unless --scale gives it.

With --residual the network is trained as the engine plays it under NNRES: its
raw output (NNSCALE does not apply) is added to the engine's hand-made
evaluation of each position, which --engine computes once before training
(with the PARAMS of the environment, as the engine will play).

Bad input (unreadable, truncated or malformed data, a width outside 1..128, a
loss that is not finite) ends with one message and exit status 1, and no file
is written.
"""
import argparse
import math
import os
import sys
import time

import numpy as np
import torch

MAGIC = b"KLMPOS01"
RECORD_BYTES = 32
INPUTS = 768
PAD_INPUT = INPUTS  # a zero row that pads the feature lists to 32 pieces
MAX_PIECES = 32
MAX_WIDTH = 128
CLIP_TOP = 127
OUTPUT_WEIGHT_SCALE = 64
OUTPUT_SHIFT = 4
OUTPUT_BIAS_SCALE = 16 * 100  # a float bias of 1.0 is 100 centipawns of raw output
FEATURE_LIMIT = 1000  # 32 pieces * 1000 + the bias limit stays inside 16 bits
BIAS_LIMIT = 32767 - MAX_PIECES * FEATURE_LIMIT
INT32_LIMIT = 2**31 - 1


class BadInput(Exception):
    """Input the trainer refuses: the message is printed and nothing written."""


# ---------------------------------------------------------------- data

def read_packed(path):
    """The records of a packed file as a dict of numpy arrays.

    pieces: (n, 64) piece codes by square (a1 = 0), score: White's centipawns,
    black: 1 when Black is to move, result: 0, 1, 2 for White.
    """
    try:
        raw = np.fromfile(path, dtype=np.uint8)
    except OSError as error:
        raise BadInput(f"cannot read {path}: {error.strerror}") from error
    if raw.size < len(MAGIC) or raw[:len(MAGIC)].tobytes() != MAGIC:
        raise BadInput(f"{path}: not a position file (no KLMPOS01 header)")
    body = raw[len(MAGIC):]
    if body.size % RECORD_BYTES != 0:
        raise BadInput(f"{path}: truncated after record {body.size // RECORD_BYTES}")
    rec = body.reshape(-1, RECORD_BYTES)
    n = rec.shape[0]
    occupied = np.unpackbits(rec[:, 0:8], axis=1, bitorder="little").astype(bool)
    nibbles = np.empty((n, MAX_PIECES), dtype=np.uint8)
    nibbles[:, 0::2] = rec[:, 8:24] & 15
    nibbles[:, 1::2] = rec[:, 8:24] >> 4
    count = occupied.sum(axis=1)
    rank = np.clip(np.cumsum(occupied, axis=1) - 1, 0, MAX_PIECES - 1)
    pieces = np.where(occupied, np.take_along_axis(nibbles, rank, axis=1), 0)
    kind = pieces & 7
    unused = np.arange(MAX_PIECES)[None, :] >= count[:, None]
    bad = ((count > MAX_PIECES) | (occupied & ((kind < 1) | (kind > 6))).any(axis=1)
           | (unused & (nibbles != 0)).any(axis=1) | (rec[:, 26] > 1) | (rec[:, 27] > 2)
           | (rec[:, 28] > 15) | (rec[:, 29] > 64) | (rec[:, 31] != 0))
    if bad.any():
        raise BadInput(f"{path}: record {int(np.argmax(bad)) + 1} is malformed")
    score = rec[:, 24].astype(np.int16) | (rec[:, 25].astype(np.int16) << 8)
    return {"pieces": pieces.astype(np.int64), "score": score.astype(np.int64),
            "black": rec[:, 26].astype(np.int64), "result": rec[:, 27].astype(np.int64)}


def read_all(paths):
    """The records of several packed files, in order, as one set."""
    parts = [read_packed(path) for path in paths]
    return {k: np.concatenate([p[k] for p in parts]) for k in parts[0]}


def feature_lists(pieces):
    """The input indices of both views, (n, 32) each, padded with PAD_INPUT.

    A piece of colour c and kind k on square q is input (c == view ? 0 : 384)
    + (k - 1) * 64 + q seen by White, with q ^ 56 seen by Black.
    """
    n = pieces.shape[0]
    white = np.full((n, MAX_PIECES), PAD_INPUT, dtype=np.int64)
    black = np.full((n, MAX_PIECES), PAD_INPUT, dtype=np.int64)
    rows, squares = np.nonzero(pieces)
    slot = np.cumsum(pieces != 0, axis=1)[rows, squares] - 1
    code = pieces[rows, squares]
    kind_base = ((code & 7) - 1) * 64
    is_black = (code & 8) != 0
    white[rows, slot] = np.where(is_black, 384, 0) + kind_base + squares
    black[rows, slot] = np.where(is_black, 0, 384) + kind_base + (squares ^ 56)
    return white, black


def position_fens(data):
    """The FEN of each record, castling and en passant left out (the network ignores them)."""
    letters = " PNBRQK  pnbrqk"
    out = []
    for pieces, black in zip(data["pieces"], data["black"]):
        ranks = []
        for rank in range(7, -1, -1):
            text, empty = "", 0
            for file in range(8):
                code = int(pieces[rank * 8 + file])
                if code == 0:
                    empty += 1
                    continue
                text += (str(empty) if empty else "") + letters[code]
                empty = 0
            ranks.append(text + (str(empty) if empty else ""))
        out.append("/".join(ranks) + (" b" if black else " w") + " - - 0 1")
    return out


def engine_evals(engine, fens, env=None):
    """The engine's "eval" (for the side to move) of each position, through one pipe."""
    import subprocess
    script = "".join(f"position fen {fen}\neval\n" for fen in fens) + "quit\n"
    try:
        proc = subprocess.run([engine], input=script, capture_output=True, text=True, env=env,
                              check=False)
    except OSError as error:
        raise BadInput(f"cannot run {engine}: {error.strerror}") from error
    values = [int(line) for line in proc.stdout.split("\n") if line.lstrip("-").isdigit()]
    if proc.returncode != 0 or len(values) != len(fens):
        raise BadInput(f"{engine} did not evaluate every position")
    return np.array(values, dtype=np.float64)


def side_to_move_targets(data):
    """Search scores and results (0, 0.5, 1) for the side to move."""
    sign = 1 - 2 * data["black"]
    score = data["score"] * sign
    result = data["result"] / 2.0
    result = np.where(data["black"] == 1, 1.0 - result, result)
    return score.astype(np.float64), result


def fit_scale(score, result):
    """The K of sigmoid(score / K) that best predicts the results (squared error)."""
    best_k, best_error = 100.0, math.inf
    for k in np.concatenate([np.arange(50, 1001, 10)]):
        error = np.mean((1.0 / (1.0 + np.exp(-score / k)) - result) ** 2)
        if error < best_error:
            best_k, best_error = float(k), error
    return best_k


# ---------------------------------------------------------------- model

def ste_round(x):
    """Rounds in the forward pass; the gradient passes through unchanged."""
    return x + (torch.round(x) - x).detach()


class Network(torch.nn.Module):
    """The engine's network with its integer weights rounded in the forward pass."""

    def __init__(self, width, nnscale, generator):
        super().__init__()
        self.width = width
        self.nnscale = nnscale
        self.feature = torch.nn.Parameter(torch.randn(INPUTS, width, generator=generator) * 0.05)
        self.hidden_bias = torch.nn.Parameter(torch.full((width,), 0.25))
        self.output = torch.nn.Parameter(torch.randn(2 * width, generator=generator) * 0.1)
        self.output_bias = torch.nn.Parameter(torch.zeros(()))

    def integers(self):
        """The weights as the engine's integers (float tensors holding whole numbers)."""
        feature = torch.clamp(ste_round(self.feature * CLIP_TOP), -FEATURE_LIMIT, FEATURE_LIMIT)
        hidden = torch.clamp(ste_round(self.hidden_bias * CLIP_TOP), -BIAS_LIMIT, BIAS_LIMIT)
        output = torch.clamp(ste_round(self.output * OUTPUT_WEIGHT_SCALE), -128, 127)
        bias = torch.clamp(ste_round(self.output_bias * OUTPUT_BIAS_SCALE), -2**23, 2**23)
        return feature, hidden, output, bias

    def forward(self, us, them):
        """The evaluation for the side to move, in centipawns, before the floors."""
        feature, hidden, output, bias = self.integers()
        padded = torch.cat([feature, torch.zeros(1, self.width)])
        acc_us = hidden + padded[us.long()].sum(dim=1)
        acc_them = hidden + padded[them.long()].sum(dim=1)
        clipped = torch.cat([torch.clamp(acc_us, 0, CLIP_TOP), torch.clamp(acc_them, 0, CLIP_TOP)],
                            dim=1)
        out = bias + clipped @ output
        return out / 2**OUTPUT_SHIFT * self.nnscale / 64


def exported_integers(net):
    """The network's integers as numpy int64 arrays: feature (768, N), hidden, output, bias."""
    with torch.no_grad():
        return [t.detach().numpy().astype(np.int64) for t in net.integers()]


def integer_forward(weights, us, them):
    """The engine's network_forward on feature lists, in exact integer arithmetic."""
    feature, hidden, output, bias = weights
    width = hidden.shape[0]
    padded = np.vstack([feature, np.zeros((1, width), dtype=np.int64)])
    acc_us = hidden + padded[us].sum(axis=1)
    acc_them = hidden + padded[them].sum(axis=1)
    out = int(bias) + np.clip(acc_us, 0, CLIP_TOP) @ output[:width] \
        + np.clip(acc_them, 0, CLIP_TOP) @ output[width:]
    return out >> OUTPUT_SHIFT


def integer_eval(weights, us, them, nnscale):
    """The engine's network-only evaluation: (network_forward * NNSCALE) >> 6."""
    return (integer_forward(weights, us, them) * nnscale) >> 6


def network_text(weights):
    """The network in the engine's text format: width, 768 rows, biases, outputs, bias."""
    feature, hidden, output, bias = weights
    lines = [str(hidden.shape[0])]
    lines += [" ".join(str(v) for v in row) for row in feature]
    lines.append(" ".join(str(v) for v in hidden))
    lines.append(" ".join(str(v) for v in output))
    lines.append(str(int(bias)))
    return "\n".join(lines) + "\n"


def write_atomically(path, text=None, figure=None):
    """Writes through path.tmp and a rename, so a reader never sees half a file."""
    temporary = path + ".tmp"
    if figure is not None:
        figure.savefig(temporary, format="png")
    else:
        with open(temporary, "w", encoding="ascii") as handle:
            handle.write(text)
    os.replace(temporary, path)


# ---------------------------------------------------------------- training

BAR_OPEN = [False]  # a progress bar line waits for its end
BAR_DRAWN = [0.0]  # when the bar was last drawn


def progress(epoch, epochs, done, total, loss):
    """One progress bar line on standard error, redrawn in place (at most 5 times a second)."""
    now = time.monotonic()
    if done != total and now - BAR_DRAWN[0] < 0.2:
        return
    BAR_DRAWN[0] = now
    BAR_OPEN[0] = done != total
    filled = 30 * done // max(total, 1)
    sys.stderr.write(f"\repoch {epoch}/{epochs} [{'#' * filled}{'.' * (30 - filled)}] "
                     f"{done}/{total} loss {loss:.6f}")
    if done == total:
        sys.stderr.write("\n")
    sys.stderr.flush()


SPLIT_BLOCK = 1024  # consecutive positions held out together: about fifteen games


def split(n, held_out, seed):
    """Training and held-out indices of n samples, drawn with the seed.

    The positions of a game are written one after the other and share its
    result, so positions drawn one by one would hold out near-copies of
    training positions, and the held-out loss would reward learning the games
    by heart. Whole blocks of consecutive positions are drawn instead.
    """
    blocks = (n + SPLIT_BLOCK - 1) // SPLIT_BLOCK
    order = np.random.default_rng(seed).permutation(blocks)
    cut = blocks - int(round(blocks * held_out)) if blocks > 1 else blocks
    pick = lambda chosen: np.concatenate(  # noqa: E731
        [np.arange(b * SPLIT_BLOCK, min(n, (b + 1) * SPLIT_BLOCK)) for b in chosen] or
        [np.zeros(0, dtype=np.int64)])
    return pick(order[:cut]), pick(order[cut:])


def to_tensors(data, lam, scale, indices):
    """Feature lists of the side to move and of the other side, the targets, and the
    base the network's output is added to (the hand-made evaluation in residual
    training, else zero)."""
    white, black = feature_lists(data["pieces"][indices])
    is_black = data["black"][indices][:, None] == 1
    us = np.where(is_black, black, white)
    them = np.where(is_black, white, black)
    score, result = side_to_move_targets({k: v[indices] for k, v in data.items()})
    target = lam / (1.0 + np.exp(-score / scale)) + (1.0 - lam) * result
    base = data["base"][indices] if "base" in data else np.zeros(len(indices))
    # Kept as 16-bit indices (128 bytes a position), widened batch by batch.
    return (torch.from_numpy(us.astype(np.int16)), torch.from_numpy(them.astype(np.int16)),
            torch.tensor(target, dtype=torch.float32), torch.tensor(base, dtype=torch.float32))


def mean_loss(net, tensors, scale, batch):
    """The loss over a whole set, no gradients."""
    us, them, target, base = tensors
    if target.numel() == 0:
        return float("nan")
    total = 0.0
    with torch.no_grad():
        for start in range(0, target.numel(), batch):
            end = start + batch
            p = torch.sigmoid((net(us[start:end], them[start:end]) + base[start:end]) / scale)
            total += float(((p - target[start:end]) ** 2).sum())
    return total / target.numel()


def train(data, args, log=True):
    """Trains a network; returns it, the scale K and the per-epoch losses."""
    torch.manual_seed(args.seed)
    generator = torch.Generator().manual_seed(args.seed)
    train_idx, held_idx = split(data["score"].shape[0], args.held_out, args.seed)
    if train_idx.size == 0:
        raise BadInput("no training positions")
    score, result = side_to_move_targets({k: v[train_idx] for k, v in data.items()})
    scale = args.scale if args.scale else fit_scale(score, result)
    training = to_tensors(data, args.lam, scale, train_idx)
    held = to_tensors(data, args.lam, scale, held_idx)
    # The residual mode adds the raw output, unscaled by NNSCALE.
    net = Network(args.width, 64 if args.residual else args.nnscale, generator)
    optimiser = torch.optim.Adam(net.parameters(), lr=args.lr)
    schedule = torch.optim.lr_scheduler.ExponentialLR(optimiser, gamma=args.lr_decay)
    history = []
    n = training[2].numel()
    for epoch in range(1, args.epochs + 1):
        order = torch.randperm(n, generator=generator)
        total = 0.0
        for start in range(0, n, args.batch):
            pick = order[start:start + args.batch]
            p = torch.sigmoid((net(training[0][pick], training[1][pick]) + training[3][pick])
                              / scale)
            loss = ((p - training[2][pick]) ** 2).mean()
            if not torch.isfinite(loss):
                raise BadInput(f"the loss is not finite in epoch {epoch}")
            optimiser.zero_grad()
            loss.backward()
            optimiser.step()
            total += float(loss) * pick.numel()
            if log:
                progress(epoch, args.epochs, min(start + args.batch, n), n,
                         total / min(start + args.batch, n))
        schedule.step()
        held_loss = mean_loss(net, held, scale, args.batch)
        history.append((epoch, total / n, held_loss))
        if log:
            print(f"epoch {epoch}: training {total / n:.6f} held-out {held_loss:.6f}",
                  file=sys.stderr)
    return net, scale, history


def loss_figure(history, title):
    """A PNG figure of the training and held-out loss per epoch."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    figure, axes = plt.subplots(figsize=(6, 4))
    epochs = [h[0] for h in history]
    axes.plot(epochs, [h[1] for h in history], marker="o", label="training")
    axes.plot(epochs, [h[2] for h in history], marker="o", label="held-out")
    axes.set_xlabel("epoch")
    axes.set_ylabel("loss (squared error of win probability)")
    axes.set_title(title)
    axes.legend()
    figure.tight_layout()
    return figure


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("data", nargs="+",
                        help="packed positions (build/tools/datagen -out); several files are "
                             "read as one")
    parser.add_argument("out", help="network file to write (engine text format)")
    parser.add_argument("--width", type=int, default=32, help="hidden units per view (1..128)")
    parser.add_argument("--epochs", type=int, default=10)
    parser.add_argument("--batch", type=int, default=1024)
    parser.add_argument("--lr", type=float, default=1e-3)
    parser.add_argument("--lr-decay", type=float, default=1.0,
                        help="the learning rate is multiplied by this after each epoch")
    parser.add_argument("--residual", action="store_true",
                        help="train the correction the engine adds to its hand-made evaluation "
                             "(NNRES): needs --engine, whose evaluation (under the PARAMS in the "
                             "environment) is the base")
    parser.add_argument("--lambda", dest="lam", type=float, default=0.75,
                        help="weight of the search score against the game result")
    parser.add_argument("--scale", type=float, default=0.0,
                        help="K of sigmoid(score / K); 0 fits it to the data")
    parser.add_argument("--held-out", type=float, default=0.1, help="share of positions held out")
    parser.add_argument("--nnscale", type=int, default=64, help="the engine's NNSCALE")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--engine", default="",
                        help="engine whose own evaluation's held-out loss is reported too")
    parser.add_argument("--plot", default="", help="loss PNG (default: OUT with .png)")
    return parser.parse_args(argv)


def check_args(args):
    if not 1 <= args.width <= MAX_WIDTH:
        raise BadInput(f"width {args.width} is outside 1..{MAX_WIDTH}")
    if args.epochs < 1 or args.batch < 1 or not 0.0 <= args.lam <= 1.0 \
            or not 0.0 <= args.held_out < 1.0 or not 0 <= args.scale < math.inf \
            or args.nnscale < 1 or not 0 < args.lr < math.inf \
            or not 0 < args.lr_decay <= 1:
        raise BadInput("epochs, batch, lr and nnscale must be positive, lambda within 0..1, "
                       "held-out within 0..1, scale 0 or positive, lr-decay within 0..1")
    if args.residual and not args.engine:
        raise BadInput("--residual needs --engine (the hand-made evaluation it corrects)")


def main(argv):
    args = parse_args(argv)
    try:
        check_args(args)
        data = read_all(args.data)
        if args.residual:
            data["base"] = engine_evals(args.engine, position_fens(data))
        net, scale, history = train(data, args)
        weights = exported_integers(net)
        if abs(int(weights[3])) > INT32_LIMIT:
            raise BadInput("the output bias does not fit 32 bits")
        text = network_text(weights)
        if args.engine:
            _, held_idx = split(data["score"].shape[0], args.held_out, args.seed)
            held = {k: v[held_idx] for k, v in data.items()}
            evals = held["base"] if args.residual else engine_evals(args.engine,
                                                                    position_fens(held))
            target = to_tensors(data, args.lam, scale, held_idx)[2].numpy()
            hand_made = np.mean((1.0 / (1.0 + np.exp(-evals / scale)) - target) ** 2)
            print(f"hand-made evaluation ({args.engine}), held-out loss {hand_made:.6f}",
                  file=sys.stderr)
        plot = args.plot or os.path.splitext(args.out)[0] + ".png"
        figure = loss_figure(history, f"width {args.width}, lambda {args.lam}, K {scale:g}")
        write_atomically(plot, figure=figure)
        write_atomically(args.out, text=text)
    except BadInput as error:
        if BAR_OPEN[0]:
            sys.stderr.write("\n")
        print(f"train_network: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"train_network: cannot write: {error}", file=sys.stderr)
        return 1
    except RuntimeError as error:  # PyTorch's own refusals (an overflowing step)
        print(f"train_network: training failed: {error}", file=sys.stderr)
        return 1
    print(f"K {scale:g}; final training loss {history[-1][1]:.6f}, held-out {history[-1][2]:.6f}; "
          f"wrote {args.out} and {plot}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
