#include "program/material_tables.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "program/outcomes.h"
#include "program/run_reports.h"
#include "textio/interrupt_signals.h"
#include "textio/posix_file.h"

namespace program {

namespace {

// Ends the process by the signal that cut a call short while `name` was
// opened or read.
[[noreturn]] void end_reading_by_interruption(const std::string& name) {
    const int signal_number = textio::interrupt_signal();
    end_by_interruption(signal_number, interrupted_table_report(signal_number, name));
}

// The whole of a table file, or why it cannot be read.  A named pipe waits
// for its writer; a signal then ends the process.
std::string read_table_file(const std::string& name, std::string& text) {
    int fd = -1;
    for (;;) {
        fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != EINTR) break;
        if (textio::interrupt_signal() != 0) end_reading_by_interruption(name);
    }
    if (fd < 0) return std::strerror(errno);
    std::string problem;
    char buffer[4096];
    for (;;) {
        std::size_t count = 0;
        const int error = textio::read_some(fd, buffer, sizeof buffer, count);
        if (error == EINTR || textio::interrupt_signal() != 0) {
            textio::close_file(fd);
            end_reading_by_interruption(name);
        }
        if (error != 0) {
            problem = std::strerror(error);
            break;
        }
        if (count == 0) break;
        if (text.size() + count > largest_table_file) {
            problem = "larger than " + std::to_string(largest_table_file / 1024) + " KiB, too large for a table";
            break;
        }
        text.append(buffer, count);
    }
    textio::close_file(fd);
    return problem;
}

// Reads one table; false after its report line.
bool load_table(const std::string& name, model::PropertyTable& table) {
    std::string text;
    const std::string unreadable = read_table_file(name, text);
    if (!unreadable.empty()) {
        write_report_line(name + ": " + unreadable);
        return false;
    }
    model::TableReading reading = model::parse_property_table(text);
    if (!reading.problem.empty()) {
        write_report_line(name + ": " + (reading.line > 0 ? "line " + std::to_string(reading.line) + ": " : "") +
                          reading.problem);
        return false;
    }
    table = std::move(reading.table);
    return true;
}

}  // namespace

std::uint32_t load_tables(const TableFiles& files, LoadedTables& loaded) {
    loaded.view = {};
    if (!files.coefficient.empty()) {
        if (!load_table(files.coefficient, loaded.coefficient)) return status_bad_table;
        loaded.view.coefficient = &loaded.coefficient;
    }
    if (!files.conductivity.empty()) {
        if (!load_table(files.conductivity, loaded.conductivity)) return status_bad_table;
        loaded.view.conductivity = &loaded.conductivity;
    }
    if (!files.specific_heat.empty()) {
        if (!load_table(files.specific_heat, loaded.specific_heat)) return status_bad_table;
        loaded.view.specific_heat = &loaded.specific_heat;
    }
    return status_success;
}

}  // namespace program
