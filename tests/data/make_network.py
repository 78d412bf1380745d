#!/usr/bin/env python3
"""Writes a network file for the engine's NNUE variable from a short description.

usage: make_network.py [options] OUTPUT      (OUTPUT "-" writes to standard output)
       --crlf ends the lines with "\\r\\n", as a file written on Windows

The file holds decimal integers: the width N, 768 rows of N feature weights
(one row per input), N hidden biases, 2N output weights (the first N weigh the
side to move's hidden units, the next N the other side's) and the output bias.
Everything starts at 0; a preset fills a whole network, then the settings
change parts of it in the order given.

Inputs, as each side sees the board: own pieces are rows 0..383, the
opponent's rows 384..767, 64 rows per kind (pawn, knight, bishop, rook, queen,
king) by square a1 = 0 .. h8 = 63, and Black sees the board flipped (its own
pawn on e7 is "own-pawn-e2"). Per view the accumulator of unit u is the hidden
bias plus the weights of every piece's row; units are clamped to 0..127 and
the output is (bias + sum of units times output weights) >> 4. The engine
keeps the low 16 bits of feature weights and biases and the low 8 bits of
output weights; this tool writes values as given, so such truncation can be
tried on purpose.

Presets:
  --material P,N,B,R,Q   material counter, width 12: unit u counts the pieces
                         of input block u (rows 64u..64u+63) eight times over,
                         so the output is the side to move's material minus
                         the opponent's in the given units (-127..127 each;
                         kings count 0). With NNSCALE=640 values 10,30,30,50,90
                         give centipawns.
  --random SEED          a network of realistic shape for speed tests (width
                         128 unless --width is given): feature weights -8..8,
                         hidden biases 0..64, output weights -127..127.

Settings:
  --width N              hidden units, 1..128 (default 1; 12 for --material)
  --output-bias B        the output bias
  --hidden-bias V[,V..]  one value for every unit, or N values
  --output-weights V[,V..]
                         one value for all 2N weights, or 2N values
  --feature ROWS:UNITS=V set feature weights; may be repeated. ROWS is a row
                         number, a range A-B, or OWNER-KIND[-SQUARE] with OWNER
                         own|their, KIND pawn|knight|bishop|rook|queen|king
                         and SQUARE a1..h8 as that view sees it (without a
                         square: all 64 rows of the kind). UNITS is a unit
                         number, a range A-B, or "all".

Examples:
  make_network.py --output-bias 160 net.txt           # every position scores 10
  make_network.py --material 1,3,3,5,9 net.txt        # material balance in pawns
  make_network.py --width 2 --hidden-bias 300,-5 --output-weights 16,16,0,0 net.txt
  make_network.py --feature own-pawn-e4:0=200 --output-weights 16,0 net.txt
"""
import argparse
import random
import re
import sys

INPUTS = 768
MAX_WIDTH = 128
KINDS = ["pawn", "knight", "bishop", "rook", "queen", "king"]
MATERIAL_WIDTH = 12
MATERIAL_COUNT_WEIGHT = 8  # 2 views x 8 = 16 cancels the output shift


class DescriptionError(Exception):
    pass


def parse_int(text, what):
    try:
        return int(text)
    except ValueError:
        raise DescriptionError(f"{what}: {text!r} is not an integer") from None


def parse_list(text, what):
    return [parse_int(part, what) for part in text.split(",")]


def parse_square(text):
    if len(text) != 2 or text[0] not in "abcdefgh" or text[1] not in "12345678":
        raise DescriptionError(f"square {text!r} is not a1..h8")
    return (int(text[1]) - 1) * 8 + "abcdefgh".index(text[0])


def parse_range(text, limit, what):
    """A number or A-B, both inside 0..limit-1, as a range."""
    first, dash, last = text.partition("-")
    low = parse_int(first, what)
    high = parse_int(last, what) if dash else low
    if not 0 <= low <= high < limit:
        raise DescriptionError(f"{what} {text!r} is outside 0..{limit - 1}")
    return range(low, high + 1)


def parse_rows(text):
    if text[:1].isdigit():
        return parse_range(text, INPUTS, "row")
    parts = text.split("-")
    if len(parts) not in (2, 3) or parts[0] not in ("own", "their") or parts[1] not in KINDS:
        raise DescriptionError(f"rows {text!r}: expected a row, A-B or own|their-KIND[-SQUARE]")
    base = (0 if parts[0] == "own" else 384) + KINDS.index(parts[1]) * 64
    if len(parts) == 3:
        return range(base + parse_square(parts[2]), base + parse_square(parts[2]) + 1)
    return range(base, base + 64)


class Network:
    def __init__(self, width):
        self.width = width
        self.features = [[0] * width for _ in range(INPUTS)]
        self.hidden = [0] * width
        self.output = [0] * (2 * width)
        self.bias = 0

    def lines(self):
        yield str(self.width)
        for row in self.features:
            yield " ".join(map(str, row))
        yield " ".join(map(str, self.hidden))
        yield " ".join(map(str, self.output))
        yield str(self.bias)


