// A parameter set by the names of its values: a cylinder quenched from one
// temperature into one medium, with the run split into two equal phases.
// The defaults are the plain steel bar of parameter_texts.h (radius 5 cm,
// 850 into water at 20, 6 s in each phase); a test names only what it
// changes, for example quench({.outer_radius = 0.00625, .coefficient = 500}).
#pragma once

#include "model/heat_model.h"

struct Quench {
    double inner_radius = 0.0;
    double outer_radius = 0.05;
    double coefficient = 5000.0;  // line 4, the value the model doubles
    double initial_temperature = 850.0;
    double medium_temperature = 20.0;  // both phases
    double density = 7800.0;
    double specific_heat = 460.0;
    double conductivity = 45.0;
    double run_length = 12.0;  // both phases together
};

inline model::ParameterSet quench(const Quench& q) {
    model::ParameterSet p;
    p.inner_radius = q.inner_radius;
    p.outer_radius = q.outer_radius;
    p.heat_transfer_coefficient = q.coefficient;
    p.initial_temperature = q.initial_temperature;
    p.ambient_temperature_1 = q.medium_temperature;
    p.ambient_temperature_2 = q.medium_temperature;
    p.density = q.density;
    p.specific_heat = q.specific_heat;
    p.conductivity = q.conductivity;
    p.first_phase_duration = q.run_length / 2.0;
    p.second_phase_duration = q.run_length / 2.0;
    return p;
}
