#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "board/move.h"
#include "driver/bench.h"
#include "driver/book.h"
#include "driver/limits.h"
#include "driver/polyglot.h"
#include "driver/think.h"
#include "io/output.h"
#include "search/quiesce.h"
#include "search/see.h"
#include "uci/commands.h"

namespace kelmstrad {

namespace {

// atol of a token, held within 32 bits as a 32-bit long would hold it.
int32_t read_long(const char* token) {
  const long long v = strtoll(token, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The generated move named by the next token, or 0 when missing or unknown.
Move move_argument(TokenReader& args) {
  const char* text = args.next();
  return text == nullptr ? 0 : parse_move_text(text);
}

}  // namespace

// Reads the parameters of "go"; stops at a word without its value.
GoRequest parse_go(TokenReader& args) {
  GoRequest request{};
  const char* word;
  while ((word = args.next()) != nullptr) {
    if (strcmp(word, "ponder") == 0) {
      request.ponder = true;
      continue;
    }
    if (strcmp(word, "infinite") == 0) {
      request.infinite = true;
      continue;
    }
    const char* value = args.next();
    if (value == nullptr) break;
    if (strcmp(word, "wtime") == 0)
      request.wtime = read_long(value);
    else if (strcmp(word, "btime") == 0)
      request.btime = read_long(value);
    else if (strcmp(word, "winc") == 0)
      request.winc = read_long(value);
    else if (strcmp(word, "binc") == 0)
      request.binc = read_long(value);
    else if (strcmp(word, "movetime") == 0)
      request.movetime = read_long(value);
    else if (strcmp(word, "nodes") == 0)
      request.node_limit = static_cast<uint32_t>(read_long(value));
    else if (strcmp(word, "extra") == 0) {
      request.extra_ms = read_long(value);
      request.has_extra = true;
    } else if (strcmp(word, "depth") == 0)
      request.depth = read_long(value);
  }
  return request;
}

void cmd_go(TokenReader& args) { start_search(parse_go(args)); }

void cmd_bench(TokenReader& args) {
  const char* token = args.next();
  const int depth = token == nullptr ? BENCH_DEFAULT_DEPTH : atoi(token);
  if (depth < 1 || depth > MAX_SEARCH_DEPTH) {
    uci_print("info string bench depth must be 1 to %d\n", MAX_SEARCH_DEPTH);
    return;
  }
  run_bench(depth);
}

void cmd_seesign(TokenReader& args) { print_see_sign(move_argument(args)); }

void cmd_seem(TokenReader& args) { print_see(move_argument(args)); }

// A missing or non-hex square reads as 0 (a1), a missing side as White.
void cmd_seeleast(TokenReader& args) {
  const char* square_text = args.next();
  const char* side_text = args.next();
  const unsigned long square = square_text == nullptr ? 0 : strtoul(square_text, nullptr, 16);
  const int side = side_text == nullptr ? 0 : atoi(side_text);
  print_see_least(square, side);
}

void cmd_qhist(TokenReader&) { print_qhist(); }

void cmd_bookkey(TokenReader&) { print_book_key(); }

void cmd_pgkey(TokenReader&) { print_polyglot_key(); }

}  // namespace kelmstrad
