// The built temp1d-fit program in scratch directories: a good fit with its
// report and files, and every refusal with its message, its status and no
// file written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fit/fit_parameters.h"
#include "fit_test_support.h"
#include "support/file_contents.h"
#include "support/scratch_folder.h"

using namespace fit;

namespace fs = std::filesystem;

namespace {

constexpr double truth = 1000.0;
constexpr double run_length = 20.0;

std::string curve_csv(const FitProblem& problem) {
    std::string text = "# model curve\ntime,temperature\n";
    char line[80];
    for (std::size_t i = 0; i < problem.times.size(); ++i) {
        std::snprintf(line, sizeof line, "%.17g,%.17g\n", problem.times[i], problem.temperatures[i]);
        text += line;
    }
    return text;
}

// The number after "key": in a JSON text.
double json_value(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class FitProgram : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        parameters = probe_parameter_file(1.0, run_length);
        write_file(directory / "probe.txt", parameters);
    }

    // Runs a fit that must fail with status 2 and `message` on standard
    // error, leaving the directory as it was.
    void expect_refusal(const std::string& arguments, const std::string& message) {
        const std::vector<std::string> before = directory_listing(directory);
        const ProgramRun run = run_fit_program(directory, arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.standard_error, "temp1d-fit: " + message + "\n") << arguments;
        EXPECT_EQ(directory_listing(directory), before) << arguments;
    }

    void write_curve(const std::string& text) { write_file(directory / "curve.csv", text); }

    std::string parameters;
};

TEST_F(FitProgram, FitsTheModelsOwnCurveAndWritesReportFileAndChart) {
    for (const ProbePosition position : {ProbePosition::centre, ProbePosition::surface}) {
        const char* name = position == ProbePosition::centre ? "centre" : "surface";
        write_curve(curve_csv(model_curve(probe_parameters(truth, run_length), position, 120)));
        const ProgramRun run = run_fit_program(directory, std::string("--json --position ") + name +
                                                              " -o fitted.txt --chart fit.svg probe.txt curve.csv");
        ASSERT_EQ(run.status, 0) << run.standard_error;
        EXPECT_EQ(run.standard_error, "");
        EXPECT_NEAR(json_value(run.standard_output, "heat_transfer_coefficient") / truth, 1.0, 1e-6) << name;
        EXPECT_NEAR(json_value(run.standard_output, "effective_coefficient") / (2.0 * truth), 1.0, 1e-6) << name;
        // The headline: the physical coefficient (twice line 4 for a solid
        // bar), with the line-4 value and the Biot number beside it.
        EXPECT_EQ(json_value(run.standard_output, "parameter_file_coefficient"),
                  json_value(run.standard_output, "heat_transfer_coefficient"));
        // The model's own curve carries its time-step error, which the
        // physical coefficient removes: a few tenths of a per cent here.
        EXPECT_NEAR(json_value(run.standard_output, "physical_coefficient") / (2.0 * truth), 1.0, 5e-3) << name;
        EXPECT_NEAR(json_value(run.standard_output, "biot_number"),
                    json_value(run.standard_output, "physical_coefficient") * 0.00625 / 14.9, 1e-6);
        EXPECT_EQ(json_value(run.standard_output, "points"), 120.0);
        EXPECT_LT(json_value(run.standard_output, "rms_residual"), 1e-6);
        EXPECT_NE(run.standard_output.find("\"position\": \"" + std::string(name) + "\""), std::string::npos);

        // The fitted file: the input with only the coefficient's number
        // replaced, the comment after it kept.
        const std::string fitted = read_file(directory / "fitted.txt").value_or("");
        const std::size_t line_start = parameters.find("1        heat");
        ASSERT_NE(line_start, std::string::npos);
        EXPECT_EQ(fitted.substr(0, line_start), parameters.substr(0, line_start));
        const std::size_t comment = parameters.find("heat-transfer");
        EXPECT_EQ(fitted.substr(fitted.find("heat-transfer")), parameters.substr(comment));
        EXPECT_NEAR(std::strtod(fitted.c_str() + line_start, nullptr) / truth, 1.0, 1e-6);
        // It reads back as a parameter file with the reported coefficient.
        const FitParameters reread = parse_fit_parameters(fitted, "fitted.txt");
        EXPECT_EQ(reread.error, "");
        EXPECT_EQ(reread.parameters.heat_transfer_coefficient,
                  json_value(run.standard_output, "heat_transfer_coefficient"));
        EXPECT_EQ(reread.parameters.outer_radius, 0.00625);

        const std::string chart = read_file(directory / "fit.svg").value_or("");
        EXPECT_EQ(chart.rfind("<?xml version=\"1.0\"", 0), 0u);
        EXPECT_EQ(occurrences(chart, "<circle class=\"measured\""), 121u);  // the points and the legend's
        EXPECT_EQ(occurrences(chart, "<path class=\"series fitted\""), 1u);
        EXPECT_NE(chart.find("</svg>\n"), std::string::npos);
        EXPECT_EQ(directory_listing(directory),
                  (std::vector<std::string>{"curve.csv", "fit.svg", "fitted.txt", "probe.txt"}));
    }
}

