// How the eleven parameters are taken from the lines of the parameter file.
#include <gtest/gtest.h>

#include "model/parameter_file.h"

using namespace model;

namespace {

using textio::ReadOutcome;

ParameterSet read_all(const std::string& text, ReadOutcome expected = ReadOutcome::ok) {
    textio::FreeFormReader reader = textio::make_memory_reader(text);
    ParameterSet p;
    EXPECT_EQ(read_parameter_set(reader, p), expected) << text;
    return p;
}

TEST(ParameterFile, ValuesComeInReadingOrderAndCommentsAreIgnored) {
    const ParameterSet p = read_all("1 2 3 title with numbers\r\n"
                                    "0.001 0.05 extra value ignored\r\n"
                                    "0.05     outer radius, m\r\n"
                                    "5000\r\n"
                                    "850\r\n"
                                    "20 30 and a comment\r\n"
                                    "7800\r\n"
                                    "460\r\n"
                                    "45\r\n"
                                    "6 7\r\n"
                                    "lines after the last read are never looked at: abc\r\n");
    EXPECT_EQ(p.inner_radius, 0.001);
    EXPECT_EQ(p.outer_radius, 0.05);
    EXPECT_EQ(p.heat_transfer_coefficient, 5000.0);
    EXPECT_EQ(p.initial_temperature, 850.0);
    EXPECT_EQ(p.ambient_temperature_1, 20.0);
    EXPECT_EQ(p.ambient_temperature_2, 30.0);
    EXPECT_EQ(p.density, 7800.0);
    EXPECT_EQ(p.specific_heat, 460.0);
    EXPECT_EQ(p.conductivity, 45.0);
    EXPECT_EQ(p.first_phase_duration, 6.0);
    EXPECT_EQ(p.second_phase_duration, 7.0);
}

TEST(ParameterFile, ShortLineShiftsEveryLaterValueByOneLine) {
    // Line 6 holds one value: the second ambient value comes from line 7 and
    // the rest of line 7 is skipped, so the file needs an eleventh line.
    const ParameterSet p = read_all("t\n0\n0.05\n5000\n850\n20\n30 999\n7800\n460\n45\n6 7\n");
    EXPECT_EQ(p.ambient_temperature_2, 30.0);
    EXPECT_EQ(p.density, 7800.0);
    EXPECT_EQ(p.second_phase_duration, 7.0);

    read_all("t\n0\n0.05\n5000\n850\n20\n30 999\n7800\n460\n45\n", ReadOutcome::end_of_file);
}

TEST(ParameterFile, NullsAndSlashesLeaveZeroes) {
    const ParameterSet p = read_all("t\n0\n0.05\n5000\n850\n20,,\n7800\n460\n45\n6 /\n");
    EXPECT_EQ(p.ambient_temperature_1, 20.0);
    EXPECT_EQ(p.ambient_temperature_2, 0.0);
    EXPECT_EQ(p.first_phase_duration, 6.0);
    EXPECT_EQ(p.second_phase_duration, 0.0);
}

TEST(ParameterFile, FailuresStopAtTheFirstBadValue) {
    ParameterSet p = read_all("t\n0.5\n0.05\nabc\n850\n20 20\n7800\n460\n45\n6 6\n", ReadOutcome::syntax_error);
    EXPECT_EQ(p.inner_radius, 0.5);
    EXPECT_EQ(p.outer_radius, 0.05);
    EXPECT_EQ(p.heat_transfer_coefficient, 0.0);
    read_all("t\n0\n0.05\n1.0E999\n", ReadOutcome::conversion_error);
    read_all("", ReadOutcome::end_of_file);
    read_all("only a title", ReadOutcome::end_of_file);
}

}  // namespace
