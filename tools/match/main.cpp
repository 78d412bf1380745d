// The match runner for UCI engines (see -h).
#include "match.h"

int main(int argc, char** argv) { return kelmstrad::match::match_main(argc, argv); }
