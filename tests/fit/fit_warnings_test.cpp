// Misfits are loud: curves that the parameter file does not describe (a
// logger started early or late, wrong start or medium temperatures, other
// units, the wrong probe position, a bore) give warnings with a code and
// status 1, while a curve with independent noise gives none; --shift finds
// or sets the immersion time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "fit/curve_checks.h"
#include "fit/fit_diagnostics.h"
#include "fit/model_sampling.h"
#include "fit_test_support.h"
#include "support/file_contents.h"
#include "support/scratch_folder.h"

using namespace fit;

namespace {

constexpr double truth = 1000.0;  // line 4
constexpr double run_length = 40.0;

// The probe of the parameter file, with another start or medium
// temperature or a bore where a case needs one.
model::ParameterSet probe(double initial = 850.0, double medium = 40.0, double inner = 0.0) {
    model::ParameterSet p = probe_parameters(truth, run_length);
    p.initial_temperature = initial;
    p.ambient_temperature_1 = medium;
    p.ambient_temperature_2 = medium;
    p.inner_radius = inner;
    return p;
}

// The model at `model_times` (the initial temperature before 0) with 1 K of
// seeded Gaussian noise, written against `curve_times`.
std::string noisy_curve(const model::ParameterSet& p, ProbePosition position, const std::vector<double>& curve_times,
                        const std::vector<double>& model_times, unsigned seed, double scale = 1.0,
                        double offset = 0.0) {
    std::vector<double> clamped(model_times);
    for (double& t : clamped) t = std::max(t, 0.0);
    std::vector<double> values(clamped.size());
    SampleSink sink{clamped, values};
    run_model_into(p, position, sink);
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::string text = "time,temperature\n";
    char line[80];
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double value = model_times[i] < 0.0 ? p.initial_temperature : values[i];
        std::snprintf(line, sizeof line, "%.6f,%.4f\n", curve_times[i], (value + noise(generator)) * scale + offset);
        text += line;
    }
    return text;
}

std::vector<double> every(double step, int count, double shift = 0.0) {
    std::vector<double> times;
    for (int k = 1; k <= count; ++k) times.push_back(step * k + shift);
    return times;
}

double json_value(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

// The width of the interval under `key`, relative to its low end.
double interval_width(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": [");
    if (at == std::string::npos) return std::nan("");
    char* end = nullptr;
    const double low = std::strtod(json.c_str() + at + key.size() + 5, &end);
    const double high = std::strtod(end + 1, nullptr);
    return high / low - 1.0;
}

bool has_code(const std::string& json, const std::string& code) {
    return json.find("{\"code\": \"" + code + "\"") != std::string::npos;
}

class FitWarnings : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        write_file(directory / "probe.txt", probe_parameter_file(1.0, run_length));
    }

    ProgramRun fit(const std::string& curve, const std::string& options = "") {
        write_file(directory / "curve.csv", curve);
        return run_fit_program(directory, "--json " + options + " probe.txt curve.csv");
    }
};

TEST_F(FitWarnings, IndependentNoiseGivesNoWarningAndStatusZero) {
    const std::vector<double> times = every(0.2, 150);
    for (unsigned seed = 1; seed <= 3; ++seed) {
        const ProgramRun run = fit(noisy_curve(probe(), ProbePosition::centre, times, times, seed));
        EXPECT_EQ(run.status, 0) << run.standard_error << run.standard_output;
        EXPECT_NE(run.standard_output.find("\"warnings\": [],"), std::string::npos) << run.standard_output;
        EXPECT_EQ(run.standard_error, "");
        EXPECT_LT(std::fabs(json_value(run.standard_output, "lag1_autocorrelation")), 0.5);
        EXPECT_GT(json_value(run.standard_output, "runs_z"), -4.0);
    }
}

