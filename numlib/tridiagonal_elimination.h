// The row operations of the tridiagonal elimination and back substitution,
// shared by DLSLTR (eliminate and substitute in one call) and by the pair
// DLSLTF / DLSLTS (eliminate the matrix once, then substitute any number of
// right-hand sides).  Every routine of the three goes through these
// functions, so their results agree bit for bit.
//
// Arrays hold element 1 at index 0.  While row k is processed, s[k], d[k],
// u[k] hold its entries in columns k, k+1, k+2, so an interchange of two rows
// swaps entries of the same columns.  The order of the operations fixes the
// rounding of the results.
#pragma once

#include <cmath>
#include <utility>

#include "numlib/numlib.h"

namespace numlib::detail {

// The row with the strictly larger entry in the pivot column stays the
// pivot row; ties and NaN magnitudes interchange.
inline bool keeps_pivot_row(double pivot_row_entry, double next_row_entry) {
    return std::fabs(pivot_row_entry) > std::fabs(next_row_entry);
}

// Zero of either sign, and also NaN: a NaN pivot would fill the solution
// with NaN, so it is reported like a zero pivot.
inline bool is_unusable_pivot(double pivot) { return !(std::fabs(pivot) > 0.0); }

// t = -(r * s(k+1)), r the reciprocal of the pivot.
inline double elimination_multiplier(double pivot_reciprocal, double next_row_entry) {
    return -(pivot_reciprocal * next_row_entry);
}

// An entry of the next row after the elimination: entry + t * pivot row entry.
inline double eliminated_entry(double next_row_entry, double multiplier, double pivot_row_entry) {
    return next_row_entry + multiplier * pivot_row_entry;
}

// Forward elimination of rows 1..n of s, d, u and, when `b` is not null, of
// the right-hand side b; s[0] and d[0] must already hold row 1 in columns
// 1..3 (see DLSLTR).  When `multiplier` and `interchanged` are not null,
// step k records its multiplier t in multiplier[k] and whether it
// interchanged rows k and k+1 in interchanged[k] (1 or 0), for k = 0..n-2.
// Returns the element (from 1) whose pivot was unusable, or 0; the rows
// processed so far are then left as they stand.
//
// The row being eliminated is carried in registers from one step to the
// next, so the chain of dependent operations does not pass through memory;
// each row is stored once it is final.
inline int eliminate(int n, double* s, double* d, double* u, double* b, double* multiplier, int* interchanged) {
    const bool with_rhs = b != nullptr;
    const bool recording = multiplier != nullptr;
    double row_s = s[0], row_d = d[0], row_u = u[0], row_b = with_rhs ? b[0] : 0.0;
    for (int k = 0; k + 1 < n; ++k) {
        double next_s = s[k + 1], next_d = d[k + 1], next_u = u[k + 1], next_b = with_rhs ? b[k + 1] : 0.0;
        const bool interchange = !keeps_pivot_row(row_s, next_s);
        if (interchange) {
            std::swap(row_s, next_s);
            std::swap(row_d, next_d);
            std::swap(row_u, next_u);
            std::swap(row_b, next_b);
        }
        if (is_unusable_pivot(row_s)) {
            // Leave both rows as they stand after the interchange.
            s[k] = row_s, d[k] = row_d, u[k] = row_u;
            s[k + 1] = next_s, d[k + 1] = next_d, u[k + 1] = next_u;
            if (with_rhs) b[k] = row_b, b[k + 1] = next_b;
            return k + 1;
        }
        const double r = 1.0 / row_s;
        const double t = elimination_multiplier(r, next_s);
        if (recording) multiplier[k] = t, interchanged[k] = interchange ? 1 : 0;
        // Row k is final; the back substitution multiplies by the reciprocal
        // of its pivot.
        s[k] = r, d[k] = row_d, u[k] = row_u;
        if (with_rhs) b[k] = row_b;
        row_s = eliminated_entry(next_d, t, row_d);
        row_d = eliminated_entry(next_u, t, row_u);
        row_u = 0.0;
        if (with_rhs) row_b = eliminated_entry(next_b, t, row_b);
    }
    s[n - 1] = row_s, d[n - 1] = row_d, u[n - 1] = row_u;
    if (with_rhs) b[n - 1] = row_b;
    return is_unusable_pivot(row_s) ? n : 0;
}

// The right-hand side's share of the elimination, replayed from the
// recorded interchanges and multipliers: the same operations on b, in the
// same order, as `eliminate` performs on it.
inline void eliminate_right_hand_side(int n, const double* multiplier, const int* interchanged, double* b) {
    double row_b = b[0];
    for (int k = 0; k + 1 < n; ++k) {
        double next_b = b[k + 1];
        if (interchanged[k] != 0) std::swap(row_b, next_b);
        b[k] = row_b;
        row_b = eliminated_entry(next_b, multiplier[k], row_b);
    }
    b[n - 1] = row_b;
}

// Back substitution through the upper factor left by `eliminate`: s[k] the
// reciprocal of pivot k (k < n-1), s[n-1] the last pivot itself, d[k] and
// u[k] row k of the factor in columns k+1 and k+2, b the eliminated
// right-hand side, overwritten by the solution, with the unknowns of
// numlib.h.  The last two solution values stay in registers.
inline void back_substitute(int n, const double* s, const double* d, const double* u, double* b) {
    double later = last_unknown(b[n - 1], s[n - 1]);
    b[n - 1] = later;
    if (n < 2) return;
    double latest = second_last_unknown(b[n - 2], d[n - 2], later, s[n - 2]);
    b[n - 2] = latest;
    for (int k = n - 3; k >= 0; --k) {
        const double x = unknown(b[k], d[k], latest, u[k], later, s[k]);
        b[k] = x;
        later = latest;
        latest = x;
    }
}

// Moves row 1 to columns 1..3 and clears the entries outside the matrix
// (SUPDIAG[0] after the move, SUPDIAG[N-1]); for N = 1 only SUBDIAG[0]
// receives the diagonal.
inline void shift_first_row(int n, double* s, double* d, double* u) {
    s[0] = d[0];
    if (n >= 2) {
        d[0] = u[0];
        u[0] = 0.0;
        u[n - 1] = 0.0;
    }
}

// The two failures of the tridiagonal routines, recorded (E1SETI, E1MES)
// against the routine that called: N <= 0 (a TERMINAL error 1) and a pivot
// that became exactly zero at `element` (a FATAL error 2).  One text each
// for DLSLTR, DLSLTF, DLSLTS and DLSLTE.
void record_bad_order(int n);
void record_zero_pivot(int element);

}  // namespace numlib::detail
