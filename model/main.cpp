// temp1d: reads "DataInpTemp1d.txt" from the working directory, simulates the
// run it describes and writes "temperat.txt" there.  Without arguments that is
// all it does; the options (model/command_line.h) ask for help, the version,
// a check of the parameter file, another folder or no progress line.
#include <cfenv>
#include <new>

#include "model/command_line.h"
#include "model/heat_model.h"
#include "model/parameter_check.h"
#include "model/parameter_file.h"
#include "model/progress.h"
#include "textio/failure_report.h"
#include "textio/file_channel.h"
#include "textio/interrupt_signals.h"

int main(int argc, char** argv) {
    // binary64 arithmetic, round to nearest, every exception masked (the
    // default of the C++ runtime, made explicit).
    std::fesetround(FE_TONEAREST);
    const model::CommandLine command =
        model::parse_command_line(std::span<const char* const>(argv + (argc > 0 ? 1 : 0), argc > 0 ? argc - 1 : 0));
    if (const int status = model::act_on_command_line(command); status >= 0) return status;
    textio::install_interrupt_handlers();
    try {
        if (command.action == model::ProgramAction::check) {
            const int status = model::run_parameter_check(command.json);
            textio::close_all_units();
            return status;
        }
        const model::ParameterSet parameters = model::read_parameter_file();
        if (!command.quiet) model::start_progress(parameters);
        model::run_heat_model(parameters);
        model::finish_progress();
    } catch (const std::bad_alloc&) {
        textio::report_failure(textio::failure_no_memory, 0, {});
    }
    textio::close_all_units();
    return 0;
}
