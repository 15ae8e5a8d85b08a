// Runs the built temp1d program in a scratch directory and collects what it
// leaves behind: exit status, standard output and error, and the files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

struct ProgramRun {
    int status = -1;          // exit status as a shell sees it
    std::string standard_output;
    std::string standard_error;
};

// A fresh, empty directory under the system's temporary directory, removed
// again by remove_scratch_directory.  Accessible to every user, so that the
// program can also run as an unprivileged user in it.
std::filesystem::path make_scratch_directory(const std::string& label);
void remove_scratch_directory(const std::filesystem::path& directory);

// Runs temp1d with `directory` as its working directory.  With
// `as_unprivileged_user`, it runs as user and group 65534 through setpriv, so
// that file permissions apply even when the tests run as root.
// `shell_setup` runs in the same shell first (for example "ulimit -n 3;").
ProgramRun run_program(const std::filesystem::path& directory, bool as_unprivileged_user = false,
                       const std::string& shell_setup = "");

std::optional<std::string> read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);

// The report line the program writes on standard error for failure
// `number` with `message`, for `unit` and `file`.
std::string failure_report_line(int number, const std::string& message, int unit, const std::filesystem::path& file);

// Whether the tests run as root, where file permissions do not bite.
bool running_as_root();

// The text with every LF preceded by CR, for writing expectations readably.
std::string crlf(const std::string& text);
