#include "fit/coefficient_search.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fit/interruption.h"

namespace fit {

namespace {

// Evaluations of the sum of squared residuals as a function of the natural
// logarithm of the coefficient.
struct Objective {
    const FitProblem& problem;
    model::ParameterSet parameters;
    std::vector<double> values = {};
    int runs = 0;
    int steps = 0;
    // The lowest sum seen, with its point and model values, so that the
    // minimum needs no run of its own at the end.
    double best_sum = std::numeric_limits<double>::infinity();
    double best_point = 0.0;
    std::vector<double> best_values = {};
    int best_steps = 0;
    // The spread of every sum seen: equal ends mean that the coefficient
    // changes nothing, and there is no minimum to find.
    double lowest_sum = std::numeric_limits<double>::infinity();
    double highest_sum = -std::numeric_limits<double>::infinity();
    bool interrupted = false;
};

double sum_of_squares(Objective& objective, double log_coefficient) {
    // After INT, TERM or HUP no more runs: the search winds down at once
    // and its result is thrown away.
    if (objective.interrupted || interruption_signal() != 0) {
        objective.interrupted = true;
        return std::numeric_limits<double>::infinity();
    }
    objective.parameters.heat_transfer_coefficient = std::exp(log_coefficient);
    SampleSink sink{objective.problem.times, objective.values};
    objective.steps =
        run_model_into(objective.parameters, objective.problem.position, sink, objective.problem.step_divisor);
    ++objective.runs;
    double sum = 0.0;
    for (std::size_t i = 0; i < objective.values.size(); ++i) {
        const double residual = objective.problem.temperatures[i] - objective.values[i];
        sum += residual * residual;
    }
    if (objective.interrupted || interruption_signal() != 0) {
        objective.interrupted = true;
        return std::numeric_limits<double>::infinity();
    }
    objective.lowest_sum = std::min(objective.lowest_sum, sum);
    objective.highest_sum = std::max(objective.highest_sum, sum);
    if (sum < objective.best_sum) {
        objective.best_sum = sum;
        objective.best_point = log_coefficient;
        objective.best_values = objective.values;
        objective.best_steps = objective.steps;
    }
    return sum;
}

// Brent's minimiser on [low, high]: golden-section steps, replaced by steps
// to the vertex of the parabola through the three best points whenever that
// vertex lies well inside the interval and the steps keep shrinking.
double brent_minimum(Objective& objective, double low, double high) {
    constexpr double golden = 0.3819660112501051;  // (3 - sqrt 5) / 2
    constexpr double relative_tolerance = 3e-9;
    constexpr double absolute_tolerance = 1e-10;
    double best = low + golden * (high - low);
    double second = best;
    double third = best;
    double f_best = sum_of_squares(objective, best);
    double f_second = f_best;
    double f_third = f_best;
    double step = 0.0;
    double step_before_last = 0.0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        const double middle = 0.5 * (low + high);
        const double tolerance = relative_tolerance * std::fabs(best) + absolute_tolerance;
        if (std::fabs(best - middle) <= 2.0 * tolerance - 0.5 * (high - low)) break;
        bool golden_step = true;
        if (std::fabs(step_before_last) > tolerance) {
            const double r = (best - second) * (f_best - f_third);
            double q = (best - third) * (f_best - f_second);
            double p = (best - third) * q - (best - second) * r;
            q = 2.0 * (q - r);
            if (q > 0.0) p = -p;
            q = std::fabs(q);
            if (std::fabs(p) < std::fabs(0.5 * q * step_before_last) && p > q * (low - best) && p < q * (high - best)) {
                step_before_last = step;
                step = p / q;
                const double trial = best + step;
                if (trial - low < 2.0 * tolerance || high - trial < 2.0 * tolerance) {
                    step = best < middle ? tolerance : -tolerance;
                }
                golden_step = false;
            }
        }
        if (golden_step) {
            step_before_last = best < middle ? high - best : low - best;
            step = golden * step_before_last;
        }
        const double trial = std::fabs(step) >= tolerance ? best + step : best + (step > 0.0 ? tolerance : -tolerance);
        const double f_trial = sum_of_squares(objective, trial);
        if (f_trial <= f_best) {
            if (trial < best)
                high = best;
            else
                low = best;
            third = second;
            f_third = f_second;
            second = best;
            f_second = f_best;
            best = trial;
            f_best = f_trial;
        } else {
            if (trial < best)
                low = trial;
            else
                high = trial;
            if (f_trial <= f_second || second == best) {
                third = second;
                f_third = f_second;
                second = trial;
                f_second = f_trial;
            } else if (f_trial <= f_third || third == best || third == second) {
                third = trial;
                f_third = f_trial;
            }
        }
    }
    return best;
}

}  // namespace

