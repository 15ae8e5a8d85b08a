// The fit's report on standard output, as text for reading or as JSON.
#pragma once

#include <string>

#include "fit/coefficient_search.h"
#include "fit/fit_diagnostics.h"
#include "fit/measured_curve.h"

namespace fit {

struct FitReportInput {
    const FitProblem* problem = nullptr;
    const FitResult* result = nullptr;
    std::string curve_file;
    std::vector<int> lines;  // file line of each fitted point
    double seconds = 0.0;    // wall time of reading, checking and fitting
    ResidualDiagnostics diagnostics = {};
    std::vector<FitWarning> warnings = {};
    // The immersion time on the curve's clock (--shift): given, or fitted
    // with an interval; the points before it are left out.
    bool shift_given = false;
    bool shift_fitted = false;
    double shift = 0.0;
    double shift_low = 0.0;
    double shift_high = 0.0;
    std::size_t skipped_points = 0;
    // How the curve file was written.
    bool semicolons = false;
    bool decimal_comma = false;
    int header_rows = 0;
    int time_column = 1;
    int temperature_column = 2;
};

std::string fit_report_text(const FitReportInput& input);
std::string fit_report_json(const FitReportInput& input);

// The Biot number of the physical problem: the physical coefficient times
// the wall (R - inner radius) over the conductivity.
double biot_number(const model::ParameterSet& parameters, double physical_coefficient);

// The notice for a minimum on an end of the search range.
std::string boundary_notice(const FitResult& result);

// The notice for an interval with an open end (reported as "open" in the
// text and null in JSON).
std::string open_interval_notice(const FitResult& result);

}  // namespace fit
