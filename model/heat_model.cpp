#include "model/heat_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/progress.h"
#include "model/result_file.h"
#include "model/run_reports.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

namespace {

// Two-point Gauss rule in shape-function values.  The values are binary32
// numbers widened exactly (bit patterns 3F49E69D and 3E58658C); they are not
// the binary64 values of (1 +- 1/sqrt(3))/2 and must not be replaced by them.
// Both weights are 1.0.
constexpr double shape_large = 0.788675129413604736328125;
constexpr double shape_small = 0.211324870586395263671875;
constexpr double gauss_weight = 1.0;
static_assert(shape_large == static_cast<double>(0.788675129413604736328125f));
static_assert(shape_small == static_cast<double>(0.211324870586395263671875f));
static_assert(shape_large + shape_small == 1.0);

// Shape values of the element's first (P) and second (Q) node at each point.
constexpr double shape_first[2] = {shape_large, shape_small};
constexpr double shape_second[2] = {shape_small, shape_large};

}  // namespace

std::int32_t truncate_step_count(double quotient_plus_one) {
    // Truncation toward zero; anything that has no 32-bit value gives the
    // most negative one.
    constexpr double upper_bound = 2147483648.0;   // 2^31
    constexpr double lower_bound = -2147483649.0;  // -2^31 - 1
    if (!(quotient_plus_one < upper_bound && quotient_plus_one > lower_bound)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(quotient_plus_one);
}

ModelSetup derive_model_setup(const ParameterSet& p) {
    ModelSetup s;
    s.volumetric_heat_capacity = p.density * p.specific_heat;
    s.diffusivity = p.conductivity / s.volumetric_heat_capacity;
    s.element_length = (p.outer_radius - p.inner_radius) / 50.0;
    const double h = s.element_length;
    s.reference_step = (h * h) / (0.5 * s.diffusivity);
    s.total_time = p.first_phase_duration + p.second_phase_duration;
    s.step_count = truncate_step_count(s.total_time / s.reference_step + 1.0);
    s.time_step = s.total_time / static_cast<double>(s.step_count);
    return s;
}

// The conduction, capacity and surface terms of every element.  They are
// evaluated exactly as a step would evaluate them, so adding them into each
// step's system gives the same bits as recomputing them there.
static void compute_element_terms(HeatModel& m) {
    const ParameterSet& p = m.parameters;
    const double dt = m.setup.time_step;
    for (int e = 1; e <= element_count; ++e) {
        const double r1 = m.node_radius[e];
        const double r2 = m.node_radius[e + 1];
        const double he = r2 - r1;
        const double s = (e == element_count) ? p.heat_transfer_coefficient : 0.0;
        const double ce = he * m.setup.volumetric_heat_capacity;
        const double surface = (s * 2.0) * p.outer_radius;
        double k11 = 0.0, k12 = 0.0, k22 = 0.0;
        double radius_at_point[2];
        for (int g = 0; g < 2; ++g) {
            const double P = shape_first[g];
            const double Q = shape_second[g];
            const double rg = r1 * P + r2 * Q;
            const double kg = ((rg * p.conductivity) * gauss_weight) / he;
            const double mg = (rg * ce) * gauss_weight;
            k11 = (k11 + kg) + ((P * P) * mg) / dt;
            k12 = (k12 - kg) + ((mg * P) * Q) / dt;
            k22 = ((k22 + kg) + ((Q * Q) * mg) / dt) + surface;
            radius_at_point[g] = rg;
        }
        m.terms.k11[e] = k11;
        m.terms.k12[e] = k12;
        m.terms.k22[e] = k22;
        m.terms.radius_at_point_1[e] = radius_at_point[0];
        m.terms.radius_at_point_2[e] = radius_at_point[1];
        m.terms.capacity[e] = ce;
        m.terms.surface_term[e] = surface;
    }
}

void set_up_model(HeatModel& m, const ParameterSet& parameters) {
    m.parameters = parameters;
    m.setup = derive_model_setup(parameters);
    double radius = 0.0;
    for (int i = 1; i <= node_count; ++i) {
        m.node_radius[i] = radius;
        m.node_temperature[i] = parameters.initial_temperature;
        radius = radius + m.setup.element_length;
    }
    compute_element_terms(m);
    m.time = 0.0;
    m.dTmax = 0.0;
}

// Load vectors of all elements from the previous temperatures: F1 and F2 of
// element e go to f1[e] and f2[e].  The elements are independent here, which
// lets the compiler work on two at once with vector instructions (the
// operations, and so the results, are those of one element at a time).
static void compute_load_vectors(const HeatModel& m, double ambient_temperature,
                                 std::array<double, element_count + 1>& f1,
                                 std::array<double, element_count + 1>& f2) {
    const ElementTerms& terms = m.terms;
    const double dt = m.setup.time_step;
    for (int e = 1; e <= element_count; ++e) {
        const double T1 = m.node_temperature[e];
        const double T2 = m.node_temperature[e + 1];
        const double ce = terms.capacity[e];
        const double load = ambient_temperature * terms.surface_term[e];

        const double tg1 = T2 * shape_small + T1 * shape_large;
        const double qg1 = ((tg1 * ce) * terms.radius_at_point_1[e]) * gauss_weight;
        double F1 = (qg1 * shape_large) / dt + 0.0;
        double F2 = ((qg1 * shape_small) / dt + 0.0) + load;

        const double tg2 = T2 * shape_large + T1 * shape_small;
        const double qg2 = ((tg2 * ce) * terms.radius_at_point_2[e]) * gauss_weight;
        F1 = (qg2 * shape_small) / dt + F1;
        F2 = ((qg2 * shape_large) / dt + F2) + load;

        f1[e] = F1;
        f2[e] = F2;
    }
}

StepRecord take_time_step(HeatModel& m) {
    const ParameterSet& p = m.parameters;
    const ElementTerms& terms = m.terms;
    const double dt = m.setup.time_step;

    // A NaN time or switch time keeps the first phase's medium.
    const double ambient_temperature =
        (m.time >= p.first_phase_duration) ? p.ambient_temperature_2 : p.ambient_temperature_1;

    std::array<double, element_count + 1> f1, f2;
    compute_load_vectors(m, ambient_temperature, f1, f2);

    // Assembly into a system cleared to zero: every entry is 0.0 plus the
    // contributions of its elements in element order, so node e receives its
    // share from element e-1 before the one from element e.  Writing each
    // entry's sum at once gives the same bits as clearing the arrays and
    // adding into them, without the clearing pass.
    m.main_diagonal[1] = 0.0 + terms.k11[1];
    m.right_hand_side[1] = 0.0 + f1[1];
    for (int e = 2; e <= element_count; ++e) {
        m.main_diagonal[e] = (0.0 + terms.k22[e - 1]) + terms.k11[e];
        m.right_hand_side[e] = (0.0 + f2[e - 1]) + f1[e];
    }
    m.main_diagonal[node_count] = 0.0 + terms.k22[element_count];
    m.right_hand_side[node_count] = 0.0 + f2[element_count];
    m.lower_diagonal[1] = 0.0;
    for (int e = 1; e <= element_count; ++e) {
        m.upper_diagonal[e] = 0.0 + terms.k12[e];
        m.lower_diagonal[e + 1] = 0.0 + terms.k12[e];  // the element matrix is symmetric: K21 = K12
    }
    m.upper_diagonal[node_count] = 0.0;

    DLSLTR(node_count, &m.lower_diagonal[1], &m.main_diagonal[1], &m.upper_diagonal[1], &m.right_hand_side[1]);

    std::copy(m.right_hand_side.begin() + 1, m.right_hand_side.end(), m.node_temperature.begin() + 1);
    const double tc = m.node_temperature[1];
    const double tpov = m.node_temperature[node_count];
    const double dT = std::fabs(tc - tpov);
    if (dT > m.dTmax) m.dTmax = dT;

    const StepRecord record{m.time, tc, tpov, dT};
    m.time = dt + m.time;
    return record;
}

std::int64_t run_time_loop(HeatModel& m, textio::Channel* result_file, std::int64_t first_step) {
    // The counter is wider than the step count, so that a count of
    // 2147483647 ends after its last step instead of wrapping around.
    const std::int64_t step_count = m.setup.step_count;
    std::int64_t steps_done = 0;
    for (std::int64_t step = first_step; step <= step_count; ++step) {
        stop_if_interrupted(step - 1, step_count);
        const StepRecord r = take_time_step(m);
        if (result_file != nullptr) write_step_record(*result_file, r.time, r.tc, r.tpov, r.dT);
        ++steps_done;
        // A countdown, not a clock read: the clock is looked at a few times a second.
        if (--progress_countdown == 0) show_progress(step);
    }
    stop_if_interrupted(steps_done == 0 ? first_step - 1 : step_count, step_count);
    return steps_done;
}

void run_heat_model(const ParameterSet& parameters) {
    // An interruption while the parameters were read leaves the result file
    // untouched.
    const std::int64_t planned_steps = derive_model_setup(parameters).step_count;
    stop_if_interrupted(0, planned_steps);

    // The lock is taken before the first record cuts the file, so a second
    // run in the same folder touches neither file.
    textio::Channel& result_file = textio::open_unit(result_file_unit, result_file_name);
    if (!textio::lock_channel(result_file)) {
        textio::write_report_line("temp1d: " + result_file.full_path + " is in use by another run");
        textio::stop_program(textio::status_result_file_in_use);
    }
    write_result_header(result_file);
    HeatModel model;
    set_up_model(model, parameters);
    run_time_loop(model, &result_file);
    write_result_closing(result_file, model.dTmax);
    textio::close_unit(result_file_unit);

    // A run that could not take a single step wrote a result without data
    // records; that is no success.
    if (model.setup.step_count <= 0) {
        textio::write_report_line(no_step_report_line(model.setup));
        textio::stop_program(textio::status_no_step_taken);
    }
}
