// extract_positions: training positions from the match runner's PGN files.
//   extract_positions -o OUT FILE.pgn...
// Writes OUT (through a temporary file renamed at the end, so a failed run
// leaves no half-written file) and prints the counts of kept and dropped positions.
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "positions.h"
#include "uci/loop.h"

using namespace kelmstrad::tune_data;

int main(int argc, char** argv) {
  std::string out_path;
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-o" && i + 1 < argc)
      out_path = argv[++i];
    else if (!a.empty() && a[0] != '-')
      inputs.push_back(a);
    else
      out_path.clear(), inputs.clear(), i = argc;
  }
  if (out_path.empty() || inputs.empty()) {
    std::fprintf(stderr, "usage: extract_positions -o OUT FILE.pgn...\n");
    return 1;
  }
  kelmstrad::startup();
  prepare_filters();
  std::vector<std::string> lines;
  std::set<std::string> seen;
  ExtractCounts counts;
  for (const std::string& path : inputs) {
    std::ifstream in(path);
    if (!in) {
      std::fprintf(stderr, "extract_positions: cannot read %s\n", path.c_str());
      return 2;
    }
    PgnGame game;
    std::string error;
    for (long number = 1; read_pgn_game(in, &game, &error); ++number) {
      if (!extract_game(game, &seen, &lines, &counts, &error)) {
        std::fprintf(stderr, "extract_positions: %s game %ld: %s\n", path.c_str(), number,
                     error.c_str());
        return 2;
      }
    }
    if (!error.empty()) {
      std::fprintf(stderr, "extract_positions: %s: %s\n", path.c_str(), error.c_str());
      return 2;
    }
  }
  const std::string temp = out_path + ".tmp";
  FILE* out = std::fopen(temp.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "extract_positions: cannot write %s\n", temp.c_str());
    return 2;
  }
  std::fprintf(out,
               "# %ld games; positions: %ld kept, dropped %ld book, %ld in check, %ld not quiet\n",
               counts.games, counts.kept, counts.book, counts.in_check, counts.not_quiet);
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  const bool written = std::fclose(out) == 0;
  if (!written || std::rename(temp.c_str(), out_path.c_str()) != 0) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "extract_positions: cannot write %s\n", out_path.c_str());
    return 2;
  }
  std::printf(
      "%ld games (skipped: %ld unfinished or faulty, %ld repeated), %ld positions kept; dropped: "
      "%ld book, %ld in check, %ld not quiet\n",
      counts.games, counts.skipped_games, counts.repeated_games, counts.kept, counts.book,
      counts.in_check, counts.not_quiet);
  return 0;
}
