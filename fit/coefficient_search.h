// The search for the heat-transfer coefficient that makes the model's
// temperature at the probe position reproduce a measured curve in the sense
// of least squares, and an approximate 95 % interval for it.
#pragma once

#include <limits>
#include <vector>

#include "fit/model_sampling.h"
#include "model/heat_model.h"

namespace fit {

// The largest number of steps of the run with the finer time step that
// estimates the model's time-step error.
inline constexpr std::int32_t finer_step_divisor = 4;
inline constexpr double finer_step_limit = 4e6;

// The search range of the coefficient, W/(m2 K).
inline constexpr double lowest_coefficient = 1e-3;
inline constexpr double highest_coefficient = 1e7;

struct FitProblem {
    model::ParameterSet parameters;  // every value but the coefficient is used as given
    ProbePosition position = ProbePosition::centre;
    std::vector<double> times;  // the measured points inside the window, ascending
    std::vector<double> temperatures;
    // Time steps of the model runs: temp1d's own (1), or that many times
    // finer.
    std::int32_t step_divisor = 1;
};

struct FitResult {
    double coefficient = 0.0;   // the value for the parameter file
    bool on_boundary = false;   // the minimum lies at an end of the search range
    double interval_low = 0.0;  // approximate 95 % interval of the coefficient
    double interval_high = 0.0;
    // The physical problem's coefficient, model::effective_coefficient of
    // the value for the parameter file, and its 95 % interval (0 and
    // infinity for open ends).
    double physical_coefficient = 0.0;
    double physical_low = 0.0;
    double physical_high = 0.0;
    double rms_residual = 0.0;
    // The factor by which correlated residuals widen the interval over the
    // one for independent noise (1 when they are not correlated), from the
    // residuals' lag-1 autocorrelation, and the effective number of
    // independent points it leaves.
    double residual_autocorrelation = 0.0;
    double interval_scale = 1.0;
    double effective_points = 0.0;
    // The model's time-step error: the line-4 value that the model with a
    // four times finer step fits (one run there, linearised), the
    // coefficient extrapolated to step 0 (first order in the step), and the
    // bound on what is left, in the natural logarithm of the coefficient.
    bool step_error_estimated = false;
    double finer_step_coefficient = 0.0;
    double step_zero_coefficient = 0.0;  // line-4 value of the physical problem
    double step_error_bound = 0.0;       // ln units, added to the physical interval
    double largest_residual = 0.0;       // measured minus model, the largest in size
    std::size_t largest_at = 0;          // index of the point where it lies
    std::vector<double> model_values;    // the fitted model at the measured times
    int model_runs = 0;
    int steps_per_run = 0;  // steps of one run up to the last measured point
    // False when every run gave the same sum of squares, or none gave a
    // finite one: the coefficient changes nothing, and the value found
    // means nothing.
    bool minimum_found = true;
    bool interrupted = false;  // INT, TERM or HUP stopped the search
};

// Whether the 95 % interval has an open end: the curvature is too small
// for a finite bound on that side.
inline bool interval_open_low(const FitResult& result) { return !(result.interval_low > 0.0); }
inline bool interval_open_high(const FitResult& result) {
    return !(result.interval_high < std::numeric_limits<double>::infinity());
}

// The widening of an interval for correlated residuals `residuals`: the
// square root of (1 + rho) / (1 - rho), rho their lag-1 autocorrelation
// plus (1 + 3 rho) / n for the bias of its estimate, at most 0.98, and 1
// when rho is not positive; `effective_points` gets n (1 - rho) / (1 + rho).
double correlated_interval_scale(const std::vector<double>& residuals, double& autocorrelation,
                                 double& effective_points);

// Fits the coefficient.  The problem's parameters must have passed
// refusal_of_parameters and the times must lie within the run.
FitResult fit_coefficient(const FitProblem& problem);

// The two-sided 95 % quantile of Student's t distribution with `degrees`
// degrees of freedom (at least 1), from the Cornish-Fisher expansion about
// the normal quantile; within 1 % for 2 degrees and closer above.
double student_t_95(int degrees);

}  // namespace fit
