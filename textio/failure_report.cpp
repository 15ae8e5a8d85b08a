#include "textio/failure_report.h"

#include <cstring>
#include <unistd.h>

#include "textio/file_channel.h"

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

// Writes all of `text` to standard error, retrying after partial writes.
void write_standard_error(std::string_view text) {
    while (!text.empty()) {
        ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
        if (written <= 0) {
            if (written < 0 && errno == EINTR) continue;
            return;  // nowhere left to report to
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

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
        text += "\r\n";
    }
    text += failure_prefix;
    text += ": severe (";
    text += std::to_string(number);
    text += "): ";
    text += failure_message(number, unit, full_path);
    text += "\r\n";
    return text;
}

void report_failure(int number, int unit, std::string_view full_path, int os_error) {
    write_standard_error(failure_report_text(number, unit, full_path, os_error));
    stop_program(failure_status_base + static_cast<std::uint32_t>(number));
}

}  // namespace textio
