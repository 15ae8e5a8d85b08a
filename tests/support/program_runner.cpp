#include "program_runner.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

#include "file_contents.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;

ProgramRun run_binary(const fs::path& binary, const fs::path& directory, const std::string& arguments,
                      bool as_unprivileged_user, const std::string& shell_setup) {
    const fs::path capture = make_scratch_directory("capture");
    const fs::path out = capture / "stdout";
    const fs::path err = capture / "stderr";
    std::string command = "cd '" + directory.string() + "' && (" + shell_setup + " exec ";
    if (as_unprivileged_user) command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    command += "'" + binary.string() + "'";
    if (!arguments.empty()) command += " " + arguments;
    command += ") >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.standard_output = read_file(out).value_or("");
    run.standard_error = read_file(err).value_or("");
    remove_scratch_directory(capture);
    return run;
}

ProgramRun run_program(const fs::path& directory, bool as_unprivileged_user, const std::string& shell_setup) {
    return run_binary(TEMP1D_BINARY, directory, "", as_unprivileged_user, shell_setup);
}

ProgramRun run_program_with(const fs::path& directory, const std::string& arguments) {
    return run_binary(TEMP1D_BINARY, directory, arguments);
}

std::string failure_report_line(int number, const std::string& message, int unit, const fs::path& file) {
    return "textio: severe (" + std::to_string(number) + "): " + message + ", unit " + std::to_string(unit) +
           ", file " + file.string() + "\r\n";
}

bool running_as_root() { return ::geteuid() == 0; }
