// The model's arithmetic: the derived scalars, and every time step checked
// bit for bit against a plain transcription of the element formulas that
// recomputes every term in every step.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/heat_model.h"
#include "model/parameter_fields.h"
#include "numlib/numlib.h"

using namespace model;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

ParameterSet unit_example() {
    ParameterSet p;
    p.outer_radius = 1.0;
    p.heat_transfer_coefficient = 10.0;
    p.ambient_temperature_1 = 100.0;
    p.ambient_temperature_2 = 100.0;
    p.density = 1.0;
    p.specific_heat = 1.0;
    p.conductivity = 1.0;
    p.first_phase_duration = 0.1;
    p.second_phase_duration = 0.1;
    return p;
}

TEST(ModelSetup, WorkedExample) {
    HeatModel m;
    set_up_model(m, unit_example());
    EXPECT_EQ(m.setup.volumetric_heat_capacity, 1.0);
    EXPECT_EQ(m.setup.diffusivity, 1.0);
    EXPECT_EQ(m.setup.element_length, 0.02);
    EXPECT_EQ(m.setup.reference_step, 0.02 * 0.02 / 0.5);
    EXPECT_EQ(m.setup.total_time, 0.2);
    EXPECT_EQ(m.setup.step_count, 251);
    EXPECT_EQ(m.setup.time_step, 0.2 / 251.0);
    EXPECT_EQ(m.node_radius[1], 0.0);
    EXPECT_EQ(m.node_radius[51], 1.0000000000000004) << "a running sum, not 50 * h";
    EXPECT_EQ(m.node_temperature[17], 0.0);
}

TEST(ModelSetup, StepCountTruncatesTowardZeroAndMapsTheUnrepresentable) {
    EXPECT_EQ(truncate_step_count(100.6), 100);
    EXPECT_EQ(truncate_step_count(101.0), 101);
    EXPECT_EQ(truncate_step_count(-3.3), -3);
    EXPECT_EQ(truncate_step_count(0.7), 0);
    EXPECT_EQ(truncate_step_count(2147483647.9), 2147483647);
    EXPECT_EQ(truncate_step_count(-2147483648.9), std::numeric_limits<std::int32_t>::min());
    for (double bad : {2147483648.0, -2147483649.0, inf, -inf, nan, 1e300}) {
        EXPECT_EQ(truncate_step_count(bad), std::numeric_limits<std::int32_t>::min()) << bad;
    }
}

TEST(ModelSetup, DegenerateParametersGiveTheirStepCounts) {
    ParameterSet p = unit_example();
    p.outer_radius = p.inner_radius;  // h = 0: infinite quotient
    EXPECT_EQ(derive_model_setup(p).step_count, std::numeric_limits<std::int32_t>::min());
    p.first_phase_duration = p.second_phase_duration = 0.0;  // 0 / 0
    EXPECT_EQ(derive_model_setup(p).step_count, std::numeric_limits<std::int32_t>::min());

    p = unit_example();
    p.conductivity = 0.0;  // infinite reference step: exactly one step of the whole length
    EXPECT_EQ(derive_model_setup(p).step_count, 1);
    EXPECT_EQ(derive_model_setup(p).time_step, 0.2);

    p = unit_example();
    p.density = 0.0;  // infinite diffusivity, zero reference step
    EXPECT_EQ(derive_model_setup(p).reference_step, 0.0);
    EXPECT_EQ(derive_model_setup(p).step_count, std::numeric_limits<std::int32_t>::min());

    p = unit_example();
    p.first_phase_duration = -1.0;
    p.second_phase_duration = 0.0;  // negative total: a negative count, no step
    EXPECT_EQ(derive_model_setup(p).step_count, -1249);

    p = unit_example();
    p.inner_radius = 0.01;
    p.outer_radius = 0.05;
    HeatModel m;
    set_up_model(m, p);
    EXPECT_EQ(m.setup.element_length, (0.05 - 0.01) / 50.0);
    EXPECT_EQ(m.node_radius[1], 0.0) << "coordinates start at 0 whatever the inner radius";
    EXPECT_NEAR(m.node_radius[51], 0.04, 1e-15);
}

