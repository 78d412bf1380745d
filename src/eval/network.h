// Network evaluation: an optional one-hidden-layer network read on first use
// from the text file named by NNUE.
//
// Inputs: 768 per view, one per colour, kind and square (feature_index,
// board/accumulator.h).
// Hidden layer: N units per view (0 < N <= 128). Each view's accumulator is
// the hidden biases plus the feature-weight rows of every piece, in 16-bit
// arithmetic that wraps; units are clamped to 0..127.
// Output: bias + the side to move's units times output weights 0..N-1 + the
// other view's units times weights N..2N-1, in 32-bit arithmetic, shifted
// right arithmetically by 4 (floor of out / 16).
// File: decimal integers separated by white space: N; 768 rows of N feature
// weights; N hidden biases; 2N output weights; the output bias. Feature
// weights and hidden biases keep their low 16 bits, output weights their low
// 8 bits; anything after the output bias is ignored.
//
// The loaded network's accumulators are kept by the board, updated by make
// and unmake (board/accumulator.h), and the counters charge it so: make
// charges NNF per changed input while network_active, and every output
// computation charges one NNO. network_output sums a position's accumulators
// from scratch, for any weights; both give the same output.
#pragma once

#include <cstdint>

#include "board/accumulator.h"
#include "board/position.h"

namespace kelmstrad {
// Hidden units are clamped to 0..NETWORK_CLAMP.
constexpr int NETWORK_CLAMP = 127;
// Per-unit cost of one feature update and of one output computation.
constexpr int NNF_COST_PER_UNIT = 118;
constexpr int NNO_COST_PER_UNIT = 161;
// Default scale of the network output in 64ths (NNSCALE).
constexpr int NNSCALE_DEFAULT = 64;

struct NetworkWeights {
  int32_t width;                                               // N
  int16_t feature_weights[NETWORK_INPUTS][NETWORK_MAX_WIDTH];  // row f: the N weights of input f
  int16_t hidden_biases[NETWORK_MAX_WIDTH];
  int8_t output_weights[2 * NETWORK_MAX_WIDTH];  // 0..N-1 side to move's view, N..2N-1 the other
  int32_t output_bias;
};

enum NetworkState { NETWORK_NOT_TRIED, NETWORK_NONE, NETWORK_LOADED };

// Fixed on the first evaluation: residual when NNRES is set, else blend when
// NNBLEND is set, else network only. Without a network the mode has no effect.
enum NetworkMode { NETWORK_ONLY = 0, NETWORK_RESIDUAL = 1, NETWORK_BLEND = 2 };

// Result of reading a network file.
enum NetworkReadStatus {
  NETWORK_READ_OK,
  NETWORK_READ_REJECTED,    // unopenable, width unreadable, width <= 0 or above 128
  NETWORK_READ_INCOMPLETE,  // a value after the width is missing or not a number
};

extern NetworkWeights network_weights;  // the loaded network, read-only once loaded
extern NetworkState network_state;      // not tried, none or loaded; set once
extern int network_mode;                // a NetworkMode, fixed on the first evaluation

// Reads a network file into `weights`; returns how the reading went. On a
// failure `weights` holds what was read so far.
NetworkReadStatus read_network_file(const char* path, NetworkWeights* weights);

// Prices NNF and NNO for a network of the given width: width * 118 and
// width * 161 cost units, or NNFCOST / NNOCOST when set (nullptr when unset),
// each times VSCALE (1 when unset) and truncated. Changes op_costs[NNF], [NNO].
void set_network_costs(int width, const char* vscale, const char* nnfcost, const char* nnocost);

// Makes network_weights the network the evaluation plays with: its first
// layer goes to the board (set_feature_weights), its output weights to the
// output layer's copy. The loader calls it, as must anything that fills
// network_weights by hand.
void network_install();

// Loads the file at `path` into network_weights, installs it, marks the
// network loaded and sets its costs. Ends the process with status 1 when the file cannot be
// used: after "NNUE load failed" on standard error when it cannot be opened or
// its width is unreadable or out of range, silently when it is incomplete.
void load_network_file(const char* path);

// Loads the network named by NNUE once (unset or empty: no network). Later
// calls change nothing.
void load_network();

// The first evaluation's set-up: loads the network and fixes network_mode.
// Later calls return at once.
void network_first_use();

// The raw output of `weights` on `pos` for its side to move, the accumulators
// summed from scratch. Charges nothing.
int network_output(const NetworkWeights& weights, const Position& pos);

// The raw output of the installed network on the global position, from the
// accumulators make and unmake keep (summed first when they are stale).
// Charges nothing.
int network_forward();

// True when a network is loaded.
bool network_enabled();

// True when the network alone evaluates: a network is loaded and the mode is
// network only, or blend at full middlegame weight (p16 = 16).
bool network_replaces_eval(int p16);

// True when a loaded network corrects the hand-made value (residual or blend).
bool network_corrects_eval();

// The network-only value for the side to move, before the search-line
// penalty and the endgame rules: (network_forward * NNSCALE) >> 6, held inside
// EVAL_SCORE_LIMIT. Charges one NNO.
int network_scaled_eval();

// The evaluation for the side to move in residual or blend mode, from the
// white-relative hand-made value v (tempo not yet added) and the blend weight
// p16. Residual: network_forward + v for the side to move + 10. Blend: h = v
// for the side to move + 10; h itself at p16 = 0 (the network is not
// computed), else ((16 - p16) * h + p16 * scaled network) / 16 truncated.
// Charges one NNO when the network is computed.
int network_combine(int v, int p16);

}  // namespace kelmstrad
