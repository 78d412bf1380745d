#include "clock/counters.h"
#include "eval/diagnostics.h"
#include "eval/params.h"
#include "uci/commands.h"

namespace kelmstrad {

void cmd_eval(TokenReader&) { print_eval(); }
void cmd_tuneeval(TokenReader&) { print_tuneeval(); }
void cmd_evalskel(TokenReader&) { print_evalskel(); }
void cmd_evalskel2(TokenReader&) { print_evalskel2(); }
void cmd_tunefeat(TokenReader&) { print_tunefeat(); }
void cmd_termfeat(TokenReader&) { print_termfeat(); }
void cmd_termfeat3(TokenReader&) { print_termfeat3(); }
void cmd_nefeat(TokenReader&) { print_nefeat(); }
void cmd_mobstat(TokenReader&) { print_mobstat(); }
void cmd_phstat(TokenReader&) { print_phstat(); }
void cmd_dumpparams(TokenReader&) { dump_params(); }
void cmd_vsdump(TokenReader&) { print_vsdump(); }
void cmd_costkeys(TokenReader&) { print_cost_keys(); }

}  // namespace kelmstrad
