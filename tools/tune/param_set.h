// The tunable parameters: every entry of the parameter text as one numbered
// weight, grouped so that a run can tune a chosen part of the evaluation.
//
// The weights are the entries of the engine's parameter table (king material
// left out), read from and written to its EvalParams store. Each is
// a middlegame or an endgame weight: the evaluation blends them by p16, so a
// feature count c of a middlegame weight moves the white-relative score by
// c * p16 / 16 per unit, of an endgame weight by c * (16 - p16) / 16.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eval/param_table.h"

namespace kelmstrad::tune {

// Parameter groups, as named on the command line.
enum Group : uint32_t {
  GROUP_MATERIAL = 1,
  GROUP_PST = 2,
  GROUP_PASSERS = 4,
  GROUP_PAWNS = 8,  // isolated and doubled pawns
  GROUP_ROOKS = 16,
  GROUP_PAIR = 32,
  GROUP_SHELTER = 64,
  GROUP_MOBILITY = 128,
  GROUP_EXTRAS = 256,  // pawn-extra feature weights
  GROUP_ALL = 511,
};

struct Param {
  ParamTerm term;  // the evaluation term it weighs
  int piece;       // first index field (kind, rank, feature or term)
  int square;      // second index field (0 for all but square tables)
  Group group;
  bool mg;     // blended with weight p16 / 16 (else (16 - p16) / 16)
  int bits;    // storage width: 8, 16 or 32
  void* cell;  // the entry in the engine's store
};

// Every tunable weight, in the print order of the parameter table (the king's
// material excluded: both sides always have one king).
const std::vector<Param>& all_params();

// Index of a parameter by term, middlegame or endgame, and index fields, or -1.
int param_index(ParamTerm term, bool mg, int piece, int square);

// The stored value of a weight.
int param_value(const Param& p);

// Stores a weight rounded and held inside its storage width.
void set_param_value(const Param& p, double value);

// Reads "material,pst,..." or "all"; false with a message on an unknown name.
bool parse_groups(const std::string& text, uint32_t* groups, std::string* error);

// The group names, for the usage text.
const char* group_names();

}  // namespace kelmstrad::tune
