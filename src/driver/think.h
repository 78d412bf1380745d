// The think thread's search-wide state that other subsystems read.
#pragma once

#include <cstdint>

namespace kelmstrad {

// history_top when the current search started; the search-line term of the
// evaluation scans the history from here to the top.
extern int32_t search_root_top;

}  // namespace kelmstrad
