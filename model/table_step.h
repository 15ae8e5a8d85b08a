// Time steps with temperature-dependent properties: the surface coefficient
// against the surface temperature, the conductivity and the specific heat
// against each element's temperature, each from a table.  A mode beside the
// compatible run, which it leaves untouched: the mesh, the time step (from
// the parameter file's values), the two media and the records are those of
// the compatible run; only the matrix and the load are built anew in every
// step.
//
// Scheme: the properties of a step are lagged by one step, taken at the
// temperatures the step starts from.  Measured against a reference 4 times
// finer in time and 2 times finer in space (tests/model/table_step_test.cpp:
// a 12.5 mm nickel-alloy probe with a boiling curve and temperature-
// dependent conductivity and specific heat), the largest deviation is about
// 0.004 % of the temperature swing at the centre and 0.03 % at the surface;
// re-solving each step with the properties at the mean of the old and the
// new temperatures changes neither by a tenth, at twice the cost.  The time
// step of the model is small enough that lagging costs nothing measurable.
#pragma once

#include <array>
#include <cstdint>

#include "model/heat_model.h"
#include "model/property_table.h"

namespace textio {
struct Channel;
}

namespace model {

struct MaterialTables {
    // The physical surface coefficient in W/(m2 K) against the surface
    // temperature, applied as given (not doubled as line 4 is): it replaces
    // line 4 of the parameter file.
    const PropertyTable* coefficient = nullptr;
    // Against the mean temperature of each element.
    const PropertyTable* conductivity = nullptr;
    const PropertyTable* specific_heat = nullptr;
};

// Whether any table is given (otherwise the compatible step applies).
bool has_table(const MaterialTables& tables);

// What a table step needs besides the tables, worked out once per run from
// the mesh and the time step: per element, the conduction weight
// G = (rg1 + rg2) / he, by which the conductivity multiplies the element's
// conduction matrix [[1, -1], [-1, 1]], and the capacity weights A11, A12,
// A22 = sum over the Gauss points of (shape products) * rg * he / dt, by
// which the volumetric heat capacity multiplies the capacity matrix over dt.
// The element matrix is then k G [[1, -1], [-1, 1]] + rho c A (plus twice
// the surface term on element 50, which the two-point rule adds at each
// point), and the load rho c A T_old (plus twice the surface load): the
// operations of the compatible step regrouped so that a step needs no
// division for its assembly.
struct TableRun {
    MaterialTables tables;
    std::array<double, element_count + 1> conduction_weight{};
    std::array<double, element_count + 1> capacity_11{};
    std::array<double, element_count + 1> capacity_12{};
    std::array<double, element_count + 1> capacity_22{};
};

// Prepares the table steps of a set-up model.
TableRun prepare_table_run(const HeatModel& model, const MaterialTables& tables);

// Solves of a step: 1 lags the properties by one step; 2 re-solves the step
// with the properties at the mean of the old and the predicted temperatures
// (kept for the measurement above).
inline constexpr int table_step_solves = 1;

// One step of a set-up model with the tables; returns the step's record
// (time at the start of the step), updates dTmax and advances the clock.
// `solves` as table_step_solves.
StepRecord take_table_step(HeatModel& model, const TableRun& run, int solves = table_step_solves);

// take_table_step for the steps first_step..last_step, records to
// `result_file` (none when null); returns the steps taken.
std::int64_t run_table_steps(HeatModel& model, const TableRun& run, std::int64_t first_step, std::int64_t last_step,
                             textio::Channel* result_file);

}  // namespace model