double student_t_95(int degrees) {
    if (degrees <= 1) return 12.706204736174698;
    const double z = 1.959963984540054;
    const double n = degrees;
    const double z2 = z * z;
    const double z3 = z2 * z, z5 = z3 * z2, z7 = z5 * z2, z9 = z7 * z2;
    return z + (z3 + z) / (4.0 * n) + (5.0 * z5 + 16.0 * z3 + 3.0 * z) / (96.0 * n * n) +
           (3.0 * z7 + 19.0 * z5 + 17.0 * z3 - 15.0 * z) / (384.0 * n * n * n) +
           (79.0 * z9 + 776.0 * z7 + 1482.0 * z5 - 1920.0 * z3 - 945.0 * z) / (92160.0 * n * n * n * n);
}

double correlated_interval_scale(const std::vector<double>& residuals, double& autocorrelation,
                                 double& effective_points) {
    const std::size_t n = residuals.size();
    double squares = 0.0, products = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        squares += residuals[i] * residuals[i];
        if (i + 1 < n) products += residuals[i] * residuals[i + 1];
    }
    const double rho = squares > 0.0 ? products / squares : 0.0;
    autocorrelation = rho;
    const double corrected = rho > 0.0 ? std::min(rho + (1.0 + 3.0 * rho) / static_cast<double>(n), 0.98) : 0.0;
    const double inflation = (1.0 + corrected) / (1.0 - corrected);
    effective_points = static_cast<double>(n) / inflation;
    return std::sqrt(inflation);
}

