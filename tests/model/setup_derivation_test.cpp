// The derived scalars and the mesh of a run against values worked out by
// hand, not against a second copy of the formulas: parameters chosen so that
// every derived value is exact in binary (any other reading of a formula,
// another grouping or the wrong parameter, gives another number), the step
// counts of the shipped runs, and the edges of the step count's truncation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "model/heat_model.h"

using namespace model;

namespace {

constexpr std::int32_t no_count = std::numeric_limits<std::int32_t>::min();

// A solid cylinder with powers of two everywhere: outer radius 50/32, so
// h = 1/32; volumetric heat capacity 8 * 0.5 = 4; diffusivity 2 / 4 = 0.5;
// reference step (1/1024) / (0.5 * 0.5) = 1/256.
ParameterSet binary_example() {
    ParameterSet p;
    p.inner_radius = 0.0;
    p.outer_radius = 1.5625;
    p.heat_transfer_coefficient = 3.0;
    p.initial_temperature = 10.0;
    p.ambient_temperature_1 = 20.0;
    p.ambient_temperature_2 = 30.0;
    p.density = 8.0;
    p.specific_heat = 0.5;
    p.conductivity = 2.0;
    p.first_phase_duration = 0.125;
    p.second_phase_duration = 0.125;
    return p;
}

TEST(SetupDerivation, ExactExampleGivesTheHandWorkedValues) {
    const ModelSetup s = derive_model_setup(binary_example());
    EXPECT_EQ(s.volumetric_heat_capacity, 4.0) << "density times specific heat";
    EXPECT_EQ(s.diffusivity, 0.5) << "conductivity over the heat capacity";
    EXPECT_EQ(s.element_length, 0.03125) << "the radius in 50 elements";
    // h^2 / (0.5 a) = 2^-8; read as h^2 / 0.5 * a or as h^2 / (2 a) it
    // would be 2^-10, as h / (0.5 a) 2^-3.
    EXPECT_EQ(s.reference_step, 0.00390625);
    EXPECT_EQ(s.total_time, 0.25) << "both phases";
    // 0.25 / (1/256) = 64 exactly, plus one.
    EXPECT_EQ(s.step_count, 65);
    EXPECT_EQ(s.time_step, 0.25 / 65.0) << "the total time shared out, not the reference step";
}

TEST(SetupDerivation, HollowCylinderUsesTheWallThickness) {
    ParameterSet p = binary_example();
    p.inner_radius = 0.5;
    p.outer_radius = 2.0625;  // wall 1.5625: the same h as the solid example
    const ModelSetup s = derive_model_setup(p);
    EXPECT_EQ(s.element_length, 0.03125);
    EXPECT_EQ(s.reference_step, 0.00390625);
    EXPECT_EQ(s.step_count, 65);

    // The mesh runs from 0 over the wall thickness whatever the inner
    // radius; with h a power of two every running sum is exact.
    HeatModel m;
    set_up_model(m, p);
    for (int i = 1; i <= node_count; ++i) {
        EXPECT_EQ(m.node_radius[i], (i - 1) * 0.03125) << "node " << i;
        EXPECT_EQ(m.node_temperature[i], 10.0) << "node " << i;
    }
}

TEST(SetupDerivation, ShippedRunsTakeTheirKnownStepCounts) {
    // Steel (7800 kg/m3, 460 J/(kg K), 45 W/(m K)): a = 45 / 3588000.
    // Bar of radius 50 mm, 800 s: h = 1 mm, reference step 2e-6 * 3588000 /
    // 45 = 0.159466... s, 800 / it = 5016.7, so 5017 steps.
    ParameterSet bar{0.0, 0.05, 5000.0, 850.0, 20.0, 20.0, 7800.0, 460.0, 45.0, 400.0, 400.0};
    ModelSetup s = derive_model_setup(bar);
    EXPECT_EQ(s.volumetric_heat_capacity, 3588000.0);
    EXPECT_NEAR(s.reference_step, 7.176 / 45.0, 1e-15);
    EXPECT_EQ(s.step_count, 5017);
    EXPECT_NEAR(s.time_step, 800.0 / 5017.0, 1e-15);

    // Wire of radius 2 mm, 510 s: h = 40 um, reference step 3.2e-9 * 3588000
    // / 45 = 2.5514...e-4 s, 510 / it = 1998850.3, so 1998851 steps (the
    // record count of the benchmark's result file).
    ParameterSet wire{0.0, 0.002, 50.0, 20.0, 900.0, 20.0, 7800.0, 460.0, 45.0, 300.0, 210.0};
    s = derive_model_setup(wire);
    EXPECT_NEAR(s.reference_step, 3.2e-9 * 3588000.0 / 45.0, 1e-18);
    EXPECT_EQ(s.step_count, 1998851);
}

// The binary example with the total time set to `multiple` reference steps
// (1/256 s each), all in the first phase.
ModelSetup with_total_of(double multiple) {
    ParameterSet p = binary_example();
    p.first_phase_duration = multiple / 256.0;
    p.second_phase_duration = 0.0;
    return derive_model_setup(p);
}

TEST(SetupDerivation, StepCountIsTheQuotientPlusOneTruncatedTowardZero) {
    struct Case {
        double multiple;
        std::int32_t steps;
    } const cases[] = {
        {0.0, 1},                    // no time at all: one step of length 0
        {0.999, 1},                  // less than one reference step
        {1.0, 2},                    // exactly one: plus one
        {63.5, 64},                  // a fraction is dropped, not rounded
        {-0.5, 0},                   // 0.5: a count of exactly 0
        {-1.5, 0},                   // -0.5 truncates toward zero, not down to -1
        {-2.0, -1},                  // -1
        {-2.5, -1},                  // -1.5 truncates to -1
        {2147483646.0, 2147483647},  // the largest count
        {2147483647.0, no_count},    // 2^31 does not fit
        {-2147483650.0, no_count},   // below -2^31: the same most negative count
    };
    for (const Case& c : cases) {
        const ModelSetup s = with_total_of(c.multiple);
        EXPECT_EQ(s.step_count, c.steps) << c.multiple << " reference steps";
        EXPECT_EQ(s.time_step, s.total_time / static_cast<double>(c.steps)) << c.multiple << " reference steps";
    }
    EXPECT_EQ(with_total_of(0.0).time_step, 0.0);
    EXPECT_EQ(with_total_of(-0.5).time_step, -std::numeric_limits<double>::infinity())
        << "a count of 0 shares the time out into an infinite step";
}

TEST(SetupDerivation, DegenerateMaterialsAndMeshes) {
    const double inf = std::numeric_limits<double>::infinity();
    ParameterSet p = binary_example();
    p.outer_radius = p.inner_radius;  // no wall: h = 0, zero reference step
    ModelSetup s = derive_model_setup(p);
    EXPECT_EQ(s.element_length, 0.0);
    EXPECT_EQ(s.reference_step, 0.0);
    EXPECT_EQ(s.step_count, no_count);

    p = binary_example();
    p.conductivity = 0.0;  // no conduction: an infinite reference step, one step
    s = derive_model_setup(p);
    EXPECT_EQ(s.diffusivity, 0.0);
    EXPECT_EQ(s.reference_step, inf);
    EXPECT_EQ(s.step_count, 1);
    EXPECT_EQ(s.time_step, 0.25);

    p = binary_example();
    p.specific_heat = 0.0;  // no heat capacity: infinite diffusivity
    s = derive_model_setup(p);
    EXPECT_EQ(s.diffusivity, inf);
    EXPECT_EQ(s.reference_step, 0.0);
    EXPECT_EQ(s.step_count, no_count);

    p = binary_example();
    p.first_phase_duration = std::nan("");
    s = derive_model_setup(p);
    EXPECT_TRUE(std::isnan(s.total_time));
    EXPECT_EQ(s.step_count, no_count);

    p = binary_example();
    p.outer_radius = -1.5625;  // a negative radius: a negative h, the same reference step
    s = derive_model_setup(p);
    EXPECT_EQ(s.element_length, -0.03125);
    EXPECT_EQ(s.reference_step, 0.00390625);
    EXPECT_EQ(s.step_count, 65);
}

}  // namespace
