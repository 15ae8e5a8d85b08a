// The derived scalars and the mesh of a run, bit for bit against an
// independent transcription of their formulas on thousands of random
// parameter sets.  A changed operation (a product for a quotient, another
// grouping) changes the last bit of many of them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "model/heat_model.h"
#include "model/parameter_fields.h"

using namespace model;

namespace {

bool same_value(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) || (std::isnan(a) && std::isnan(b));
}

struct Expected {
    double volumetric_heat_capacity, diffusivity, element_length, reference_step, total_time;
    std::int32_t step_count;
    double time_step;
    double node_radius[52];
};

Expected transcribe(const ParameterSet& p) {
    Expected x{};
    x.volumetric_heat_capacity = p.density * p.specific_heat;
    x.diffusivity = p.conductivity / x.volumetric_heat_capacity;
    x.element_length = (p.outer_radius - p.inner_radius) / 50.0;
    x.reference_step = (x.element_length * x.element_length) / (0.5 * x.diffusivity);
    x.total_time = p.first_phase_duration + p.second_phase_duration;
    const double quotient = x.total_time / x.reference_step + 1.0;
    const double truncated = std::trunc(quotient);
    x.step_count = (std::isfinite(quotient) && truncated >= -2147483648.0 && truncated <= 2147483647.0)
                       ? static_cast<std::int32_t>(truncated)
                       : std::numeric_limits<std::int32_t>::min();
    x.time_step = x.total_time / static_cast<double>(x.step_count);
    x.node_radius[1] = 0.0;
    for (int i = 2; i <= 51; ++i) x.node_radius[i] = x.node_radius[i - 1] + x.element_length;
    return x;
}

// The first derived scalar of `s` that differs from the transcription `x`
// in any bit, by name; empty when all agree.
std::string setup_difference(const ModelSetup& s, const Expected& x) {
    if (!same_value(s.volumetric_heat_capacity, x.volumetric_heat_capacity)) return "volumetric heat capacity";
    if (!same_value(s.diffusivity, x.diffusivity)) return "diffusivity";
    if (!same_value(s.element_length, x.element_length)) return "element length";
    if (!same_value(s.reference_step, x.reference_step)) return "reference step";
    if (!same_value(s.total_time, x.total_time)) return "total time";
    if (s.step_count != x.step_count) {
        return "step count " + std::to_string(s.step_count) + " instead of " + std::to_string(x.step_count);
    }
    if (!same_value(s.time_step, x.time_step)) return "time step";
    return "";
}

// Values spread over many decades, mostly positive.
double spread(std::mt19937_64& random, double lo_exponent, double hi_exponent, bool may_be_negative) {
    const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(lo_exponent, hi_exponent)(random));
    return (may_be_negative && random() % 8 == 0) ? -magnitude : magnitude;
}

TEST(SetupDerivation, MatchesTheFormulasBitForBitOnRandomParameters) {
    std::mt19937_64 random(4096);
    int differing_runs = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        ParameterSet p;
        p.inner_radius = trial % 3 == 0 ? spread(random, -4, -1, true) : 0.0;
        p.outer_radius = spread(random, -3, 1, trial % 50 == 0);
        p.heat_transfer_coefficient = spread(random, 0, 4, false);
        p.initial_temperature = spread(random, 0, 3, true);
        p.ambient_temperature_1 = spread(random, 0, 3, true);
        p.ambient_temperature_2 = spread(random, 0, 3, true);
        p.density = spread(random, 2, 4.5, trial % 40 == 0);
        p.specific_heat = spread(random, 2, 3.5, false);
        p.conductivity = spread(random, -1, 2.7, false);
        p.first_phase_duration = spread(random, -1, 4, trial % 30 == 0);
        p.second_phase_duration = spread(random, -1, 4, false);

        const Expected x = transcribe(p);
        const std::string at = "trial " + std::to_string(trial);
        ASSERT_EQ(setup_difference(derive_model_setup(p), x), "") << at;

        HeatModel m;
        set_up_model(m, p);
        for (int i = 1; i <= 51; ++i) {
            ASSERT_TRUE(same_value(m.node_radius[i], x.node_radius[i])) << at << ", node " << i;
            ASSERT_TRUE(same_value(m.node_temperature[i], p.initial_temperature)) << at << ", node " << i;
        }
        // How often a plain alternative to the formulas would differ: the
        // random sets must be able to tell them apart.
        if (!same_value(x.time_step, x.total_time * (1.0 / static_cast<double>(x.step_count)))) ++differing_runs;
    }
    EXPECT_GT(differing_runs, 100);
}

// A binary64 of any size: random sign, exponent and mantissa, subnormal
// values, zeros and infinities included.
double any_value(std::mt19937_64& random) {
    switch (random() % 16) {
        case 0: return 0.0;
        case 1: return -0.0;
        case 2: return std::numeric_limits<double>::infinity();
        case 3: return std::ldexp(static_cast<double>(random() >> 11), -1074 - 53 + static_cast<int>(random() % 60));
        default: {
            const double mantissa = std::uniform_real_distribution<double>(0.5, 1.0)(random);
            const double value = std::ldexp(mantissa, static_cast<int>(random() % 2040) - 1020);
            return random() % 4 == 0 ? -value : value;
        }
    }
}

TEST(SetupDerivation, MatchesTheFormulasBitForBitOnValuesOfEverySize) {
    // Overflow, underflow into subnormal numbers and infinities expose
    // rewritings that agree for ordinary values (2h^2/a for h^2/(0.5 a)).
    std::mt19937_64 random(65536);
    for (int trial = 0; trial < 20000; ++trial) {
        ParameterSet p;
        for (const ParameterField& field : parameter_fields) p.*field.member = any_value(random);
        const Expected x = transcribe(p);
        const std::string at = "trial " + std::to_string(trial);
        ASSERT_EQ(setup_difference(derive_model_setup(p), x), "") << at;
    }
}

}  // namespace
