#include <cstdlib>

#include "driver/skeleton.h"
#include "uci/commands.h"

namespace kelmstrad {

namespace {

// The next argument by atoi, or `fallback` when the line has no more.
int int_argument(TokenReader& args, int fallback) {
  const char* token = args.next();
  return token == nullptr ? fallback : atoi(token);
}

}  // namespace

void cmd_skel(TokenReader& args) { run_skel(int_argument(args, 1)); }

void cmd_skel2(TokenReader& args) { run_skel2(int_argument(args, 1)); }

void cmd_skel3(TokenReader& args) {
  const int depth = int_argument(args, 1);
  const bool killers = int_argument(args, 1) != 0;
  const bool table_move = int_argument(args, 1) != 0;
  const bool null_move = int_argument(args, 0) != 0;
  const bool reductions = int_argument(args, 0) != 0;
  run_skel3(depth, killers, table_move, null_move, reductions);
}

void cmd_skel4(TokenReader& args) { run_skel4(int_argument(args, 1)); }

}  // namespace kelmstrad
