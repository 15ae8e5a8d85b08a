// A curve from the exact solution of convective cooling of an infinite solid
// cylinder gives back the coefficient the model really simulates (twice the
// parameter file's) within the model's discretisation error.
//
//   theta / theta0 = sum_n A_n J0(z_n r / R) exp(-z_n^2 Fo),
//   A_n = 2 J1(z_n) / (z_n (J0(z_n)^2 + J1(z_n)^2)),  z J1(z) = Bi J0(z),
//   Bi = h R / k,  Fo = a t / R^2.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "fit/coefficient_search.h"
#include "fit/fit_parameters.h"
#include "fit/model_sampling.h"
#include "fit_test_support.h"
#include "series_solution.h"

using namespace model;
using namespace fit;

namespace {

struct SeriesCase {
    double biot;
    ProbePosition position;
};

TEST(SeriesSolutionFit, EffectiveCoefficientWithinTheDiscretisationError) {
    constexpr double radius = 0.00625, conductivity = 14.9, capacity = 8470.0 * 444.0;
    constexpr double diffusivity = conductivity / capacity;
    for (const SeriesCase c : {SeriesCase{0.3, ProbePosition::centre}, SeriesCase{1.0, ProbePosition::centre},
                               SeriesCase{5.0, ProbePosition::centre}, SeriesCase{1.0, ProbePosition::surface}}) {
        const double effective = c.biot * conductivity / radius;
        // Fo from 0.05 to 1.5 (and longer for slow cooling), where sixty
        // terms of the series are exact to the last bit.
        const double fourier_end = std::fmax(1.5, 2.0 / c.biot);
        const double run_length = fourier_end * radius * radius / diffusivity;
        FitProblem problem;
        problem.parameters = probe_parameters(1.0, run_length);
        problem.position = c.position;
        const std::vector<double> roots = eigenvalues(c.biot, 60);
        ASSERT_EQ(roots.size(), 60u);
        const double theta0 = 850.0 - 40.0;
        for (int k = 0; k < 150; ++k) {
            const double fourier = 0.05 + (fourier_end - 0.05) * k / 149.0;
            problem.times.push_back(fourier * radius * radius / diffusivity);
            problem.temperatures.push_back(
                40.0 + theta0 * exact_ratio(roots, c.position == ProbePosition::centre ? 0.0 : 1.0, fourier));
        }
        problem.times.back() = std::fmin(problem.times.back(), run_length);

        const FitResult result = fit_coefficient(problem);
        const double fitted_effective = effective_coefficient(problem.parameters, result.coefficient);

        // The model's own error at the true coefficient, turned into the
        // shift of the coefficient it can cause: a least-squares fit moves
        // ln h by sum(J r) / sum(J^2), at most |r| / |J| (Cauchy-Schwarz),
        // with r the model's deviations from the exact curve and J the
        // model's derivative with respect to ln h.
        ParameterSet at_truth = problem.parameters;
        std::vector<double> model(problem.times.size()), up(problem.times.size()), down(problem.times.size());
        at_truth.heat_transfer_coefficient = effective / 2.0;
        SampleSink sink{problem.times, model};
        run_model_into(at_truth, c.position, sink);
        at_truth.heat_transfer_coefficient = effective / 2.0 * std::exp(1e-4);
        SampleSink sink_up{problem.times, up};
        run_model_into(at_truth, c.position, sink_up);
        at_truth.heat_transfer_coefficient = effective / 2.0 * std::exp(-1e-4);
        SampleSink sink_down{problem.times, down};
        run_model_into(at_truth, c.position, sink_down);
        double residual_squares = 0.0, slope_squares = 0.0;
        for (std::size_t i = 0; i < model.size(); ++i) {
            const double r = problem.temperatures[i] - model[i];
            const double slope = (up[i] - down[i]) / 2e-4;
            residual_squares += r * r;
            slope_squares += slope * slope;
        }
        const double discretisation_bound = std::sqrt(residual_squares / slope_squares);
        const double error = std::fabs(std::log(fitted_effective / effective));
        std::printf("Bi %g %s: fitted effective %.6g, exact %.6g, |ln ratio| %.3g, bound %.3g, RMS %.3g K\n", c.biot,
                    c.position == ProbePosition::centre ? "centre" : "surface", fitted_effective, effective, error,
                    discretisation_bound, result.rms_residual);
        EXPECT_LE(error, discretisation_bound * 1.05 + 1e-9) << "Bi " << c.biot;
        // The model is good to a fraction of a per cent here ...
        EXPECT_LT(discretisation_bound, 0.01) << "Bi " << c.biot;
        // ... and the coefficient as written in the file is far off.
        EXPECT_GT(std::fabs(std::log(result.coefficient / effective)), 0.5);
    }
}

}  // namespace

namespace {

// The time step dominates the model's error: against the exact solution,
// a four times finer step leaves well under half of the fitted
// coefficient's error, and the fit's own estimate of the step-0 value
// (from one run with that finer step) removes most of it.
TEST(SeriesSolutionFit, TheTimeStepDominatesTheModelsError) {
    constexpr double radius = 0.00625, conductivity = 15.0, capacity = 8400.0 * 450.0;
    constexpr double diffusivity = conductivity / capacity;
    for (const double biot : {5.0, 20.0}) {
        for (const ProbePosition position : {ProbePosition::centre, ProbePosition::surface}) {
            const double physical = biot * conductivity / radius;
            const double run_length = 1.5 * radius * radius / diffusivity;
            FitProblem problem;
            problem.parameters = {0.0,    radius, 1.0,          850.0,          60.0,          60.0,
                                  8400.0, 450.0,  conductivity, run_length / 2, run_length / 2};
            problem.position = position;
            const std::vector<double> roots = eigenvalues(biot, 60);
            for (int k = 0; k < 150; ++k) {
                const double fourier = 0.05 + 1.45 * k / 149.0;
                problem.times.push_back(std::fmin(fourier * radius * radius / diffusivity, run_length));
                problem.temperatures.push_back(
                    60.0 + 790.0 * exact_ratio(roots, position == ProbePosition::centre ? 0.0 : 1.0, fourier));
            }
            const FitResult coarse = fit_coefficient(problem);
            problem.step_divisor = 4;
            const FitResult fine = fit_coefficient(problem);
            const double coarse_error =
                std::log(effective_coefficient(problem.parameters, coarse.coefficient) / physical);
            const double fine_error = std::log(effective_coefficient(problem.parameters, fine.coefficient) / physical);
            const double step_zero_error = std::log(coarse.physical_coefficient / physical);
            std::printf("Bi %g %s: error %.3g %% on temp1d's step, %.3g %% four times finer, %.3g %% at step 0\n", biot,
                        position == ProbePosition::centre ? "centre" : "surface", 100.0 * coarse_error,
                        100.0 * fine_error, 100.0 * step_zero_error);
            EXPECT_GT(coarse_error, 0.002) << "the coarse step's error is there to be removed";
            EXPECT_LT(std::fabs(fine_error), 0.45 * coarse_error);
            EXPECT_LT(std::fabs(step_zero_error), 0.25 * coarse_error);
            // The linearised estimate of the finer step's value agrees with
            // the full fit there.
            EXPECT_NEAR(coarse.finer_step_coefficient / fine.coefficient, 1.0, 0.1 * coarse_error);
        }
    }
}

}  // namespace
