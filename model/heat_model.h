// The heat-conduction model: transient conduction along the radius of a
// cylinder, 50 linear elements with the radius as a factor in every
// integrand, a two-point Gauss rule, implicit time stepping and heat
// exchange with a surrounding medium at the surface.
#pragma once

#include <array>
#include <cstdint>

namespace textio {
struct Channel;
}

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

// The conduction and capacity terms of each element (with the surface term
// on element 50).  They depend only on the mesh, the material and the time
// step, so they are worked out once per run and added into every step's
// system.  Indexed 1..50 by element.
struct ElementTerms {
    std::array<double, element_count + 1> k11{}, k12{}, k22{};
    std::array<double, element_count + 1> radius_at_point_1{}, radius_at_point_2{};
    std::array<double, element_count + 1> capacity{};       // ce = he * volumetric_heat_capacity
    std::array<double, element_count + 1> surface_term{};   // S = (s * 2) * outer_radius
};

// The state of one run.
struct HeatModel {
    ParameterSet parameters;
    ModelSetup setup;
    ElementTerms terms;
    NodalArray node_temperature{};
    NodalArray node_radius{};
    NodalArray lower_diagonal{};
    NodalArray main_diagonal{};
    NodalArray upper_diagonal{};
    NodalArray right_hand_side{};
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

// Sets up mesh, element terms, initial field and clock for a run.
void set_up_model(HeatModel& model, const ParameterSet& parameters);

// One time step: assembles and solves the system, takes the solution as the
// new temperatures, updates dTmax and advances the clock.  Returns the values
// of the step's record (time at the start of the step).
StepRecord take_time_step(HeatModel& model);

// Runs the steps first_step..step_count of a set-up model and returns how
// many it took.  Records go to `result_file`; with a null channel the steps
// run without output (used to measure the arithmetic on its own).  A run
// always starts at step 1; a later first step lets the end of a very long
// run be examined without taking all the steps before it.  Before each step
// and after the last, an interruption by SIGINT, SIGTERM or SIGHUP ends the
// program by that signal with the finished records written.
std::int64_t run_time_loop(HeatModel& model, textio::Channel* result_file, std::int64_t first_step = 1);

// The whole run: opens "temperat.txt" and locks it (another run holding it
// ends the program with status 5, neither file touched), writes its header,
// simulates, writes the closing lines and closes the file.  A run that took
// no step ends the program with status 3 after one report line.
void run_heat_model(const ParameterSet& parameters);
