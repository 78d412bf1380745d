// The evaluation seen by the tuner: the feature counts of the current
// position for each parameter, and its exact evaluation from White's side.
//
// The white-relative evaluation is (tempo, blend truncation and the
// switchable terms aside) linear in every parameter: sum over parameters of
// weight * count * (p16 or 16 - p16) / 16, then passed through the endgame
// rules, which may scale it (fifty-move damping, drawish material).
#pragma once

#include <vector>

#include "data_set.h"

namespace kelmstrad::tune {

// Counts every piece's mobility and computes the pawn extras even at zero
// weight, so their features are known while their weights are tuned (a zero
// weight adds nothing, so the scores stay the engine's).
void enter_tuning_mode();

// The non-zero counts of the parameters in `groups` for the current position
// (white minus black, in units of the weight); returns p16.
int position_features(uint32_t groups, std::vector<Entry>* out);

// The current position's evaluation from White's side, tempo included, and
// in *scale how much the endgame rules pass of a change of the blended value.
int exact_eval_white(float* scale);

}  // namespace kelmstrad::tune
