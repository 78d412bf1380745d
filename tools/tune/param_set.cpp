#include "param_set.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include "board/position.h"
#include "eval/param_table.h"
#include "eval/params.h"

namespace kelmstrad::tune {

namespace {

struct GroupName {
  const char* name;
  uint32_t bits;
};

constexpr GroupName GROUP_NAMES[] = {
    {"material", GROUP_MATERIAL}, {"pst", GROUP_PST},           {"passers", GROUP_PASSERS},
    {"pawns", GROUP_PAWNS},       {"rooks", GROUP_ROOKS},       {"pair", GROUP_PAIR},
    {"shelter", GROUP_SHELTER},   {"mobility", GROUP_MOBILITY}, {"extras", GROUP_EXTRAS},
    {"all", GROUP_ALL},
};

// The tuner's group of a term (the compiler names a term left out).
Group group_of(ParamTerm term) {
  switch (term) {
    case ParamTerm::MATERIAL:
      return GROUP_MATERIAL;
    case ParamTerm::SQUARE_TABLE:
      return GROUP_PST;
    case ParamTerm::PASSED:
      return GROUP_PASSERS;
    case ParamTerm::ISOLATED:
    case ParamTerm::DOUBLED:
      return GROUP_PAWNS;
    case ParamTerm::ROOK_OPEN:
    case ParamTerm::ROOK_HALF_OPEN:
      return GROUP_ROOKS;
    case ParamTerm::BISHOP_PAIR:
      return GROUP_PAIR;
    case ParamTerm::KING_SHELTER:
      return GROUP_SHELTER;
    case ParamTerm::MOBILITY:
      return GROUP_MOBILITY;
    case ParamTerm::PAWN_EXTRA:
      return GROUP_EXTRAS;
  }
  return GROUP_ALL;
}

// Every entry of the engine's parameter table but the king's material.
std::vector<Param> build_params() {
  std::vector<Param> v;
  for_each_param_entry([&](const ParamRecord& row, int index, int square) {
    if (row.term == ParamTerm::MATERIAL && index == KING) return;
    v.push_back(Param{.term = row.term,
                      .piece = index,
                      .square = square,
                      .group = group_of(row.term),
                      .mg = row.mg,
                      .bits = row.bits,
                      .cell = param_entry(row, index, square)});
  });
  return v;
}

}  // namespace

const std::vector<Param>& all_params() {
  static const std::vector<Param> params = build_params();
  return params;
}

int param_index(ParamTerm term, bool mg, int piece, int square) {
  const std::vector<Param>& params = all_params();
  for (size_t i = 0; i < params.size(); ++i)
    if (term == params[i].term && mg == params[i].mg && piece == params[i].piece &&
        square == params[i].square)
      return static_cast<int>(i);
  return -1;
}

int param_value(const Param& p) {
  switch (p.bits) {
    case 8:
      return *static_cast<int8_t*>(p.cell);
    case 16:
      return *static_cast<int16_t*>(p.cell);
    default:
      return *static_cast<int32_t*>(p.cell);
  }
}

// Rounded to the nearest integer and held inside the width, so a weight never
// wraps the way an oversized record would. A material or square-table weight
// is summed into the board's tables again, which set_fen and make add up.
void set_param_value(const Param& p, double value) {
  const double limit = p.bits == 8 ? 127.0 : (p.bits == 16 ? 32767.0 : 1e9);
  const double held = std::fmax(-limit - (p.bits == 32 ? 0 : 1), std::fmin(limit, value));
  const long rounded = std::lround(held);
  switch (p.bits) {
    case 8:
      *static_cast<int8_t*>(p.cell) = static_cast<int8_t>(rounded);
      break;
    case 16:
      *static_cast<int16_t*>(p.cell) = static_cast<int16_t>(rounded);
      break;
    default:
      *static_cast<int32_t*>(p.cell) = static_cast<int32_t>(rounded);
      break;
  }
  if (p.group == GROUP_MATERIAL || p.group == GROUP_PST) fill_piece_square_scores();
}

bool parse_groups(const std::string& text, uint32_t* groups, std::string* error) {
  *groups = 0;
  std::stringstream in(text);
  std::string word;
  while (std::getline(in, word, ',')) {
    bool known = false;
    for (const GroupName& g : GROUP_NAMES)
      if (word == g.name) {
        *groups |= g.bits;
        known = true;
      }
    if (!known) {
      *error = "unknown parameter group '" + word + "' (groups: " + group_names() + ")";
      return false;
    }
  }
  if (*groups == 0) {
    *error = "no parameter group named";
    return false;
  }
  return true;
}

const char* group_names() {
  return "material,pst,passers,pawns,rooks,pair,shelter,mobility,extras or all";
}

}  // namespace kelmstrad::tune
