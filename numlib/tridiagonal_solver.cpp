// DLSLTR: solution of a tridiagonal linear system in place by Gaussian
// elimination with partial pivoting between the pivot row and the row below.
//
// The arrays hold element 1 at index 0; the loops below run over indices.
// While row k is processed, s[k], d[k], u[k] hold its entries in columns k,
// k+1, k+2, so an interchange of two rows swaps entries of the same columns.
// The order of the operations fixes the rounding of the results.
#include "numlib/numlib.h"

#include <cmath>
#include <utility>

namespace {

// Zero of either sign, and also NaN: a NaN pivot would fill the solution
// with NaN, so it is reported like a zero pivot.
bool is_unusable_pivot(double pivot) { return !(std::fabs(pivot) > 0.0); }

}  // namespace

void DLSLTR(const int& N, double* SUBDIAG, double* DIAG, double* SUPDIAG, double* RHS)
{
    E1PSH("DLSLTR ");
    const int n = N;
    if (n <= 0) {
        E1SETI(1, n);
        E1MES(5, 1, "The number of equations must be positive while N = %(i1) is given.");
        E1POP("DLSLTR ");
        return;
    }

    double* const s = SUBDIAG;
    double* const d = DIAG;
    double* const u = SUPDIAG;
    double* const b = RHS;

    int failed_element = 0;  // element (from 1) whose pivot was zero
    s[0] = d[0];
    if (n >= 2) {
        // Shift row 1 to columns 1..3 and clear the entries outside the matrix.
        d[0] = u[0];
        u[0] = 0.0;
        u[n - 1] = 0.0;
    }

    for (int k = 0; k + 1 < n; ++k) {
        // The row with the strictly larger entry in column k stays; ties and
        // NaN magnitudes interchange.
        if (!(std::fabs(s[k]) > std::fabs(s[k + 1]))) {
            std::swap(s[k], s[k + 1]);
            std::swap(d[k], d[k + 1]);
            std::swap(u[k], u[k + 1]);
            std::swap(b[k], b[k + 1]);
        }
        if (is_unusable_pivot(s[k])) {
            failed_element = k + 1;
            break;
        }
        const double r = 1.0 / s[k];
        const double t = -(r * s[k + 1]);
        s[k + 1] = d[k + 1] + t * d[k];
        d[k + 1] = u[k + 1] + t * u[k];
        u[k + 1] = 0.0;
        b[k + 1] = b[k + 1] + t * b[k];
        s[k] = r;  // the back substitution multiplies by the reciprocal
    }

    if (failed_element == 0 && is_unusable_pivot(s[n - 1])) {
        failed_element = n;
    }

    if (failed_element == 0) {
        b[n - 1] = b[n - 1] / s[n - 1];
        if (n >= 2) {
            b[n - 2] = (b[n - 2] - d[n - 2] * b[n - 1]) * s[n - 2];
        }
        for (int k = n - 3; k >= 0; --k) {
            b[k] = ((b[k] - d[k] * b[k + 1]) - u[k] * b[k + 2]) * s[k];
        }
    } else {
        E1SETI(1, failed_element);
        E1MES(4, 2, "Element %(i1) of the diagonal became exactly zero during execution.");
    }
    E1POP("DLSLTR ");
}
