// Evaluation commands for testing and tuning. Each prints one line through
// uci_print; the feature prints read the counts of the evaluation just made.
// A position without a king of each side is not evaluated: the commands that
// would evaluate it answer with an "info string" instead.
#pragma once

#include "uci/tokens.h"

namespace kelmstrad {

void cmd_eval(TokenReader& args);       // "eval": evaluate for the side to move
void cmd_tuneeval(TokenReader& args);   // "tuneeval": evaluate from White's side
void cmd_evalskel(TokenReader& args);   // "evalskel": the floor blend of the incremental scores
void cmd_evalskel2(TokenReader& args);  // "evalskel2", "evalskel2p": skeleton_eval
void cmd_tunefeat(TokenReader& args);   // "tunefeat": "tf" score and p16
void cmd_termfeat(TokenReader& args);   // "termfeat": "tf2" score, p16 and term counts
void cmd_termfeat3(TokenReader& args);  // "termfeat3": "tf3" with mobility, extras, shelter
void cmd_nefeat(TokenReader& args);     // "nefeat": the pawn-extra features F6..F10
void cmd_mobstat(TokenReader& args);    // "mobstat": the mobility side counters
void cmd_phstat(TokenReader& args);     // "phstat": simulated pawn-hash probes and misses

}  // namespace kelmstrad
