// The --check analysis: each trap of the parameter format is flagged on the
// value it spoils, at the line and column of that value; clean files give no
// warning; the forecast of the run uses the run's own arithmetic.
#include "program/parameter_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "model/parameter_file.h"
#include "textio/failure_report.h"
#include "support/parameter_texts.h"
#include "support/scratch_folder.h"

using namespace model;
using namespace program;

namespace {

std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// The report of a read that must fail.
CheckReport check_failing_text(const std::string& text) {
    textio::FreeFormReader reader = textio::make_memory_reader(text);
    textio::ReadProvenance provenance;
    reader.provenance = &provenance;
    ParameterSet parameters;
    const textio::ReadOutcome outcome = read_parameter_set(reader, parameters);
    EXPECT_NE(outcome, textio::ReadOutcome::ok);
    return analyse_failed_read(parameters, provenance, text, textio::text_offset(reader),
                               textio::failure_number_of(outcome));
}

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
        // The hollow example has an inner radius, which is warned about
        // (AnInnerRadiusIsWarnedAboutAsNoBore).
        if (entry.path().filename() == "hollow-section") continue;
        if (!std::filesystem::exists(entry.path() / "DataInpTemp1d.txt")) continue;  // examples/python: scripts
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

// The mistakes a new user makes that stop the read: each is located at the
// value being read and the place reading stopped, with the reason and the
// likely cause the text shows.
TEST(ParameterCheck, EveryReadFailureIsLocatedWithItsLikelyCause) {
    struct Failure {
        std::string label;
        std::string file;
        int number;
        std::string field;  // empty: the title line
        int line;
        int column;
        std::string token;
        std::string_view reason;
        std::string cause;  // empty: none expected
    };
    const std::string utf16 = std::string("\xFF\xFEq\0\n\0000\0\n\0", 10);
    const std::vector<Failure> failures = {
        {"density left out", "q\n0\n0.05\n5000\n850\n20 20\n460\n45\n6 6\n", 24, "first_phase_duration", 9, 4, "",
         reason_missing_line, ""},
        {"letter O in the conductivity", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n3O\n6 6\n", 59, "conductivity", 9, 1,
         "3O", reason_not_a_number, "letter_in_number"},
        {"letter l in the density", "q\n0\n0.05\n5000\n850\n20 20\n78l0\n460\n45\n6 6\n", 59, "density", 7, 1, "78l0",
         reason_not_a_number, "letter_in_number"},
        {"one value on line 6 and a comment", "q\n0\n0.05\n5000\n850\n60 oil temperature\n7800\n460\n45\n6 6\n", 59,
         "ambient_temperature_2", 6, 4, "oil", reason_not_a_number, "few_values"},
        {"one value on line 10", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6\n", 24, "second_phase_duration", 10, 2,
         "", reason_file_ended, "few_values"},
        {"no title line", "0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", 24, "conductivity", 9, 4, "",
         reason_missing_line, "no_title_line"},
        {"no title line after a byte order mark", "\xEF\xBB\xBF-.5\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\r\n", 24,
         "conductivity", 9, 4, "", reason_missing_line, "no_title_line"},
        {"a line left out under a title that begins with a digit",
         "42CrMo4 bar\n0\n0.05\n5000\n850\n20 20\n460\n45\n6 6\n", 24, "first_phase_duration", 9, 4, "",
         reason_missing_line, ""},
        {"carriage returns alone", "q\r0\r0.05\r5000\r850\r20 20\r7800\r460\r45\r6 6\r", 24, "inner_radius", 1, 41, "",
         reason_file_ended, "cr_line_ends"},
        {"UTF-16", utf16, 59, "inner_radius", 2, 1, "?0?", reason_not_a_number, "utf16"},
        {"UTF-16, big-endian without a byte order mark",
         std::string("\0q\0\n\0"
                     "0\0\n",
                     8),
         59, "inner_radius", 2, 1, "?0?", reason_not_a_number, "utf16"},
        {"zero bytes that are no UTF-16", std::string(8, '\0') + "\n0\n0.05\n", 24, "heat_transfer_coefficient", 3, 5,
         "", reason_file_ended, ""},
        {"typographic minus",
         "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 \xE2\x88\x92"
         "6\n",
         59, "second_phase_duration", 10, 3, "???6", reason_not_a_number, "non_ascii"},
        {"number out of range", "q\n0\n0.05\n1e999\n850\n20 20\n7800\n460\n45\n6 6\n", 64, "heat_transfer_coefficient",
         4, 1, "1e999", reason_out_of_range, ""},
        {"bad repeat count", "q\n0\n0.05\n5000\n850\n0*20\n7800\n460\n45\n6 6\n", 64, "ambient_temperature_1", 6, 1,
         "0*", reason_out_of_range, ""},
        {"file ends early, CR LF", "q\r\n0\r\n0.05\r\n", 24, "heat_transfer_coefficient", 3, 5, "", reason_file_ended,
         ""},
        {"empty file", "", 24, "", 1, 1, "", reason_file_ended, ""},
    };
    for (const Failure& expected : failures) {
        SCOPED_TRACE(expected.label);
        const CheckReport report = check_failing_text(expected.file);
        ASSERT_TRUE(report.failure.has_value());
        const ReadFailure& f = *report.failure;
        EXPECT_EQ(f.number, expected.number);
        EXPECT_EQ(f.field, expected.field.empty() ? -1 : field_index(expected.field));
        EXPECT_TRUE(f.place_known);
        EXPECT_EQ(f.line, expected.line);
        EXPECT_EQ(f.column, expected.column);
        EXPECT_EQ(f.token, expected.token);
        EXPECT_EQ(f.reason, expected.reason);
        std::string causes;
        for (const FailureCause& cause : f.causes) causes += cause.code + " ";
        if (expected.cause.empty()) {
            EXPECT_EQ(causes, "");
        } else {
            EXPECT_NE(causes.find(expected.cause), std::string::npos) << causes;
        }
        // Only the values before the one being read are shown, with their
        // origins, and no run is forecast.
        const std::string text = check_report_text(report);
        const std::size_t shown = static_cast<std::size_t>(std::max(f.field, 0));
        for (std::size_t i = 0; i < parameter_fields.size(); ++i) {
            const std::string row = "  " + std::string(parameter_fields[i].meaning) + ":";
            EXPECT_EQ(text.find(row) != std::string::npos, i < shown) << row << "\n" << text;
        }
        EXPECT_EQ(text.find("The run will do"), std::string::npos);
        EXPECT_NE(text.find(": " + std::string(expected.reason) + ".\n"), std::string::npos) << text;
        const std::string json = check_report_json(report);
        EXPECT_NE(json.find("\"status\": " + std::to_string(expected.number) + "\n"), std::string::npos) << json;
        EXPECT_EQ(json.find("\"run\""), std::string::npos);
    }
}

TEST(ParameterCheck, AFailureBeyondTheKeptTextHasNoPlace) {
    // The check keeps the start of the file only; reading that stops after
    // it is reported without a place (line and column 0).
    const std::string file = "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 x\n";
    textio::FreeFormReader reader = textio::make_memory_reader(file);
    textio::ReadProvenance provenance;
    reader.provenance = &provenance;
    ParameterSet parameters;
    ASSERT_EQ(read_parameter_set(reader, parameters), textio::ReadOutcome::syntax_error);
    const CheckReport report = analyse_failed_read(parameters, provenance, std::string_view(file).substr(0, 20),
                                                   textio::text_offset(reader), textio::failure_syntax);
    ASSERT_TRUE(report.failure.has_value());
    EXPECT_FALSE(report.failure->place_known);
    EXPECT_EQ(report.failure->line, 0);
    EXPECT_EQ(report.failure->field, field_index("second_phase_duration"));
    EXPECT_NE(check_report_text(report).find("Reading stopped beyond the first 1024 KiB"), std::string::npos);
    EXPECT_NE(check_report_json(report).find("\"line\": 0, \"column\": 0"), std::string::npos);
}

TEST(ParameterCheck, AFailedReadWarnsAboutTheValuesReadBefore) {
    // A line left out: the values after it come from the line above their
    // own and are out of range for what they are taken as.
    const CheckReport report = check_failing_text("q\n0\n0.05\n5000\n850\n20 20\n460\n45\n6 6\n");
    std::string codes;
    for (const CheckWarning& w : report.warnings) {
        EXPECT_GE(w.field, 0);
        EXPECT_LT(w.field, report.failure->field);
        codes += w.code + " " + std::string(parameter_fields[static_cast<std::size_t>(w.field)].name) + "\n";
    }
    EXPECT_NE(codes.find("implausible density\n"), std::string::npos) << codes;
    EXPECT_NE(codes.find("implausible specific_heat\n"), std::string::npos) << codes;
    // A failure before the outer radius is read warns about no bore.
    const CheckReport early = check_failing_text("q\n0.01\nx\n");
    EXPECT_EQ(early.failure->field, field_index("outer_radius"));
    EXPECT_TRUE(early.warnings.empty()) << describe(early);
}

// Values far outside what any solid or quench has get a warning that names
// the likely unit; the bounds themselves are plausible.
TEST(ParameterCheck, ImplausibleValuesNameTheirLikelyUnit) {
    struct Case {
        std::string label;
        std::string file;
        std::string field;
        std::string words;  // in the message
    };
    const std::vector<Case> cases = {
        {"radius in millimetres", "q\n0\n20\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", "outer_radius", "millimetres"},
        {"inner radius in millimetres", "q\n5\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", "inner_radius",
         "5 mm = 0.005 m"},
        {"Biot number", "q\n0\n20\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", "heat_transfer_coefficient",
         "Biot number 4444"},
        {"coefficient", "q\n0\n0.05\n2e6\n850\n20 20\n7800\n460\n45\n6 6\n", "heat_transfer_coefficient", "above 10^6"},
        {"temperature below absolute zero", "q\n0\n0.05\n5000\n850\n20 -273.16\n7800\n460\n45\n6 6\n",
         "ambient_temperature_2", "absolute zero"},
        {"density in g/cm3", "q\n0\n0.05\n5000\n850\n20 20\n7.85\n460\n45\n6 6\n", "density",
         "g/cm3? (7.85 g/cm3 = 7850 kg/m3)"},
        {"density too high", "q\n0\n0.05\n5000\n850\n20 20\n25001\n460\n45\n6 6\n", "density", "above 25000"},
        {"specific heat in kJ", "q\n0\n0.05\n5000\n850\n20 20\n7800\n0.46\n45\n6 6\n", "specific_heat",
         "kJ/(kg K)? (0.46 kJ/(kg K) = 460 J/(kg K))"},
        {"conductivity", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n1001\n6 6\n", "conductivity", "above 1000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const CheckReport report = check_text(c.file);
        bool found = false;
        for (const CheckWarning& w : report.warnings) {
            found = found || (w.code == "implausible" && w.field == field_index(c.field) &&
                              w.message.find(c.words) != std::string::npos);
        }
        EXPECT_TRUE(found) << describe(report);
        const std::string json = check_report_json(report);
        EXPECT_NE(json.find("\"code\": \"implausible\", \"parameter\": \"" + c.field + "\""), std::string::npos)
            << json;
    }
    // At the bounds: lithium, osmium, lead, silver, a bar of 1 m in a
    // medium at absolute zero, the strongest quench.
    const std::vector<std::string> plausible = {
        "q\n0\n1\n5000\n850\n-273.15 -273.15\n534\n130\n429\n6 6\n",
        "q\n0\n0.001\n1e6\n850\n20 20\n22590\n50\n1000\n6 6\n",
        "q\n0\n0.05\n5000\n850\n20 20\n25000\n460\n45\n6 6\n",
    };
    for (const std::string& file : plausible) {
        SCOPED_TRACE(file);
        const CheckReport report = check_text(file);
        for (const CheckWarning& w : report.warnings) EXPECT_NE(w.code, "implausible") << w.message;
    }
    // A negative value is warned about as negative only.
    const CheckReport negative = check_text("q\n0\n0.05\n5000\n850\n20 20\n-7800\n460\n45\n6 6\n");
    EXPECT_EQ(describe(negative), "negative field 6 at 7:1\nno_steps field -1 at 0:0\n");
}

TEST(ParameterCheck, AStepCountBeyond32BitsIsManyStepsNeverNoSteps) {
    // Density in g/cm3 and specific heat in kJ/(kg K).
    const CheckReport report = check_text("q\n0\n0.05\n5000\n850\n20 20\n7.85\n0.46\n45\n600 600\n");
    EXPECT_EQ(report.forecast.setup.step_count, std::numeric_limits<std::int32_t>::min());
    const double asked = std::trunc(report.forecast.setup.total_time / report.forecast.setup.reference_step + 1.0);
    ASSERT_GT(asked, 2147483647.0);
    int many = 0;
    for (const CheckWarning& w : report.warnings) {
        EXPECT_NE(w.code, "no_steps");
        if (w.code != "many_steps") continue;
        ++many;
        EXPECT_EQ(w.field, -1);
        EXPECT_NE(w.message.find(std::to_string(static_cast<std::uint64_t>(asked)) + " time steps"), std::string::npos)
            << w.message;
        EXPECT_NE(w.message.find("status 3"), std::string::npos) << w.message;
    }
    EXPECT_EQ(many, 1) << describe(report);
    // Just inside the range the count is a number of steps as it is.
    const CheckReport inside = check_text("q\n0\n0.05\n5000\n850\n20 20\n7.85\n0.46\n45\n60 60\n");
    EXPECT_GT(inside.forecast.setup.step_count, many_steps);
    EXPECT_EQ(inside.warnings.back().code, "many_steps");
    EXPECT_EQ(inside.warnings.back().message.find("status 3"), std::string::npos);
}

TEST(ParameterCheck, AnInnerRadiusIsWarnedAboutAsNoBore) {
    const std::string text = file_text(std::string(TEMP1D_SOURCE_DIR) + "/examples/hollow-section/DataInpTemp1d.txt");
    const CheckReport report = check_text(text);
    ASSERT_EQ(report.warnings.size(), 1u) << describe(report);
    const CheckWarning& bore = report.warnings.front();
    EXPECT_EQ(bore.code, "bore");
    EXPECT_EQ(bore.field, field_index("inner_radius"));
    EXPECT_EQ(bore.line, 2);
    EXPECT_EQ(bore.column, 1);
    EXPECT_NE(bore.message.find("solid bar of radius R - inner radius = 0.049999999999999996 m"), std::string::npos)
        << bore.message;
    EXPECT_NE(bore.message.find("R = 0.06 m"), std::string::npos) << bore.message;
    ParameterSet p;
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) p.*parameter_fields[i].member = report.values[i].value;
    EXPECT_EQ(report.forecast.effective_coefficient, effective_coefficient(p, p.heat_transfer_coefficient));
    EXPECT_NEAR(report.forecast.effective_coefficient, 1920.0, 1e-9);
    EXPECT_NE(check_report_json(report).find("\"code\": \"bore\", \"parameter\": \"inner_radius\", \"line\": 2"),
              std::string::npos);
    // No warning for a solid bar.
    EXPECT_TRUE(check_text(plain_parameters).warnings.empty());
}

// Every failed read of a damaged file gives a place inside the file and a
// report that is JSON: the file cut at every byte, each byte replaced by a
// zero byte, a byte outside ASCII, a letter O, a quote or a backslash, and
// the fuzz corpus.
TEST(ParameterCheck, FailuresOfDamagedFilesArePlacedAndGiveJson) {
    std::vector<std::string> texts;
    for (std::size_t cut = 0; cut <= plain_parameters.size(); ++cut) texts.push_back(plain_parameters.substr(0, cut));
    for (std::size_t at = 0; at < plain_parameters.size(); ++at) {
        for (char c : {'\0', '\xFF', 'O', '"', '\\'}) {
            std::string damaged = plain_parameters;
            damaged[at] = c;
            texts.push_back(damaged);
        }
    }
    const std::filesystem::path source(TEMP1D_SOURCE_DIR);
    for (const auto& entry : std::filesystem::directory_iterator(source / "fuzz/corpus/fuzz_parameter_reader")) {
        texts.push_back(file_text(entry.path()));
    }
    std::string documents = "[";
    int failures = 0;
    for (const std::string& text : texts) {
        textio::FreeFormReader reader = textio::make_memory_reader(text);
        ParameterSet parameters;
        if (read_parameter_set(reader, parameters) == textio::ReadOutcome::ok) continue;
        SCOPED_TRACE(text);
        const CheckReport report = check_failing_text(text);
        const ReadFailure& f = *report.failure;
        EXPECT_TRUE(f.place_known);
        const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_GE(f.line, 1);
        EXPECT_LE(f.line, lines);
        EXPECT_GE(f.column, 1);
        EXPECT_GE(f.field, -1);
        EXPECT_LT(f.field, static_cast<int>(parameter_fields.size()));
        EXPECT_FALSE(f.reason.empty());
        documents += (failures++ == 0 ? "" : ",") + check_report_json(report);
    }
    documents += "]";
    ASSERT_GT(failures, 100);
    const std::filesystem::path folder = make_scratch_directory("check-json");
    {
        std::ofstream out(folder / "reports.json", std::ios::binary);
        out << documents;
    }
    const std::string command =
        "python3 -c \"import json,sys\n"
        "for d in json.load(open(sys.argv[1])):\n"
        "    assert set(d)=={'program','parameter_file','parameters','warnings','failure','status'},d\n"
        "    assert d['status']==d['failure']['number'] and len(d['parameters'])<=11,d\n\" '" +
        (folder / "reports.json").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    remove_scratch_directory(folder);
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
