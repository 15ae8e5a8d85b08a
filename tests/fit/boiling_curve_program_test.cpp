// temp1d-fit --boiling-curve end to end in scratch directories: the
// shipped probe example (its curve made by an independent solver) fitted
// with every output, the written table reproducing the fitted model, and
// the refusals with their statuses and nothing written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "fit/fit_parameters.h"
#include "fit/measured_curve.h"
#include "fit/table_sampling.h"
#include "fit_test_support.h"
#include "model/property_table.h"
#include "support/file_contents.h"
#include "support/scratch_folder.h"

using namespace fit;

namespace fs = std::filesystem;

namespace {

const fs::path example = fs::path(TEMP1D_SOURCE_DIR) / "examples" / "probe-boiling-curve";

// The numbers of the JSON array "key": [...] of objects, field `field`.
std::vector<double> json_column(const std::string& json, const std::string& field) {
    std::vector<double> values;
    const std::string key = "\"" + field + "\": ";
    for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        values.push_back(std::strtod(json.c_str() + at + key.size(), nullptr));
    }
    return values;
}

double json_value(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

class BoilingCurveProgram : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        write_file(directory / "probe.txt", *read_file(example / "DataInpTemp1d.txt"));
        write_file(directory / "curve.csv", *read_file(example / "curve.csv"));
    }

    void expect_refusal(const std::string& arguments, const std::string& message) {
        const std::vector<std::string> before = directory_listing(directory);
        const ProgramRun run = run_fit_program(directory, arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.standard_error.substr(0, run.standard_error.find('\n') + 1), "temp1d-fit: " + message + "\n")
            << arguments;
        EXPECT_EQ(run.standard_output, "") << arguments;
        EXPECT_EQ(directory_listing(directory), before) << arguments;
    }
};

TEST_F(BoilingCurveProgram, FitsTheExampleAndItsTableReproducesTheFittedModel) {
    const ProgramRun run =
        run_fit_program(directory, "--boiling-curve --json --table-out table.csv --chart fit.svg probe.txt curve.csv");
    ASSERT_EQ(run.status, 0) << run.standard_error;
    EXPECT_EQ(run.standard_error, "");
    const std::string& json = run.standard_output;
    EXPECT_NE(json.find("\"mode\": \"boiling-curve\""), std::string::npos);
    const std::vector<double> temperatures = json_column(json, "temperature");
    const std::vector<double> coefficients = json_column(json, "coefficient");
    ASSERT_GE(temperatures.size(), 8U);
    ASSERT_LE(temperatures.size(), 16U);
    ASSERT_EQ(coefficients.size(), temperatures.size());
    const double rms = json_value(json, "rms_residual");
    EXPECT_LE(rms, 1.3);
    // The film-boiling plateau (350 W/(m2 K) above 510 C) and the nucleate
    // boiling (6000 below 490 C) of the curve's maker, away from the change.
    for (std::size_t k = 0; k < temperatures.size(); ++k) {
        if (temperatures[k] > 570.0 && temperatures[k] < 760.0) {
            EXPECT_NEAR(coefficients[k] / 350.0, 1.0, 0.15);
        }
        if (temperatures[k] > 100.0 && temperatures[k] < 400.0) {
            EXPECT_NEAR(coefficients[k] / 6000.0, 1.0, 0.15);
        }
    }

    // The table file is what temp1d --coefficient-table reads, with the
    // nodes and values of the report.
    const std::optional<std::string> table_text = read_file(directory / "table.csv");
    ASSERT_TRUE(table_text.has_value());
    const model::TableReading table = model::parse_property_table(*table_text);
    ASSERT_EQ(table.problem, "");
    ASSERT_EQ(table.table.temperature.size(), temperatures.size());
    for (std::size_t k = 0; k < temperatures.size(); ++k) {
        EXPECT_NEAR(table.table.temperature[k], temperatures[k], 1e-9 * std::fabs(temperatures[k]));
        EXPECT_NEAR(table.table.value[k], coefficients[k], 1e-9 * coefficients[k]);
    }
    // A table run with the file gives the reported residual.
    const FitParameters parameters = read_fit_parameters((directory / "probe.txt").string());
    const CurveReading curve = read_measured_curve((directory / "curve.csv").string());
    ASSERT_EQ(curve.error, "");
    std::vector<double> values(curve.curve.time.size());
    SampleSink sink{curve.curve.time, values};
    model::MaterialTables tables;
    tables.coefficient = &table.table;
    run_table_model_into(parameters.parameters, tables, ProbePosition::centre, sink);
    double sum = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        sum += (curve.curve.temperature[i] - values[i]) * (curve.curve.temperature[i] - values[i]);
    }
    EXPECT_NEAR(std::sqrt(sum / static_cast<double>(values.size())), rms, 1e-6);

    const std::optional<std::string> chart = read_file(directory / "fit.svg");
    ASSERT_TRUE(chart.has_value());
    EXPECT_NE(chart->find("class=\"band\""), std::string::npos);
    EXPECT_NE(chart->find("Residual, K"), std::string::npos);
    EXPECT_EQ(chart->substr(chart->size() - 7), "</svg>\n");
}

