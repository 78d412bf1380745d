// Root evaluation terms (ORC): middlegame bonuses that depend on where the two
// kings stand when a search starts, fixed for the whole search and folded into
// the incremental scores through root_terms (eval/params.h). ORC is a bit set:
// 1 king tropism of knights to queens, 4 knight outposts, 8 pawn storm against
// a king castled on the other wing; KT and KTOPP weigh the tropism of the side
// to move and of its opponent, OUTP and STORM the other two.
#pragma once

namespace kelmstrad {

// With ORC set: root_terms filled for the current position (zero for both
// sides when a king is missing) and the board's piece-square tables refilled;
// true. Without ORC nothing changes and the answer is false.
bool set_root_terms();

// Whether the root terms depend on the side to move (KT differs from KTOPP).
bool root_terms_depend_on_side();

}  // namespace kelmstrad
