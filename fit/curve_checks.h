// Checks of a measured curve against the run it is to be fitted with, made
// before any model run: the fitted window, the run's end, and curves that
// cannot determine a coefficient.
#pragma once

#include <string>

#include "fit/coefficient_search.h"
#include "fit/measured_curve.h"

namespace fit {

// The points of `curve` with from <= time <= to, into problem.times and
// problem.temperatures, with their file lines in `lines`; the times are
// taken on the model's clock, time - shift, and points before the shift
// (before immersion) are left out and counted in `skipped`.  Returns a
// message naming `curve_file` when the window holds fewer than three points
// or a point lies past the end of the run.
std::string select_window(const MeasuredCurve& curve, const std::string& curve_file, double from, double to,
                          double shift, FitProblem& problem, std::vector<int>& lines, std::size_t& skipped);

// Two numbers written with as many significant digits (at least six) as it
// takes for them to differ on the page.
std::string distinct_number(double value, double other);

// Why the points of `problem` cannot determine the coefficient, or an empty
// string: the medium is at the initial temperature, the curve is flat, or it
// moves away from the medium's temperature.
std::string refusal_of_curve(const FitProblem& problem, const std::string& curve_file);

}  // namespace fit