TEST_F(FitProgram, TextReportNamesEveryFigure) {
    write_curve(curve_csv(model_curve(probe_parameters(truth, run_length), ProbePosition::centre, 50)));
    const ProgramRun run = run_fit_program(directory, "--from 2 --to 15 probe.txt curve.csv");
    ASSERT_EQ(run.status, 0) << run.standard_error;
    for (const char* label :
         {"physical heat-transfer coefficient:", "95 % interval (physical):", "Biot number:",
          "heat-transfer coefficient (parameter file):", "effective coefficient (used by the model):",
          "95 % interval (parameter file):", "95 % interval (effective):", "RMS residual:", "largest residual:",
          "model runs:", "time taken:"}) {
        EXPECT_NE(run.standard_output.find(label), std::string::npos) << label << "\n" << run.standard_output;
    }
    const auto value_after = [&](const std::string& label) {
        const std::size_t at = run.standard_output.find(label);
        return at == std::string::npos ? std::nan("")
                                       : std::strtod(run.standard_output.c_str() + at + label.size(), nullptr);
    };
    // The first result line, after the line about the curve, is the
    // physical coefficient.
    const std::size_t second_line = run.standard_output.find('\n') + 1;
    EXPECT_EQ(run.standard_output.compare(second_line, 35, "physical heat-transfer coefficient:"), 0)
        << run.standard_output;
    EXPECT_NEAR(value_after("physical heat-transfer coefficient:") / (2.0 * truth), 1.0, 5e-3);
    EXPECT_NEAR(value_after("heat-transfer coefficient (parameter file):") / truth, 1.0, 1e-6);
    EXPECT_NEAR(value_after("effective coefficient (used by the model):") / (2.0 * truth), 1.0, 1e-6);
    EXPECT_NE(run.standard_output.find(" points from 2.0"), std::string::npos) << "the window starts at 2 s";
    EXPECT_EQ(directory_listing(directory), (std::vector<std::string>{"curve.csv", "probe.txt"}));
}

TEST_F(FitProgram, BadCurvesAreRefusedWithFileLineAndReason) {
    write_curve("time,T\n1,800\n2,79O\n3,700\n");
    expect_refusal("-o out.txt probe.txt curve.csv", "curve.csv:3: the temperature \"79O\" is not a number");
    write_curve("1,800\n2,790\n");
    expect_refusal("-o out.txt probe.txt curve.csv", "curve.csv: 2 measured points; at least 3 are needed");
    write_curve("1,800\n2,790\n2,780\n");
    expect_refusal("-o out.txt probe.txt curve.csv",
                   "curve.csv:3: the times do not increase: 2 s does not come after the time on line 2");
    write_curve("1,800\n2,790\n20.5,100\n");
    expect_refusal("-o out.txt probe.txt curve.csv",
                   "curve.csv:3: the time 20.5 s lies past the end of the run (20 s, the two phase durations on "
                   "line 10)");
    // The window leaves two points.
    write_curve("1,800\n2,790\n3,780\n4,770\n");
    expect_refusal("--from 2.5 probe.txt curve.csv",
                   "curve.csv: 2 measured points from 2.5 s on; at least 3 are needed");
    expect_refusal("--from 1.5 --to 3.5 probe.txt curve.csv",
                   "curve.csv: 2 measured points between 1.5 and 3.5 s; at least 3 are needed");
    expect_refusal("--chart c.svg probe.txt missing.csv", "missing.csv: cannot be read: No such file or directory");
}