// One step written straight from the element formulas: every element term
// is recomputed in the step, in the order the formulas give.
void reference_step(HeatModel& m, double& time, double& dTmax, double out[4]) {
    const ParameterSet& p = m.parameters;
    const double dt = m.setup.time_step;
    const double shape[2][2] = {{0.788675129413604736328125, 0.211324870586395263671875},
                                {0.211324870586395263671875, 0.788675129413604736328125}};
    NodalArray lower{}, diag{}, upper{}, rhs{};
    double ambient = p.ambient_temperature_1;
    if (time < p.first_phase_duration) {
        ambient = p.ambient_temperature_1;
    } else if (time >= p.first_phase_duration) {
        ambient = p.ambient_temperature_2;
    }
    for (int e = 1; e <= 50; ++e) {
        const double r1 = m.node_radius[e], r2 = m.node_radius[e + 1];
        const double T1 = m.node_temperature[e], T2 = m.node_temperature[e + 1];
        const double he = r2 - r1;
        const double s = e == 50 ? p.heat_transfer_coefficient : 0.0;
        double K11 = 0.0, K12 = 0.0, K21 = 0.0, K22 = 0.0, F1 = 0.0, F2 = 0.0;
        const double ce = he * m.setup.volumetric_heat_capacity;
        const double S = (s * 2.0) * p.outer_radius;
        const double L = ambient * S;
        for (int g = 0; g < 2; ++g) {
            const double P = shape[g][0], Q = shape[g][1], w = 1.0;
            const double rg = r1 * P + r2 * Q;
            const double Tg = T2 * Q + T1 * P;
            const double kg = ((rg * p.conductivity) * w) / he;
            const double mg = (rg * ce) * w;
            K11 = (K11 + kg) + ((P * P) * mg) / dt;
            K12 = (K12 - kg) + ((mg * P) * Q) / dt;
            K21 = K12;
            K22 = ((K22 + kg) + ((Q * Q) * mg) / dt) + S;
            const double qg = ((Tg * ce) * rg) * w;
            F1 = (qg * P) / dt + F1;
            F2 = ((qg * Q) / dt + F2) + L;
        }
        diag[e] += K11;
        diag[e + 1] += K22;
        upper[e] += K12;
        lower[e + 1] += K21;
        rhs[e] += F1;
        rhs[e + 1] += F2;
    }
    DLSLTR(51, &lower[1], &diag[1], &upper[1], &rhs[1]);
    m.node_temperature = rhs;
    const double dT = std::fabs(rhs[1] - rhs[51]);
    if (dT > dTmax) dTmax = dT;
    out[0] = time;
    out[1] = rhs[1];
    out[2] = rhs[51];
    out[3] = dT;
    time = dt + time;
}

bool same_value(double a, double b) { return same_bits(a, b) || (std::isnan(a) && std::isnan(b)); }

// Runs up to `steps` steps both ways from the same start and compares every
// value that reaches the result file and every node temperature, bit for
// bit.  Returns a description of
// the first difference, or an empty string.
std::string first_difference(const ParameterSet& p, int steps) {
    HeatModel fast;
    set_up_model(fast, p);
    HeatModel slow;
    set_up_model(slow, p);
    double time = 0.0, dTmax = 0.0;
    const int n = static_cast<int>(std::min<std::int64_t>(steps, fast.setup.step_count));
    for (int k = 0; k < n; ++k) {
        const StepRecord r = take_time_step(fast);
        double expected[4];
        reference_step(slow, time, dTmax, expected);
        const double got[4] = {r.time, r.tc, r.tpov, r.dT};
        for (int i = 0; i < 4; ++i) {
            if (!same_value(got[i], expected[i])) {
                return "step " + std::to_string(k + 1) + " value " + std::to_string(i) + ": " + std::to_string(got[i]) +
                       " vs " + std::to_string(expected[i]);
            }
        }
        if (!same_value(fast.dTmax, dTmax)) return "dTmax after step " + std::to_string(k + 1);
        for (int i = 1; i <= node_count; ++i) {
            if (!same_value(fast.node_temperature[i], slow.node_temperature[i])) {
                return "step " + std::to_string(k + 1) + " node " + std::to_string(i);
            }
        }
    }
    return {};
}

void expect_same_steps(const ParameterSet& p, int steps) { EXPECT_EQ(first_difference(p, steps), ""); }

