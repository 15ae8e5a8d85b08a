// temp1d --csv run end to end: the profile's rows agree with the records of
// the result file (which stays byte for byte what a run without the option
// writes), its numbers are shortest round-trip texts, the radii are
// interpolated between nodes, --every keeps the right steps, and targets
// that would overwrite an input, the result file or a device are refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_contents.h"
#include "support/parameter_texts.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "textio/field_editing.h"

namespace fs = std::filesystem;

namespace {

struct Csv {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;  // the texts of the numbers
};

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(line);
    std::string part;
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

Csv parse_csv(const std::string& text) {
    Csv csv;
    EXPECT_TRUE(text.empty() || text.back() == '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos) << "the profile's lines end with a line feed alone";
    const std::vector<std::string> lines = split(text, '\n');
    if (lines.empty()) return csv;
    csv.header = split(lines[0], ',');
    for (std::size_t i = 1; i < lines.size(); ++i) csv.rows.push_back(split(lines[i], ','));
    return csv;
}

double number_of(const std::string& text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == text.data() + text.size()) << text;
    return value;
}

std::string shortest(double value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string field_12_2(double value) {
    char field[12];
    textio::format_fixed(value, 12, 2, field);
    return std::string(field, 12);
}

// The four 12.2 fields of each data record of a result file.
std::vector<std::array<std::string, 4>> records_of(const std::string& result) {
    std::vector<std::array<std::string, 4>> records;
    const std::vector<std::string> lines = split(result, '\n');
    for (std::size_t i = 2; i + 2 < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::array<std::string, 4> fields;
        for (std::size_t k = 0; k < 4; ++k) fields[k] = line.substr(2 + k * 13, 12);
        records.push_back(fields);
    }
    return records;
}

class CsvProfile : public ScratchFolder {
protected:
    // Runs in `folder` without and with the option (the same parameters in
    // two folders) and checks that the result files are the same bytes.
    std::string profile_of(const std::string& parameters, const std::string& options, std::string& result) {
        const fs::path plain = directory / "plain";
        const fs::path with = directory / "with";
        fs::create_directories(plain);
        fs::create_directories(with);
        write_file(plain / "DataInpTemp1d.txt", parameters);
        write_file(with / "DataInpTemp1d.txt", parameters);
        const ProgramRun without_run = run_program_with(plain, "-q");
        const ProgramRun with_run = run_program_with(with, "-q --csv profile.csv " + options);
        EXPECT_EQ(with_run.status, without_run.status) << with_run.standard_error;
        EXPECT_EQ(with_run.standard_error, without_run.standard_error);
        result = read_file(with / "temperat.txt").value_or("");
        EXPECT_EQ(result, read_file(plain / "temperat.txt").value_or("missing")) << "the result file changed";
        const std::string csv = read_file(with / "profile.csv").value_or("");
        fs::remove_all(plain);
        fs::remove_all(with);
        return csv;
    }
};

TEST_F(CsvProfile, RowsAgreeWithTheRecordsOfTheUnchangedResultFile) {
    // Parameters of the project's reference runs, among them one whose
    // values fall on ties of the two-decimal fields.
    std::vector<std::string> parameter_texts{plain_parameters};
    for (const char* name : {"ties", "worked-example", "tie-time", "negative-zero"}) {
        const auto text = read_file(fs::path(TEMP1D_SOURCE_DIR) / "tests/data/golden" / name / "DataInpTemp1d.txt");
        ASSERT_TRUE(text.has_value()) << name;
        parameter_texts.push_back(*text);
    }
    for (const std::string& parameters : parameter_texts) {
        SCOPED_TRACE(parameters);
        std::string result;
        const Csv csv = parse_csv(profile_of(parameters, "", result));
        ASSERT_EQ(csv.header, (std::vector<std::string>{"time", "T_r0", "T_r0.5", "T_r1", "dT"}));
        const auto records = records_of(result);
        ASSERT_FALSE(records.empty());
        ASSERT_EQ(csv.rows.size(), records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto& row = csv.rows[i];
            ASSERT_EQ(row.size(), 5u);
            for (const std::string& text : row) EXPECT_EQ(shortest(number_of(text)), text) << "not the shortest text";
            // The centre, the surface and dT are the record's own values;
            // the time is the end of the step, the next record's start.
            EXPECT_EQ(field_12_2(number_of(row[1])), records[i][1]) << "row " << i;
            EXPECT_EQ(field_12_2(number_of(row[3])), records[i][2]) << "row " << i;
            EXPECT_EQ(field_12_2(number_of(row[4])), records[i][3]) << "row " << i;
            if (i + 1 < records.size()) {
                EXPECT_EQ(field_12_2(number_of(row[0])), records[i + 1][0]) << "row " << i;
            }
            if (i > 0) {
                EXPECT_GT(number_of(row[0]), number_of(csv.rows[i - 1][0]));
            }
        }
    }
}

TEST_F(CsvProfile, RowsFollowTheTableModeToo) {
    write_file(param(), plain_parameters);
    write_file(directory / "h.csv", "20,6000\n490,6000\n510,350\n900,350\n");
    const ProgramRun run = run_program_with(directory, "-q --coefficient-table h.csv --csv profile.csv");
    ASSERT_EQ(run.status, 0) << run.standard_error;
    const auto records = records_of(read_file(result()).value_or(""));
    const Csv csv = parse_csv(read_file(directory / "profile.csv").value_or(""));
    ASSERT_FALSE(records.empty());
    ASSERT_EQ(csv.rows.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(field_12_2(number_of(csv.rows[i][1])), records[i][1]) << "row " << i;
        EXPECT_EQ(field_12_2(number_of(csv.rows[i][3])), records[i][2]) << "row " << i;
    }
    // The table changed the run: the rows are not those of the plain run.
    fs::create_directories(directory / "plain");
    write_file(directory / "plain" / "DataInpTemp1d.txt", plain_parameters);
    ASSERT_EQ(run_program_with(directory / "plain", "-q").status, 0);
    EXPECT_NE(records, records_of(read_file(directory / "plain" / "temperat.txt").value_or("")));
}

TEST_F(CsvProfile, RadiiAreInterpolatedBetweenNodesAndEveryKeepsTheLastStep) {
    std::string result;
    // 0.01 lies half-way between the centre node and the next one (0.02);
    // 0.5 and 1 are nodes.
    const Csv all = parse_csv(profile_of(plain_parameters, "--radii=0.01,0,0.02,1,0.5", result));
    ASSERT_EQ(all.header, (std::vector<std::string>{"time", "T_r0.01", "T_r0", "T_r0.02", "T_r1", "T_r0.5", "dT"}));
    const std::size_t steps = records_of(result).size();
    ASSERT_EQ(all.rows.size(), steps);
    ASSERT_GT(steps, 20u);
    bool some_gradient = false;
    for (const auto& row : all.rows) {
        const double half = number_of(row[1]), centre = number_of(row[2]), next = number_of(row[3]);
        EXPECT_NEAR(half, (centre + next) / 2, 1e-9 * std::fabs(centre)) << row[0];
        some_gradient = some_gradient || std::fabs(centre - next) > 1e-3;
    }
    EXPECT_TRUE(some_gradient) << "the test needs a temperature gradient near the centre";

    const Csv sparse = parse_csv(profile_of(plain_parameters, "--radii 0.01,0,0.02,1,0.5 --every 7", result));
    std::vector<std::vector<std::string>> expected;
    for (std::size_t step = 7; step <= steps; step += 7) expected.push_back(all.rows[step - 1]);
    if (steps % 7 != 0) expected.push_back(all.rows.back());
    EXPECT_EQ(sparse.rows, expected);
    EXPECT_EQ(sparse.header, all.header);
}

TEST_F(CsvProfile, StandardOutputAndAnotherFolder) {
    std::string result;
    const std::string in_file = profile_of(plain_parameters, "--every 5", result);
    const fs::path sub = directory / "case";
    fs::create_directories(sub);
    write_file(sub / "DataInpTemp1d.txt", plain_parameters);
    const ProgramRun to_stdout = run_program_with(directory, "-C case -q --csv - --every 5");
    EXPECT_EQ(to_stdout.status, 0) << to_stdout.standard_error;
    EXPECT_EQ(to_stdout.standard_output, in_file);
    EXPECT_EQ(read_file(sub / "temperat.txt"), result);
    // A relative name is taken in the folder of -C, like the run's files.
    const ProgramRun to_file = run_program_with(directory, "-C case -q --csv=p.csv --every=5");
    EXPECT_EQ(to_file.status, 0) << to_file.standard_error;
    EXPECT_EQ(read_file(sub / "p.csv"), in_file);
}

TEST_F(CsvProfile, TargetsThatAreInputsResultsOrDevicesAreRefusedBeforeAnythingIsWritten) {
    write_file(param(), plain_parameters);
    fs::create_directory(directory / "folder");
    fs::create_symlink("DataInpTemp1d.txt", directory / "link-to-parameters");
    ASSERT_EQ(::mkfifo((directory / "fifo").c_str(), 0666), 0);
    struct Case {
        std::string target;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"DataInpTemp1d.txt", "that is the parameter file"},
        {"./temperat.txt", "that is the result file"},
        {"folder/../temperat.txt", "that is the result file"},
        {"link-to-parameters", "that is the parameter file (a link)"},
        {"folder", "exists and is not a regular file"},
        {"fifo", "exists and is not a regular file"},
        {"/dev/null", "exists and is not a regular file"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = run_program_with(directory, "--csv " + c.target);
        EXPECT_EQ(run.status, 2) << c.target;
        EXPECT_EQ(run.standard_error, "temp1d: --csv " + c.target + ": " + c.reason + "; nothing was written\r\n");
        EXPECT_EQ(read_file(param()), plain_parameters);
        EXPECT_FALSE(fs::exists(result())) << c.target;
    }
    // A hard link to an existing result file.
    ASSERT_EQ(run_program_with(directory, "-q").status, 0);
    const auto before = read_file(result());
    fs::create_hard_link(result(), directory / "hard");
    const ProgramRun run = run_program_with(directory, "--csv hard");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.standard_error, "temp1d: --csv hard: that is the result file (a link); nothing was written\r\n");
    EXPECT_EQ(read_file(result()), before);
}

TEST_F(CsvProfile, BadProfileOptionsAreUsageErrors) {
    write_file(param(), plain_parameters);
    for (const std::string arguments :
         {"--radii 0,1", "--every 2", "--csv", "--csv ''", "--csv p.csv --radii", "--csv p.csv --radii 1.5",
          "--csv p.csv --radii -0.1", "--csv p.csv --radii 0,,1", "--csv p.csv --radii nan", "--csv p.csv --radii ''",
          "--csv p.csv --every 0", "--csv p.csv --every 1.5", "--csv p.csv --every -3", "--check --csv p.csv"}) {
        const ProgramRun run = run_program_with(directory, arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.standard_error.find("usage: temp1d"), std::string::npos) << arguments;
        EXPECT_EQ(directory_listing(directory), std::vector<std::string>{"DataInpTemp1d.txt"}) << arguments;
    }
}

}  // namespace
