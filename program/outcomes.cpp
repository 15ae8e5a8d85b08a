#include "program/outcomes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "program/progress.h"
#include "textio/posix_file.h"

namespace program {

namespace {

bool standard_output_open = true;

}  // namespace

void note_standard_output() { standard_output_open = ::fcntl(STDOUT_FILENO, F_GETFD) != -1; }

void write_standard_output(std::string_view text) {
    std::size_t written = 0;
    const int error =
        standard_output_open ? textio::write_fully(STDOUT_FILENO, text.data(), text.size(), written) : EBADF;
    if (error == 0) return;
    if (error == EINTR) textio::stop_if_interrupted();
    write_report_line(std::string("standard output could not be written: ") + std::strerror(error));
    textio::stop_program(failure_status(textio::failure_write));
}

void end_by_interruption(int signal_number, std::string_view text) {
    finish_progress();  // the report stands on a line of its own
    textio::end_process_by_signal(signal_number, "temp1d: " + std::string(text));
}

void write_report_line(std::string_view text) {
    std::string line = "temp1d: ";
    line += text;
    textio::write_report_line(line);
}

}  // namespace program