// Extreme parameters can make a solve fail, which ends the process; such
// runs are compared in a child process.  Returns false when the run stopped
// in the solver (both ways reach the same failing system first).
bool expect_same_steps_in_child(const ParameterSet& p, int steps) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::_exit(first_difference(p, steps).empty() ? 42 : 3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    EXPECT_NE(code, 3) << "the steps differ from the element formulas";
    return code == 42;
}

TEST(TimeStep, MatchesTheElementFormulasBitForBitOnRealisticRuns) {
    std::mt19937_64 random(20261208);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    for (int trial = 0; trial < 60; ++trial) {
        ParameterSet p;
        p.inner_radius = trial % 5 == 0 ? uniform(-0.01, 0.01) : 0.0;
        p.outer_radius = uniform(0.002, 0.3);
        p.heat_transfer_coefficient = uniform(0.0, 20000.0);
        p.initial_temperature = uniform(-50.0, 1200.0);
        p.ambient_temperature_1 = uniform(-50.0, 1200.0);
        p.ambient_temperature_2 = uniform(-50.0, 1200.0);
        p.density = uniform(1000.0, 20000.0);
        p.specific_heat = uniform(100.0, 2000.0);
        p.conductivity = uniform(1.0, 400.0);
        p.first_phase_duration = uniform(0.0, 100.0);
        p.second_phase_duration = uniform(0.0, 100.0);
        expect_same_steps(p, 300);
    }
}

TEST(TimeStep, MatchesTheElementFormulasWithExtremeValues) {
    const double values[] = {0.0, -0.0, 1.0, -1.0, 1e-300, -1e-300, 1e300, -1e300, inf, -inf, nan, 5e-324};
    std::mt19937_64 random(7);
    int completed = 0;
    for (int trial = 0; trial < 300; ++trial) {
        ParameterSet p = unit_example();
        // Replace two or three parameters by extreme values, keep a step
        // count that runs.
        for (int k = 0; k < 2 + trial % 2; ++k) {
            const int which = static_cast<int>(random() % 11);
            if (which == 7 || which == 6 || which == 8) continue;  // these decide whether a solve can fail
            p.*parameter_fields[which].member = values[random() % std::size(values)];
        }
        completed += expect_same_steps_in_child(p, 20) ? 1 : 0;
    }
    EXPECT_GT(completed, 200) << "most extreme runs complete their steps";
}

// A steel bar of radius `radius` (hollow when `inner` > 0) whose whole run
// takes about `steps` steps, with the medium switched halfway.
ParameterSet short_run(double inner, double radius, double initial, double ambient_1, double ambient_2, int steps) {
    ParameterSet p;
    p.inner_radius = inner;
    p.outer_radius = radius;
    p.heat_transfer_coefficient = 800.0;
    p.initial_temperature = initial;
    p.ambient_temperature_1 = ambient_1;
    p.ambient_temperature_2 = ambient_2;
    p.density = 7800.0;
    p.specific_heat = 460.0;
    p.conductivity = 45.0;
    const double h = (radius - inner) / 50.0;
    const double reference = (h * h) / (0.5 * (45.0 / (7800.0 * 460.0)));
    p.first_phase_duration = reference * steps * 0.5;
    p.second_phase_duration = reference * steps * 0.5;
    return p;
}

TEST(TimeStep, MatchesTheElementFormulasOnNegativeSignCrossingAndHollowRuns) {
    // Whole runs, the switch of the medium included.
    struct Case {
        const char* name;
        ParameterSet p;
    } cases[] = {
        {"negative", short_run(0.0, 0.05, -120.0, -300.0, -40.0, 400)},
        {"crossing zero", short_run(0.0, 0.03, -50.0, 80.0, -20.0, 400)},
        {"crossing zero, magnified", short_run(0.0, 0.03, -5.0e7, 8.0e7, -2.0e7, 300)},
        {"hollow", short_run(0.01, 0.05, 850.0, 20.0, 300.0, 400)},
        {"hollow, negative radii", short_run(-0.02, 0.01, 20.0, 900.0, -10.0, 300)},
        {"tiny values", short_run(0.0, 0.02, 1e-300, -3e-300, 2e-300, 200)},
        {"starts at -0", short_run(0.0, 0.02, -0.0, -0.0, 0.0, 200)},
    };
    for (const Case& c : cases) {
        const ModelSetup s = derive_model_setup(c.p);
        ASSERT_GT(s.step_count, 100) << c.name;
        ASSERT_LT(s.step_count, 1000) << c.name;
        EXPECT_EQ(first_difference(c.p, s.step_count), "") << c.name;
    }
}

