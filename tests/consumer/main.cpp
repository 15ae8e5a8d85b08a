// Solves two small tridiagonal systems with the installed DLSLTR and checks
// the solutions; exit status 0 when both are right, 1 otherwise.
#include <array>
#include <cmath>
#include <cstdio>

#include "numlib/numlib.h"

namespace {

constexpr int order = 5;
using Vector = std::array<double, order>;

// Builds the right-hand side of the system for the solution `x`, solves it
// and returns the largest deviation from `x`.
double solve_and_compare(Vector sub, Vector diag, Vector sup, const Vector& x) {
    Vector rhs{};
    for (int i = 0; i < order; ++i) {
        rhs[i] = diag[i] * x[i];
        if (i > 0) rhs[i] += sub[i] * x[i - 1];
        if (i + 1 < order) rhs[i] += sup[i] * x[i + 1];
    }
    DLSLTR(order, sub.data(), diag.data(), sup.data(), rhs.data());
    double deviation = 0.0;
    for (int i = 0; i < order; ++i) deviation = std::fmax(deviation, std::fabs(rhs[i] - x[i]));
    return deviation;
}

}  // namespace

int main() {
    const Vector x{1.0, -2.0, 3.0, -4.0, 5.0};
    // Diagonally dominant: no interchange.
    const double plain = solve_and_compare({0, -1, -1, -1, -1}, {4, 4, 4, 4, 4}, {-1, -1, -1, -1, 0}, x);
    // Small diagonal entries: every step interchanges rows.
    const double pivoted = solve_and_compare({0, 3, 5, 7, 2}, {1e-3, 2e-3, 1e-3, 3e-3, 1}, {2, 4, 6, 8, 0}, x);
    std::printf("largest deviation: %.3g without, %.3g with interchanges\n", plain, pivoted);
    return (plain <= 1e-13 && pivoted <= 1e-12) ? 0 : 1;
}
