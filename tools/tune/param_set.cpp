#include "param_set.h"

#include <cmath>
#include <cstring>
#include <sstream>

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

std::vector<Param> build_params() {
  EvalParams& e = eval_params;
  std::vector<Param> v;
  auto add = [&](const char* name, int piece, int square, Group group, bool mg, int bits,
                 void* cell) {
    v.push_back(Param{.name = name,
                      .piece = piece,
                      .square = square,
                      .group = group,
                      .mg = mg,
                      .bits = bits,
                      .cell = cell});
  };
  for (int k = 1; k <= 5; ++k) {
    add("matmg", k, 0, GROUP_MATERIAL, true, 16, &e.matmg[k]);
    add("mateg", k, 0, GROUP_MATERIAL, false, 16, &e.mateg[k]);
  }
  for (int k = 1; k <= 6; ++k)
    for (int s = 0; s < 64; ++s) {
      add("pstmg", k, s, GROUP_PST, true, 8, &e.pstmg[k][s]);
      add("psteg", k, s, GROUP_PST, false, 8, &e.psteg[k][s]);
    }
  for (int r = 1; r <= 6; ++r) {
    add("passmg", r, 0, GROUP_PASSERS, true, 16, &e.passmg[r]);
    add("passeg", r, 0, GROUP_PASSERS, false, 16, &e.passeg[r]);
  }
  add("isomg", 0, 0, GROUP_PAWNS, true, 16, &e.isomg);
  add("isoeg", 0, 0, GROUP_PAWNS, false, 16, &e.isoeg);
  add("dblmg", 0, 0, GROUP_PAWNS, true, 16, &e.dblmg);
  add("dbleg", 0, 0, GROUP_PAWNS, false, 16, &e.dbleg);
  add("ropen", 0, 0, GROUP_ROOKS, true, 16, &e.ropen);
  add("rhalf", 0, 0, GROUP_ROOKS, true, 16, &e.rhalf);
  add("pairmg", 0, 0, GROUP_PAIR, true, 16, &e.pairmg);
  add("paireg", 0, 0, GROUP_PAIR, false, 16, &e.paireg);
  for (int t = 1; t <= 5; ++t) add("ksw", t, 0, GROUP_SHELTER, true, 32, &e.ksw[t]);
  for (int k = 2; k <= 5; ++k) {
    add("mobmg", k, 0, GROUP_MOBILITY, true, 16, &e.mobmg[k]);
    add("mobeg", k, 0, GROUP_MOBILITY, false, 16, &e.mobeg[k]);
  }
  for (int f = 6; f <= 10; ++f) {
    add("nemg", f, 0, GROUP_EXTRAS, true, 16, &e.nemg[f]);
    add("neeg", f, 0, GROUP_EXTRAS, false, 16, &e.neeg[f]);
  }
  return v;
}

}  // namespace

const std::vector<Param>& all_params() {
  static const std::vector<Param> params = build_params();
  return params;
}

int param_index(const std::string& name, int piece, int square) {
  const std::vector<Param>& params = all_params();
  for (size_t i = 0; i < params.size(); ++i)
    if (name == params[i].name && piece == params[i].piece && square == params[i].square)
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
