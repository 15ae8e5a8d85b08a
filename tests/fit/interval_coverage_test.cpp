// How often the physical 95 % interval holds the truth, over 200 seeded
// trials per case, on curves of the exact series solution of the cylinder
// (a probe of 12.5 mm diameter: R 6.25 mm, k 15, rho 8400, c 450, 850 into 60):
// correlated noise (AR(1), phi 0.9, stationary standard deviation 2 K) and
// independent noise of 1 K at Biot numbers 0.2, 1 and 5; at Biot 20 and 100
// the interval either holds the truth or a warning says that temp1d's time
// step is too coarse.  Deterministic: fixed seeds, no timing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "fit/coefficient_search.h"
#include "fit/fit_diagnostics.h"
#include "series_solution.h"

using namespace fit;

namespace {

constexpr double radius = 0.00625, conductivity = 15.0, density = 8400.0, specific_heat = 450.0;
constexpr double diffusivity = conductivity / (density * specific_heat);
constexpr int trials = 200;

struct ExactCurve {
    FitProblem problem;  // noise-free temperatures
    double physical = 0.0;
};

ExactCurve exact_curve(double biot, ProbePosition position, int points) {
    ExactCurve curve;
    curve.physical = biot * conductivity / radius;
    const double fourier_end = std::fmax(1.5, 1.0 / biot);
    const double run_length = fourier_end * radius * radius / diffusivity;
    curve.problem.parameters = {0.0,     radius,        1.0,          850.0,          60.0,          60.0,
                                density, specific_heat, conductivity, run_length / 2, run_length / 2};
    curve.problem.position = position;
    const std::vector<double> roots = eigenvalues(biot, 60);
    for (int k = 0; k < points; ++k) {
        const double fourier = 0.05 + (fourier_end - 0.05) * k / (points - 1.0);
        curve.problem.times.push_back(std::fmin(fourier * radius * radius / diffusivity, run_length));
        curve.problem.temperatures.push_back(
            60.0 + 790.0 * exact_ratio(roots, position == ProbePosition::centre ? 0.0 : 1.0, fourier));
    }
    return curve;
}

struct Coverage {
    int covered = 0;
    int warned = 0;  // not covered, but a time-step warning was given
    double widest = 0.0;
};

// `phi` 0 gives independent noise of standard deviation `sd`; otherwise
// AR(1) noise with that stationary standard deviation.
Coverage coverage(const ExactCurve& curve, double sd, double phi, unsigned seed_base) {
    Coverage c;
    for (int trial = 0; trial < trials; ++trial) {
        std::mt19937_64 generator(seed_base + trial);
        std::normal_distribution<double> normal(0.0, 1.0);
        FitProblem noisy = curve.problem;
        double e = sd * normal(generator);
        for (double& t : noisy.temperatures) {
            t += e;
            e = phi * e + sd * std::sqrt(1.0 - phi * phi) * normal(generator);
        }
        const FitResult result = fit_coefficient(noisy);
        if (result.physical_low <= curve.physical && curve.physical <= result.physical_high) {
            ++c.covered;
        } else {
            const ResidualDiagnostics diagnostics = residual_diagnostics(noisy, result);
            for (const FitWarning& warning : setup_warnings(noisy, result, diagnostics)) {
                if (warning.code == "time_step_error") {
                    ++c.warned;
                    break;
                }
            }
        }
        c.widest = std::fmax(c.widest, result.physical_high / result.physical_low - 1.0);
    }
    return c;
}

TEST(IntervalCoverage, CorrelatedNoiseAtTheCentreAndTheSurface) {
    for (const ProbePosition position : {ProbePosition::centre, ProbePosition::surface}) {
        const ExactCurve curve = exact_curve(1.0, position, 150);
        const Coverage c = coverage(curve, 2.0, 0.9, 1000);
        std::printf("AR(1) phi 0.9, 2 K, Bi 1 %s: %d of %d covered, widest interval %.3g %%\n",
                    position == ProbePosition::centre ? "centre" : "surface", c.covered, trials, 100.0 * c.widest);
        EXPECT_GE(c.covered, trials * 85 / 100);
    }
}

TEST(IntervalCoverage, IndependentNoiseAgainstTheExactSolution) {
    for (const double biot : {0.2, 1.0, 5.0}) {
        for (const ProbePosition position : {ProbePosition::centre, ProbePosition::surface}) {
            const ExactCurve curve = exact_curve(biot, position, 150);
            const Coverage c = coverage(curve, 1.0, 0.0, 2000);
            std::printf("1 K, Bi %g %s: %d of %d covered, widest interval %.3g %%\n", biot,
                        position == ProbePosition::centre ? "centre" : "surface", c.covered, trials, 100.0 * c.widest);
            EXPECT_GE(c.covered, trials * 90 / 100) << "Bi " << biot;
        }
    }
}

TEST(IntervalCoverage, AtHighBiotNumbersTheIntervalCoversOrAWarningSaysTheStepIsTooCoarse) {
    for (const double biot : {20.0, 100.0}) {
        const ExactCurve curve = exact_curve(biot, ProbePosition::centre, 150);
        const Coverage c = coverage(curve, 1.0, 0.0, 3000);
        std::printf("1 K, Bi %g centre: %d of %d covered, %d warned\n", biot, c.covered, trials, c.warned);
        EXPECT_EQ(c.covered + c.warned, trials) << "Bi " << biot;
    }
}

}  // namespace
