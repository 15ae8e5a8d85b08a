// The parameter file "DataInpTemp1d.txt": a title line, then the eleven
// parameters of a run read by nine free-form reads.
#pragma once

#include <cstddef>
#include <string>
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

// What a read of the parameter file records besides the values, for the
// check; a run records nothing.
struct ParameterFileRecord {
    textio::ReadProvenance* provenance = nullptr;  // where each value came from
    std::string* text = nullptr;                   // a copy of the bytes read, up to `text_limit`
    std::size_t text_limit = 0;
    std::size_t stop_offset = 0;  // set: the offset in the file where reading stopped
    std::string full_path;        // set: the file's full path, as reports name it
};

// Opens, reads and closes the parameter file (unit 217, relative to the
// working directory).  A run creates a missing file (`create_missing`), as
// it always has; a check does not (failure 29).  A failed open or read
// writes its failure report and stops the work (textio::Stop); the values
// read before the failure are then in `parameters`, and `record` says where
// reading stopped.
// `name` is the file to read, the parameter file of the working directory
// unless another is given.
void read_parameter_file(ParameterSet& parameters, bool create_missing = true, ParameterFileRecord* record = nullptr,
                         std::string_view name = parameter_file_name);

// The parameter file of a run.
inline ParameterSet read_parameter_file() {
    ParameterSet parameters;
    read_parameter_file(parameters);
    return parameters;
}

}  // namespace model
