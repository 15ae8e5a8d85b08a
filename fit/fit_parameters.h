// The parameter file of a fit: read with the program's own reader and
// failure reports, checked for values the fit cannot run with, and the
// place of the heat-transfer coefficient in the text for the rewrite.
#pragma once

#include <cstddef>
#include <string>

#include "model/heat_model.h"

namespace fit {

// The largest number of time steps a run of the fit may need.
inline constexpr std::int32_t fit_step_limit = 10'000'000;

struct FitParameters {
    model::ParameterSet parameters;
    std::string text;                   // the file's bytes, for the rewrite
    std::size_t coefficient_begin = 0;  // the coefficient's token in `text`
    std::size_t coefficient_end = 0;
    bool coefficient_rewritable = false;  // the token is a plain number
    std::string error;                    // empty on success
};

// Reads the parameter file at `path`.  A failed open or read gives the same
// failure report as the simulation program (unit 217, CR LF line end) in
// `error`.
FitParameters read_fit_parameters(const std::string& path);

// Reads the parameters from `text`; `full_path` names the file in reports.
FitParameters parse_fit_parameters(std::string text, const std::string& full_path);

// Why the parameters cannot be fitted, or an empty string.  The
// heat-transfer coefficient is not looked at: the fit supplies it.
std::string refusal_of_parameters(const model::ParameterSet& parameters);

}  // namespace fit
