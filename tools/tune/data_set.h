// Training positions: reading the data file, the held-out split, and the
// feature counts of every position.
//
// A data line is "<FEN with 6 fields> [<r>]" with r 1.0, 0.5 or 0.0, the
// game's result from White's side; "#" lines and blank lines are skipped.
// The positions are held as FEN text (the score tables depend on the
// parameters, so a position is set up afresh for each exact evaluation) and
// as sparse feature counts of the tuned parameters, white minus black.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelmstrad::tune {

// One feature count of one position: the parameter's index in all_params().
struct Entry {
  uint16_t param;
  int16_t count;
};

struct Sample {
  std::string fen;
  float result;          // 1, 0.5 or 0 for White
  uint8_t p16;           // blend weight 0..16
  bool held_out;         // in the validation tenth
  uint32_t first;        // first entry in DataSet::entries
  uint16_t entry_count;  // entries of this position
  float anchor;          // exact white-relative evaluation at the anchor weights
  float scale;           // d(evaluation)/d(blended value) there (endgame rules)
  float anchor_linear;   // the linear part of the tuned weights at the anchor
};

struct DataSet {
  std::vector<Sample> samples;
  std::vector<Entry> entries;
  size_t train_count = 0;
  size_t valid_count = 0;
};

// Why a FEN cannot be a training position (malformed, or not a position the
// engine plays), or "" when it can; on success the engine's position is set.
std::string fen_problem(const std::string& fen);

// Reads the data file and splits off the held-out tenth: every tenth game,
// a game being a run of lines with one result and a rising full-move number
// (every tenth position when there are fewer than 10 such runs). False with
// a message naming the first bad line, or when fewer than 10 positions are left.
bool read_data_file(const std::string& path, DataSet* data, std::string* error);

// Sets up every position and records the feature counts of the parameters in
// `groups`; prints a progress line now and then on long runs.
void extract_features(DataSet* data, uint32_t groups);

}  // namespace kelmstrad::tune
