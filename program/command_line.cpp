#include "program/command_line.h"

#include <cerrno>
#include <charconv>
#include <utility>
#include <unistd.h>

#include "model/parameter_file.h"
#include "program/outcomes.h"
#include "textio/failure_report.h"
#include "textio/posix_file.h"

#ifndef TEMP1D_VERSION
#error "TEMP1D_VERSION must be defined by the build (the project version)"
#endif

namespace program {

namespace {

constexpr std::string_view usage_line =
    "usage: temp1d [-C DIR] [--quiet] [--csv FILE [--radii LIST] [--every N]] [--check [--json]] "
    "[--coefficient-table FILE] [--conductivity-table FILE] [--specific-heat-table FILE] | --help | --version";

// The table options and where each puts its file name.
struct TableOption {
    std::string_view name;
    std::string TableFiles::*file;
};
constexpr TableOption table_options[] = {
    {"--coefficient-table", &TableFiles::coefficient},
    {"--conductivity-table", &TableFiles::conductivity},
    {"--specific-heat-table", &TableFiles::specific_heat},
};

CommandLine usage_error(std::string problem) {
    CommandLine command;
    command.action = ProgramAction::usage_error;
    command.problem = std::move(problem);
    return command;
}

// The value of option `name`, as "--name VALUE" or "--name=VALUE"; false
// when the argument is not that option.  A missing value gives an empty
// `value` and sets `missing`.
bool option_value(std::span<const char* const> arguments, std::size_t& i, std::string_view name, std::string& value,
                  bool& missing) {
    const std::string_view argument = arguments[i] != nullptr ? arguments[i] : "";
    if (argument == name) {
        missing = i + 1 >= arguments.size() || arguments[i + 1] == nullptr;
        if (!missing) value = arguments[++i];
        return true;
    }
    if (argument.size() > name.size() && argument.starts_with(name) && argument[name.size()] == '=') {
        value = argument.substr(name.size() + 1);
        missing = false;
        return true;
    }
    return false;
}

// A comma-separated list of relative radii, each a number in [0, 1].
bool parse_radii(std::string_view text, std::vector<double>& radii) {
    radii.clear();
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        double value = 0.0;
        const std::from_chars_result result = std::from_chars(item.data(), item.data() + item.size(), value);
        if (item.empty() || result.ec != std::errc() || result.ptr != item.data() + item.size()) return false;
        if (!(value >= 0.0 && value <= 1.0)) return false;
        radii.push_back(value);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool parse_every(std::string_view text, std::int64_t& every) {
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), every);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size() && every >= 1;
}

}  // namespace

std::string_view version_text() { return "temp1d " TEMP1D_VERSION; }

std::string_view help_text() {
    return "usage: temp1d [-C DIR] [--quiet] [--csv FILE [--radii LIST] [--every N]]\n"
           "       temp1d [-C DIR] --check [--json]\n"
           "       temp1d --help | --version\n"
           "\n"
           "Simulates transient radial heat conduction in a cylinder.  Reads the\n"
           "parameter file DataInpTemp1d.txt and writes the result file temperat.txt,\n"
           "both in the working directory.\n"
           "\n"
           "  -C DIR, --directory=DIR  work in DIR instead of the working directory\n"
           "  --check                  read the parameter file, show what was read and\n"
           "                           what a run would do, warn about likely mistakes;\n"
           "                           creates and changes no file (status 0: no warning,\n"
           "                           1: warnings)\n"
           "  --json                   with --check: the report as one JSON object\n"
           "  -q, --quiet              no progress line on a terminal\n"
           "  --coefficient-table FILE  the surface coefficient in W/(m2 K) against the\n"
           "                           surface temperature (CSV rows: temperature in C,\n"
           "                           value), applied as given; replaces line 4\n"
           "  --conductivity-table FILE, --specific-heat-table FILE\n"
           "                           the material against its temperature\n"
           "  --csv FILE               also write the run's temperature profile as CSV to\n"
           "                           FILE (- for standard output): time at the end of\n"
           "                           each step, temperature at each relative radius, dT\n"
           "  --radii LIST             with --csv: relative radii r/R from the centre (0)\n"
           "                           to the surface (1), comma-separated (0,0.5,1)\n"
           "  --every N                with --csv: every N-th step and the last (1)\n"
           "  --                       ends the options (temp1d takes no other arguments)\n"
           "  -h, --help               show this help and exit\n"
           "  --version                show the version and exit\n";
}

