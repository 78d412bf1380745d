#include "data_set.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "features.h"
#include "progress.h"

namespace kelmstrad::tune {

namespace {

// Why the placement field is not 8 ranks of 8 squares, or "".
std::string placement_problem(const std::string& board) {
  int rank = 0;
  int file = 0;
  for (char c : board) {
    if (c == '/') {
      if (file != 8) return "rank " + std::to_string(8 - rank) + " does not hold 8 squares";
      ++rank;
      file = 0;
    } else if (c >= '1' && c <= '8') {
      file += c - '0';
    } else if (strchr("pnbrqkPNBRQK", c) != nullptr) {
      if ((c == 'p' || c == 'P') && (rank == 0 || rank == 7))
        return "a pawn on the first or last rank";
      ++file;
    } else {
      return std::string("unexpected character '") + c + "' in the placement";
    }
    if (file > 8) return "rank " + std::to_string(8 - rank) + " holds more than 8 squares";
  }
  if (rank != 7 || file != 8) return "the placement does not hold 8 ranks of 8 squares";
  return "";
}

// The last field of a FEN.
long fullmove_of(const std::string& fen) {
  const size_t space = fen.rfind(' ');
  return atol(fen.c_str() + (space == std::string::npos ? 0 : space + 1));
}

bool all_digits(const std::string& s) {
  return !s.empty() && s.size() < 9 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The result text as a number, or -1.
float parse_result(const std::string& text) {
  if (text == "1.0" || text == "1") return 1.0f;
  if (text == "0.5") return 0.5f;
  if (text == "0.0" || text == "0") return 0.0f;
  return -1.0f;
}

// Why a data line is malformed, or ""; fills fen and result.
std::string line_problem(const std::string& line, std::string* fen, float* result) {
  const size_t open = line.find('[');
  const size_t close = line.find(']');
  if (open == std::string::npos || close == std::string::npos || close < open)
    return "no result in brackets";
  if (line.find_first_not_of(" \t\r", close + 1) != std::string::npos)
    return "text after the result";
  std::string inside = line.substr(open + 1, close - open - 1);
  inside.erase(0, inside.find_first_not_of(" \t"));
  inside.erase(inside.find_last_not_of(" \t") + 1);
  *result = parse_result(inside);
  if (*result < 0) return "result '" + inside + "' is not 1.0, 0.5 or 0.0";
  std::istringstream in(line.substr(0, open));
  std::vector<std::string> fields;
  std::string field;
  while (in >> field) fields.push_back(field);
  if (fields.size() != 6) return "the FEN has " + std::to_string(fields.size()) + " fields, not 6";
  *fen = fields[0];
  for (size_t i = 1; i < 6; ++i) *fen += " " + fields[i];
  return fen_problem(*fen);
}

}  // namespace

std::string fen_problem(const std::string& fen) {
  std::istringstream in(fen);
  std::string board, side, castling, ep, halfmove, fullmove;
  in >> board >> side >> castling >> ep >> halfmove >> fullmove;
  if (std::string p = placement_problem(board); !p.empty()) return p;
  if (side != "w" && side != "b") return "side to move '" + side + "' is not w or b";
  if (castling != "-" &&
      (castling.empty() || castling.find_first_not_of("KQkq") != std::string::npos))
    return "castling field '" + castling + "' is not '-' or made of KQkq";
  const bool ep_ok = ep == "-" || (ep.size() == 2 && ep[0] >= 'a' && ep[0] <= 'h' &&
                                   ep[1] == (side == "w" ? '6' : '3'));
  if (!ep_ok) return "en-passant field '" + ep + "' is not '-' or a square behind a pawn";
  if (!all_digits(halfmove) || !all_digits(fullmove)) return "move counters are not numbers";
  parse_fen(fen.c_str());
  if (const char* why = unplayable_reason()) return why;
  return "";
}

bool read_data_file(const std::string& path, DataSet* data, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read data file " + path;
    return false;
  }
  data->samples.clear();
  std::string line;
  size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    Sample s{};
    if (std::string p = line_problem(line, &s.fen, &s.result); !p.empty()) {
      *error = path + " line " + std::to_string(number) + ": " + p;
      return false;
    }
    data->samples.push_back(std::move(s));
  }
  const size_t n = data->samples.size();
  if (n < 10) {
    *error = "data file " + path + " holds " + std::to_string(n) +
             " positions; at least 10 are needed (a tenth is held out)";
    return false;
  }
  // Games: runs of lines with one result and a full-move number that never
  // falls. Whole games are held out, so no held-out position has a neighbour
  // from its own game in training. Too few runs (shuffled or one-game data):
  // every tenth position.
  std::vector<size_t> game(n);
  size_t games = 0;
  for (size_t i = 0; i < n; ++i) {
    const Sample& s = data->samples[i];
    if (i > 0 && (s.result != data->samples[i - 1].result ||
                  fullmove_of(s.fen) < fullmove_of(data->samples[i - 1].fen)))
      ++games;
    game[i] = games;
  }
  const bool by_game = games + 1 >= 10;
  data->train_count = data->valid_count = 0;
  for (size_t i = 0; i < n; ++i) {
    data->samples[i].held_out = (by_game ? game[i] : i) % 10 == 9;
    ++(data->samples[i].held_out ? data->valid_count : data->train_count);
  }
  return true;
}

void extract_features(DataSet* data, uint32_t groups) {
  Progress progress("features", data->samples.size());
  data->entries.clear();
  std::vector<Entry> one;
  for (size_t i = 0; i < data->samples.size(); ++i) {
    Sample& s = data->samples[i];
    parse_fen(s.fen.c_str());
    s.p16 = static_cast<uint8_t>(position_features(groups, &one));
    s.first = static_cast<uint32_t>(data->entries.size());
    s.entry_count = static_cast<uint16_t>(one.size());
    data->entries.insert(data->entries.end(), one.begin(), one.end());
    progress.step(i + 1);
  }
}

}  // namespace kelmstrad::tune
