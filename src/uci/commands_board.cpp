#include <cstdlib>

#include "board/perft.h"
#include "eval/evaluate.h"
#include "uci/commands.h"

namespace kelmstrad {

namespace {

constexpr int DEFAULT_HISTKEYS = 32;

// The depth argument of a perft command: atoi of the token, 1 when missing.
int depth_argument(TokenReader& args) {
  const char* token = args.next();
  return token != nullptr ? atoi(token) : 1;
}

}  // namespace

void cmd_perft(TokenReader& args) { perft_divide(depth_argument(args)); }

void cmd_perftx(TokenReader& args) { perftx_report(depth_argument(args)); }

// The diagram's value is the static evaluation, charged like any evaluation.
void cmd_d(TokenReader&) { print_diagram(evaluate); }

void cmd_histkeys(TokenReader& args) {
  const char* token = args.next();
  print_history_keys(token != nullptr ? atoi(token) : DEFAULT_HISTKEYS);
}

}  // namespace kelmstrad
