// temp1d: reads "DataInpTemp1d.txt" from the working directory, simulates the
// run it describes and writes "temperat.txt" there.  Takes no arguments.
#include <cfenv>
#include <new>

#include "model/heat_model.h"
#include "model/parameter_file.h"
#include "textio/failure_report.h"
#include "textio/file_channel.h"
#include "textio/interrupt_signals.h"

int main() {
    // binary64 arithmetic, round to nearest, every exception masked (the
    // default of the C++ runtime, made explicit).
    std::fesetround(FE_TONEAREST);
    textio::install_interrupt_handlers();
    try {
        const ParameterSet parameters = read_parameter_file();
        run_heat_model(parameters);
    } catch (const std::bad_alloc&) {
        textio::report_failure(textio::failure_no_memory, 0, {});
    }
    textio::close_all_units();
    return 0;
}
