// The immersion time on the curve's clock: given, or fitted together with
// the coefficient.  A logger started before immersion records a flat start
// at the initial temperature; after the shift those points have negative
// times, are taken as the initial temperature during the search and are
// left out of the final fit.
#pragma once

#include <cstddef>

#include "fit/coefficient_search.h"

namespace fit {

// The points of `on_curve_clock` at or after `shift`, with the shift taken
// off their times, into `shifted` (its parameters and position copied);
// returns how many points were left out at the start.
std::size_t apply_shift(const FitProblem& on_curve_clock, double shift, FitProblem& shifted);

struct ShiftFit {
    double shift = 0.0;      // seconds, positive when the logger started before immersion
    double shift_low = 0.0;  // approximate 95 % interval
    double shift_high = 0.0;
    // Half the 95 % interval of the natural logarithm of the coefficient
    // with the shift fitted too (wider than with the shift known); 0 when
    // there is none.
    double log_coefficient_half_width = 0.0;
    bool converged = false;  // the joint search settled
    int model_runs = 0;      // runs of the joint search (the final fit counts its own)
};

// Fits the shift and the coefficient together by Gauss-Newton steps from
// the fit without a shift (`unshifted`), with step halving when the sum of
// squares grows.  The shift is kept where every point stays within the run
// and at least three points lie after immersion.  The shift's interval is
// widened for correlated residuals as the coefficient's is, from the
// residuals at the joint minimum.
ShiftFit fit_shift(const FitProblem& on_curve_clock, const FitResult& unshifted);

// Widens the intervals of `result` (a fit on the points after a fitted
// shift, which treats the shift as known) to the joint interval of `shift`
// where that is wider.
void widen_for_fitted_shift(FitResult& result, const ShiftFit& shift);

}  // namespace fit
