// Evaluation reports for testing and tuning. Each prints one line through
// uci_print; the feature prints read the counts of the evaluation just made.
// A position without a king of each side is not evaluated: the reports that
// would evaluate it answer with an "info string" instead.
#pragma once

namespace kelmstrad {

void print_eval();       // "eval": evaluate for the side to move
void print_tuneeval();   // "tuneeval": evaluate from White's side
void print_evalskel();   // "evalskel": the floor blend of the incremental scores
void print_evalskel2();  // "evalskel2", "evalskel2p": skeleton_eval
void print_tunefeat();   // "tunefeat": "tf" score and p16
void print_termfeat();   // "termfeat": "tf2" score, p16 and term counts
void print_termfeat3();  // "termfeat3": "tf3" with mobility, extras, shelter
void print_nefeat();     // "nefeat": the pawn-extra features F6..F10
void print_mobstat();    // "mobstat": the mobility side counters
void print_phstat();     // "phstat": simulated pawn-hash probes and misses

}  // namespace kelmstrad
