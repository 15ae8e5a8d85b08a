// The parameter file "DataInpTemp1d.txt": a title line, then the eleven
// parameters of a run read by nine free-form reads.
#pragma once

#include <string_view>

#include "model/heat_model.h"
#include "textio/free_form_reader.h"

namespace model {

inline constexpr std::string_view parameter_file_name = "DataInpTemp1d.txt";
inline constexpr int parameter_file_unit = 217;

// Skips the title line and reads the eleven parameters with the reader.  On
// a failure the values read so far stay in `parameters` and the outcome says
// what went wrong.
textio::ReadOutcome read_parameter_set(textio::FreeFormReader& reader, ParameterSet& parameters);

// Opens, reads and closes the parameter file; a failure ends the program
// with its failure report.
ParameterSet read_parameter_file();

}  // namespace model