def spread(values, count, what):
    if len(values) == 1:
        return values * count
    if len(values) != count:
        raise DescriptionError(f"{what}: expected 1 or {count} values, got {len(values)}")
    return values


def material_network(values):
    if len(values) != 5 or any(not -127 <= v <= 127 for v in values):
        raise DescriptionError("--material takes five values P,N,B,R,Q in -127..127")
    net = Network(MATERIAL_WIDTH)
    for row in range(INPUTS):
        net.features[row][row // 64] = MATERIAL_COUNT_WEIGHT
    for kind, value in enumerate(values + [0]):
        net.output[kind] = value                          # own pieces, side to move's view
        net.output[6 + kind] = -value                     # opponent's pieces, same view
        net.output[MATERIAL_WIDTH + kind] = -value        # the other view's own pieces
        net.output[MATERIAL_WIDTH + 6 + kind] = value     # the other view's opponent
    return net


def random_network(seed, width):
    rng = random.Random(seed)
    net = Network(width)
    net.features = [[rng.randint(-8, 8) for _ in range(width)] for _ in range(INPUTS)]
    net.hidden = [rng.randint(0, 64) for _ in range(width)]
    net.output = [rng.randint(-127, 127) for _ in range(2 * width)]
    return net


def apply_feature(net, text):
    rows_text, colon, rest = text.partition(":")
    units_text, equals, value_text = rest.partition("=")
    if not colon or not equals:
        raise DescriptionError(f"--feature {text!r}: expected ROWS:UNITS=VALUE")
    units = range(net.width) if units_text == "all" else parse_range(units_text, net.width, "unit")
    value = parse_int(value_text, "feature weight")
    for row in parse_rows(rows_text):
        for unit in units:
            net.features[row][unit] = value


def build(args):
    width = args.width
    if width is not None and not 1 <= width <= MAX_WIDTH:
        raise DescriptionError(f"--width {width} is outside 1..{MAX_WIDTH}")
    if args.material is not None:
        if width not in (None, MATERIAL_WIDTH):
            raise DescriptionError("--material has width 12")
        net = material_network(parse_list(args.material, "--material"))
    elif args.random is not None:
        net = random_network(args.random, width or MAX_WIDTH)
    else:
        net = Network(width or 1)
    if args.output_bias is not None:
        net.bias = args.output_bias
    if args.hidden_bias is not None:
        net.hidden = spread(parse_list(args.hidden_bias, "--hidden-bias"), net.width,
                            "--hidden-bias")
    if args.output_weights is not None:
        net.output = spread(parse_list(args.output_weights, "--output-weights"), 2 * net.width,
                            "--output-weights")
    for text in args.feature:
        apply_feature(net, text)
    return net


VALUE_OPTIONS = {"--material", "--random", "--width", "--output-bias", "--hidden-bias",
                 "--output-weights", "--feature"}


def join_negative_values(argv):
    """Lets a value start with a minus sign: "--material -1,-3,..." as one option."""
    joined = []
    i = 0
    while i < len(argv):
        if argv[i] in VALUE_OPTIONS and i + 1 < len(argv) and re.match(r"-\d", argv[i + 1]):
            joined.append(f"{argv[i]}={argv[i + 1]}")
            i += 2
        else:
            joined.append(argv[i])
            i += 1
    return joined


class Parser(argparse.ArgumentParser):
    def error(self, message):
        sys.stderr.write(__doc__)
        sys.stderr.write(f"\nmake_network.py: {message}\n")
        sys.exit(2)


def main(argv):
    parser = Parser(add_help=False)
    parser.add_argument("-h", "--help", action="store_true")
    parser.add_argument("--material")
    parser.add_argument("--random", type=int)
    parser.add_argument("--width", type=int)
    parser.add_argument("--output-bias", type=int)
    parser.add_argument("--hidden-bias")
    parser.add_argument("--output-weights")
    parser.add_argument("--feature", action="append", default=[])
    parser.add_argument("--crlf", action="store_true")
    parser.add_argument("output", nargs="?")
    args = parser.parse_args(join_negative_values(argv))
    if args.help:
        sys.stdout.write(__doc__)
        return 0
    if args.output is None:
        parser.error("no OUTPUT file given")
    if args.material is not None and args.random is not None:
        parser.error("--material and --random exclude each other")
    try:
        net = build(args)
    except DescriptionError as problem:
        parser.error(str(problem))
    text = "".join(line + ("\r\n" if args.crlf else "\n") for line in net.lines())
    if args.output == "-":
        sys.stdout.write(text)
    else:
        with open(args.output, "w", encoding="ascii", newline="") as handle:
            handle.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
