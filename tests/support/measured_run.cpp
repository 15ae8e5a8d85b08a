#include "measured_run.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_contents.h"

namespace fs = std::filesystem;

MeasuredRun run_measured(const fs::path& directory, bool broken_standard_output) {
    const fs::path out = directory.parent_path() / (directory.filename().string() + ".stdout");
    const fs::path err = directory.parent_path() / (directory.filename().string() + ".stderr");
    MeasuredRun run;
    int broken_pipe[2] = {-1, -1};
    if (broken_standard_output) {
        if (::pipe(broken_pipe) != 0) return run;
        ::close(broken_pipe[0]);  // no reader, ever
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const int out_fd =
            broken_standard_output ? broken_pipe[1] : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out_fd < 0 || err_fd < 0 || ::chdir(directory.c_str()) != 0) ::_exit(126);
        ::dup2(out_fd, STDOUT_FILENO);
        ::dup2(err_fd, STDERR_FILENO);
        ::close(out_fd);
        ::close(err_fd);
        ::signal(SIGPIPE, SIG_DFL);
        ::execl(TEMP1D_BINARY, TEMP1D_BINARY, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (broken_standard_output) ::close(broken_pipe[1]);
    if (child < 0) return run;
    int raw = 0;
    struct rusage usage {};
    if (::wait4(child, &raw, 0, &usage) != child) return run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.peak_memory_kib = usage.ru_maxrss;
    run.standard_output = read_file(out).value_or("");
    run.standard_error = read_file(err).value_or("");
    fs::remove(out);
    fs::remove(err);
    return run;
}
