// The fit's report on standard output, as text for reading or as JSON.
#pragma once

#include <string>

#include "fit/coefficient_search.h"
#include "fit/measured_curve.h"

namespace fit {

struct FitReportInput {
    const FitProblem* problem = nullptr;
    const FitResult* result = nullptr;
    std::string curve_file;
    std::vector<int> lines;  // file line of each fitted point
    double seconds = 0.0;    // wall time of reading, checking and fitting
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
