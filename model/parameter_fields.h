// The eleven fields of the parameter file "DataInpTemp1d.txt" in reading
// order: their names, meanings and units, and where a well-formed file holds
// them.  The reader, the --check report and everything else that lists the
// parameters go through this one table.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "model/heat_model.h"

namespace model {

struct ParameterField {
    std::string_view name;  // the key used in reports and JSON
    std::string_view meaning;
    std::string_view unit;  // SI unit; temperatures share one scale
    int line;               // line of the file that holds it (the title is line 1)
    int read;               // which of the nine reads fills it (1..9)
    double ParameterSet::*member;
    bool must_not_be_negative;  // a negative value has no physical meaning
};

inline constexpr std::array<ParameterField, 11> parameter_fields{{
    {"inner_radius", "inner radius", "m", 2, 1, &ParameterSet::inner_radius, true},
    {"outer_radius", "outer radius", "m", 3, 2, &ParameterSet::outer_radius, true},
    {"heat_transfer_coefficient", "heat-transfer coefficient", "W/(m2 K)", 4, 3,
     &ParameterSet::heat_transfer_coefficient, true},
    {"initial_temperature", "initial temperature", "C", 5, 4, &ParameterSet::initial_temperature, false},
    {"ambient_temperature_1", "medium temperature, phase 1", "C", 6, 5, &ParameterSet::ambient_temperature_1, false},
    {"ambient_temperature_2", "medium temperature, phase 2", "C", 6, 5, &ParameterSet::ambient_temperature_2, false},
    {"density", "density", "kg/m3", 7, 6, &ParameterSet::density, true},
    {"specific_heat", "specific heat", "J/(kg K)", 8, 7, &ParameterSet::specific_heat, true},
    {"conductivity", "conductivity", "W/(m K)", 9, 8, &ParameterSet::conductivity, true},
    {"first_phase_duration", "duration of phase 1", "s", 10, 9, &ParameterSet::first_phase_duration, true},
    {"second_phase_duration", "duration of phase 2", "s", 10, 9, &ParameterSet::second_phase_duration, true},
}};

inline constexpr int parameter_read_count = 9;

// The number of fields that read `read` fills.
constexpr std::size_t fields_of_read(int read) {
    std::size_t count = 0;
    for (const ParameterField& field : parameter_fields) count += field.read == read ? 1 : 0;
    return count;
}

}  // namespace model
