// The outputs of a boiling-curve fit: the report on standard output (text
// or JSON), the fitted table in the format of temp1d --coefficient-table,
// and the SVG chart of the coefficient against the surface temperature
// with its band, above the measured and the modelled curves and their
// residuals.
#pragma once

#include <string>
#include <vector>

#include "fit/boiling_curve_fit.h"
#include "fit/model_sampling.h"

namespace fit {

struct BoilingCurveReportInput {
    const BoilingCurveProblem* problem = nullptr;
    const BoilingCurveResult* result = nullptr;
    std::string curve_file;
    std::vector<int> lines;                    // file line of each fitted point
    std::vector<std::string> material_tables;  // "conductivity FILE", ... as given
    double seconds = 0.0;
};

// The warnings of a fit (each one line, without "warning: "): an interval
// with an open end, a node on the end of the search range, a smoothing
// weight at the end of the grid, a minimisation stopped by its step limit.
std::vector<std::string> boiling_curve_warnings(const BoilingCurveResult& result);

std::string boiling_curve_report_text(const BoilingCurveReportInput& input);
std::string boiling_curve_report_json(const BoilingCurveReportInput& input);

// The fitted table: a header line, then "temperature,coefficient" per node
// with ten significant digits, as temp1d --coefficient-table reads it.
std::string boiling_curve_table_text(const BoilingCurveResult& result);

struct BoilingCurveChartInput {
    const BoilingCurveProblem* problem = nullptr;
    const BoilingCurveResult* result = nullptr;
    const RecordSink* fitted = nullptr;  // the fitted run's records at the probe position
    std::string curve_file;
};

std::string boiling_curve_chart_svg(const BoilingCurveChartInput& input);

}  // namespace fit