TEST(TimeStep, MatchesTheElementFormulasOnRandomWholeRuns) {
    // Short random runs stepped to their end, so that the switch of the
    // medium falls inside the compared steps.
    std::mt19937_64 random(1812);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    for (int trial = 0; trial < 40; ++trial) {
        const double radius = uniform(0.002, 0.2);
        const double inner = trial % 4 == 0 ? uniform(0.0, radius / 2) : 0.0;
        ParameterSet p = short_run(inner, radius, uniform(-300.0, 1200.0), uniform(-300.0, 1200.0),
                                   uniform(-300.0, 1200.0), 150 + trial * 7);
        p.heat_transfer_coefficient = uniform(0.0, 30000.0);
        p.first_phase_duration *= uniform(0.1, 1.9);
        const ModelSetup s = derive_model_setup(p);
        EXPECT_EQ(first_difference(p, s.step_count), "") << "trial " << trial;
    }
}

TEST(TimeStep, SolvesEveryStepThroughDlsltrWhenTheEliminationIsNotKept) {
    // The path taken when the first solve met an unusable pivot, forced here
    // on a good system: every step assembles nothing new but builds its load
    // vector and solves the whole system through DLSLTR.
    const ParameterSet p = short_run(0.0, 0.03, -50.0, 80.0, -20.0, 200);
    HeatModel fast;
    set_up_model(fast, p);
    fast.solve_path = SolvePath::full_solve_only;
    HeatModel slow;
    set_up_model(slow, p);
    double time = 0.0, dTmax = 0.0;
    for (int k = 1; k <= fast.setup.step_count; ++k) {
        const StepRecord r = take_time_step(fast);
        double expected[4];
        reference_step(slow, time, dTmax, expected);
        ASSERT_EQ(fast.solve_path, SolvePath::full_solve_only);
        ASSERT_TRUE(same_bits(r.tc, expected[1]) && same_bits(r.tpov, expected[2])) << "step " << k;
        for (int i = 1; i <= node_count; ++i) {
            ASSERT_TRUE(same_bits(fast.node_temperature[i], slow.node_temperature[i])) << "step " << k;
        }
    }
}

TEST(TimeStep, KeepsTheEliminationAfterTheFirstStep) {
    HeatModel m;
    set_up_model(m, short_run(0.0, 0.03, 20.0, 900.0, 20.0, 200));
    EXPECT_EQ(m.solve_path, SolvePath::first_step);
    take_time_step(m);
    EXPECT_EQ(m.solve_path, SolvePath::substituting);
    // What DLSLTR left in its arrays: the reciprocal pivots and the last
    // pivot, which the kept elimination uses.
    NodalArray lower = m.system_matrix_lower, main = m.system_matrix_main, upper = m.system_matrix_upper;
    NodalArray rhs{};
    rhs.fill(1.0);
    DLSLTR(node_count, &lower[1], &main[1], &upper[1], &rhs[1]);
    for (int i = 1; i <= node_count; ++i) {
        EXPECT_TRUE(same_bits(m.lower_diagonal[i], lower[i])) << i;
        EXPECT_TRUE(same_bits(m.main_diagonal[i], main[i])) << i;
        EXPECT_TRUE(same_bits(m.upper_diagonal[i], upper[i])) << i;
    }
}

TEST(TimeStep, KeepsNoEliminationFromAFailedSolve) {
    // A matrix of zeros (the capacity underflows, no conduction).  Below a
    // routine of its own the library records the zero pivot without ending
    // the run, so the step returns; its elimination must not be kept, and
    // every later step meets the zero pivot again.
    const ParameterSet p{0.0, 1e-150, 100.0, 20.0, 20.0, 20.0, 1e-60, 1e-60, 0.0, 100.0, 100.0};
    HeatModel m;
    set_up_model(m, p);
    for (int k = 1; k <= 2; ++k) {
        E1PSH("HEAT_MODEL_TEST");
        take_time_step(m);
        E1MES(0, 0, "");  // discards the recorded error
        E1POP("HEAT_MODEL_TEST");
        EXPECT_EQ(m.solve_path, SolvePath::full_solve_only) << "step " << k;
    }
}

