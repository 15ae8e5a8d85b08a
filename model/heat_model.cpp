#include "model/heat_model.h"

#include <cmath>
#include <limits>

#include "model/result_file.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

namespace model {

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

double effective_coefficient(const ParameterSet& p, double coefficient) {
    return ((coefficient * 2.0) * p.outer_radius) / (p.outer_radius - p.inner_radius);
}

namespace {

// Mesh, system matrix and load weights.  The matrix is assembled into a
// system cleared to zero: every entry is 0.0 plus the contributions of its
// elements in element order, so node e receives its share from element e-1
// before the one from element e.
void assemble_system_matrix(HeatModel& m) {
    const ParameterSet& p = m.parameters;
    std::array<ElementMatrix, element_count + 1> k;
    for (int e = 1; e <= element_count; ++e) {
        const double r1 = m.node_radius[e];
        const double r2 = m.node_radius[e + 1];
        const double s = (e == element_count) ? p.heat_transfer_coefficient : 0.0;
        const double surface_term = (s * 2.0) * p.outer_radius;
        k[e] =
            element_matrix(r1, r2, p.conductivity, m.setup.volumetric_heat_capacity, surface_term, m.setup.time_step);

        // The load vector's weights, with the operations the element
        // formulas give them.
        const double he = r2 - r1;
        m.load_weights.capacity[e] = he * m.setup.volumetric_heat_capacity;
        m.load_weights.radius_at_points[e] = {r1 * shape_large + r2 * shape_small, r1 * shape_small + r2 * shape_large};
        m.load_weights.surface_term[e] = surface_term;
        m.load_weights.surface_load_1[e] = p.ambient_temperature_1 * surface_term;
        m.load_weights.surface_load_2[e] = p.ambient_temperature_2 * surface_term;
    }
    m.system_matrix_main[1] = 0.0 + k[1].k11;
    for (int e = 2; e <= element_count; ++e) m.system_matrix_main[e] = (0.0 + k[e - 1].k22) + k[e].k11;
    m.system_matrix_main[node_count] = 0.0 + k[element_count].k22;
    m.system_matrix_lower[1] = 0.0;
    for (int e = 1; e <= element_count; ++e) {
        m.system_matrix_upper[e] = 0.0 + k[e].k12;
        m.system_matrix_lower[e + 1] = 0.0 + k[e].k12;  // K21 = K12
    }
    m.system_matrix_upper[node_count] = 0.0;
}

// Set-up with the derived scalars `setup`.
void set_up_model_with(HeatModel& m, const ParameterSet& parameters, const ModelSetup& setup) {
    m.parameters = parameters;
    m.setup = setup;
    double radius = 0.0;
    for (int i = 1; i <= node_count; ++i) {
        m.node_radius[i] = radius;
        m.node_temperature[i] = parameters.initial_temperature;
        radius = radius + m.setup.element_length;
    }
    assemble_system_matrix(m);
    m.lower_diagonal = m.system_matrix_lower;
    m.main_diagonal = m.system_matrix_main;
    m.upper_diagonal = m.system_matrix_upper;
    m.solve_path = SolvePath::first_step;
    m.time = 0.0;
    m.dTmax = 0.0;
}

}  // namespace

void set_up_model(HeatModel& m, const ParameterSet& parameters) {
    set_up_model_with(m, parameters, derive_model_setup(parameters));
}

void set_up_model_with_finer_step(HeatModel& m, const ParameterSet& parameters, std::int32_t step_divisor) {
    ModelSetup setup = derive_model_setup(parameters);
    setup.step_count *= step_divisor;
    setup.time_step = setup.total_time / static_cast<double>(setup.step_count);
    set_up_model_with(m, parameters, setup);
}

namespace {

// The surface loads L of the medium around the cylinder at `time`: the
// second phase's from the switch time on.  A NaN time or switch time keeps
// the first phase's medium.
const double* surface_loads_at(const HeatModel& m, double time) {
    const ElementLoadWeights& w = m.load_weights;
    return (time >= m.parameters.first_phase_duration) ? w.surface_load_2.data() : w.surface_load_1.data();
}

// Element e's load vector from the temperatures T1, T2 of its nodes: the
// one per-element routine of both ways of building the load vector.
ElementLoad load_of_element(const ElementLoadWeights& w, int e, double T1, double T2, double dt,
                            const double* surface_load) {
    const GaussRadii& radii = w.radius_at_points[e];
    return element_load(T1, T2, w.capacity[e], radii.at_point_1, radii.at_point_2, dt, surface_load[e]);
}

// A node's entry of the load vector: 0.0 plus the share of the element
// below it (its F2) plus the share of the element above it (its F1), in
// that order, as the element-by-element assembly into a cleared array adds
// them.
double nodal_load(double from_element_below, double from_element_above) {
    return (0.0 + from_element_below) + from_element_above;
}

// The right-hand side (C / dt) T_old + bs from node_temperature, element by
// element.  Used by the first step, to prepare the second, and by every step
// that solves through DLSLTR; on the substituting path the next load vector
// is built during the substitution instead.
void build_load_vector(HeatModel& m, const double* surface_load) {
    const ElementLoadWeights& w = m.load_weights;
    const double dt = m.setup.time_step;
    const NodalArray& T = m.node_temperature;
    NodalArray& f = m.right_hand_side;
    ElementLoad load = load_of_element(w, 1, T[1], T[2], dt, surface_load);
    f[1] = 0.0 + load.first_node;
    for (int e = 2; e <= element_count; ++e) {
        const double from_below = load.second_node;
        load = load_of_element(w, e, T[e], T[e + 1], dt, surface_load);
        f[e] = nodal_load(from_below, load.first_node);
    }
    f[node_count] = 0.0 + load.second_node;
}

// Solves right_hand_side with the assembled matrix through DLSLTR, which
// reports a zero pivot (and, with the library's settings, ends the run
// there).  Returns whether right_hand_side holds the solution.
bool solve_through_dlsltr(HeatModel& m) {
    m.lower_diagonal = m.system_matrix_lower;
    m.main_diagonal = m.system_matrix_main;
    m.upper_diagonal = m.system_matrix_upper;
    return DLSLTR(node_count, &m.lower_diagonal[1], &m.main_diagonal[1], &m.upper_diagonal[1], &m.right_hand_side[1]);
}

// The first step's solve, and the choice of the path of every later step.
// When DLSLTR solved the system, DLSLTF eliminates the same matrix once more
// (with the same operations it cannot fail) and records the multipliers and
// interchanges the substitution needs; its arrays are then what DLSLTR left
// in them, and right_hand_side keeps DLSLTR's solution.
//
// The kept elimination is not compared with DLSLTR at run time.  DLSLTF and
// DLSLTS give DLSLTR's bits by construction (all three run the row
// operations of one shared header, and the library's tests compare them on
// many random systems), and a comparison on this step's right-hand side
// could not show it for the later ones: a load vector that is zero except
// at node 51 never meets a multiplier on its way through the elimination, so
// even a multiplier of the wrong sign would pass.
void solve_first_step(HeatModel& m) {
    if (!solve_through_dlsltr(m)) {
        m.solve_path = SolvePath::full_solve_only;
        return;
    }
    m.lower_diagonal = m.system_matrix_lower;
    m.main_diagonal = m.system_matrix_main;
    m.upper_diagonal = m.system_matrix_upper;
    DLSLTF(node_count, &m.lower_diagonal[1], &m.main_diagonal[1], &m.upper_diagonal[1], &m.elimination_multiplier[1],
           &m.row_interchanged[1]);
    m.solve_path = SolvePath::substituting;
}

// The substitution of a step through the kept elimination, with the next
// step's load vector built on the way up.  DLSLTE performs the right-hand
// side's share of the elimination; then the back substitution runs from
// node 51 to node 1 with the library's unknowns, and as soon as both
// temperatures of an element are final its load vector for the next step is
// worked out, so that its divisions overlap the chain of the substitution.
// Node i+1's load entry (F2 of element i, F1 of element i+1) is complete
// once element i is done, and goes into right_hand_side(i+1), whose
// eliminated value has already been used.  The solution goes to
// node_temperature.
void substitute_and_build_next_load(HeatModel& m, const double* surface_load) {
    constexpr int n = node_count;
    double* const b = &m.right_hand_side[1];
    const double* const s = &m.lower_diagonal[1];
    const double* const d = &m.main_diagonal[1];
    const double* const u = &m.upper_diagonal[1];
    DLSLTE(n, &m.elimination_multiplier[1], &m.row_interchanged[1], b);

    const ElementLoadWeights& w = m.load_weights;
    const double dt = m.setup.time_step;
    NodalArray& T = m.node_temperature;
    double* const next_load = m.right_hand_side.data();  // indexed by node

    // Nodes 51 and 50, then element 50.
    double later = numlib::last_unknown(b[n - 1], s[n - 1]);
    double latest = numlib::second_last_unknown(b[n - 2], d[n - 2], later, s[n - 2]);
    T[n] = later;
    T[n - 1] = latest;
    ElementLoad load = load_of_element(w, element_count, latest, later, dt, surface_load);
    next_load[n] = 0.0 + load.second_node;
    double from_above = load.first_node;  // F1 of the element above the current node
    for (int k = n - 3; k >= 0; --k) {
        const double x = numlib::unknown(b[k], d[k], latest, u[k], later, s[k]);
        T[k + 1] = x;
        // Element k+1 joins nodes k+1 (x) and k+2 (latest).
        const int e = k + 1;
        load = load_of_element(w, e, x, latest, dt, surface_load);
        next_load[e + 1] = nodal_load(load.second_node, from_above);
        from_above = load.first_node;
        later = latest;
        latest = x;
    }
    next_load[1] = 0.0 + from_above;
}

}  // namespace

// One step of the implicit scheme:
//
//     (C / dt + K + Ds) T_new = (C / dt) T_old + bs
//
// with C and K the capacity and conduction matrices of the two-point rule,
// Ds the surface term 2S at node 51 and bs the surface load 2L there.  The
// matrix is fixed for the run; a step builds the load vector
// (C / dt) T_old + bs with the medium of the step's start, solves the system
// as its SolvePath says and records the result.
StepRecord take_time_step(HeatModel& m) {
    const double dt = m.setup.time_step;
    const double next_time = dt + m.time;

    switch (m.solve_path) {
        case SolvePath::substituting:
            // This step's load vector was built by the step before; the
            // next one is built with the medium of the next step's start.
            substitute_and_build_next_load(m, surface_loads_at(m, next_time));
            break;
        case SolvePath::first_step:
            build_load_vector(m, surface_loads_at(m, m.time));
            solve_first_step(m);
            m.node_temperature = m.right_hand_side;
            // The substituting path starts with the next load vector in place.
            if (m.solve_path == SolvePath::substituting) build_load_vector(m, surface_loads_at(m, next_time));
            break;
        case SolvePath::full_solve_only:
            build_load_vector(m, surface_loads_at(m, m.time));
            solve_through_dlsltr(m);
            m.node_temperature = m.right_hand_side;
            break;
    }

    const double tc = m.node_temperature[1];
    const double tpov = m.node_temperature[node_count];
    const double dT = std::fabs(tc - tpov);
    if (dT > m.dTmax) m.dTmax = dT;

    const StepRecord record{m.time, tc, tpov, dT};
    m.time = next_time;
    return record;
}

std::int64_t run_steps(HeatModel& m, std::int64_t first_step, std::int64_t last_step, textio::Channel* result_file) {
    // The counter is wider than the step count, so that a count of
    // 2147483647 ends after its last step instead of wrapping around.
    std::int64_t steps_done = 0;
    for (std::int64_t step = first_step; step <= last_step; ++step) {
        const StepRecord r = take_time_step(m);
        if (result_file != nullptr) write_step_record(*result_file, r.time, r.tc, r.tpov, r.dT);
        ++steps_done;
    }
    return steps_done;
}

}  // namespace model