TEST_F(FitProgram, CurvesThatCannotDetermineTheCoefficientAreRefused) {
    write_curve("1,600\n2,600\n3,600\n");
    expect_refusal("-o out.txt probe.txt curve.csv",
                   "curve.csv: the curve is flat (every temperature is 600): it does not determine the coefficient");
    write_curve("1,600\n2,650\n3,640\n4,700\n");
    expect_refusal("-o out.txt probe.txt curve.csv",
                   "curve.csv: the curve rises while the medium is colder than the initial temperature (lines 5 "
                   "and 6): the model can only cool the probe");
    // A probe whose surface has not moved from 850 to 40 far enough to tell
    // a coefficient beyond the range from one at its top.
    write_curve(curve_csv(model_curve(probe_parameters(1e9, run_length), ProbePosition::surface, 30)));
    const ProgramRun run = run_fit_program(directory, "--position surface --chart c.svg probe.txt curve.csv");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.standard_error,
              "temp1d-fit: curve.csv: the best fit lies on the upper end of the search range (1e+07 W/(m2 K)): the "
              "curve does not determine the coefficient; nothing written\n");
    EXPECT_NE(run.standard_output.find("heat-transfer coefficient (parameter file): 10000000 W/(m2 K)"),
              std::string::npos);
    const ProgramRun json = run_fit_program(directory, "--json --position surface probe.txt curve.csv");
    EXPECT_EQ(json.status, 2);
    EXPECT_NE(json.standard_output.find("\"on_boundary\": true"), std::string::npos) << json.standard_output;
    EXPECT_EQ(directory_listing(directory), (std::vector<std::string>{"curve.csv", "probe.txt"}));
}

TEST_F(FitProgram, BadParameterFilesAndOptionsAreRefused) {
    write_curve("1,800\n2,790\n3,780\n");
    const ProgramRun missing = run_fit_program(directory, "nothere.txt curve.csv");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.standard_error,
              "textio: severe (29): file not found, unit 217, file " + (directory / "nothere.txt").string() + "\r\n");
    write_file(directory / "bad.txt", "title\n0\n0.05\nabc\n");
    const ProgramRun bad = run_fit_program(directory, "bad.txt curve.csv");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.standard_error, "textio: severe (59): list-directed I/O syntax error, unit 217, file " +
                                      (directory / "bad.txt").string() + "\r\n");
    write_file(directory / "cold.txt", "t\n0\n0.05\n1\n850\n20 20\n7800\n460\n0\n60 60\n");
    expect_refusal("cold.txt curve.csv", "cold.txt: cannot fit: the conductivity (line 9) must be positive");
    write_file(directory / "long.txt", "t\n0\n0.05\n1\n850\n20 20\n7800\n460\n45\n1e6 1e6\n");
    expect_refusal("long.txt curve.csv",
                   "long.txt: cannot fit: the run needs more than 10000000 time steps; shorten the phases (line 10) "
                   "or check the radii and the material");
    write_file(directory / "repeat.txt", "t\n0\n0.05\n1*9\n850\n20 20\n7800\n460\n45\n60 60\n");
    expect_refusal("-o out.txt repeat.txt curve.csv",
                   "repeat.txt: the heat-transfer coefficient is not written as a plain number; -o cannot rewrite it");

    for (const char* arguments : {"probe.txt", "--position middle probe.txt curve.csv", "--from x probe.txt curve.csv",
                                  "--from 5 --to 5 probe.txt curve.csv", "--bogus probe.txt curve.csv",
                                  "probe.txt curve.csv extra.csv", "probe.txt curve.csv -o"}) {
        const ProgramRun run = run_fit_program(directory, arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.standard_error.find("usage: temp1d-fit"), std::string::npos) << arguments;
    }
}

TEST_F(FitProgram, UnreadableFilesAndUnwritableFoldersForAnUnprivilegedUser) {
    write_curve(curve_csv(model_curve(probe_parameters(truth, run_length), ProbePosition::centre, 40)));
    fs::permissions(directory / "curve.csv", fs::perms::all);
    fs::permissions(directory / "probe.txt", fs::perms::none);
    const ProgramRun denied = run_fit_program(directory, "probe.txt curve.csv", true);
    EXPECT_EQ(denied.status, 2);
    EXPECT_EQ(denied.standard_error, "textio: severe (9): permission to access file denied, unit 217, file " +
                                         (directory / "probe.txt").string() + "\r\n");

    // A folder the user may not write to: the fit succeeds, the output
    // fails, nothing appears.
    fs::permissions(directory / "probe.txt", fs::perms::all);
    fs::create_directory(directory / "locked");
    fs::permissions(directory / "locked", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read |
                                              fs::perms::group_exec | fs::perms::others_exec);
    const ProgramRun locked = run_fit_program(directory, "--chart locked/fit.svg probe.txt curve.csv", true);
    EXPECT_EQ(locked.status, 3);
    EXPECT_EQ(locked.standard_error, "temp1d-fit: locked/fit.svg: cannot be written: Permission denied\n");
    EXPECT_TRUE(fs::is_empty(directory / "locked"));
}

