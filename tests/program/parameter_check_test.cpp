// The --check analysis: each trap of the parameter format is flagged on the
// value it spoils, at the line and column of that value; clean files give no
// warning; the forecast of the run uses the run's own arithmetic.
#include "program/parameter_check.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "model/parameter_file.h"
#include "support/parameter_texts.h"

using namespace model;
using namespace program;

namespace {

CheckReport check_text(const std::string& text) {
    textio::FreeFormReader reader = textio::make_memory_reader(text);
    textio::ReadProvenance provenance;
    reader.provenance = &provenance;
    ParameterSet parameters;
    EXPECT_EQ(read_parameter_set(reader, parameters), textio::ReadOutcome::ok);
    return analyse_parameters(parameters, provenance, text, true, 1e-6);
}

int field_index(std::string_view name) {
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) {
        if (parameter_fields[i].name == name) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no field " << name;
    return -2;
}

std::string describe(const CheckReport& report) {
    std::string all;
    for (const CheckWarning& w : report.warnings) {
        all += w.code + " field " + std::to_string(w.field) + " at " + std::to_string(w.line) + ":" +
               std::to_string(w.column) + "\n";
    }
    return all;
}

struct Trap {
    std::string label;
    std::string file;
    std::string code;
    std::string field;
    int line;
    int column;
    double value;
};

TEST(ParameterCheck, EachTrapIsFlaggedOnItsValueAtItsPlace) {
    const std::vector<Trap> traps = {
        {"word after line 6", "q\n0\n0.05\n5000\n850\n20   temperature of the medium\n7800\n460\n45\n6 6\n",
         "truth_word", "ambient_temperature_2", 6, 6, -1.0},
        {"word after line 10", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n120  full quench time\n", "truth_word",
         "second_phase_duration", 10, 6, 0.0},
        {"decimal comma", "q\n0\n0,05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", "decimal_comma", "outer_radius", 3, 1,
         0.0},
        {"decimal comma inside a pair", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n  6 0,5\n", "decimal_comma",
         "second_phase_duration", 10, 5, 0.0},
        {"thousands blank", "q\n0\n0.05\n5 000\n850\n20 20\n7800\n460\n45\n6 6\n", "unread_digits",
         "heat_transfer_coefficient", 4, 1, 5.0},
        {"line 6 with one number", "q\n0\n0.05\n5000\n850\n20\n300 x\n7800\n460\n45\n6 6\n", "other_line",
         "ambient_temperature_2", 7, 1, 300.0},
        {"negative conductivity", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n\t-45\n6 6\n", "negative", "conductivity",
         9, 2, -45.0},
        {"negative coefficient", "q\n0\n0.05\n-1e1\n850\n20 20\n7800\n460\n45\n6 6\n", "negative",
         "heat_transfer_coefficient", 4, 1, -10.0},
        {"negative duration", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 -6\n", "negative",
         "second_phase_duration", 10, 3, -6.0},
    };
    for (const Trap& trap : traps) {
        SCOPED_TRACE(trap.label);
        const CheckReport report = check_text(trap.file);
        const int index = field_index(trap.field);
        bool found = false;
        for (const CheckWarning& w : report.warnings) {
            if (w.code == trap.code && w.field == index) {
                found = true;
                EXPECT_EQ(w.line, trap.line);
                EXPECT_EQ(w.column, trap.column);
            }
        }
        EXPECT_TRUE(found) << describe(report);
        EXPECT_EQ(report.values[static_cast<std::size_t>(index)].value, trap.value);
    }
}

TEST(ParameterCheck, AShiftedLineFlagsEveryLaterValue) {
    const CheckReport report = check_text("q\n0\n0.05\n5000\n850\n20\n300\n7800\n460\n45\n6 6\n");
    // ambient_temperature_2 and the five values after it all come one line late.
    int other_lines = 0;
    for (const CheckWarning& w : report.warnings) other_lines += w.code == "other_line" ? 1 : 0;
    EXPECT_EQ(other_lines, 6) << describe(report);
    const CheckedValue& last = report.values[10];
    EXPECT_EQ(last.line, 11);
    EXPECT_EQ(last.column, 3);
    EXPECT_EQ(last.token, "6");
}

TEST(ParameterCheck, CleanFilesGiveNoWarning) {
    std::vector<std::string> files = {
        plain_parameters,
        "q\n0        inner radius, m\n0.05 outer\n5000 h\n850 t0, C\n2*20 both phases\n7800\n460\n45\n6, 6\n",
        "q\r\n0\r\n0.05\r\n5000\r\n850\r\n20 20\r\n7800\r\n460\r\n45\r\n6 6\r\n",
    };
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TEMP1D_SOURCE_DIR) + "/examples")) {
        std::ifstream in(entry.path() / "DataInpTemp1d.txt", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        files.push_back(text.str());
    }
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const CheckReport report = check_text(file);
        EXPECT_TRUE(report.warnings.empty()) << describe(report);
        EXPECT_EQ(check_report_text(report).find("warning:"), std::string::npos);
    }
}

