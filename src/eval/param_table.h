// The parameter records, written once: a row per record name of the
// parameter text, with the evaluation term it weighs, the EvalParams field
// that stores it, the indices a record may name and the entry's width. The
// text reader, "dumpparams" and the tuner walk these rows; the evaluation
// reads the fields themselves, never through the table.
//
// The rows stand in print order. The rows of one block share their first
// index range and print together, index by index: within an index first the
// rows without squares, then square by square the rows with squares (so
// material and square table alternate by kind, each middlegame entry just
// before its endgame one). "dumpparams" prints the rows marked `dumped`, the
// leading ones; the tuner's parameter files print them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "eval/params.h"

namespace kelmstrad {

// The evaluation term a record weighs.
enum class ParamTerm : uint8_t {
  PASSED,
  ISOLATED,
  DOUBLED,
  ROOK_OPEN,
  ROOK_HALF_OPEN,
  BISHOP_PAIR,
  MATERIAL,
  SQUARE_TABLE,
  KING_SHELTER,
  MOBILITY,
  PAWN_EXTRA,
};

struct ParamRecord {
  const char* name;  // record name in the parameter text
  ParamTerm term;
  bool mg;              // a middlegame weight, blended by p16 (else an endgame one)
  int block;            // print block (see above)
  int low = 0;          // first index (kind, rank, feature or term): low..high;
  int high = 0;         // 0..0 for a scalar, whose index fields are not read
  bool square = false;  // the second index is a square 0..63 (else it is not read)
  int bits = 16;        // entry width: 8, 16 or 32
  bool dumped = true;   // printed by "dumpparams"
  size_t offset;        // offset of the field in EvalParams

