#include "fit/coefficient_fit_run.h"

#include <cmath>
#include <vector>

#include "fit/curve_checks.h"
#include "fit/fit_diagnostics.h"
#include "fit/interruption.h"
#include "fit/shift_search.h"

namespace fit {

void run_coefficient_fit(FitRun& run, const model::ParameterSet& parameters, const CurveReading& reading,
                         const FitSettings& settings) {
    FitProblem& problem = run.problem;
    FitResult& result = run.result;
    FitReportInput& report = run.report;
    problem.parameters = parameters;
    problem.position = settings.position;
    std::vector<int> lines;
    std::size_t skipped = 0;
    const double given_shift = settings.shift_mode == ShiftMode::given ? settings.shift : 0.0;
    if (const std::string message = select_window(reading.curve, settings.curve_file, settings.from, settings.to,
                                                  given_shift, problem, lines, skipped);
        !message.empty()) {
        run.refusal = message;
        return;
    }
    if (const std::string refusal = refusal_of_curve(problem, settings.curve_file); !refusal.empty()) {
        run.refusal = refusal;
        return;
    }

    result = fit_coefficient(problem);
    if (interruption_signal() != 0) return;
    report = FitReportInput{&problem, &result, settings.curve_file, lines, 0.0};
    report.shift_given = settings.shift_mode == ShiftMode::given;
    report.semicolons = reading.semicolons;
    report.decimal_comma = reading.decimal_comma;
    report.header_rows = reading.header_rows;
    report.time_column = settings.columns.time;
    report.temperature_column = settings.columns.temperature;
    report.shift = given_shift;
    if (settings.shift_mode == ShiftMode::fitted && std::isfinite(result.rms_residual) && result.minimum_found &&
        !result.on_boundary) {
        // The immersion time and the coefficient together, from the fit
        // without a shift; then the final fit on the points after it.
        const ShiftFit shift = fit_shift(problem, result);
        if (interruption_signal() != 0) return;
        const int runs_before = result.model_runs + shift.model_runs;
        if (const std::string message = select_window(reading.curve, settings.curve_file, settings.from, settings.to,
                                                      shift.shift, problem, lines, skipped);
            !message.empty()) {
            run.refusal = message;
            return;
        }
        result = fit_coefficient(problem);
        if (interruption_signal() != 0) return;
        result.model_runs += runs_before;
        widen_for_fitted_shift(result, shift);
        report.shift_fitted = true;
        report.shift = shift.shift;
        report.shift_low = shift.shift_low;
        report.shift_high = shift.shift_high;
        if (!shift.converged) {
            report.warnings.push_back({"shift_not_settled",
                                       "the search for the immersion time did not settle; the shift and the "
                                       "coefficient are the last values tried",
                                       ""});
        }
    }
    report.skipped_points = skipped;
    if (!std::isfinite(result.rms_residual)) {
        run.refusal = settings.curve_file +
                      ": the residual is not finite (a measured value is too large to fit); nothing written";
        return;
    }
    if (!result.minimum_found) {
        run.refusal = settings.curve_file +
                      ": no minimum: every coefficient gives the same residual, so the curve does not determine "
                      "the coefficient; nothing written";
        return;
    }
    report.diagnostics = residual_diagnostics(problem, result);
    {
        std::vector<FitWarning> setup = setup_warnings(problem, result, report.diagnostics);
        // A misfit: would the curve fit in another unit?
        if (residuals_show_misfit(result, report.diagnostics) || result.on_boundary) {
            for (const UnitTrial& trial : unit_trials(problem)) {
                const FitResult converted = fit_coefficient(trial.problem);
                if (interruption_signal() != 0) return;
                result.model_runs += converted.model_runs;
                if (unit_hint_applies(result, converted, report.diagnostics)) {
                    setup.push_back(unit_warning(trial, converted));
                }
            }
        }
        report.warnings.insert(report.warnings.end(), setup.begin(), setup.end());
        if (!result.on_boundary && (interval_open_low(result) || interval_open_high(result))) {
            report.warnings.push_back({"open_interval", open_interval_notice(result), ""});
        }
    }
}

}  // namespace fit
