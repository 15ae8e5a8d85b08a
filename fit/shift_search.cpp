#include "fit/shift_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "fit/interruption.h"
#include "fit/model_sampling.h"

namespace fit {

std::size_t apply_shift(const FitProblem& on_curve_clock, double shift, FitProblem& shifted) {
    shifted.parameters = on_curve_clock.parameters;
    shifted.position = on_curve_clock.position;
    shifted.times.clear();
    shifted.temperatures.clear();
    std::size_t skipped = 0;
    for (std::size_t i = 0; i < on_curve_clock.times.size(); ++i) {
        const double t = on_curve_clock.times[i] - shift;
        if (t < 0.0) {
            ++skipped;
            continue;
        }
        shifted.times.push_back(t);
        shifted.temperatures.push_back(on_curve_clock.temperatures[i]);
    }
    return skipped;
}

namespace {

// The model at the curve's times minus `shift` (the initial temperature
// before immersion), and at those times plus and minus `epsilon` when
// `slopes` is given: the slope of the model curve there.
struct ShiftedRun {
    std::vector<double> values;
    std::vector<double> slopes;
};

void run_shifted(const FitProblem& curve, double coefficient, double shift, double epsilon, bool with_slopes,
                 ShiftedRun& out) {
    model::ParameterSet parameters = curve.parameters;
    parameters.heat_transfer_coefficient = coefficient;
    const std::size_t n = curve.times.size();
    // Every sample time with its place: the value, then the two sides.
    std::vector<double> times;
    std::vector<std::size_t> slot;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = curve.times[i] - shift;
        times.push_back(std::max(t, 0.0));
        slot.push_back(3 * i);
        if (with_slopes) {
            times.push_back(std::max(t - epsilon, 0.0));
            slot.push_back(3 * i + 1);
            times.push_back(std::max(t + epsilon, 0.0));
            slot.push_back(3 * i + 2);
        }
    }
    std::vector<std::size_t> order(times.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return times[a] < times[b]; });
    std::vector<double> sorted(times.size()), sampled(times.size());
    for (std::size_t k = 0; k < order.size(); ++k) sorted[k] = times[order[k]];
    SampleSink sink{sorted, sampled};
    run_model_into(parameters, curve.position, sink);
    std::vector<double> by_slot(3 * n, 0.0);
    for (std::size_t k = 0; k < order.size(); ++k) by_slot[slot[order[k]]] = sampled[k];
    out.values.assign(n, 0.0);
    out.slopes.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = curve.times[i] - shift;
        out.values[i] = t < 0.0 ? parameters.initial_temperature : by_slot[3 * i];
        if (with_slopes) {
            const double low = std::max(t - epsilon, 0.0), high = std::max(t + epsilon, 0.0);
            out.slopes[i] = high > low ? (by_slot[3 * i + 2] - by_slot[3 * i + 1]) / (high - low) : 0.0;
        }
    }
}

double sum_of_squares(const FitProblem& curve, const std::vector<double>& values) {
    double sum = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double r = curve.temperatures[i] - values[i];
        sum += r * r;
    }
    return sum;
}

}  // namespace

