// temp1d with its records switched off: reads the parameter file, sets up the
// model and runs every step (assembly and solve), but writes no result file.
// Compared with temp1d on the same file it shows what the output costs.
#include <cstdio>

#include "model/heat_model.h"
#include "model/parameter_file.h"
#include "textio/failure_report.h"

using namespace model;

int main() {
    const ParameterSet parameters = read_parameter_file();
    static HeatModel model;
    set_up_model(model, parameters);
    run_steps(model, 1, model.setup.step_count, nullptr);
    // Print the result so that the steps cannot be optimised away.
    std::printf("%d steps, dTmax %.17g\n", model.setup.step_count, model.dTmax);
    textio::end_process(0);
}