TEST(ParameterCheck, WhereValuesComeFromIsShown) {
    const CheckReport report = check_text("q\n0\n0.05\n5000\n850\n2*20\n7800\n460\n45\n,6\n");
    EXPECT_EQ(report.values[4].origin.source, textio::ValueSource::repeat);
    EXPECT_EQ(report.values[4].token, "2*20");
    EXPECT_EQ(report.values[9].origin.source, textio::ValueSource::null_value);
    EXPECT_EQ(report.values[9].value, 0.0);
    const std::string text = check_report_text(report);
    EXPECT_NE(text.find("repeat \"2*20\" at line 6, column 1"), std::string::npos) << text;
    EXPECT_NE(text.find("null value at line 10, column 1, the value stays 0"), std::string::npos) << text;
}

TEST(ParameterCheck, RunsWithoutStepsOrWithVeryManyAreWarnedAbout) {
    const CheckReport none = check_text("q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n0 0\n");
    EXPECT_EQ(none.forecast.setup.step_count, 1);
    const CheckReport zero_radius = check_text("q\n0\n0\n5000\n850\n20 20\n7800\n460\n45\n6 6\n");
    ASSERT_FALSE(zero_radius.warnings.empty());
    EXPECT_EQ(zero_radius.warnings.back().code, "no_steps");
    EXPECT_EQ(zero_radius.warnings.back().field, -1);
    const CheckReport thin = check_text("q\n0\n0.00005\n5000\n850\n20 20\n7800\n460\n45\n60 60\n");
    EXPECT_GT(thin.forecast.setup.step_count, many_steps);
    ASSERT_FALSE(thin.warnings.empty());
    EXPECT_EQ(thin.warnings.back().code, "many_steps");
}

TEST(ParameterCheck, ForecastFollowsTheRunsArithmetic) {
    const CheckReport report = check_text(plain_parameters);
    const RunForecast& f = report.forecast;
    ParameterSet p;
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) p.*parameter_fields[i].member = report.values[i].value;
    const ModelSetup setup = derive_model_setup(p);
    EXPECT_EQ(std::memcmp(&f.setup, &setup, sizeof setup), 0);
    // The medium changes at the first step whose running start time reaches
    // the first phase's duration.
    ASSERT_TRUE(f.switch_step.has_value());
    HeatModel model;
    set_up_model(model, p);
    for (std::int64_t step = 1; step < *f.switch_step; ++step) {
        EXPECT_LT(model.time, p.first_phase_duration);
        static_cast<void>(take_time_step(model));
    }
    EXPECT_GE(model.time, p.first_phase_duration);
    EXPECT_EQ(model.time, f.switch_time);
    EXPECT_EQ(f.effective_coefficient, 10000.0);
    EXPECT_EQ(f.result_file_bytes, 165u + 55u * static_cast<std::uint64_t>(setup.step_count));
}

// The check's read notes where values come from through a read loop of its
// own; on every stored parameter file (the fuzz corpus and the golden cases)
// it must give the same outcome and the same bits as the plain read.
TEST(ParameterCheck, NotingOriginsChangesNoRead) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path source(TEMP1D_SOURCE_DIR);
    for (const auto& entry : std::filesystem::directory_iterator(source / "fuzz/corpus/fuzz_parameter_reader")) {
        files.push_back(entry.path());
    }
    for (const auto& entry : std::filesystem::directory_iterator(source / "tests/data/golden")) {
        files.push_back(entry.path() / "DataInpTemp1d.txt");
    }
    ASSERT_GT(files.size(), 20u);
    for (const std::filesystem::path& path : files) {
        SCOPED_TRACE(path.string());
        std::ifstream in(path, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string text = buffer.str();
        textio::FreeFormReader plain = textio::make_memory_reader(text);
        textio::FreeFormReader noting = textio::make_memory_reader(text);
        textio::ReadProvenance provenance;
        noting.provenance = &provenance;
        ParameterSet a, b;
        EXPECT_EQ(read_parameter_set(plain, a), read_parameter_set(noting, b));
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    }
}

TEST(ParameterCheck, NumbersInTheReportReadBackExactly) {
    for (double value : {0.1, 1.0 / 3.0, 1e-300, 4.9e-324, 1.7976931348623157e308, 100.0, -2.5e-7}) {
        const std::string text = exact_number_text(value);
        double back = 0.0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
        EXPECT_EQ(back, value) << text;
    }
    EXPECT_EQ(exact_number_text(-0.0), "-0.0");
    EXPECT_EQ(exact_number_text(std::nan("")), "NaN");
    EXPECT_EQ(exact_number_text(-HUGE_VAL), "-Infinity");
}

}  // namespace
