// Runs the built programs in a scratch directory and collects what they
// leave behind: exit status, standard output and standard error.
#pragma once

#include <filesystem>
#include <string>

struct ProgramRun {
    int status = -1;  // exit status as a shell sees it, 128 + signal when killed
    std::string standard_output;
    std::string standard_error;
};

// Runs `binary` with `arguments` (already quoted for the shell) and
// `directory` as its working directory.  Standard output and error are
// captured in files outside `directory`, so that they never show in a
// listing of it.  With `as_unprivileged_user`, the program runs as user and
// group 65534 through setpriv, so that file permissions apply even when the
// tests run as root.  `shell_setup` runs in the same shell first (for
// example "ulimit -n 3;"); the redirections are made before it, so that a
// limit on open files or file sizes applies to the program only.
ProgramRun run_binary(const std::filesystem::path& binary, const std::filesystem::path& directory,
                      const std::string& arguments, bool as_unprivileged_user = false,
                      const std::string& shell_setup = "");

// Runs temp1d without arguments in `directory`.
ProgramRun run_program(const std::filesystem::path& directory, bool as_unprivileged_user = false,
                       const std::string& shell_setup = "");

// Runs temp1d with `arguments` (already quoted for the shell) in `directory`.
ProgramRun run_program_with(const std::filesystem::path& directory, const std::string& arguments);

// The report line the program writes on standard error for failure
// `number` with `message`, for `unit` and `file`.
std::string failure_report_line(int number, const std::string& message, int unit, const std::filesystem::path& file);

// Whether the tests run as root, where file permissions do not bite.
bool running_as_root();
