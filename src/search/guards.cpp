#include "search/guards.h"

namespace kelmstrad {

int ply_limit = 30;
int stack_move_limit = 300;
int stack_budget = 1849;

}  // namespace kelmstrad
