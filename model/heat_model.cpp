#include "model/heat_model.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "model/result_file.h"
#include "numlib/numlib.h"
#include "numlib/tridiagonal_elimination.h"
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

// Mesh, system matrix and load weights.  The matrix is assembled into a
// system cleared to zero: every entry is 0.0 plus the contributions of its
// elements in element order, so node e receives its share from element e-1
// before the one from element e.
static void assemble_system_matrix(HeatModel& m) {
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

void set_up_model(HeatModel& m, const ParameterSet& parameters) {
    m.parameters = parameters;
    m.setup = derive_model_setup(parameters);
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
    m.factor_kept = false;
    m.factor_rejected = false;
    m.next_load_ready = false;
    m.time = 0.0;
    m.dTmax = 0.0;
}

// The right-hand side (C / dt) T_old + bs, node by node: entry i is 0.0 plus
// the share of element i-1 (its F2) plus the share of element i (its F1), in
// that order, as the element-by-element assembly into a cleared array adds
// them.  Used by the first step and whenever no elimination is kept; with a
// kept elimination the next load vector is built during the substitution.
static void build_load_vector(HeatModel& m, double ambient_temperature) {
    const ElementLoadWeights& w = m.load_weights;
    const NodalArray& T = m.node_temperature;
    const double dt = m.setup.time_step;
    NodalArray& f = m.right_hand_side;
    {
        const double q1 = point_1_load(T[1], T[2], w.capacity[1], w.radius_at_points[1].at_point_1);
        const double q2 = point_2_load(T[1], T[2], w.capacity[1], w.radius_at_points[1].at_point_2);
        f[1] = 0.0 + first_node_load(q1, q2, dt);
    }
    for (int i = 2; i <= element_count; ++i) {
        const int left = i - 1;  // element i-1 joins nodes i-1 and i
        const double lq1 = point_1_load(T[i - 1], T[i], w.capacity[left], w.radius_at_points[left].at_point_1);
        const double lq2 = point_2_load(T[i - 1], T[i], w.capacity[left], w.radius_at_points[left].at_point_2);
        const double from_left = second_node_load(lq1, lq2, dt, ambient_temperature * w.surface_term[left]);
        const double rq1 = point_1_load(T[i], T[i + 1], w.capacity[i], w.radius_at_points[i].at_point_1);
        const double rq2 = point_2_load(T[i], T[i + 1], w.capacity[i], w.radius_at_points[i].at_point_2);
        const double from_right = first_node_load(rq1, rq2, dt);
        f[i] = (0.0 + from_left) + from_right;
    }
    {
        constexpr int last = element_count;
        const double q1 = point_1_load(T[last], T[last + 1], w.capacity[last], w.radius_at_points[last].at_point_1);
        const double q2 = point_2_load(T[last], T[last + 1], w.capacity[last], w.radius_at_points[last].at_point_2);
        f[node_count] = 0.0 + second_node_load(q1, q2, dt, ambient_temperature * w.surface_term[last]);
    }
}

static bool same_bits(const NodalArray& a, const NodalArray& b) {
    return std::memcmp(&a[1], &b[1], node_count * sizeof(double)) == 0;
}

// Solves with the assembled matrix through DLSLTR, which reports a zero
// pivot (and, with the library's settings, ends the run there).  After the
// first solve the elimination is worked out once more, by the code DLSLTF
// runs but without a report of its own, and kept only when it met no
// unusable pivot, when it is bit for bit what DLSLTR left in its arrays, and
// when substituting this step's right-hand side through it (DLSLTS) gives
// DLSLTR's solution bit for bit; otherwise every step keeps solving through
// DLSLTR.
static void solve_with_full_elimination(HeatModel& m) {
    m.lower_diagonal = m.system_matrix_lower;
    m.main_diagonal = m.system_matrix_main;
    m.upper_diagonal = m.system_matrix_upper;
    const NodalArray load = m.right_hand_side;
    DLSLTR(node_count, &m.lower_diagonal[1], &m.main_diagonal[1], &m.upper_diagonal[1], &m.right_hand_side[1]);
    if (m.factor_rejected) return;

    NodalArray lower = m.system_matrix_lower, main = m.system_matrix_main, upper = m.system_matrix_upper;
    numlib::detail::shift_first_row(node_count, &lower[1], &main[1], &upper[1]);
    const int failed_element = numlib::detail::eliminate(node_count, &lower[1], &main[1], &upper[1], nullptr,
                                                         &m.elimination_multiplier[1], &m.row_interchanged[1]);
    if (failed_element != 0) {
        m.factor_rejected = true;
        return;
    }
    NodalArray solution = load;
    DLSLTS(node_count, &lower[1], &main[1], &upper[1], &m.elimination_multiplier[1], &m.row_interchanged[1],
           &solution[1]);
    if (same_bits(lower, m.lower_diagonal) && same_bits(main, m.main_diagonal) && same_bits(upper, m.upper_diagonal) &&
        same_bits(solution, m.right_hand_side)) {
        m.factor_kept = true;
    } else {
        m.factor_rejected = true;
    }
}

// The substitution of a step through the kept elimination, with the next
// step's load vector built on the way up.  The right-hand side's share of the
// elimination comes first (DLSLTS's forward pass); then the back substitution
// runs from node 51 to node 1, and as soon as both temperatures of an element
// are final its load vector for the next step is worked out, so that its
// divisions overlap the chain of the substitution.  Node i+1's load entry
// (0.0 + F2 of element i) + F1 of element i+1 is complete once element i is
// done, and goes into right_hand_side(i+1), whose eliminated value has
// already been used.  The solution goes to node_temperature.
static void substitute_and_build_next_load(HeatModel& m, const double* surface_load) {
    using namespace numlib::detail;
    constexpr int n = node_count;
    double* const b = &m.right_hand_side[1];
    const double* const s = &m.lower_diagonal[1];
    const double* const d = &m.main_diagonal[1];
    const double* const u = &m.upper_diagonal[1];
    eliminate_right_hand_side(n, &m.elimination_multiplier[1], &m.row_interchanged[1], b);

    const ElementLoadWeights& w = m.load_weights;
    const double dt = m.setup.time_step;
    NodalArray& T = m.node_temperature;
    double* const next_load = m.right_hand_side.data();  // indexed by node

    // Nodes 51 and 50, then element 50.
    double later = last_unknown(b[n - 1], s[n - 1]);
    double latest = second_last_unknown(b[n - 2], d[n - 2], later, s[n - 2]);
    T[n] = later;
    T[n - 1] = latest;
    const GaussRadii* const radii = w.radius_at_points.data();
    ElementLoad load = element_load(latest, later, w.capacity[element_count], radii[element_count].at_point_1,
                                    radii[element_count].at_point_2, dt, surface_load[element_count]);
    next_load[n] = 0.0 + load.second_node;
    double first_node_share = load.first_node;  // F1 of the element above the current node
    for (int k = n - 3; k >= 0; --k) {
        const double x = unknown(b[k], d[k], latest, u[k], later, s[k]);
        T[k + 1] = x;
        // Element k+1 joins nodes k+1 (x) and k+2 (latest).
        const int e = k + 1;
        load = element_load(x, latest, w.capacity[e], radii[e].at_point_1, radii[e].at_point_2, dt, surface_load[e]);
        next_load[e + 1] = (0.0 + load.second_node) + first_node_share;
        first_node_share = load.first_node;
        later = latest;
        latest = x;
    }
    next_load[1] = 0.0 + first_node_share;
}

// One step of the implicit scheme:
//
//     (C / dt + K + Ds) T_new = (C / dt) T_old + bs
//
// with C and K the capacity and conduction matrices of the two-point rule,
// Ds the surface term 2S at node 51 and bs the surface load 2L there.  The
// matrix is fixed for the run and already eliminated; a step builds the load
// vector (C / dt) T_old + bs, substitutes it through the elimination and
// records the result.  Once the elimination is kept, the load vector of the
// next step is built during this step's substitution
// (`next_load_ready`).
StepRecord take_time_step(HeatModel& m) {
    const ParameterSet& p = m.parameters;
    const double dt = m.setup.time_step;
    const double next_time = dt + m.time;

    if (!m.next_load_ready) {
        // A NaN time or switch time keeps the first phase's medium.
        const double ambient_temperature =
            (m.time >= p.first_phase_duration) ? p.ambient_temperature_2 : p.ambient_temperature_1;
        build_load_vector(m, ambient_temperature);
    }
    if (m.factor_kept) {
        // The surface loads of the next step's medium (a NaN clock keeps the
        // first phase's).
        const ElementLoadWeights& w = m.load_weights;
        const double* const next_surface_load =
            (next_time >= p.first_phase_duration) ? w.surface_load_2.data() : w.surface_load_1.data();
        substitute_and_build_next_load(m, next_surface_load);
        m.next_load_ready = true;
    } else {
        solve_with_full_elimination(m);
        m.node_temperature = m.right_hand_side;
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
