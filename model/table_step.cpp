#include "model/table_step.h"

#include <cmath>

#include "model/element_terms.h"
#include "model/result_file.h"
#include "numlib/numlib.h"

namespace model {

namespace {

// The system of one step with the properties at the temperatures `at`.
void assemble_table_system(HeatModel& m, const MaterialTables& tables, const NodalArray& at, double ambient) {
    const ParameterSet& p = m.parameters;
    const double dt = m.setup.time_step;
    const NodalArray& T = m.node_temperature;
    // The model's surface term for a physical coefficient h on its bar of
    // radius R - inner radius is h (R - inner radius); line 4's s gives
    // (s * 2) * R, the effective coefficient 2 s R / (R - inner radius).
    const double surface_term = tables.coefficient != nullptr ? table_value(*tables.coefficient, at[node_count]) *
                                                                    (p.outer_radius - p.inner_radius)
                                                              : (p.heat_transfer_coefficient * 2.0) * p.outer_radius;
    m.main_diagonal.fill(0.0);
    m.lower_diagonal.fill(0.0);
    m.upper_diagonal.fill(0.0);
    m.right_hand_side.fill(0.0);
    for (int e = 1; e <= element_count; ++e) {
        const double mean = 0.5 * (at[e] + at[e + 1]);
        const double conductivity =
            tables.conductivity != nullptr ? table_value(*tables.conductivity, mean) : p.conductivity;
        const double specific_heat =
            tables.specific_heat != nullptr ? table_value(*tables.specific_heat, mean) : p.specific_heat;
        const double heat_capacity = p.density * specific_heat;
        const double r1 = m.node_radius[e];
        const double r2 = m.node_radius[e + 1];
        const double s = (e == element_count) ? surface_term : 0.0;
        const ElementMatrix k = element_matrix(r1, r2, conductivity, heat_capacity, s, dt);
        m.main_diagonal[e] += k.k11;
        m.main_diagonal[e + 1] += k.k22;
        m.upper_diagonal[e] += k.k12;
        m.lower_diagonal[e + 1] += k.k12;
        const double rg1 = r1 * shape_large + r2 * shape_small;
        const double rg2 = r1 * shape_small + r2 * shape_large;
        const ElementLoad load =
            element_load_scalar(T[e], T[e + 1], (r2 - r1) * heat_capacity, rg1, rg2, dt, ambient * s);
        m.right_hand_side[e] += load.first_node;
        m.right_hand_side[e + 1] += load.second_node;
    }
}

}  // namespace

bool has_table(const MaterialTables& t) {
    return t.coefficient != nullptr || t.conductivity != nullptr || t.specific_heat != nullptr;
}

StepRecord take_table_step(HeatModel& m, const MaterialTables& tables, int solves) {
    const ParameterSet& p = m.parameters;
    const double dt = m.setup.time_step;
    // A NaN time or switch time keeps the first phase's medium.
    const double ambient = (m.time >= p.first_phase_duration) ? p.ambient_temperature_2 : p.ambient_temperature_1;
    NodalArray at = m.node_temperature;
    for (int solve = 1; solve <= solves; ++solve) {
        assemble_table_system(m, tables, at, ambient);
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

std::int64_t run_table_steps(HeatModel& m, const MaterialTables& tables, std::int64_t first_step,
                             std::int64_t last_step, textio::Channel* result_file) {
    std::int64_t steps_done = 0;
    for (std::int64_t step = first_step; step <= last_step; ++step) {
        const StepRecord r = take_table_step(m, tables);
        if (result_file != nullptr) write_step_record(*result_file, r.time, r.tc, r.tpov, r.dT);
        ++steps_done;
    }
    return steps_done;
}

}  // namespace model
