// Option values the engine is told from outside. The UCI layer sets them
// ("setoption") only while no search thread exists, so the search reads them
// without locking.
#pragma once

namespace kelmstrad {

extern int real_speed_option;  // RealSpeed: pace virtual time to real time
extern int skeleton_mode;      // Skeleton: plain move order in the searches
extern int own_book;           // OwnBook
extern int no_tt;              // NoTT: main search without the table
extern int see_enabled;        // SEE: exchange tests in quiescence
extern int cheap_see;          // CheapSEE mode
extern int terms_mask;         // Terms: evaluation-term mask
extern int lean_mode;          // Lean: the lean evaluation and no table

}  // namespace kelmstrad