TEST_F(BoilingCurveProgram, TextReportWithFewNodesAndAnOutputThatCannotBeWritten) {
    // The text report lists every node; --nodes fixes their number.
    ProgramRun run = run_fit_program(directory, "--boiling-curve --nodes 5 probe.txt curve.csv");
    ASSERT_EQ(run.status, 0) << run.standard_error;
    EXPECT_NE(run.standard_output.find("boiling curve: 5 nodes from "), std::string::npos) << run.standard_output;
    EXPECT_NE(run.standard_output.find("(discrepancy principle)"), std::string::npos);
    // A table file in a folder that does not exist: status 3, the chart
    // that could be written is not written either.
    const std::vector<std::string> before = directory_listing(directory);
    run = run_fit_program(
        directory, "--boiling-curve --nodes 5 --chart fit.svg --table-out missing/table.csv probe.txt curve.csv");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.standard_error.find("missing/table.csv"), std::string::npos) << run.standard_error;
    EXPECT_EQ(run.standard_output, "");
    EXPECT_EQ(directory_listing(directory), before);
}

TEST_F(BoilingCurveProgram, RefusesBadInputWithStatus2AndWritesNothing) {
    write_file(directory / "falling.csv", "temperature,conductivity\n20,15\n900,26\n850,25\n");
    write_file(directory / "words.csv", "20,15\n850,many\n");
    expect_refusal("--boiling-curve --conductivity-table falling.csv --table-out t.csv probe.txt curve.csv",
                   "falling.csv: line 4: the temperatures do not increase");
    expect_refusal("--boiling-curve --specific-heat-table words.csv probe.txt curve.csv",
                   "words.csv: line 2: the value is not a number");
    expect_refusal("--boiling-curve --specific-heat-table absent.csv probe.txt curve.csv",
                   "absent.csv: No such file or directory");
    expect_refusal("--boiling-curve --nodes 2 probe.txt curve.csv",
                   "--nodes needs a whole number from 3 to 40, not \"2\"");
    expect_refusal("--boiling-curve -o fitted.txt probe.txt curve.csv",
                   "-o rewrites line 4, which --boiling-curve does not use; --table-out writes the fitted table");
    expect_refusal("--boiling-curve --table-out curve.csv probe.txt curve.csv",
                   "curve.csv: is the curve file curve.csv; an output never replaces an input");
    // Three points per node at the least.
    write_file(directory / "short.csv", "1,840\n2,830\n3,820\n4,810\n5,800\n6,790\n");
    expect_refusal("--boiling-curve --nodes 3 probe.txt short.csv",
                   "short.csv: 6 measured points are too few for 3 nodes; at least 9 are needed");
}

}  // namespace
