// Self-play games for network training, played in-process on the engine's
// one global position: each game starts from a book-walk line and a few
// random plies, then both sides search a fixed number of nodes per move.
// Game g draws everything from a Mersenne Twister seeded with (seed, g) and
// starts from cleared tables, so a game's positions depend only on the seed,
// the settings and g, never on which process played it or what came before.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packed.h"

namespace kelmstrad::train_data {

struct SelfplaySettings {
  uint64_t seed;
  uint32_t nodes;                     // node limit of every search
  int random_plies;                   // up to this many random plies after the book line
  int max_plies;                      // a game still running after this many plies is a draw
  std::vector<std::string> openings;  // book lines, SAN moves separated by spaces
};

struct SelfplayCounts {
  long games = 0;
  long searched = 0;  // positions searched (book and random plies not counted)
  long in_check = 0;
  long capture = 0;     // a capture or promotion was just played or is the best move
  long mate_score = 0;  // the search score is a mate score
  long kept = 0;
};

// The book lines of a file: one line per opening, '#' starts a comment; false
// with a message when the file cannot be read or holds no line.
bool read_openings(const std::string& path, std::vector<std::string>* lines, std::string* error);

// Engine start-up for the generator, once per process (the engine's
// environment switches apply as they would in the engine).
void selfplay_init();

// Plays game number `game` and appends its kept positions; counts added.
void play_game(const SelfplaySettings& settings, long game, std::vector<PackedPosition>* kept,
               SelfplayCounts* counts);

}  // namespace kelmstrad::train_data
