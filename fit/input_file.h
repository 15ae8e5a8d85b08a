// The fit's input files read whole through system calls: the loop looks at
// the interruption note after every call, so that a file that never ends
// (an endless device) or never comes (a named pipe without a writer) still
// lets INT, TERM and HUP end the fit.
#pragma once

#include <string>

namespace fit {

struct InputBytes {
    std::string bytes;
    int open_error = 0;  // errno of a failed open, else 0
    int read_error = 0;  // errno of a failed read, else 0
    bool interrupted = false;
};

InputBytes read_input_file(const std::string& path);

}  // namespace fit