ShiftFit fit_shift(const FitProblem& curve, const FitResult& unshifted) {
    ShiftFit fit;
    const model::ParameterSet& p = curve.parameters;
    const std::size_t n = curve.times.size();
    const double run_end = p.first_phase_duration + p.second_phase_duration;
    // The shift keeps every point within the run and three after immersion.
    const double lowest_shift = curve.times.back() - run_end;
    const double highest_shift = n >= 3 ? curve.times[n - 3] : 0.0;
    const double epsilon = 0.5 * model::derive_model_setup(p).time_step;
    constexpr double log_step = 1e-3;

    double log_h = std::log(unshifted.coefficient);
    double shift = 0.0;
    ShiftedRun base, varied;
    run_shifted(curve, std::exp(log_h), shift, epsilon, true, base);
    ++fit.model_runs;
    double sum = sum_of_squares(curve, base.values);
    double jhh = 0.0, jhs = 0.0, jss = 0.0;
    for (int iteration = 0; iteration < 40; ++iteration) {
        if (interruption_signal() != 0) return fit;
        run_shifted(curve, std::exp(log_h + log_step), shift, epsilon, false, varied);
        ++fit.model_runs;
        double gh = 0.0, gs = 0.0;
        jhh = jhs = jss = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double dh = (varied.values[i] - base.values[i]) / log_step;
            const double ds = -base.slopes[i];
            const double r = curve.temperatures[i] - base.values[i];
            jhh += dh * dh;
            jhs += dh * ds;
            jss += ds * ds;
            gh += dh * r;
            gs += ds * r;
        }
        const double determinant = jhh * jss - jhs * jhs;
        if (!(determinant > 0.0)) break;
        double step_h = (jss * gh - jhs * gs) / determinant;
        double step_s = (jhh * gs - jhs * gh) / determinant;
        // Bounded steps: the model is far from linear in the shift.
        const double span = curve.times.back() - curve.times.front();
        const double scale = std::max({1.0, std::fabs(step_h) / 0.5, std::fabs(step_s) / (0.1 * span)});
        step_h /= scale;
        step_s /= scale;
        bool improved = false;
        for (int halving = 0; halving < 12; ++halving) {
            const double trial_s = std::clamp(shift + step_s, lowest_shift, highest_shift);
            ShiftedRun trial;
            run_shifted(curve, std::exp(log_h + step_h), trial_s, epsilon, true, trial);
            ++fit.model_runs;
            const double trial_sum = sum_of_squares(curve, trial.values);
            if (trial_sum <= sum) {
                const bool settled = std::fabs(trial_s - shift) < 1e-5 && std::fabs(step_h) < 1e-7;
                log_h += step_h;
                shift = trial_s;
                base = std::move(trial);
                sum = trial_sum;
                improved = true;
                if (settled) fit.converged = true;
                break;
            }
            step_h *= 0.5;
            step_s *= 0.5;
        }
        if (!improved) {
            fit.converged = true;  // no step lowers the sum: a minimum
            break;
        }
        if (fit.converged) break;
    }
    fit.shift = shift;
    // The interval of the shift from the 2 x 2 curvature, with the residual
    // variance of two fitted parameters.
    const double determinant = jhh * jss - jhs * jhs;
    const int degrees = static_cast<int>(n) - 2;
    std::vector<double> residuals(n);
    for (std::size_t i = 0; i < n; ++i) residuals[i] = curve.temperatures[i] - base.values[i];
    double autocorrelation = 0.0, effective_points = 0.0;
    const double scale = correlated_interval_scale(residuals, autocorrelation, effective_points);
    const int effective_degrees = std::max(1, static_cast<int>(std::floor(effective_points)) - 2);
    if (determinant > 0.0 && degrees >= 1) {
        const double variance = sum / degrees;
        const double half = scale * student_t_95(effective_degrees) * std::sqrt(variance * jhh / determinant);
        fit.shift_low = shift - half;
        fit.shift_high = shift + half;
        fit.log_coefficient_half_width =
            scale * student_t_95(effective_degrees) * std::sqrt(variance * jss / determinant);
    } else {
        fit.shift_low = -std::numeric_limits<double>::infinity();
        fit.shift_high = std::numeric_limits<double>::infinity();
    }
    return fit;
}

void widen_for_fitted_shift(FitResult& result, const ShiftFit& shift) {
    if (interval_open_low(result) || interval_open_high(result) || !(result.coefficient > 0.0)) return;
    const double own = std::log(result.interval_high / result.coefficient);
    const double extra = shift.log_coefficient_half_width - own;
    if (!(extra > 0.0) || !std::isfinite(extra)) return;
    const double factor = std::exp(extra);
    result.interval_low /= factor;
    result.interval_high *= factor;
    result.physical_low /= factor;
    result.physical_high *= factor;
}

}  // namespace fit
