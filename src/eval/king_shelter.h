// King shelter: five penalties for a king whose pawn cover is thin.
//
// A king stands at home on its own first two ranks. For each of the (up to)
// three files around the king:
//   at home, no own pawn one rank ahead: term 1 when an own pawn stands two
//   ranks ahead instead, else term 2;
//   no own pawn on the file: term 3 when the enemy has one there, else term 4.
// A king away from home adds term 5 once. Each term costs ksw[term].
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

// Minus the sum of the shelter penalties of `side`'s king; refreshes that
// side's shelter_counts. The count arrays are pawn counts by file + 1.
int king_shelter(Side side, const int8_t* own_counts, const int8_t* enemy_counts);

}  // namespace kelmstrad
