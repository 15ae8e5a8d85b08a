// The heat-conduction model: transient conduction along the radius of a
// cylinder, 50 linear elements with the radius as a factor in every
// integrand, a two-point Gauss rule, implicit time stepping and heat
// exchange with a surrounding medium at the surface.
#pragma once

#include <array>
#include <cstdint>

#include "model/element_terms.h"

namespace textio {
struct Channel;
}

namespace model {

// The eleven values of the parameter file, in reading order.
struct ParameterSet {
    double inner_radius = 0.0;
    double outer_radius = 0.0;
    double heat_transfer_coefficient = 0.0;
    double initial_temperature = 0.0;
    double ambient_temperature_1 = 0.0;
    double ambient_temperature_2 = 0.0;
    double density = 0.0;
    double specific_heat = 0.0;
    double conductivity = 0.0;
    double first_phase_duration = 0.0;
    double second_phase_duration = 0.0;
};

inline constexpr int element_count = 50;
inline constexpr int node_count = 51;

// A nodal array indexed 1..51 by node; entry 0 is unused so that the code
// reads like the node numbering.
using NodalArray = std::array<double, node_count + 1>;

// Scalars derived once from the parameters.
struct ModelSetup {
    double volumetric_heat_capacity = 0.0;
    double diffusivity = 0.0;
    double element_length = 0.0;
    double reference_step = 0.0;
    double total_time = 0.0;
    std::int32_t step_count = 0;
    double time_step = 0.0;
};

// How a step solves its system.  The system matrix (C / dt + K + Ds, see
// take_time_step) is the same in every step.
enum class SolvePath : unsigned char {
    // Nothing eliminated yet: the step builds its load vector, solves with
    // DLSLTR (which reports a zero pivot) and, when that solve succeeded,
    // keeps the elimination of the matrix for the later steps.
    first_step,
    // The elimination is kept and right_hand_side already holds this step's
    // load vector: the step substitutes it through the elimination and
    // builds the next step's load vector on the way.
    substituting,
    // The first solve met an unusable pivot: every step builds its load
    // vector and solves through DLSLTR, which meets (and reports) it again.
    full_solve_only,
};

// The state of one run.  set_up_model assembles the system matrix into
// `system_matrix_*`; the first step solves it with DLSLTR and keeps its
// elimination, and every later step only substitutes a new right-hand side.
struct HeatModel {
    ParameterSet parameters;
    ModelSetup setup;
    ElementLoadWeights load_weights;
    NodalArray node_temperature{};
    NodalArray node_radius{};
    // The system of a step as the solver sees it; after a solve the matrix
    // arrays hold the elimination of the system matrix as DLSLTR (and
    // DLSLTF) leave it.
    NodalArray lower_diagonal{};
    NodalArray main_diagonal{};
    NodalArray upper_diagonal{};
    NodalArray right_hand_side{};
    // The assembled system matrix, kept for a solve with DLSLTR.
    NodalArray system_matrix_lower{};
    NodalArray system_matrix_main{};
    NodalArray system_matrix_upper{};
    // The rest of the elimination as DLSLTF records it: multiplier and row
    // interchange of each elimination step, valid on the substituting path.
    NodalArray elimination_multiplier{};
    std::array<int, node_count + 1> row_interchanged{};
    SolvePath solve_path = SolvePath::first_step;
    double time = 0.0;
    double dTmax = 0.0;
};

// The values of one record of the result file.
struct StepRecord {
    double time;
    double tc;
    double tpov;
    double dT;
};

// Converts the step-count quotient (already plus one) to a 32-bit count by
// truncation toward zero; NaN, infinities and values out of range give
// -2147483648.
std::int32_t truncate_step_count(double quotient_plus_one);

// Derives the scalars of a run from its parameters.
ModelSetup derive_model_setup(const ParameterSet& parameters);

// The heat-transfer coefficient of the physical problem that a parameter
// set's `coefficient` (line 4 of the parameter file) stands for: the model
// applies twice the given value at the outer radius R of a solid bar of
// radius R - inner_radius, so the physical coefficient is
// 2 * coefficient * R / (R - inner_radius); for a solid bar, twice the given
// one.
double effective_coefficient(const ParameterSet& parameters, double coefficient);

// Sets up a run: derived scalars, mesh, the assembled system matrix, the
// element load weights, the initial field and the clock.
void set_up_model(HeatModel& model, const ParameterSet& parameters);

// As set_up_model, with `step_divisor` times as many time steps, each that
// much shorter: for estimates of the model's time-step error (temp1d's own
// runs never use it).  The step count times the divisor must fit 32 bits.
void set_up_model_with_finer_step(HeatModel& model, const ParameterSet& parameters, std::int32_t step_divisor);

// One time step: builds the load vector from the previous temperatures (or
// finds it built by the step before), solves the system (the first step with
// DLSLTR, which also checks the matrix for a zero pivot; later steps by
// substitution through the kept elimination, see SolvePath), takes the
// solution as the new temperatures, updates dTmax and advances the clock.
// Returns the values of the step's record (time at the start of the step).
StepRecord take_time_step(HeatModel& model);

// Takes the steps first_step..last_step of a set-up model, one after the
// other, and returns how many it took.  Records go to `result_file`; with a
// null channel the steps run without output (used to measure the arithmetic
// on its own).  A run takes the steps 1..step_count, in as many calls as its
// caller likes; a later first step lets the end of a very long run be
// examined without taking all the steps before it.
std::int64_t run_steps(HeatModel& model, std::int64_t first_step, std::int64_t last_step, textio::Channel* result_file);

}  // namespace model
