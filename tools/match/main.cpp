// The match runner for UCI engines (see -h).
#include <signal.h>

#include "match.h"

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a dead engine shows as a failed write, not a dead tool
  return kelmstrad::match::match_main(argc, argv);
}