TEST_F(FitWarnings, EachMisfitIsWarnedWithItsCodeAndStatusOne) {
    const std::vector<double> times = every(0.2, 150);
    struct Case {
        const char* name;
        std::string curve;
        std::vector<std::string> codes;  // each must be among the warnings
        std::string parameter;           // named by one of them, when not empty
    };
    const std::vector<Case> cases = {
        {"logger started 1 s early",
         noisy_curve(probe(), ProbePosition::centre, times, every(0.2, 150, -1.0), 11),
         {"structured_residuals"},
         ""},
        {"logger started 0.5 s late",
         noisy_curve(probe(), ProbePosition::centre, times, every(0.2, 150, 0.5), 12),
         {"structured_residuals"},
         ""},
        {"probe at 820 instead of 850",
         noisy_curve(probe(820.0), ProbePosition::centre, times, times, 13),
         {"initial_temperature"},
         "initial_temperature"},
        {"oil at 90 instead of 40",
         noisy_curve(probe(850.0, 90.0), ProbePosition::centre, times, times, 14),
         {"structured_residuals", "medium_temperature"},
         "ambient_temperature_2"},
        {"Fahrenheit",
         noisy_curve(probe(), ProbePosition::centre, times, times, 15, 1.8, 32.0),
         {"structured_residuals", "unit_fahrenheit"},
         ""},
        {"Kelvin",
         noisy_curve(probe(), ProbePosition::centre, times, times, 16, 1.0, 273.15),
         {"structured_residuals", "unit_kelvin"},
         ""},
        {"surface log fitted as the centre",
         noisy_curve(probe(), ProbePosition::surface, times, times, 17),
         {"structured_residuals"},
         ""},
    };
    for (const Case& c : cases) {
        const ProgramRun run = fit(c.curve);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.standard_output << run.standard_error;
        for (const std::string& code : c.codes) {
            EXPECT_TRUE(has_code(run.standard_output, code)) << c.name << ": " << code << "\n" << run.standard_output;
        }
        if (!c.parameter.empty()) {
            EXPECT_NE(run.standard_output.find("\"parameter\": \"" + c.parameter + "\""), std::string::npos)
                << c.name << "\n"
                << run.standard_output;
        }
        // The warnings are on standard error too, one line each.
        EXPECT_NE(run.standard_error.find("temp1d-fit: warning: curve.csv: "), std::string::npos) << c.name;
    }

    // A unit hint names the unit in its message.
    const ProgramRun fahrenheit = fit(cases[4].curve);
    EXPECT_NE(fahrenheit.standard_error.find("Fahrenheit"), std::string::npos) << fahrenheit.standard_error;
    const ProgramRun kelvin = fit(cases[5].curve);
    EXPECT_NE(kelvin.standard_error.find("Kelvin"), std::string::npos) << kelvin.standard_error;

    // A centre log fitted as the surface.
    const ProgramRun swapped = fit(noisy_curve(probe(), ProbePosition::centre, times, times, 18), "--position surface");
    EXPECT_EQ(swapped.status, 1) << swapped.standard_output;
    EXPECT_TRUE(has_code(swapped.standard_output, "structured_residuals")) << swapped.standard_output;

    // Times in minutes put the best fit on the end of the search range: the
    // refusal (status 2) comes with the hint.
    std::vector<double> minutes(times);
    for (double& t : minutes) t /= 60.0;
    write_file(directory / "curve.csv", noisy_curve(probe(), ProbePosition::centre, minutes, times, 19));
    const ProgramRun in_minutes = run_fit_program(directory, "probe.txt curve.csv");
    EXPECT_EQ(in_minutes.status, 2);
    EXPECT_NE(in_minutes.standard_error.find("times in minutes"), std::string::npos) << in_minutes.standard_error;
}

TEST_F(FitWarnings, ABoreIsWarnedAndTheMinimumOnTheRangesEndHasNoInterval) {
    write_file(directory / "tube.txt",
               "tube\n0.002 inner radius\n0.00625 outer radius\n1 h\n850 initial\n40 40 oil\n8470 density\n"
               "444 specific heat\n14.9 conductivity\n20 20 durations\n");
    const std::vector<double> times = every(0.2, 150);
    write_file(directory / "curve.csv",
               noisy_curve(probe(850.0, 40.0, 0.002), ProbePosition::centre, times, times, 21));
    const ProgramRun run = run_fit_program(directory, "--json tube.txt curve.csv");
    EXPECT_EQ(run.status, 1) << run.standard_output << run.standard_error;
    EXPECT_NE(run.standard_output.find("{\"code\": \"bore\""), std::string::npos) << run.standard_output;
    EXPECT_NE(run.standard_output.find("\"parameter\": \"inner_radius\""), std::string::npos);
    // The physical coefficient uses the one definition 2 h R / (R - r).
    EXPECT_NEAR(json_value(run.standard_output, "physical_coefficient") /
                    (2.0 * json_value(run.standard_output, "parameter_file_coefficient") * 0.00625 / 0.00425),
                1.0, 0.01);

    // A curve already at the medium: the minimum lies on the range's upper
    // end, and no interval is given.
    write_file(directory / "curve.csv", "0.5,40.2\n1,39.9\n1.5,40.1\n2,40\n");
    const ProgramRun boundary = run_fit_program(directory, "--json probe.txt curve.csv");
    EXPECT_EQ(boundary.status, 2);
    EXPECT_NE(boundary.standard_output.find("\"on_boundary\": true"), std::string::npos) << boundary.standard_output;
    EXPECT_NE(boundary.standard_output.find("\"physical_interval_95\": null"), std::string::npos);
    EXPECT_NE(boundary.standard_output.find("\"interval_95\": [null, null]"), std::string::npos);
}

