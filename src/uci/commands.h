// The command handlers of the UCI layer, one per command word (the table in
// uci/loop.cpp names them). Each reads its arguments from the token reader
// and calls a plain function of its subsystem; nothing below this layer sees
// a token.
#pragma once

#include "driver/limits.h"
#include "uci/tokens.h"

namespace kelmstrad {

// Board (uci/commands_board.cpp).
void cmd_perft(TokenReader& args);     // "perft [depth]": root moves with subtree counts
void cmd_perftx(TokenReader& args);    // "perftx [depth]": leaf count and checksums
void cmd_d(TokenReader& args);         // "d": the diagram and the status line
void cmd_histkeys(TokenReader& args);  // "histkeys [n]": keys of the newest history records

// Evaluation (uci/commands_eval.cpp).
void cmd_eval(TokenReader& args);        // "eval": evaluate for the side to move
void cmd_tuneeval(TokenReader& args);    // "tuneeval": evaluate from White's side
void cmd_evalskel(TokenReader& args);    // "evalskel": the floor blend of the incremental scores
void cmd_evalskel2(TokenReader& args);   // "evalskel2", "evalskel2p": skeleton_eval
void cmd_tunefeat(TokenReader& args);    // "tunefeat": "tf" score and p16
void cmd_termfeat(TokenReader& args);    // "termfeat": "tf2" score, p16 and term counts
void cmd_termfeat3(TokenReader& args);   // "termfeat3": "tf3" with mobility, extras, shelter
void cmd_nefeat(TokenReader& args);      // "nefeat": the pawn-extra features F6..F10
void cmd_mobstat(TokenReader& args);     // "mobstat": the mobility side counters
void cmd_phstat(TokenReader& args);      // "phstat": simulated pawn-hash probes and misses
void cmd_dumpparams(TokenReader& args);  // "dumpparams": the evaluation parameters
void cmd_vsdump(TokenReader& args);      // "vsdump": the operation counters
void cmd_costkeys(TokenReader& args);    // "costkeys": the names of the counters

// Search (uci/commands_search.cpp).
GoRequest parse_go(TokenReader& args);  // the parameters of "go"; stops at a word without value
void cmd_go(TokenReader& args);         // "go ...": plans the limits and starts the think thread
void cmd_bench(TokenReader& args);      // "bench [depth]": depth 1 to 63, or the default
void cmd_seesign(TokenReader& args);    // "seesign MOVE": the cheap exchange sign
void cmd_seem(TokenReader& args);       // "seem MOVE": the full exchange sign
void cmd_seeleast(TokenReader& args);   // "seeleast SQUARE [SIDE]": least valuable attacker
void cmd_qhist(TokenReader& args);      // "qhist": quiescence depth counters, then cleared

// Book keys (uci/commands_search.cpp).
void cmd_bookkey(TokenReader& args);  // "bookkey": the built-in book's key
void cmd_pgkey(TokenReader& args);    // "pgkey": the Polyglot key

// Reduced searches (uci/commands_skeleton.cpp).
void cmd_skel(TokenReader& args);   // "skel [depth]"
void cmd_skel2(TokenReader& args);  // "skel2 [depth]"
void cmd_skel3(TokenReader& args);  // "skel3 [depth killers ttmove null reductions]"
void cmd_skel4(TokenReader& args);  // "skel4 [depth]"

}  // namespace kelmstrad
