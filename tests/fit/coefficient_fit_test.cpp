// The search fitted against curves with a known answer: the model's own
// curves, exact and with noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "fit/coefficient_search.h"
#include "fit/fit_parameters.h"
#include "fit_test_support.h"

using namespace fit;

namespace {

constexpr double probe_radius = 0.00625;
constexpr double probe_conductivity = 14.9;
constexpr double probe_capacity = 8470.0 * 444.0;

// The file coefficient of a given Biot number (built on the effective
// coefficient, twice the file value) and a run long enough for the centre
// to lose most of its excess temperature: the lumped time constant and half
// a conduction time, about 2000 to 30000 steps.
struct BiotCase {
    double biot;
    double coefficient;
    double run_length;
};

BiotCase biot_case(double biot) {
    const double effective = biot * probe_conductivity / probe_radius;
    const double lumped = probe_capacity * probe_radius / (2.0 * effective);
    const double conduction = probe_capacity * probe_radius * probe_radius / probe_conductivity;
    return {biot, effective / 2.0, 2.3 * lumped + 0.5 * conduction};
}

TEST(CoefficientFit, ModelCurvesAreFittedBackForBiotNumbersFrom0_05To20) {
    for (const double biot : {0.05, 0.3, 1.0, 4.0, 20.0}) {
        const BiotCase c = biot_case(biot);
        for (const ProbePosition position : {ProbePosition::centre, ProbePosition::surface}) {
            FitProblem problem = model_curve(probe_parameters(c.coefficient, c.run_length), position, 200);
            ASSERT_EQ(problem.times.size(), 200u);
            // The fit must not see the answer.
            problem.parameters.heat_transfer_coefficient = 1.0;
            const FitResult result = fit_coefficient(problem);
            const char* where = position == ProbePosition::centre ? "centre" : "surface";
            EXPECT_NEAR(result.coefficient / c.coefficient, 1.0, 1e-6) << "Bi " << biot << " " << where;
            EXPECT_FALSE(result.on_boundary) << "Bi " << biot << " " << where;
            EXPECT_LT(result.rms_residual, 1e-6) << "Bi " << biot << " " << where;
            EXPECT_LE(result.interval_low, result.coefficient);
            EXPECT_GE(result.interval_high, result.coefficient);
        }
    }
}

TEST(CoefficientFit, FittedWindowAndEffectiveCoefficient) {
    const BiotCase c = biot_case(1.0);
    FitProblem problem = model_curve(probe_parameters(c.coefficient, c.run_length), ProbePosition::centre, 300);
    // Only the middle third of the curve.
    problem.times.erase(problem.times.begin(), problem.times.begin() + 100);
    problem.temperatures.erase(problem.temperatures.begin(), problem.temperatures.begin() + 100);
    problem.times.resize(100);
    problem.temperatures.resize(100);
    const FitResult result = fit_coefficient(problem);
    EXPECT_NEAR(result.coefficient / c.coefficient, 1.0, 1e-6);
    EXPECT_NEAR(effective_coefficient(problem.parameters, result.coefficient) * probe_radius / probe_conductivity, 1.0,
                1e-6);
}

// With Gaussian noise of 2 K, the 95 % interval must hold the true value in
// at least 90 of 100 seeded trials.
struct NoiseCase {
    const char* name;
    double truth;
    double run_length;
    ProbePosition position;
    int points;
};

void check_coverage(const NoiseCase& c) {
    const FitProblem exact = model_curve(probe_parameters(c.truth, c.run_length), c.position, c.points);
    std::mt19937_64 generator(20261209);
    std::normal_distribution<double> noise(0.0, 2.0);
    int covered = 0;
    int runs_at_most = 0;
    double largest_error = 0.0;
    for (int trial = 0; trial < 100; ++trial) {
        FitProblem noisy = exact;
        for (double& t : noisy.temperatures) t += noise(generator);
        const FitResult result = fit_coefficient(noisy);
        ASSERT_FALSE(result.on_boundary) << c.name;
        ASSERT_LT(result.interval_low, result.coefficient) << c.name;
        ASSERT_GT(result.interval_high, result.coefficient) << c.name;
        if (result.interval_low <= c.truth && c.truth <= result.interval_high) ++covered;
        largest_error = std::fmax(largest_error, std::fabs(result.coefficient / c.truth - 1.0));
        runs_at_most = std::max(runs_at_most, result.model_runs);
        // The residuals are the noise: 2 K, within four standard deviations
        // of a sample RMS (2 K / sqrt(2 n)).
        EXPECT_NEAR(result.rms_residual, 2.0, 4.0 * 2.0 / std::sqrt(2.0 * c.points)) << c.name;
    }
    std::printf("%s: covered %d of 100; largest relative error %.3g; at most %d model runs\n", c.name, covered,
                largest_error, runs_at_most);
    EXPECT_GE(covered, 90) << c.name;
    // The intervals are not trivially wide: every estimate is within 5 %.
    EXPECT_LT(largest_error, 0.05) << c.name;
}

TEST(CoefficientFit, NoisyCentreCurvesKeepTheTruthInsideThe95PercentInterval) {
    // 5000 W/(m2 K) (Bi 4.2 effective) logged for 20 s: the centre falls
    // from 850 to about 100 degrees.
    check_coverage({"centre, Bi 4.2", 5000.0, 20.0, ProbePosition::centre, 100});
}

TEST(CoefficientFit, NoisySurfaceCurvesKeepTheTruthInsideThe95PercentInterval) {
    // 300 W/(m2 K) (Bi 0.25 effective) at the surface for 40 s.
    check_coverage({"surface, Bi 0.25", 300.0, 40.0, ProbePosition::surface, 60});
}

TEST(CoefficientFit, MinimumOnTheEndOfTheRangeIsFlagged) {
    // A probe that barely cools in its 2 s run at the highest coefficient
    // the range allows cannot be told from one cooled at a still higher one:
    // the data come from the upper end of the range itself.
    FitProblem problem = model_curve(probe_parameters(highest_coefficient * 10.0, 2.0), ProbePosition::surface, 50);
    const FitResult result = fit_coefficient(problem);
    EXPECT_TRUE(result.on_boundary);
    EXPECT_EQ(result.coefficient, highest_coefficient);
}

TEST(CoefficientFit, StudentQuantilesMatchTheTables) {
    // Two-sided 95 % points of Student's t (standard tables).
    EXPECT_NEAR(student_t_95(2), 4.303, 0.05);
    EXPECT_NEAR(student_t_95(5), 2.571, 0.005);
    EXPECT_NEAR(student_t_95(10), 2.228, 0.002);
    EXPECT_NEAR(student_t_95(30), 2.042, 0.001);
    EXPECT_NEAR(student_t_95(199), 1.972, 0.001);
}

}  // namespace
