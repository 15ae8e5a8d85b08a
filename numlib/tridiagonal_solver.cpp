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

    // The row being eliminated (pivot row k, already in columns k..k+2) is
    // carried in registers from one step to the next, so the elimination's
    // chain of dependent operations does not pass through memory.  Each row
    // is stored once it is final.  The operations and their order are those
    // of the elimination written on the arrays.
    double row_s = s[0], row_d = d[0], row_u = u[0], row_b = b[0];
    for (int k = 0; k + 1 < n; ++k) {
        double next_s = s[k + 1], next_d = d[k + 1], next_u = u[k + 1], next_b = b[k + 1];
        // The row with the strictly larger entry in column k stays; ties and
        // NaN magnitudes interchange.
        if (!(std::fabs(row_s) > std::fabs(next_s))) {
            std::swap(row_s, next_s);
            std::swap(row_d, next_d);
            std::swap(row_u, next_u);
            std::swap(row_b, next_b);
        }
        if (is_unusable_pivot(row_s)) {
            // Leave both rows as they stand after the interchange.
            s[k] = row_s, d[k] = row_d, u[k] = row_u, b[k] = row_b;
            s[k + 1] = next_s, d[k + 1] = next_d, u[k + 1] = next_u, b[k + 1] = next_b;
            failed_element = k + 1;
            break;
        }
        const double r = 1.0 / row_s;
        const double t = -(r * next_s);
        // Row k is final; the back substitution multiplies by the reciprocal
        // of its pivot.
        s[k] = r, d[k] = row_d, u[k] = row_u, b[k] = row_b;
        row_s = next_d + t * row_d;
        row_d = next_u + t * row_u;
        row_u = 0.0;
        row_b = next_b + t * row_b;
    }

    if (failed_element == 0) {
        s[n - 1] = row_s, d[n - 1] = row_d, u[n - 1] = row_u, b[n - 1] = row_b;
        if (is_unusable_pivot(row_s)) failed_element = n;
    }

    if (failed_element == 0) {
        // Back substitution; the last two solution values stay in registers.
        double later = row_b / row_s;  // b(n): a true division, the last pivot was not inverted
        b[n - 1] = later;
        if (n >= 2) {
            double latest = (b[n - 2] - d[n - 2] * later) * s[n - 2];
            b[n - 2] = latest;
            for (int k = n - 3; k >= 0; --k) {
                const double x = ((b[k] - d[k] * latest) - u[k] * later) * s[k];
                b[k] = x;
                later = latest;
                latest = x;
            }
        }
    } else {
        E1SETI(1, failed_element);
        E1MES(4, 2, "Element %(i1) of the diagonal became exactly zero during execution.");
    }
    E1POP("DLSLTR ");
}
