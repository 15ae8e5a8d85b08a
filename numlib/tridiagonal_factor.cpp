// DLSLTF and DLSLTS: the elimination of DLSLTR split into the part that
// depends on the matrix alone (done once) and the part that depends on the
// right-hand side (done for each right-hand side).  Both go through the row
// operations of tridiagonal_elimination.h, which DLSLTR uses, so a solve by
// the pair gives the bits DLSLTR gives for the same system.  DLSLTE is the
// first half of DLSLTS on its own.
#include "numlib/numlib.h"
#include "numlib/tridiagonal_elimination.h"

namespace numlib {

void DLSLTF(const int& N, double* SUBDIAG, double* DIAG, double* SUPDIAG, double* MULT, int* IPVT) {
    E1PSH("DLSLTF ");
    const int n = N;
    if (n <= 0) {
        detail::record_bad_order(n);
        E1POP("DLSLTF ");
        return;
    }
    detail::shift_first_row(n, SUBDIAG, DIAG, SUPDIAG);
    const int failed_element = detail::eliminate(n, SUBDIAG, DIAG, SUPDIAG, nullptr, MULT, IPVT);
    if (failed_element != 0) detail::record_zero_pivot(failed_element);
    E1POP("DLSLTF ");
}

void DLSLTS(const int& N, const double* SUBDIAG, const double* DIAG, const double* SUPDIAG, const double* MULT,
            const int* IPVT, double* RHS) {
    const int n = N;
    if (n <= 0) {
        // The only failure; the routine name is pushed for its report alone,
        // which keeps the push and pop off the path of every good call.
        E1PSH("DLSLTS ");
        detail::record_bad_order(n);
        E1POP("DLSLTS ");
        return;
    }
    detail::eliminate_right_hand_side(n, MULT, IPVT, RHS);
    detail::back_substitute(n, SUBDIAG, DIAG, SUPDIAG, RHS);
}

void DLSLTE(const int& N, const double* MULT, const int* IPVT, double* RHS) {
    const int n = N;
    if (n <= 0) {
        // As in DLSLTS: the name is pushed for the report alone.
        E1PSH("DLSLTE ");
        detail::record_bad_order(n);
        E1POP("DLSLTE ");
        return;
    }
    detail::eliminate_right_hand_side(n, MULT, IPVT, RHS);
}

}  // namespace numlib
