#include "program/simulation_run.h"

#include <algorithm>
#include <string>

#include "model/parameter_file.h"
#include "model/radial_profile.h"
#include "model/result_file.h"
#include "program/outcomes.h"
#include "program/profile_csv.h"
#include "program/progress.h"
#include "program/run_reports.h"
#include "textio/file_channel.h"
#include "textio/interrupt_signals.h"

namespace program {

std::uint32_t run_simulation(const model::ParameterSet& parameters, bool progress_wanted,
                             const model::MaterialTables& tables, const ProfileRequest* profile) {
    const std::int64_t step_count = model::derive_model_setup(parameters).step_count;
    static model::HeatModel model;  // large: kept off the stack
    std::int64_t steps_done = 0;
    textio::Channel* profile_csv = nullptr;
    model::ProfileSampling sampling;
    model::ProfileRows rows;
    if (profile != nullptr) {
        for (const double radius : profile->radii) sampling.points.push_back(model::place_relative_radius(radius));
        sampling.every = profile->every;
        sampling.last_step = step_count;
    }
    try {
        // An interruption while the parameters were read, or while a result
        // file that is a FIFO waits for its reader, leaves the result file
        // untouched.
        textio::stop_if_interrupted();
        textio::Channel& result_file = textio::open_unit(model::result_file_unit, model::result_file_name);
        if (!textio::lock_channel(result_file)) {
            write_report_line(result_file.full_path + " is in use by another run");
            return status_result_file_in_use;
        }
        if (textio::is_same_file(result_file, model::parameter_file_name)) {
            write_report_line(result_file.full_path + " is the parameter file " + model::parameter_file_name.data() +
                              " (a link); neither file was changed");
            return status_result_is_parameter_file;
        }
        // Opened before the result file is cut, so that a profile that
        // cannot be opened leaves the result file as it was.
        if (profile != nullptr) profile_csv = &open_profile_csv(profile->target, profile->radii);
        model::write_result_header(result_file);
        model::set_up_model(model, parameters);
        const bool with_tables = model::has_table(tables);
        const model::TableRun table_run = with_tables ? model::prepare_table_run(model, tables) : model::TableRun{};
        if (progress_wanted) start_progress(parameters);
        for (std::int64_t step = 1; step <= step_count;) {
            textio::stop_if_interrupted();
            const std::int64_t last = std::min(step_count, step - 1 + steps_until_next_look());
            if (profile_csv == nullptr) {
                steps_done += with_tables ? model::run_table_steps(model, table_run, step, last, &result_file)
                                          : model::run_steps(model, step, last, &result_file);
            } else {
                steps_done += model::run_steps_with_profile(model, step, last, &result_file, sampling, rows,
                                                            with_tables ? &table_run : nullptr);
                write_profile_rows(*profile_csv, rows, sampling.points.size());
                model::clear_profile_rows(rows);
            }
            show_progress(last);
            step = last + 1;
        }
        finish_progress();
        textio::stop_if_interrupted();
    } catch (const textio::Stop& stop) {
        if (stop.signal_number == 0) throw;
        end_by_interruption(stop.signal_number, interrupted_run_report(stop.signal_number, steps_done, step_count));
    }

    // A signal that comes while the closing lines are written lets them
    // finish; only one that blocks their write loses them.
    try {
        model::write_result_closing(textio::unit_channel(model::result_file_unit), model.dTmax);
        textio::close_unit(model::result_file_unit);
        if (profile_csv != nullptr) textio::close_unit(profile_csv->unit);
    } catch (const textio::Stop& stop) {
        if (stop.signal_number == 0) throw;
        end_by_interruption(stop.signal_number, interrupted_run_report(stop.signal_number, steps_done, step_count));
    }
    if (const int signal_number = textio::interrupt_signal(); signal_number != 0) {
        end_by_interruption(signal_number, interrupted_closing_report(signal_number, step_count));
    }

    // A run that could not take a single step wrote a result without data
    // records; that is no success.
    if (step_count <= 0) {
        write_report_line(no_step_report(model.setup));
        return status_no_step_taken;
    }
    return status_success;
}

}  // namespace program