TEST_F(FitWarnings, ShiftAutoFindsTheImmersionTimeOfALoggerStartedEarly) {
    // The logger ran 1 s before immersion: a flat start at 850, then the
    // quench.
    const std::vector<double> times = every(0.2, 150);
    const ProgramRun run =
        fit(noisy_curve(probe(), ProbePosition::centre, times, every(0.2, 150, -1.0), 31), "--shift auto");
    EXPECT_EQ(run.status, 0) << run.standard_output << run.standard_error;
    EXPECT_NEAR(json_value(run.standard_output, "shift"), 1.0, 0.1) << run.standard_output;
    EXPECT_NEAR(json_value(run.standard_output, "parameter_file_coefficient") / truth, 1.0, 0.02);
    const std::size_t interval = run.standard_output.find("\"shift_interval_95\": [");
    ASSERT_NE(interval, std::string::npos) << run.standard_output;
    const double low = std::strtod(run.standard_output.c_str() + interval + 22, nullptr);
    EXPECT_LT(low, json_value(run.standard_output, "shift"));
    // The points at 0.2 to 0.8 s (and the one at 1 s when the shift found
    // lies past it) are left out.
    EXPECT_GE(json_value(run.standard_output, "points_before_immersion"), 4.0);
    EXPECT_LE(json_value(run.standard_output, "points_before_immersion"), 5.0);

    // Late by half a second: a negative shift.
    const ProgramRun late =
        fit(noisy_curve(probe(), ProbePosition::centre, times, every(0.2, 150, 0.5), 32), "--shift auto");
    EXPECT_EQ(late.status, 0) << late.standard_output;
    EXPECT_NEAR(json_value(late.standard_output, "shift"), -0.5, 0.1);
    EXPECT_NEAR(json_value(late.standard_output, "parameter_file_coefficient") / truth, 1.0, 0.02);

    // A given shift: the points before it are left out, and it has no
    // interval.
    const ProgramRun given =
        fit(noisy_curve(probe(), ProbePosition::centre, times, every(0.2, 150, -1.0), 31), "--shift 1");
    EXPECT_EQ(given.status, 0) << given.standard_output;
    EXPECT_EQ(json_value(given.standard_output, "shift"), 1.0);
    EXPECT_NE(given.standard_output.find("\"shift_interval_95\": null"), std::string::npos);
    EXPECT_EQ(json_value(given.standard_output, "points"), 146.0);  // from 1 s, time 0 after the shift
    EXPECT_NEAR(json_value(given.standard_output, "parameter_file_coefficient") / truth, 1.0, 0.02);
    // A fitted shift leaves the coefficient less certain than a known one.
    EXPECT_GT(interval_width(run.standard_output, "parameter_file_interval_95"),
              interval_width(given.standard_output, "parameter_file_interval_95"));
    EXPECT_GT(interval_width(run.standard_output, "physical_interval_95"),
              interval_width(given.standard_output, "physical_interval_95"));

    const ProgramRun bad = run_fit_program(directory, "--shift soon probe.txt curve.csv");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.standard_error.rfind("temp1d-fit: --shift needs auto or a time in seconds, not \"soon\"\n", 0), 0u);
}

TEST(FitDiagnostics, RunsAndAutocorrelationSeparateNoiseFromStructure) {
    FitProblem problem;
    FitResult result;
    for (int i = 0; i < 100; ++i) {
        problem.times.push_back(i + 1.0);
        problem.temperatures.push_back(800.0 - 5.0 * i);
        result.model_values.push_back(problem.temperatures.back());
    }
    // Alternating residuals: negative autocorrelation, more runs than
    // chance.
    for (int i = 0; i < 100; ++i) result.model_values[i] += (i % 2 == 0 ? 1.0 : -1.0);
    ResidualDiagnostics alternating = residual_diagnostics(problem, result);
    EXPECT_LT(alternating.lag1_autocorrelation, -0.9);
    EXPECT_GT(alternating.runs_z, 4.0);
    EXPECT_NEAR(alternating.swing, 495.0, 1e-9);
    // A slow wave: two long runs.
    for (int i = 0; i < 100; ++i) result.model_values[i] = problem.temperatures[i] + std::sin(i * 0.0628);
    const ResidualDiagnostics wave = residual_diagnostics(problem, result);
    EXPECT_GT(wave.lag1_autocorrelation, 0.95);
    EXPECT_LT(wave.runs_z, -8.0);
    result.rms_residual = std::sqrt(0.5);
    EXPECT_TRUE(residuals_show_misfit(result, wave));
    // The same residuals ten thousand times smaller are below notice.
    result.rms_residual = std::sqrt(0.5) * 1e-4;
    EXPECT_FALSE(residuals_show_misfit(result, wave));
}

TEST(FitDiagnostics, PastTheEndOfTheRunShowsDigitsThatDiffer) {
    MeasuredCurve curve;
    curve.time = {1.0, 2.0, 20.0000001};
    curve.temperature = {800.0, 700.0, 100.0};
    curve.line = {1, 2, 3};
    FitProblem problem;
    problem.parameters = probe_parameters(truth, 20.0);
    std::vector<int> lines;
    std::size_t skipped = 0;
    const std::string message = select_window(curve, "c.csv", 0.0, 1e9, 0.0, problem, lines, skipped);
    EXPECT_EQ(message,
              "c.csv:3: the time 20.0000001 s lies past the end of the run (20 s, the two phase durations on line 10)");
    EXPECT_EQ(distinct_number(1234567.25, 1234567.3), "1234567.2");
    EXPECT_EQ(distinct_number(2.5, 3.0), "2.5");
}

}  // namespace
