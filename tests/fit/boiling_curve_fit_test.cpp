// The boiling-curve fit against curves from an independent solver: a
// cell-centred finite-volume model of the probe written here, with its own
// mesh (200 cells), its own time step (1 ms), the surface temperature from
// the flux balance over the outer half cell and the coefficient iterated
// to convergence within every step.  Nothing of the project's model is
// used to make the curves.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "fit/boiling_curve_fit.h"
#include "fit/curve_checks.h"
#include "fit/fit_parameters.h"

using namespace fit;

namespace {

// A probe of radius 6.25 mm (k 15, rho 8400, c 450) quenched from 850 C
// into oil at 60 C.
model::ParameterSet probe(double duration) {
    model::ParameterSet p;
    p.inner_radius = 0.0;
    p.outer_radius = 0.00625;
    p.heat_transfer_coefficient = 1000.0;  // not used by the boiling-curve fit
    p.initial_temperature = 850.0;
    p.ambient_temperature_1 = 60.0;
    p.ambient_temperature_2 = 60.0;
    p.density = 8400.0;
    p.specific_heat = 450.0;
    p.conductivity = 15.0;
    p.first_phase_duration = duration / 2.0;
    p.second_phase_duration = duration / 2.0;
    return p;
}

// The two regimes of the boiling curve: 350 W/(m2 K) of film boiling above
// 510 C, 6000 of nucleate boiling below 490 C, linear in between.
double two_regimes(double surface) {
    if (surface >= 510.0) return 350.0;
    if (surface <= 490.0) return 6000.0;
    return 6000.0 + (surface - 490.0) * (350.0 - 6000.0) / 20.0;
}

// The probe's material against temperature; empty: the parameter file's
// constant values.
struct Material {
    std::function<double(double)> conductivity;
    std::function<double(double)> specific_heat;
};

// The centre temperature of the reference at the given times.  The
// conductivity and the specific heat of each cell are taken at its
// temperature at the start of the step; between two cells the conductance
// uses the harmonic mean of their conductivities.
std::vector<double> reference_centre(const model::ParameterSet& p, const std::function<double(double)>& coefficient,
                                     const std::vector<double>& times, const Material& material) {
    constexpr int cells = 200;
    constexpr double dt = 1e-3;
    const double radius = p.outer_radius;
    const double dr = radius / cells;
    std::vector<double> kc(cells), capacity(cells);
    const double medium = p.ambient_temperature_1;
    std::vector<double> T(cells, p.initial_temperature);
    std::vector<double> a(cells), b(cells), c(cells), d(cells), x(cells);
    std::vector<double> centre;
    double time = 0.0;
    double previous_centre = p.initial_temperature;
    std::size_t next = 0;
    while (next < times.size()) {
        // The centre value: cell 0 extrapolated to r = 0 from cells 0 and 1.
        for (int i = 0; i < cells; ++i) {
            kc[i] = material.conductivity ? material.conductivity(T[i]) : p.conductivity;
            capacity[i] = p.density * (material.specific_heat ? material.specific_heat(T[i]) : p.specific_heat);
        }
        const double k = kc[cells - 1];
        double surface = T[cells - 1];
        for (int iteration = 0; iteration < 60; ++iteration) {
            // The surface temperature from the balance of conduction over
            // the outer half cell and the coefficient at it.
            double h = coefficient(surface);
            double ts = surface;
            for (int inner = 0; inner < 30; ++inner) {
                h = coefficient(ts);
                ts = (2.0 * k / dr * T[cells - 1] + h * medium) / (2.0 * k / dr + h);
            }
            const double outer_conductance = radius / (dr / (2.0 * k) + 1.0 / h);
            for (int i = 0; i < cells; ++i) {
                const double r_in = i * dr;
                const double r_out = (i + 1) * dr;
                const double volume = 0.5 * (r_out * r_out - r_in * r_in);
                b[i] = capacity[i] * volume / dt;
                d[i] = capacity[i] * volume / dt * T[i];
                a[i] = c[i] = 0.0;
                if (i > 0) {
                    const double g = 2.0 / (1.0 / kc[i] + 1.0 / kc[i - 1]) * r_in / dr;
                    b[i] += g;
                    a[i] = -g;
                }
                if (i < cells - 1) {
                    const double g = 2.0 / (1.0 / kc[i] + 1.0 / kc[i + 1]) * r_out / dr;
                    b[i] += g;
                    c[i] = -g;
                }
            }
            b[cells - 1] += outer_conductance;
            d[cells - 1] += outer_conductance * medium;
            for (int i = 1; i < cells; ++i) {
                const double f = a[i] / b[i - 1];
                b[i] -= f * c[i - 1];
                d[i] -= f * d[i - 1];
            }
            x[cells - 1] = d[cells - 1] / b[cells - 1];
            for (int i = cells - 2; i >= 0; --i) x[i] = (d[i] - c[i] * x[i + 1]) / b[i];
            const double new_surface =
                (2.0 * k / dr * x[cells - 1] + coefficient(surface) * medium) / (2.0 * k / dr + coefficient(surface));
            const bool settled = std::fabs(new_surface - surface) < 1e-9;
            surface = new_surface;
            if (settled) break;
        }
        T = x;
        time += dt;
        const double now_centre = 1.125 * T[0] - 0.125 * T[1];  // cell centres at dr/2 and 3dr/2
        while (next < times.size() && times[next] <= time + 1e-12) {
            const double fraction = (times[next] - (time - dt)) / dt;
            centre.push_back(previous_centre + (now_centre - previous_centre) * fraction);
            ++next;
        }
        previous_centre = now_centre;
    }
    return centre;
}

// Gaussian noise of standard deviation 1 K from a fixed sequence (a 64-bit
// linear congruential generator and the Box-Muller transform), the same on
// every machine.
std::vector<double> noise(std::size_t count, std::uint64_t seed) {
    std::vector<double> out;
    std::uint64_t state = seed;
    const auto uniform = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    while (out.size() < count) {
        const double u1 = uniform();
        const double u2 = uniform();
        const double radius = std::sqrt(-2.0 * std::log(u1));
        out.push_back(radius * std::cos(6.283185307179586 * u2));
        out.push_back(radius * std::sin(6.283185307179586 * u2));
    }
    out.resize(count);
    return out;
}

// 180 centre points every 0.2 s of a 36 s quench, with 1 K of noise.
BoilingCurveProblem reference_problem(const std::function<double(double)>& coefficient, const Material& material = {}) {
    BoilingCurveProblem problem;
    problem.curve.parameters = probe(40.0);
    problem.curve.position = ProbePosition::centre;
    for (int i = 1; i <= 180; ++i) problem.curve.times.push_back(0.2 * i);
    problem.curve.temperatures = reference_centre(problem.curve.parameters, coefficient, problem.curve.times, material);
    const std::vector<double> scatter = noise(180, 17);
    for (std::size_t i = 0; i < 180; ++i) problem.curve.temperatures[i] += scatter[i];
    return problem;
}

TEST(BoilingCurveFit, RecoversTwoRegimesFromAnIndependentCurve) {
    const BoilingCurveProblem problem = reference_problem(two_regimes);
    ASSERT_EQ(refusal_of_parameters(problem.curve.parameters), "");
    ASSERT_EQ(refusal_of_curve(problem.curve, "curve.csv"), "");
    const auto started = std::chrono::steady_clock::now();
    const BoilingCurveResult result = fit_boiling_curve(problem);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(result.minimum_found);
    ASSERT_FALSE(result.interrupted);
    const model::PropertyTable table = fitted_table(result);
    std::printf("%zu nodes, weight %.3g, %.2f effective parameters, RMS %.4f K, %d runs of %d steps, %d iterations, "
                "%.2f s\n",
                result.temperature.size(), result.smoothing_weight, result.effective_parameters, result.rms_residual,
                result.model_runs, result.steps_per_run, result.iterations, seconds);
    for (std::size_t k = 0; k < result.temperature.size(); ++k) {
        std::printf("  %7.1f C  %9.1f  [%9.1f, %9.1f]  truth %7.1f\n", result.temperature[k], result.coefficient[k],
                    result.interval_low[k], result.interval_high[k], two_regimes(result.temperature[k]));
    }
    EXPECT_LE(result.rms_residual, 1.3);
    EXPECT_GE(result.temperature.size(), 8U);
    EXPECT_LE(result.temperature.size(), 16U);
    // Within 15 % of the truth from 250 to 750 C, away from the switch: the
    // smoothing spreads the change of regime over about one node spacing
    // below it, so the band of 85 K on either side of 500 C is left out.
    for (double t = 250.0; t <= 750.0; t += 5.0) {
        if (t > 415.0 && t < 585.0) continue;
        EXPECT_NEAR(model::table_value(table, t) / two_regimes(t), 1.0, 0.15) << t << " C";
    }
    // The intervals hold their node and are finite where the curve decides.
    for (std::size_t k = 0; k < result.temperature.size(); ++k) {
        EXPECT_LE(result.interval_low[k], result.coefficient[k]);
        EXPECT_GE(result.interval_high[k], result.coefficient[k]);
        if (result.temperature[k] >= 250.0 && result.temperature[k] <= 750.0) {
            EXPECT_FALSE(node_interval_open(result, k));
        }
    }
}

TEST(BoilingCurveFit, ConstantCoefficientGivesAFlatTable) {
    const BoilingCurveProblem problem = reference_problem([](double) { return 1500.0; });
    const BoilingCurveResult result = fit_boiling_curve(problem);
    ASSERT_TRUE(result.minimum_found);
    EXPECT_LE(result.rms_residual, 1.3);
    for (std::size_t k = 0; k < result.temperature.size(); ++k) {
        // Nodes the surface passes through while the curve is measured.
        EXPECT_NEAR(result.coefficient[k] / 1500.0, 1.0, 0.03) << result.temperature[k] << " C";
    }
}

// A nickel-alloy probe whose conductivity rises from 14.9 to 26 W/(m K)
// and specific heat from 440 to 610 J/(kg K) between 20 and 850 C: the fit
// with the same tables finds the two regimes; a fit that takes the material
// as constant puts the difference into the coefficient.
TEST(BoilingCurveFit, UsesTheMaterialTables) {
    const model::PropertyTable conductivity = model::make_property_table({20.0, 850.0}, {14.9, 26.0});
    const model::PropertyTable specific_heat = model::make_property_table({20.0, 850.0}, {440.0, 610.0});
    const Material material{[&](double t) { return model::table_value(conductivity, t); },
                            [&](double t) { return model::table_value(specific_heat, t); }};
    BoilingCurveProblem problem = reference_problem(two_regimes, material);
    problem.materials.conductivity = &conductivity;
    problem.materials.specific_heat = &specific_heat;
    const BoilingCurveResult result = fit_boiling_curve(problem);
    ASSERT_TRUE(result.minimum_found);
    EXPECT_LE(result.rms_residual, 1.3);
    const model::PropertyTable table = fitted_table(result);
    for (double t = 250.0; t <= 750.0; t += 5.0) {
        if (t > 415.0 && t < 585.0) continue;
        EXPECT_NEAR(model::table_value(table, t) / two_regimes(t), 1.0, 0.15) << t << " C";
    }
    // Without the tables (the parameter file's 15 and 450) the film-boiling
    // plateau comes out low by about the ratio of the specific heats.
    problem.materials = {};
    const model::PropertyTable constant_material = fitted_table(fit_boiling_curve(problem));
    std::printf("film boiling at 650 C without the tables: %.1f\n", model::table_value(constant_material, 650.0));
    EXPECT_LT(model::table_value(constant_material, 650.0) / 350.0, 0.9);
}

}  // namespace
