// The SVG chart of a fit: the measured points against the fitted curve of
// the model at the probe position, with the coefficient and residuals noted
// above the plot, in the look of the result-file charts.
#pragma once

#include <string>

#include "fit/coefficient_search.h"
#include "fit/model_sampling.h"

namespace fit {

struct FitChartInput {
    const FitProblem* problem = nullptr;
    const FitResult* result = nullptr;
    const RecordSink* fitted = nullptr;  // the fitted run's records
    std::string curve_file;
};

std::string fit_chart_svg(const FitChartInput& input);

}  // namespace fit
