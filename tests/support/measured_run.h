// Runs the built temp1d program in a directory and measures the largest
// resident memory it used, from the kernel's own account of the process.
#pragma once

#include <filesystem>
#include <string>

struct MeasuredRun {
    int status = -1;           // exit status as a shell sees it, 128 + signal when killed
    long peak_memory_kib = 0;  // largest resident set size of the process
    std::string standard_output;
    std::string standard_error;
};

// With `broken_standard_output`, standard output is a pipe whose reader has
// already gone, and the program starts with the default action for SIGPIPE
// (the end of the process).
MeasuredRun run_measured(const std::filesystem::path& directory, bool broken_standard_output = false);
