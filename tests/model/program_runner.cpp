#include "program_runner.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

fs::path make_scratch_directory(const std::string& label) {
    static std::mt19937_64 generator{std::random_device{}()};
    fs::path directory = fs::temp_directory_path() / ("temp1d-" + label + "-" + std::to_string(generator()));
    fs::create_directories(directory);
    fs::permissions(directory, fs::perms::all);
    return directory;
}

void remove_scratch_directory(const fs::path& directory) {
    std::error_code ignored;
    // Make everything removable again, whatever a test did to it.
    for (auto it = fs::recursive_directory_iterator(directory, ignored); it != fs::recursive_directory_iterator(); ++it) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(directory, ignored);
}

std::optional<std::string> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

ProgramRun run_program(const fs::path& directory, bool as_unprivileged_user, const std::string& shell_setup) {
    const fs::path capture = fs::temp_directory_path() / ("temp1d-capture-" + directory.filename().string());
    fs::create_directories(capture);
    const fs::path out = capture / "stdout";
    const fs::path err = capture / "stderr";
    // The redirections are made before the setup runs, so that a limit on
    // open files or file sizes applies to the program only.
    std::string command = "cd '" + directory.string() + "' && (" + shell_setup + " exec ";
    if (as_unprivileged_user) command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    command += "'" + std::string(TEMP1D_BINARY) + "') >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.standard_output = read_file(out).value_or("");
    run.standard_error = read_file(err).value_or("");
    fs::remove_all(capture);
    return run;
}

std::string crlf(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

std::string failure_report_line(int number, const std::string& message, int unit, const fs::path& file) {
    return "textio: severe (" + std::to_string(number) + "): " + message + ", unit " + std::to_string(unit) +
           ", file " + file.string() + "\r\n";
}

bool running_as_root() { return ::geteuid() == 0; }
