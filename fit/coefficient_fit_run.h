// The fit of a constant coefficient, from a read curve to its report: the
// window of the curve, the search, the immersion time (--shift), the
// diagnostics and the warnings, as temp1d-fit runs it and the Python
// module's fit() too.  No output is written here.
#pragma once

#include <limits>
#include <string>

#include "fit/coefficient_search.h"
#include "fit/fit_report.h"
#include "fit/measured_curve.h"
#include "model/heat_model.h"

namespace fit {

enum class ShiftMode { none, given, fitted };

struct FitSettings {
    std::string curve_file;  // names the curve in messages and the report
    ProbePosition position = ProbePosition::centre;
    double from = 0.0;  // the window, on the curve's clock
    double to = std::numeric_limits<double>::infinity();
    ShiftMode shift_mode = ShiftMode::none;
    double shift = 0.0;  // ShiftMode::given: the immersion time
    CurveColumns columns;
};

// A fit and its report.  `report` points at `problem` and `result`, so a
// FitRun is filled in place (run_coefficient_fit) and never copied.
struct FitRun {
    FitProblem problem;
    FitResult result;
    FitReportInput report;
    std::string refusal;  // not empty: nothing to report (bad input, status 2)
    FitRun() = default;
    FitRun(const FitRun&) = delete;
    FitRun& operator=(const FitRun&) = delete;
};

// Fits `parameters` to `reading` with `settings` into `run`.  Returns early,
// with what was done so far, when an interruption has been noticed
// (interruption.h); the caller looks.
void run_coefficient_fit(FitRun& run, const model::ParameterSet& parameters, const CurveReading& reading,
                         const FitSettings& settings);

}  // namespace fit
