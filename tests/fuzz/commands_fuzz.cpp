// Fuzz target: a stream of command lines, one per '\n' (a NUL ends its line),
// carried out in-process by process_line exactly as the command loop would,
// with the output sent to a null sink. "quit" ends the input as it would end
// the process.
//
// The harness, not the engine, keeps each input short:
// - "go" gets a node limit: the line is completed so that its last keyword
//   has a value, then "nodes N" is appended, N being the line's own node
//   limit when that is between 1 and MAX_GO_NODES, else MAX_GO_NODES;
// - the depth of "perft" and "perftx" is held at MAX_PERFT_DEPTH and that of
//   "skel", "skel2", "skel3" and "skel4" at MAX_SKEL_DEPTH; as these reduced
//   searches know no node limit, they are skipped in a position with more of
//   a kind than a game usually has (more than 8 pawns, 3 knights, bishops or
//   rooks, or 2 queens of a side), where their quiescence alone can run to
//   tens of millions of nodes;
// - at the end of the input a search that would wait for "stop" (infinite,
//   pondering, or paced to real time) is stopped; any other search ends by
//   its own limits.
//
// Beside the sanitizers, plain faults stop the run:
// - whenever no search is running after a line, the position must be
//   consistent with its incremental state, still playable (the check of
//   "position"), and the move stack empty;
// - every "go" must be answered by exactly one "bestmove", in order, naming a
//   legal move of the position the search started from ("0000" only when it
//   has none), and its ponder move, if any, must be legal after it.
// The replies are captured in a scratch file; KELMSTRAD_FUZZ_OUTPUT shows them.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "board/position.h"
#include "driver/think.h"
#include "harness.h"
#include "io/env.h"
#include "io/output.h"
#include "uci/loop.h"

using namespace kelmstrad;

namespace {

constexpr uint32_t MAX_GO_NODES = 1500;
constexpr int MAX_PERFT_DEPTH = 2;
constexpr int MAX_SKEL_DEPTH = 2;
constexpr const char* DELIMITERS = " \t\r\n";

// The tokens of a line, split as the engine splits it.
std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> tokens;
  size_t start = line.find_first_not_of(DELIMITERS);
  while (start != std::string::npos) {
    const size_t end = line.find_first_of(DELIMITERS, start);
    tokens.push_back(line.substr(start, end - start));
    start = end == std::string::npos ? end : line.find_first_not_of(DELIMITERS, end);
  }
  return tokens;
}

// The line rebuilt from its tokens.
std::string join(const std::vector<std::string>& tokens) {
  std::string line;
  for (const std::string& token : tokens) {
    if (!line.empty()) line += ' ';
    line += token;
  }
  return line;
}

// "go" with the node limit appended, after the keywords are paired the way
// the engine pairs them ("ponder" and "infinite" stand alone).
std::string capped_go(std::vector<std::string> tokens) {
  uint32_t nodes = 0;
  size_t i = 1;
  while (i < tokens.size()) {
    if (tokens[i] == "ponder" || tokens[i] == "infinite") {
      ++i;
      continue;
    }
    if (i + 1 == tokens.size()) tokens.push_back("0");
    if (tokens[i] == "nodes")
      nodes = static_cast<uint32_t>(strtoll(tokens[i + 1].c_str(), nullptr, 10));
    i += 2;
  }
  if (nodes == 0 || nodes > MAX_GO_NODES) nodes = MAX_GO_NODES;
  tokens.push_back("nodes");
  tokens.push_back(std::to_string(nodes));
  return join(tokens);
}

// The line with the token at `index`, if any, held at `cap` (atoi value).
std::string capped_depth(std::vector<std::string> tokens, size_t index, int cap) {
  if (index < tokens.size() && atoi(tokens[index].c_str()) > cap)
    tokens[index] = std::to_string(cap);
  return join(tokens);
}

// Ends a running search as process_line does before any command but "stop",
// "ponderhit" and "isready", so that the harness may read the position.
void end_search() {
  if (searching.load()) stop_flag.store(1, std::memory_order_relaxed);
  join_search_thread();
}

// True when no side has more pieces of a kind than a game usually has.
bool ordinary_material() {
  constexpr int MOST[7] = {0, 8, 3, 3, 3, 2, 1};
  int count[16] = {};
  for (int sq = 0; sq < 128; ++sq)
    if (on_board(sq)) ++count[position.board[sq] & 15];
  for (int kind = PAWN; kind <= KING; ++kind)
    if (count[kind] > MOST[kind] || count[kind | BLACK] > MOST[kind]) return false;
  return true;
}

