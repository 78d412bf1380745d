// The reduced quiescence search of the reduced searches: stand pat on the
// reduced evaluation behind a lazy gate, then captures, searched victim by
// victim (STAGED), only as recaptures (RECAP), or from the whole tactical list
// with optional exchange (SKSEE) and delta (DELTA) filters.
#pragma once

namespace kelmstrad {

// The quiescence score of the current position for the side to move, within
// [alpha, beta] (fail-hard) or its fail-soft form under SOFT; ply counts from
// the quiescence root. Charges QS and LEGAL, advances skel_nodes and the
// quiescence statistics; the position and the move stack are left as found.
int skeleton_quiesce(int alpha, int beta, int ply);

// True if the side to move's king is attacked (an uncharged test).
bool skeleton_in_check();

}  // namespace kelmstrad
