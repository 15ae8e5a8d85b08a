// temp1d: reads "DataInpTemp1d.txt" from the working directory, simulates the
// run it describes and writes "temperat.txt" there.  Without arguments that is
// all it does; the options (program/command_line.h) ask for help, the version,
// a check of the parameter file, another folder or no progress line.
//
// This is the only place where the process ends (apart from an
// interruption, which ends it by its signal): the layers below end their
// work by throwing textio::Stop after their report, and the statuses are
// those of program/outcomes.h.
#include <array>
#include <cfenv>
#include <csignal>
#include <new>
#include <string>

#include "model/parameter_file.h"
#include "program/command_line.h"
#include "program/material_tables.h"
#include "program/outcomes.h"
#include "program/parameter_check.h"
#include "program/profile_csv.h"
#include "program/run_reports.h"
#include "program/simulation_run.h"
#include "textio/failure_report.h"
#include "textio/interrupt_signals.h"
#include "textio/posix_file.h"

namespace {

std::uint32_t run_program(const program::CommandLine& command) {
    if (const int status = program::act_on_command_line(command); status >= 0) {
        return static_cast<std::uint32_t>(status);
    }
    textio::install_interrupt_handlers();
    program::LoadedTables tables;
    if (command.action == program::ProgramAction::check) {
        if (const std::uint32_t status = program::load_tables(command.tables, tables); status != 0) return status;
        return program::run_parameter_check(command.json, command.tables, tables);
    }
    program::ProfileRequest profile;
    if (command.csv) {
        if (const std::string refusal = program::refusal_of_csv_target(
                command.csv_target,
                std::array{command.tables.coefficient, command.tables.conductivity, command.tables.specific_heat});
            !refusal.empty()) {
            program::write_report_line(refusal + "; nothing was written");
            return program::status_usage;
        }
        profile = {command.csv_target, command.radii, command.every};
    }
    model::ParameterSet parameters;
    try {
        parameters = model::read_parameter_file();
    } catch (const textio::Stop& stop) {
        if (stop.signal_number == 0) throw;
        program::end_by_interruption(stop.signal_number, program::interrupted_read_report(stop.signal_number));
    }
    if (const std::uint32_t status = program::load_tables(command.tables, tables); status != 0) return status;
    return program::run_simulation(parameters, !command.quiet, tables.view, command.csv ? &profile : nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // binary64 arithmetic, round to nearest, every exception masked (the
    // default of the C++ runtime, made explicit).
    std::fesetround(FE_TONEAREST);
    // A write into a pipe whose reader has gone fails with EPIPE and is
    // reported, instead of ending the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
    program::note_standard_output();
    const program::CommandLine command =
        program::parse_command_line(std::span<const char* const>(argv + (argc > 0 ? 1 : 0), argc > 0 ? argc - 1 : 0));
    std::uint32_t status = program::status_success;
    try {
        status = run_program(command);
    } catch (const textio::Stop& stop) {
        if (stop.signal_number != 0) {
            const std::string report = command.action == program::ProgramAction::check
                                           ? program::interrupted_check_report(stop.signal_number)
                                           : program::interrupted_read_report(stop.signal_number);
            program::end_by_interruption(stop.signal_number, report);
        }
        status = stop.status;
    } catch (const std::bad_alloc&) {
        textio::write_standard_error(textio::failure_report_text(textio::failure_no_memory, 0, {}, 0));
        status = program::failure_status(textio::failure_no_memory);
    }
    textio::end_process(status);
}
