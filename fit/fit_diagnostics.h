// What a finished fit says about itself: the structure of its residuals,
// the start and end of the curve against the parameter file, likely unit
// mistakes and the model's own limits, as warnings with a code.
#pragma once

#include <string>
#include <vector>

#include "fit/coefficient_search.h"

namespace fit {

struct FitWarning {
    std::string code;       // snake_case, stable
    std::string message;    // one sentence for a reader
    std::string parameter;  // the parameter it concerns (snake_case), or empty
};

// Figures of the residuals (measured minus model) of a fit.
struct ResidualDiagnostics {
    double lag1_autocorrelation = 0.0;  // sum e(i) e(i+1) / sum e(i)^2
    double runs_z = 0.0;                // Wald-Wolfowitz runs test of the signs, standardised
    double swing = 0.0;                 // highest minus lowest measured temperature
    double noise = 0.0;                 // from successive differences of the residuals
};

ResidualDiagnostics residual_diagnostics(const FitProblem& problem, const FitResult& result);

// Whether the residuals show a misfit: strongly structured (lag-1
// autocorrelation above 0.95 with a runs-test z below -4) while larger than
// a thousandth of the swing, or an RMS above 2 % of the swing and three
// times the noise (the spread of successive differences).
bool residuals_show_misfit(const FitResult& result, const ResidualDiagnostics& diagnostics);

// The warnings about the set-up of a fit: the residuals, the curve's
// first points against the initial temperature, its last points against
// the medium, and a bore.
std::vector<FitWarning> setup_warnings(const FitProblem& problem, const FitResult& result,
                                       const ResidualDiagnostics& diagnostics);

// A unit hint: when `converted` (the curve read in another unit: degrees
// Fahrenheit or kelvin turned into degrees, or times in minutes turned
// into seconds) fits far better than the curve as it is, a warning that
// names the unit ("Fahrenheit", "Kelvin" or "minutes").
struct UnitTrial {
    const char* unit;    // as named in the message
    const char* code;    // the warning's code
    FitProblem problem;  // the curve converted
};
std::vector<UnitTrial> unit_trials(const FitProblem& problem);
bool unit_hint_applies(const FitResult& as_given, const FitResult& converted, const ResidualDiagnostics& diagnostics);
FitWarning unit_warning(const UnitTrial& trial, const FitResult& converted);

}  // namespace fit
