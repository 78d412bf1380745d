#include "driver/think.h"

namespace kelmstrad {

// history_top at the start of the current search (0 before any search).
int32_t search_root_top = 0;

}  // namespace kelmstrad