// The line as the harness lets the engine see it.
std::string bounded_line(const std::string& line) {
  const std::vector<std::string> tokens = split(line);
  if (tokens.empty()) return line;
  const std::string& word = tokens[0];
  if (word == "go") return capped_go(tokens);
  if (word == "perft" || word == "perftx") return capped_depth(tokens, 1, MAX_PERFT_DEPTH);
  if (word == "skel" || word == "skel2" || word == "skel3" || word == "skel4") {
    end_search();
    if (!ordinary_material()) return "";
    return capped_depth(tokens, 1, MAX_SKEL_DEPTH);
  }
  return line;
}

// Ends the input's search: stopped if it would wait, else left to its limits.
void finish_search() {
  const bool waits =
      infinite.load() || (pondering.load() && !ponderhit.load()) || real_time_mode.load();
  if (waits) stop_flag.store(1, std::memory_order_relaxed);
  join_search_thread();
}

// A "go" as the harness saw it: the legal moves of the position the search
// starts from, and the legal replies to each. (The position itself cannot be
// kept for later: the search rebuilds its scores with the root bonuses.)
struct GoRecord {
  std::vector<std::string> legal;
  std::map<std::string, std::vector<std::string>> replies;
  std::string line;
};

std::vector<GoRecord> go_records;  // the "go" lines of the current input
FILE* capture = nullptr;           // the engine's replies to the current input

// Stops the run with a message: a finding.
[[noreturn]] void fail(const char* what, const std::string& line) {
  fprintf(stderr, "commands_fuzz: after \"%s\": %s\n", line.c_str(), what);
  abort();
}

// Ends a running search as process_line would before a "go" and notes the
// position the new search will start from.
void note_go(const std::string& line) {
  end_search();
  GoRecord record;
  record.line = line;
  for (Move move : fuzz::legal_moves()) {
    const std::string text = move_to_text(move);
    record.legal.push_back(text);
    make_move(move);
    record.replies[text] = fuzz::legal_move_texts();
    unmake_move();
  }
  go_records.push_back(record);
}

// The replies captured so far.
std::string captured_text() {
  fflush(capture);
  std::string text;
  rewind(capture);
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), capture)) > 0) text.append(chunk, n);
  return text;
}

// An empty capture file as the output sink.
void start_capture() {
  if (capture == nullptr) capture = tmpfile();
  if (capture == nullptr) abort();
  fflush(capture);
  if (ftruncate(fileno(capture), 0) != 0) abort();
  rewind(capture);
  set_output_sink(capture);
}

// True if `text` is one of `moves`.
bool contains(const std::vector<std::string>& moves, const std::string& text) {
  return std::find(moves.begin(), moves.end(), text) != moves.end();
}

// Checks one "bestmove" reply against the position its "go" started from.
void check_best_move(const GoRecord& go, const std::vector<std::string>& reply) {
  const std::string best = reply.size() > 1 ? reply[1] : "";
  if (go.legal.empty()) {
    if (best != "0000") fail("bestmove in a position without legal moves", go.line);
    return;
  }
  if (!contains(go.legal, best)) fail("bestmove is not a legal move", go.line);
  if (reply.size() < 4) return;
  if (reply[2] != "ponder" || reply.size() != 4) fail("malformed bestmove line", go.line);
  if (!contains(go.replies.at(best), reply[3]))
    fail("the ponder move is not legal after the best move", go.line);
}

// Matches the "bestmove" replies with the "go" lines, in order.
void check_replies() {
  const std::string text = captured_text();
  if (env_present("KELMSTRAD_FUZZ_OUTPUT")) fwrite(text.data(), 1, text.size(), stdout);
  size_t answered = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.rfind("bestmove", 0) != 0) continue;
    if (answered == go_records.size()) fail("a bestmove without its go", line);
    check_best_move(go_records[answered++], split(line));
  }
  if (answered != go_records.size()) fail("a go without its bestmove", go_records[answered].line);
}

// The checks made after a line when no search runs.
void check_idle_state(const std::string& line) {
  if (searching.load()) return;
  join_search_thread();
  if (!position_is_ok()) fail("the position is inconsistent", line);
  if (const char* why = unplayable_reason()) fail(why, line);
  if (move_stack_len != 0) fail("the move stack is not empty", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_engine_once();
  fuzz::reset_engine();
  start_capture();
  go_records.clear();
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    line = line.substr(0, strlen(line.c_str()));
    start = end + 1;
    const std::string bounded = bounded_line(line);
    const std::vector<std::string> tokens = split(bounded);
    if (!tokens.empty() && tokens[0] == "go") note_go(bounded);
    if (!process_line(bounded.c_str())) break;
    check_idle_state(bounded);
  }
  finish_search();
  check_replies();
  return 0;
}
