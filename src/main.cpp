#include <cstdio>
#include <cstring>
#include <string>

#include "uci/commands.h"
#include "uci/loop.h"

// "kelmstrad bench [depth]" runs the bench and ends; otherwise (any other
// arguments are ignored) the engine speaks UCI on standard input.
int main(int argc, char** argv) {
  kelmstrad::startup();
  if (argc > 1 && strcmp(argv[1], "bench") == 0) {
    std::string line;
    for (int i = 2; i < argc; ++i) line.append(argv[i]).append(" ");
    kelmstrad::TokenReader args(line.data());
    kelmstrad::cmd_bench(args);
    return 0;
  }
  return kelmstrad::command_loop(stdin);
}