  constexpr bool scalar() const { return high == 0; }
};

// clang-format off
inline constexpr ParamRecord PARAM_RECORDS[] = {
    {.name = "passmg", .term = ParamTerm::PASSED, .mg = true, .block = 0,
     .low = 1, .high = 6, .offset = offsetof(EvalParams, passmg)},  // by relative rank
    {.name = "passeg", .term = ParamTerm::PASSED, .mg = false, .block = 0,
     .low = 1, .high = 6, .offset = offsetof(EvalParams, passeg)},
    {.name = "isomg", .term = ParamTerm::ISOLATED, .mg = true, .block = 1,
     .offset = offsetof(EvalParams, isomg)},  // isolated pawn (subtracted)
    {.name = "isoeg", .term = ParamTerm::ISOLATED, .mg = false, .block = 1,
     .offset = offsetof(EvalParams, isoeg)},
    {.name = "dblmg", .term = ParamTerm::DOUBLED, .mg = true, .block = 1,
     .offset = offsetof(EvalParams, dblmg)},  // doubled pawns per file (subtracted)
    {.name = "dbleg", .term = ParamTerm::DOUBLED, .mg = false, .block = 1,
     .offset = offsetof(EvalParams, dbleg)},
    {.name = "ropen", .term = ParamTerm::ROOK_OPEN, .mg = true, .block = 1,
     .offset = offsetof(EvalParams, ropen)},  // rook on an open file
    {.name = "rhalf", .term = ParamTerm::ROOK_HALF_OPEN, .mg = true, .block = 1,
     .offset = offsetof(EvalParams, rhalf)},  // rook on a half-open file
    {.name = "pairmg", .term = ParamTerm::BISHOP_PAIR, .mg = true, .block = 1,
     .offset = offsetof(EvalParams, pairmg)},  // bishop pair
    {.name = "paireg", .term = ParamTerm::BISHOP_PAIR, .mg = false, .block = 1,
     .offset = offsetof(EvalParams, paireg)},
    {.name = "matmg", .term = ParamTerm::MATERIAL, .mg = true, .block = 2,
     .low = 1, .high = 6, .offset = offsetof(EvalParams, matmg)},  // by kind
    {.name = "mateg", .term = ParamTerm::MATERIAL, .mg = false, .block = 2,
     .low = 1, .high = 6, .offset = offsetof(EvalParams, mateg)},
    {.name = "pstmg", .term = ParamTerm::SQUARE_TABLE, .mg = true, .block = 2,
     .low = 1, .high = 6, .square = true, .bits = 8, .offset = offsetof(EvalParams, pstmg)},
    {.name = "psteg", .term = ParamTerm::SQUARE_TABLE, .mg = false, .block = 2,
     .low = 1, .high = 6, .square = true, .bits = 8, .offset = offsetof(EvalParams, psteg)},
    {.name = "ksw", .term = ParamTerm::KING_SHELTER, .mg = true, .block = 3,
     .low = 1, .high = 5, .bits = 32, .dumped = false, .offset = offsetof(EvalParams, ksw)},
    {.name = "mobmg", .term = ParamTerm::MOBILITY, .mg = true, .block = 4,
     .low = 2, .high = 5, .dumped = false, .offset = offsetof(EvalParams, mobmg)},
    {.name = "mobeg", .term = ParamTerm::MOBILITY, .mg = false, .block = 4,
     .low = 2, .high = 5, .dumped = false, .offset = offsetof(EvalParams, mobeg)},
    {.name = "nemg", .term = ParamTerm::PAWN_EXTRA, .mg = true, .block = 5,
     .low = 6, .high = 10, .dumped = false, .offset = offsetof(EvalParams, nemg)},
    {.name = "neeg", .term = ParamTerm::PAWN_EXTRA, .mg = false, .block = 5,
     .low = 6, .high = 10, .dumped = false, .offset = offsetof(EvalParams, neeg)},
};
// clang-format on

constexpr size_t PARAM_RECORD_COUNT = std::size(PARAM_RECORDS);

// True when each block's rows stand together, share their index range, and
// the dumped rows lead.
constexpr bool param_rows_are_ordered() {
  for (size_t r = 1; r < PARAM_RECORD_COUNT; ++r) {
    const ParamRecord& before = PARAM_RECORDS[r - 1];
    const ParamRecord& row = PARAM_RECORDS[r];
    if (row.block < before.block || (row.dumped && !before.dumped)) return false;
    if (row.block == before.block && (row.low != before.low || row.high != before.high))
      return false;
  }
  return true;
}
static_assert(param_rows_are_ordered(), "a block's rows stand together in the table");

// The row named `name`, or nullptr.
inline const ParamRecord* param_record(const char* name) {
  for (const ParamRecord& row : PARAM_RECORDS)
    if (strcmp(name, row.name) == 0) return &row;
  return nullptr;
}

// The entry of a row at (index, square) in eval_params; a scalar's index is 0,
// and the square is 0 for a row without squares.
inline void* param_entry(const ParamRecord& row, int index, int square) {
  const int element = row.square ? index * 64 + square : index;
  return reinterpret_cast<char*>(&eval_params) + row.offset + element * (row.bits / 8);
}

// The value of an entry, read at the row's width.
inline int param_entry_value(const ParamRecord& row, int index, int square) {
  const void* entry = param_entry(row, index, square);
  if (row.bits == 8) return *static_cast<const int8_t*>(entry);
  if (row.bits == 16) return *static_cast<const int16_t*>(entry);
  return *static_cast<const int32_t*>(entry);
}

// Calls visit(row, index, square) for every entry of the table, in print order.
template <typename Visit>
void for_each_param_entry(Visit visit) {
  for (size_t first = 0; first < PARAM_RECORD_COUNT;) {
    const ParamRecord& lead = PARAM_RECORDS[first];
    size_t end = first;
    bool squares = false;
    for (; end < PARAM_RECORD_COUNT && PARAM_RECORDS[end].block == lead.block; ++end)
      if (PARAM_RECORDS[end].square) squares = true;
    for (int index = lead.low; index <= lead.high; ++index) {
      for (size_t r = first; r < end; ++r)
        if (!PARAM_RECORDS[r].square) visit(PARAM_RECORDS[r], index, 0);
      for (int square = 0; squares && square < 64; ++square)
        for (size_t r = first; r < end; ++r)
          if (PARAM_RECORDS[r].square) visit(PARAM_RECORDS[r], index, square);
    }
    first = end;
  }
}

}  // namespace kelmstrad