TEST_F(FitProgram, NothingIsWrittenOrReplacedWhenTheFitOrAnOutputFails) {
    write_file(directory / "fitted.txt", "old parameters\n");
    write_file(directory / "fit.svg", "old chart\n");
    write_curve("1,600\n2,600\n3,600\n");
    const ProgramRun flat = run_fit_program(directory, "-o fitted.txt --chart fit.svg probe.txt curve.csv");
    EXPECT_EQ(flat.status, 2);
    EXPECT_EQ(read_file(directory / "fitted.txt"), "old parameters\n");
    EXPECT_EQ(read_file(directory / "fit.svg"), "old chart\n");

    // A good fit whose parameter output cannot be written: the chart is
    // not written either, and no temporary file is left.
    write_curve(curve_csv(model_curve(probe_parameters(truth, run_length), ProbePosition::centre, 40)));
    const ProgramRun unwritable =
        run_fit_program(directory, "-o no-such-dir/fitted.txt --chart fit.svg probe.txt curve.csv");
    EXPECT_EQ(unwritable.status, 3);
    EXPECT_EQ(unwritable.standard_error,
              "temp1d-fit: no-such-dir/fitted.txt: cannot be written: No such file or directory\n");
    EXPECT_EQ(read_file(directory / "fit.svg"), "old chart\n");
    EXPECT_EQ(directory_listing(directory),
              (std::vector<std::string>{"curve.csv", "fit.svg", "fitted.txt", "probe.txt"}));
}

}  // namespace

namespace {

TEST_F(FitProgram, LoggerExportsWithSemicolonsDecimalCommasUnitsRowsAndChannels) {
    const FitProblem curve = model_curve(probe_parameters(truth, run_length), ProbePosition::centre, 60);
    // Semicolons and decimal commas under a names row and a units row, and
    // the same points as the third of four channels.
    std::string european = "Zeit;Kern\ns;C\n";
    std::string channels = "time,surface,oil,centre\n";
    char line[160];
    for (std::size_t i = 0; i < curve.times.size(); ++i) {
        std::snprintf(line, sizeof line, "%.17g;%.17g\n", curve.times[i], curve.temperatures[i]);
        std::string text = line;
        for (char& c : text) c = c == '.' ? ',' : c;
        european += text;
        std::snprintf(line, sizeof line, "%.17g,1,40,%.17g\n", curve.times[i], curve.temperatures[i]);
        channels += line;
    }
    write_curve(european);
    const ProgramRun run = run_fit_program(directory, "probe.txt curve.csv");
    ASSERT_EQ(run.status, 0) << run.standard_error << run.standard_output;
    EXPECT_NE(run.standard_output.find("curve format: separated by semicolons, decimal comma"), std::string::npos)
        << run.standard_output;
    const ProgramRun json = run_fit_program(directory, "--json probe.txt curve.csv");
    EXPECT_NE(json.standard_output.find("\"curve_format\": {\"separator\": \"semicolon\", \"decimal_mark\": \"comma\", "
                                        "\"header_rows\": 2, \"columns\": [1, 2]}"),
              std::string::npos)
        << json.standard_output;
    EXPECT_NEAR(json_value(json.standard_output, "parameter_file_coefficient") / truth, 1.0, 1e-6);

    write_curve(channels);
    const ProgramRun picked = run_fit_program(directory, "--json --columns 1,4 probe.txt curve.csv");
    ASSERT_EQ(picked.status, 0) << picked.standard_error;
    EXPECT_NEAR(json_value(picked.standard_output, "parameter_file_coefficient") / truth, 1.0, 1e-6);
    EXPECT_NE(picked.standard_output.find("\"columns\": [1, 4]"), std::string::npos);
    expect_refusal("probe.txt curve.csv",
                   "curve.csv:2: expected two columns, time and temperature, found 4; choose two with --columns "
                   "TIME,TEMP");
    for (const char* bad : {"1", "1,1", "0,2", "a,b", "1,2,3", "-1,2"}) {
        const ProgramRun refused = run_fit_program(directory, std::string("--columns ") + bad + " probe.txt curve.csv");
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_EQ(refused.standard_error.rfind("temp1d-fit: --columns needs TIME,TEMP", 0), 0u)
            << refused.standard_error;
    }
}

}  // namespace
