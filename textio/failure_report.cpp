#include "textio/failure_report.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "textio/interrupt_signals.h"
#include "textio/line_ends.h"
#include "textio/posix_file.h"
#include "textio/unit_table.h"

namespace textio {

namespace {

// Message templates: "%d" stands for the unit number, "%s" for the file.
std::string_view message_template(int number) {
    switch (number) {
        case failure_access_denied: return "permission to access file denied, unit %d, file %s";
        case failure_end_of_file: return "end-of-file during read, unit %d, file %s";
        case failure_file_not_found: return "file not found, unit %d, file %s";
        case failure_open: return "open failure, unit %d, file %s";
        case failure_write: return "error during write, unit %d, file %s";
        case failure_read: return "error during read, unit %d, file %s";
        case failure_no_memory: return "insufficient virtual memory";
        case failure_no_such_device: return "no such device, unit %d, file %s";
        case failure_file_name: return "file name specification error, unit %d, file %s";
        case failure_write_read_only: return "write to READONLY file, unit %d, file %s";
        case failure_syntax: return "list-directed I/O syntax error, unit %d, file %s";
        case failure_conversion: return "input conversion error, unit %d, file %s";
        default: return "unexpected failure, unit %d, file %s";
    }
}

// Writes out and closes every connected unit.  Each write that fails is
// reported at once; returns whether one failed.  The one closing loop of
// end_process and end_process_by_signal.
// With `may_wait` false (the process is ending by a signal), a file that
// would make the write wait (a pipe nobody reads) gets what it can take
// without waiting, and that is not reported; the standard streams, which
// the program shares with others, are written as always.
bool close_connected_units(bool may_wait = true) {
    bool failed = false;
    for (Channel& channel : all_slots()) {
        if (!channel.connected) continue;
        const int unit = channel.unit;
        const std::string full_path = channel.full_path;
        const bool waits_not = !may_wait && channel.owns_fd && stop_waiting(channel.fd) == 0;
        const int error = disconnect_channel(channel);
        if (waits_not && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)) continue;
        if (error != 0) {
            write_standard_error(failure_report_text(failure_write, unit, full_path, error));
            failed = true;
        }
    }
    return failed;
}

}  // namespace

OpenFailure open_failure_of(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return {failure_file_not_found, 0};
        case EMFILE:
        case ENFILE: return {failure_open, 0};
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY: return {failure_access_denied, 0};
        case ENODEV:
        case ENXIO: return {failure_no_such_device, 0};
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ: return {failure_file_name, 0};
        default: return {failure_open, error};
    }
}

std::string failure_message(int number, int unit, std::string_view full_path) {
    std::string_view pattern = message_template(number);
    std::string message;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
            message += std::to_string(unit);
            ++i;
        } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            message += full_path;
            ++i;
        } else {
            message += pattern[i];
        }
    }
    return message;
}

std::string failure_report_text(int number, int unit, std::string_view full_path, int os_error) {
    std::string text;
    if (os_error != 0) {
        text += failure_prefix;
        text += ": ";
        text += std::strerror(os_error);
        text += record_end;
    }
    text += failure_prefix;
    text += ": severe (";
    text += std::to_string(number);
    text += "): ";
    text += failure_message(number, unit, full_path);
    text += record_end;
    return text;
}

void write_report_line(std::string_view line) {
    std::string text(line);
    text += record_end;
    write_standard_error(text);
}

void report_failure(int number, int unit, std::string_view full_path, int os_error) {
    write_standard_error(failure_report_text(number, unit, full_path, os_error));
    stop_program(failure_status_base + static_cast<std::uint32_t>(number));
}

void stop_program(std::uint32_t status) { throw Stop{status, 0}; }

void stop_if_interrupted() {
    if (const int signal_number = interrupt_signal(); signal_number != 0) throw Stop{0, signal_number};
}

void end_process(std::uint32_t status) {
    if (close_connected_units() && status < failure_status_base) {
        status = failure_status_base + failure_write;
    }
    std::exit(static_cast<int>(status));
}

void end_process_by_signal(int signal_number, std::string_view report_line) {
    close_connected_units(false);
    write_report_line(report_line);
    std::signal(signal_number, SIG_DFL);
    sigset_t pending;
    sigemptyset(&pending);
    sigaddset(&pending, signal_number);
    sigprocmask(SIG_UNBLOCK, &pending, nullptr);
    std::raise(signal_number);
    // Only reached if the signal could not end the process.
    ::_exit(128 + signal_number);
}

}  // namespace textio
