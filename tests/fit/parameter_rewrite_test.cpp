// Reading the fit's parameter file, locating the coefficient in it and
// writing it back with the fitted value.
#include <gtest/gtest.h>

#include "fit/fit_parameters.h"
#include "fit/parameter_rewrite.h"

using namespace model;
using namespace fit;

namespace {

const std::string probe = "Probe\r\n"
                          "0        inner radius, m\r\n"
                          "0.00625  outer radius, m\r\n"
                          "1000     heat-transfer coefficient, W/(m2 K)\r\n"
                          "850      initial temperature, C\r\n"
                          "40 40    oil, C\r\n"
                          "8470     density\r\n"
                          "444      specific heat\r\n"
                          "14.9     conductivity\r\n"
                          "30 30    durations, s\r\n";

TEST(ParameterRewrite, OnlyTheCoefficientChangesAndTheCommentKeepsItsColumn) {
    const FitParameters fit = parse_fit_parameters(probe, "/x/probe.txt");
    ASSERT_EQ(fit.error, "");
    ASSERT_TRUE(fit.coefficient_rewritable);
    EXPECT_EQ(fit.parameters.heat_transfer_coefficient, 1000.0);
    std::string expected = probe;
    expected.replace(expected.find("1000     heat"), 13, "1234.5   heat");
    EXPECT_EQ(rewrite_coefficient(fit, 1234.5), expected);
    // A number longer than the gap keeps one blank before the comment.
    expected = probe;
    expected.replace(expected.find("1000     heat"), 13, "1234.567891 heat");
    EXPECT_EQ(rewrite_coefficient(fit, 1234.567891), expected);
    // Ten significant digits, as reported.
    EXPECT_EQ(coefficient_text(2.0 / 3.0 * 1000.0), "666.6666667");
}

TEST(ParameterRewrite, CoefficientFoundWhereverItsLineIsAndHowEverItEnds) {
    // Without comments, with LF ends, a comma after it, no line end at all.
    for (const std::string& text : {std::string("t\n0\n0.05\n5000\n850\n20 20\n1\n1\n1\n1 1\n"),
                                    std::string("t\n0\n0.05\n5000,7\n850\n20 20\n1\n1\n1\n1 1"),
                                    std::string("t\n0 9\n0.05 / x\n  5000\t! h\n850\n20 20\n1\n1\n1\n1 1\n")}) {
        const FitParameters fit = parse_fit_parameters(text, "p");
        ASSERT_TRUE(fit.coefficient_rewritable) << text;
        EXPECT_EQ(text.substr(fit.coefficient_begin, fit.coefficient_end - fit.coefficient_begin), "5000");
        std::string expected = text;
        expected.replace(fit.coefficient_begin, 4, "42");
        EXPECT_EQ(rewrite_coefficient(fit, 42.0).substr(0, fit.coefficient_begin + 2),
                  expected.substr(0, fit.coefficient_begin + 2));
        EXPECT_EQ(rewrite_coefficient(fit, 42.0).substr(fit.coefficient_begin + 2).find("850"),
                  expected.substr(fit.coefficient_begin + 2).find("850"));
    }
}

TEST(ParameterRewrite, RepeatFormIsNotRewritable) {
    const FitParameters fit = parse_fit_parameters("t\n0\n0.05\n1*5000\n850\n20 20\n1\n1\n1\n1 1\n", "p");
    ASSERT_EQ(fit.error, "");
    EXPECT_EQ(fit.parameters.heat_transfer_coefficient, 5000.0);
    EXPECT_FALSE(fit.coefficient_rewritable);
}

TEST(ParameterRewrite, ReadFailuresGiveTheProgramsFailureReport) {
    EXPECT_EQ(parse_fit_parameters("t\n0\n0.05\nabc\n", "/d/p.txt").error,
              "textio: severe (59): list-directed I/O syntax error, unit 217, file /d/p.txt\r\n");
    EXPECT_EQ(parse_fit_parameters("t\n0\n0.05\n", "/d/p.txt").error,
              "textio: severe (24): end-of-file during read, unit 217, file /d/p.txt\r\n");
    EXPECT_EQ(read_fit_parameters("/nonexistent-dir/p.txt").error,
              "textio: severe (29): file not found, unit 217, file /nonexistent-dir/p.txt\r\n");
    // A failed open gets the number the simulation program gives it: a path
    // through a file that is not a folder is a missing file, and a name
    // beyond the system's limit a file name error (no system-text line).
    EXPECT_EQ(read_fit_parameters("/dev/null/p.txt").error,
              "textio: severe (29): file not found, unit 217, file /dev/null/p.txt\r\n");
    const std::string long_name = "/" + std::string(300, 'n');
    EXPECT_EQ(read_fit_parameters(long_name).error,
              "textio: severe (43): file name specification error, unit 217, file " + long_name + "\r\n");
}

TEST(ParameterRefusal, ValuesThatCouldStopOrOverloadTheModelAreRefused) {
    const ParameterSet good = parse_fit_parameters(probe, "p").parameters;
    EXPECT_EQ(refusal_of_parameters(good), "");
    struct Case {
        double ParameterSet::*field;
        double value;
        const char* reason;
    };
    for (const Case& c : {
             Case{&ParameterSet::conductivity, 0.0, "the conductivity (line 9) must be positive"},
             Case{&ParameterSet::density, -1.0, "the density (line 7) must be positive"},
             Case{&ParameterSet::specific_heat, 0.0, "the specific heat (line 8) must be positive"},
             Case{&ParameterSet::outer_radius, 0.0, "the outer radius (line 3) must be larger than the inner radius"},
             Case{&ParameterSet::inner_radius, -0.001, "the inner radius (line 2) must not be negative"},
             Case{&ParameterSet::initial_temperature, std::numeric_limits<double>::quiet_NaN(),
                  "the initial temperature (line 5) is not a finite number"},
             Case{&ParameterSet::ambient_temperature_2, std::numeric_limits<double>::infinity(),
                  "the medium temperature, phase 2 (line 6) is not a finite number"},
             Case{&ParameterSet::first_phase_duration, -1.0, "the phase durations (line 10) must not be negative"},
             Case{&ParameterSet::density, 1e308, "the values are out of the range the model can compute with"},
             Case{&ParameterSet::second_phase_duration, 1e6,
                  "the run needs more than 10000000 time steps; shorten the phases (line 10) or check the radii "
                  "and the material"},
         }) {
        ParameterSet p = good;
        p.*c.field = c.value;
        EXPECT_EQ(refusal_of_parameters(p), c.reason) << c.reason;
    }
    ParameterSet no_time = good;
    no_time.first_phase_duration = 0.0;
    no_time.second_phase_duration = 0.0;
    EXPECT_EQ(refusal_of_parameters(no_time), "the run has no length: the phase durations (line 10) add up to 0");
    // The coefficient itself is the fit's business.
    ParameterSet any_coefficient = good;
    any_coefficient.heat_transfer_coefficient = -5.0;
    EXPECT_EQ(refusal_of_parameters(any_coefficient), "");
}

}  // namespace