CommandLine parse_command_line(std::span<const char* const> arguments) {
    CommandLine command;
    bool help = false;
    bool version = false;
    bool options_ended = false;
    bool radii_given = false;
    bool every_given = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i] != nullptr ? arguments[i] : "";
        if (options_ended) return usage_error("unexpected argument '" + std::string(argument) + "'");
        std::string value;
        bool missing = false;
        const TableOption* table = nullptr;
        for (const TableOption& option : table_options) {
            if (argument == option.name || (argument.starts_with(option.name) && argument.size() > option.name.size() &&
                                            argument[option.name.size()] == '=')) {
                table = &option;
            }
        }
        if (table != nullptr) {
            std::string file;
            if (argument.size() > table->name.size()) {
                file = argument.substr(table->name.size() + 1);
            } else if (i + 1 < arguments.size() && arguments[i + 1] != nullptr) {
                file = arguments[++i];
            } else {
                return usage_error("option " + std::string(table->name) + " needs a file");
            }
            if (file.empty()) return usage_error("the file name of " + std::string(table->name) + " is empty");
            command.tables.*(table->file) = file;
        } else if (option_value(arguments, i, "--csv", value, missing)) {
            if (missing || value.empty()) return usage_error("option --csv needs a file name (- for standard output)");
            command.csv = true;
            command.csv_target = value;
        } else if (option_value(arguments, i, "--radii", value, missing)) {
            if (missing || !parse_radii(value, command.radii)) {
                return usage_error("option --radii needs a comma-separated list of numbers from 0 to 1");
            }
            radii_given = true;
        } else if (option_value(arguments, i, "--every", value, missing)) {
            if (missing || !parse_every(value, command.every)) {
                return usage_error("option --every needs a whole number of steps, 1 or more");
            }
            every_given = true;
        } else if (argument == "--") {
            options_ended = true;
        } else if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--check") {
            command.action = ProgramAction::check;
        } else if (argument == "--json") {
            command.json = true;
        } else if (argument == "--quiet" || argument == "-q") {
            command.quiet = true;
        } else if (argument == "-C" || argument == "--directory") {
            if (i + 1 >= arguments.size() || arguments[i + 1] == nullptr) {
                return usage_error("option " + std::string(argument) + " needs a folder");
            }
            command.has_directory = true;
            command.directory = arguments[++i];
        } else if (argument.starts_with("--directory=")) {
            command.has_directory = true;
            command.directory = argument.substr(std::string_view("--directory=").size());
        } else if (argument.starts_with("-C") && argument.size() > 2) {
            command.has_directory = true;
            command.directory = argument.substr(2);
        } else if (argument.starts_with("-")) {
            return usage_error("unknown option '" + std::string(argument) + "'");
        } else {
            return usage_error("unexpected argument '" + std::string(argument) + "'");
        }
    }
    if (command.has_directory && command.directory.empty()) return usage_error("the folder name is empty");
    if (command.json && command.action != ProgramAction::check) return usage_error("--json needs --check");
    if ((radii_given || every_given) && !command.csv) return usage_error("--radii and --every need --csv");
    if (command.csv && command.action == ProgramAction::check) return usage_error("--csv does not go with --check");
    if (help)
        command.action = ProgramAction::help;
    else if (version)
        command.action = ProgramAction::version;
    return command;
}

int act_on_command_line(const CommandLine& command) {
    switch (command.action) {
        case ProgramAction::help: write_standard_output(help_text()); return status_success;
        case ProgramAction::version: write_standard_output(std::string(version_text()) + "\n"); return status_success;
        case ProgramAction::usage_error:
            write_report_line(command.problem + "; " + std::string(usage_line));
            return status_usage;
        case ProgramAction::run:
        case ProgramAction::check: break;
    }
    if (command.has_directory && ::chdir(command.directory.c_str()) != 0) {
        // Reported as the open of the parameter file in that folder would be.
        const int error = errno;
        std::string full_path = textio::full_path_of(command.directory);
        if (full_path.empty() || full_path.back() != '/') full_path += '/';
        full_path += model::parameter_file_name;
        const textio::OpenFailure failure = textio::open_failure_of(error);
        textio::report_failure(failure.number, model::parameter_file_unit, full_path, failure.os_error);
    }
    return -1;
}

}  // namespace program
