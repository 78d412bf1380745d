// Openings walked through a Polyglot book: each line starts from the standard
// position and takes `plies` book moves, each drawn with probability weight /
// sum of the weights of its position's entries, from a 64-bit Mersenne
// Twister seeded by the caller, so a seed repeats the same lines anywhere.
// A walk that leaves the book (no entry, zero weights, a move that is not
// legal here) or repeats an earlier line is dropped and walked again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game.h"

namespace kelmstrad::match {

// Walks `count` distinct lines of `plies` plies through the book file.
// False with a message when the file cannot be read or the book does not hold
// that many distinct lines (given up after 100 failed walks per line).
// Uses the engine's global position; call it while no game runs.
bool walk_book_lines(const std::string& file, int plies, int count, uint64_t seed,
                     std::vector<Opening>* lines, std::string* error);

}  // namespace kelmstrad::match
