// DLSLTR: solution of a tridiagonal linear system in place by Gaussian
// elimination with partial pivoting between the pivot row and the row below.
// The row operations are those of tridiagonal_elimination.h, which the
// factor-once pair DLSLTF / DLSLTS uses as well.
#include "numlib/numlib.h"
#include "numlib/tridiagonal_elimination.h"

namespace numlib {

namespace detail {

void record_bad_order(int n) {
    E1SETI(1, n);
    E1MES(terminal, 1, "The number of equations must be positive while N = %(i1) is given.");
}

void record_zero_pivot(int element) {
    E1SETI(1, element);
    E1MES(fatal, 2, "Element %(i1) of the diagonal became exactly zero during execution.");
}

}  // namespace detail

bool DLSLTR(const int& N, double* SUBDIAG, double* DIAG, double* SUPDIAG, double* RHS) {
    E1PSH("DLSLTR ");
    const int n = N;
    if (n <= 0) {
        detail::record_bad_order(n);
        E1POP("DLSLTR ");
        return false;
    }
    detail::shift_first_row(n, SUBDIAG, DIAG, SUPDIAG);
    const int failed_element = detail::eliminate(n, SUBDIAG, DIAG, SUPDIAG, RHS, nullptr, nullptr);
    if (failed_element == 0) {
        detail::back_substitute(n, SUBDIAG, DIAG, SUPDIAG, RHS);
    } else {
        detail::record_zero_pivot(failed_element);
    }
    E1POP("DLSLTR ");
    return failed_element == 0;
}

}  // namespace numlib