FitResult fit_coefficient(const FitProblem& problem) {
    Objective objective{problem, problem.parameters, std::vector<double>(problem.times.size())};
    const double lowest = std::log(lowest_coefficient);
    const double highest = std::log(highest_coefficient);

    // Bracket: one run every two decades of the range; the minimum of the
    // sum lies next to the best of them.
    constexpr int grid_intervals = 5;
    int best_index = 0;
    double best_sum = std::numeric_limits<double>::infinity();
    for (int k = 0; k <= grid_intervals; ++k) {
        const double sum = sum_of_squares(objective, lowest + (highest - lowest) * k / grid_intervals);
        if (sum < best_sum) {
            best_sum = sum;
            best_index = k;
        }
    }
    const double low = lowest + (highest - lowest) * (best_index > 0 ? best_index - 1 : 0) / grid_intervals;
    const double high =
        lowest + (highest - lowest) * (best_index < grid_intervals ? best_index + 1 : grid_intervals) / grid_intervals;
    double log_coefficient = brent_minimum(objective, low, high);

    FitResult result;
    // A minimum at an end of the range: the curve does not pin the
    // coefficient down inside it.
    constexpr double boundary_distance = 1e-4;
    if (log_coefficient - lowest < boundary_distance) {
        log_coefficient = lowest;
        result.on_boundary = true;
    } else if (highest - log_coefficient < boundary_distance) {
        log_coefficient = highest;
        result.on_boundary = true;
    }

    // Residuals at the minimum (evaluated already unless it was moved to an
    // end of the range).
    double sum = 0.0;
    if (objective.best_point == log_coefficient) {
        sum = objective.best_sum;
        objective.values = objective.best_values;
        objective.steps = objective.best_steps;
    } else {
        sum = sum_of_squares(objective, log_coefficient);
    }
    result.coefficient = result.on_boundary ? (log_coefficient == lowest ? lowest_coefficient : highest_coefficient)
                                            : std::exp(log_coefficient);
    result.model_values = objective.values;
    result.steps_per_run = objective.steps;
    const std::size_t n = problem.times.size();
    result.rms_residual = std::sqrt(sum / static_cast<double>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const double residual = problem.temperatures[i] - result.model_values[i];
        if (std::fabs(residual) > std::fabs(result.largest_residual) || i == 0) {
            result.largest_residual = residual;
            result.largest_at = i;
        }
    }

    // Interval from the curvature of the sum of squares in the logarithm:
    // the Gauss-Newton curvature J'J from central differences of the model,
    // the residual variance with one fitted parameter, Student's t.
    constexpr double difference_step = 1e-4;
    (void)sum_of_squares(objective, log_coefficient + difference_step);
    const std::vector<double> upper = objective.values;
    (void)sum_of_squares(objective, log_coefficient - difference_step);
    double curvature = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double slope = (upper[i] - objective.values[i]) / (2.0 * difference_step);
        curvature += slope * slope;
    }
    // Correlated residuals carry less information than as many independent
    // ones: with lag-1 autocorrelation rho (corrected for its bias of
    // about -(1 + 3 rho) / n in short series) the variance of a least-
    // squares estimate along a smooth sensitivity grows by
    // (1 + rho) / (1 - rho), and the effective number of points shrinks by
    // the same factor.
    std::vector<double> residuals(n);
    for (std::size_t i = 0; i < n; ++i) residuals[i] = problem.temperatures[i] - result.model_values[i];
    result.interval_scale =
        correlated_interval_scale(residuals, result.residual_autocorrelation, result.effective_points);
    const int degrees = static_cast<int>(n) - 1;
    const int effective_degrees = std::max(1, static_cast<int>(std::floor(result.effective_points)) - 1);
    const double variance = sum / degrees;
    const double half_width = student_t_95(effective_degrees) * result.interval_scale * std::sqrt(variance / curvature);
    if (curvature > 0.0 && std::isfinite(half_width)) {
        result.interval_low = std::exp(log_coefficient - half_width);
        result.interval_high = std::exp(log_coefficient + half_width);
    } else {
        result.interval_low = 0.0;
        result.interval_high = std::numeric_limits<double>::infinity();
    }
    // A minimum on an end of the search range has no interval at all.
    if (result.on_boundary) {
        result.interval_low = 0.0;
        result.interval_high = std::numeric_limits<double>::infinity();
    }

    // The time-step error: the model with a four times finer step at the
    // fitted value, and the Gauss-Newton step it asks for,
    // sum J (coarse - fine) / sum J^2 (the coarse residuals are orthogonal
    // to J at the minimum).  The time stepping is of first order, so the
    // step-0 value lies 4/3 of that step away; a third of the step bounds
    // what is left (measured against the exact solution of the cylinder,
    // the rest of the model's error stays below it).
    double log_physical = log_coefficient;
    const double fine_steps = static_cast<double>(result.steps_per_run) * finer_step_divisor;
    // Not with an open interval: there the model hardly depends on the
    // coefficient, and the step would mean nothing.
    const bool bounded = !interval_open_low(result) && !interval_open_high(result);
    if (bounded && curvature > 0.0 && problem.step_divisor == 1 && fine_steps <= finer_step_limit &&
        !objective.interrupted && interruption_signal() == 0) {
        model::ParameterSet fitted = problem.parameters;
        fitted.heat_transfer_coefficient = result.coefficient;
        std::vector<double> fine(n);
        SampleSink sink{problem.times, fine};
        run_model_into(fitted, problem.position, sink, finer_step_divisor);
        ++objective.runs;
        double projection = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double slope = (upper[i] - objective.values[i]) / (2.0 * difference_step);
            projection += slope * (result.model_values[i] - fine[i]);
        }
        const double fine_step = projection / curvature;
        if (std::isfinite(fine_step) && interruption_signal() == 0) {
            result.step_error_estimated = true;
            result.finer_step_coefficient = std::exp(log_coefficient + fine_step);
            log_physical = log_coefficient + fine_step * (finer_step_divisor / (finer_step_divisor - 1.0));
            result.step_error_bound = std::fabs(fine_step) / (finer_step_divisor - 1.0);
        }
    }
    result.step_zero_coefficient = std::exp(log_physical);
    result.physical_coefficient = model::effective_coefficient(problem.parameters, result.step_zero_coefficient);
    if (interval_open_low(result) || interval_open_high(result)) {
        result.physical_low = 0.0;
        result.physical_high = std::numeric_limits<double>::infinity();
    } else {
        const double physical_half = half_width + result.step_error_bound;
        result.physical_low = model::effective_coefficient(problem.parameters, std::exp(log_physical - physical_half));
        result.physical_high = model::effective_coefficient(problem.parameters, std::exp(log_physical + physical_half));
    }
    result.model_runs = objective.runs;
    result.interrupted = objective.interrupted;
    result.minimum_found = std::isfinite(objective.lowest_sum) && objective.lowest_sum < objective.highest_sum;
    return result;
}

}  // namespace fit
