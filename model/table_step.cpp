#include "model/table_step.h"

#include <cmath>

#include "model/element_terms.h"
#include "model/result_file.h"
#include "numlib/numlib.h"

namespace model {

namespace {

// The system of one step with the properties at the temperatures `at`.
void assemble_table_system(HeatModel& m, const TableRun& run, const NodalArray& at, double ambient) {
    const ParameterSet& p = m.parameters;
    const MaterialTables& tables = run.tables;
    const NodalArray& T = m.node_temperature;
    // The model's surface term for a physical coefficient h on its bar of
    // radius R - inner radius is h (R - inner radius); line 4's s gives
    // (s * 2) * R, the effective coefficient 2 s R / (R - inner radius).
    const double surface_term = tables.coefficient != nullptr ? table_value(*tables.coefficient, at[node_count]) *
                                                                    (p.outer_radius - p.inner_radius)
                                                              : (p.heat_transfer_coefficient * 2.0) * p.outer_radius;
    m.main_diagonal[1] = 0.0;
    m.right_hand_side[1] = 0.0;
    for (int e = 1; e <= element_count; ++e) {
        const double mean = 0.5 * (at[e] + at[e + 1]);
        const double conductivity =
            tables.conductivity != nullptr ? table_value(*tables.conductivity, mean) : p.conductivity;
        const double specific_heat =
            tables.specific_heat != nullptr ? table_value(*tables.specific_heat, mean) : p.specific_heat;
        const double heat_capacity = p.density * specific_heat;
        const double conduction = conductivity * run.conduction_weight[e];
        const double c11 = heat_capacity * run.capacity_11[e];
        const double c12 = heat_capacity * run.capacity_12[e];
        const double c22 = heat_capacity * run.capacity_22[e];
        const double surface = (e == element_count) ? 2.0 * surface_term : 0.0;
        m.main_diagonal[e] += conduction + c11;
        m.main_diagonal[e + 1] = conduction + c22 + surface;
        m.upper_diagonal[e] = c12 - conduction;
        m.lower_diagonal[e + 1] = c12 - conduction;
        m.right_hand_side[e] += c11 * T[e] + c12 * T[e + 1];
        m.right_hand_side[e + 1] = c12 * T[e] + c22 * T[e + 1] + surface * ambient;
    }
    m.lower_diagonal[1] = 0.0;
    m.upper_diagonal[node_count] = 0.0;
}

}  // namespace

bool has_table(const MaterialTables& t) {
    return t.coefficient != nullptr || t.conductivity != nullptr || t.specific_heat != nullptr;
}

TableRun prepare_table_run(const HeatModel& m, const MaterialTables& tables) {
    TableRun run;
    run.tables = tables;
    const double dt = m.setup.time_step;
    for (int e = 1; e <= element_count; ++e) {
        const double r1 = m.node_radius[e];
        const double r2 = m.node_radius[e + 1];
        const double he = r2 - r1;
        // Point 1 has the shape values (large, small), point 2 (small, large).
        const double rg1 = r1 * shape_large + r2 * shape_small;
        const double rg2 = r1 * shape_small + r2 * shape_large;
        const double per_step = he / dt;
        run.conduction_weight[e] = (rg1 + rg2) / he;
        run.capacity_11[e] = (shape_large * shape_large * rg1 + shape_small * shape_small * rg2) * per_step;
        run.capacity_12[e] = (shape_large * shape_small * rg1 + shape_small * shape_large * rg2) * per_step;
        run.capacity_22[e] = (shape_small * shape_small * rg1 + shape_large * shape_large * rg2) * per_step;
    }
    return run;
}

StepRecord take_table_step(HeatModel& m, const TableRun& run, int solves) {
    const ParameterSet& p = m.parameters;
    const double dt = m.setup.time_step;
    // A NaN time or switch time keeps the first phase's medium.
    const double ambient = (m.time >= p.first_phase_duration) ? p.ambient_temperature_2 : p.ambient_temperature_1;
    NodalArray at = m.node_temperature;
    for (int solve = 1; solve <= solves; ++solve) {
        assemble_table_system(m, run, at, ambient);
        DLSLTR(node_count, &m.lower_diagonal[1], &m.main_diagonal[1], &m.upper_diagonal[1], &m.right_hand_side[1]);
        for (int i = 1; i <= node_count; ++i) at[i] = 0.5 * (m.node_temperature[i] + m.right_hand_side[i]);
    }
    m.node_temperature = m.right_hand_side;

    const double tc = m.node_temperature[1];
    const double tpov = m.node_temperature[node_count];
    const double dT = std::fabs(tc - tpov);
    if (dT > m.dTmax) m.dTmax = dT;
    const StepRecord record{m.time, tc, tpov, dT};
    m.time = dt + m.time;
    return record;
}

std::int64_t run_table_steps(HeatModel& m, const TableRun& run, std::int64_t first_step, std::int64_t last_step,
                             textio::Channel* result_file) {
    std::int64_t steps_done = 0;
    for (std::int64_t step = first_step; step <= last_step; ++step) {
        const StepRecord r = take_table_step(m, run);
        if (result_file != nullptr) write_step_record(*result_file, r.time, r.tc, r.tpov, r.dT);
        ++steps_done;
    }
    return steps_done;
}

}  // namespace model