TEST(TimeStep, SwitchesTheMediumByTheRunningClock) {
    // 20 steps of 0.1 and a switch at 1.0: the eleventh step starts at
    // 0.9999999999999999 and still belongs to the first phase.
    ParameterSet p = unit_example();
    p.initial_temperature = 0.0;
    p.ambient_temperature_1 = 0.0;
    p.ambient_temperature_2 = 1000.0;
    p.conductivity = 0.0078;  // reference step 0.10256..., 2.0 / it + 1 = 20.5
    p.first_phase_duration = 1.0;
    p.second_phase_duration = 1.0;
    HeatModel m;
    set_up_model(m, p);
    ASSERT_EQ(m.setup.step_count, 20);
    ASSERT_EQ(m.setup.time_step, 0.1);
    for (int k = 1; k <= 11; ++k) {
        const StepRecord r = take_time_step(m);
        EXPECT_EQ(r.tpov, 0.0) << "step " << k << " starts at " << r.time;
    }
    EXPECT_EQ(m.time, 1.0999999999999999);
    EXPECT_GT(take_time_step(m).tpov, 0.0) << "the twelfth step uses the second medium";
}

TEST(TimeStep, AStepThatStartsAtTheSwitchTimeUsesTheSecondMedium) {
    // Steps of exactly 0.125 s: 1.0 / 0.1333... + 1 = 8.5 gives 8 steps, and
    // the clock hits the switch time exactly.  A switch at 0.125 falls on the
    // second step, whose load vector the first step builds after its solve;
    // a switch at 0.5 falls on the fifth, whose load vector the fourth step
    // builds during its substitution.  Each step is also compared bit for bit
    // with the plain transcription that assembles and solves every step.
    for (const double switch_time : {0.125, 0.5}) {
        SCOPED_TRACE(switch_time);
        ParameterSet p = unit_example();
        p.initial_temperature = 0.0;
        p.ambient_temperature_1 = 0.0;
        p.ambient_temperature_2 = 1000.0;
        p.conductivity = 0.006;  // reference step 0.0008 / 0.006
        p.first_phase_duration = switch_time;
        p.second_phase_duration = 1.0 - switch_time;
        HeatModel m;
        set_up_model(m, p);
        ASSERT_EQ(m.setup.step_count, 8);
        ASSERT_EQ(m.setup.time_step, 0.125);
        const int first_step_of_second_phase = static_cast<int>(switch_time / 0.125) + 1;
        for (int k = 1; k < first_step_of_second_phase; ++k) {
            const StepRecord r = take_time_step(m);
            EXPECT_EQ(r.tpov, 0.0) << "step " << k << " starts at " << r.time;
        }
        EXPECT_EQ(m.solve_path, SolvePath::substituting);
        EXPECT_EQ(m.time, switch_time);
        EXPECT_GT(take_time_step(m).tpov, 0.0) << "the step that starts at the switch uses the second medium";
        EXPECT_EQ(first_difference(p, 8), "");
    }
}

TEST(TimeStep, NanClockKeepsTheFirstMediumAndNanDifferenceLeavesTheMaximum) {
    ParameterSet p = unit_example();
    p.first_phase_duration = nan;
    p.second_phase_duration = 0.1;
    HeatModel m;
    set_up_model(m, p);
    EXPECT_EQ(m.setup.step_count, std::numeric_limits<std::int32_t>::min());

    p = unit_example();
    p.ambient_temperature_1 = nan;
    set_up_model(m, p);
    const StepRecord r = take_time_step(m);
    EXPECT_TRUE(std::isnan(r.tpov));
    EXPECT_EQ(m.dTmax, 0.0);
}

TEST(TimeStep, InfiniteMediumMakesEveryTemperatureNan) {
    ParameterSet p = unit_example();
    p.ambient_temperature_1 = inf;
    HeatModel m;
    set_up_model(m, p);
    take_time_step(m);
    for (int i = 1; i <= 51; ++i) EXPECT_TRUE(std::isnan(m.node_temperature[i])) << i;
}

}  // namespace
