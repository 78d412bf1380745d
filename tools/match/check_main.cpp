// The UCI compliance check (see -h).
#include "check.h"

int main(int argc, char** argv) { return kelmstrad::match::check_main(argc, argv); }
