// The parameter file with the fitted coefficient: every byte copied except
// the coefficient's number, which is replaced; the text after it on its line
// (the comment) is kept, in its column where the new number leaves room.
#pragma once

#include <string>

#include "fit/fit_parameters.h"

namespace fit {

// The number as written into the file: ten significant digits.
std::string coefficient_text(double coefficient);

// The rewritten file text.  Needs fit.coefficient_rewritable.
std::string rewrite_coefficient(const FitParameters& fit, double coefficient);

}  // namespace fit
