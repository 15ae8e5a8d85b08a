// The program's options run end to end in scratch folders: help, version and
// usage errors touch no file; --check reports without creating or changing
// a file; -C works in another folder; the progress line appears on a
// terminal only.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "program/command_line.h"
#include "program/parameter_check.h"
#include "program/progress.h"
#include "model/heat_model.h"
#include "model/parameter_fields.h"
#include "model/parameter_file.h"
#include "support/file_contents.h"
#include "support/parameter_sets.h"
#include "support/parameter_texts.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"

using namespace model;
using namespace program;

namespace fs = std::filesystem;

namespace {

struct FileState {
    std::optional<std::string> bytes;
    struct timespec modified {};
};

FileState state_of(const fs::path& path) {
    FileState state;
    state.bytes = read_file(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) state.modified = info.st_mtim;
    return state;
}

void expect_unchanged(const FileState& before, const fs::path& path) {
    const FileState after = state_of(path);
    EXPECT_EQ(after.bytes, before.bytes) << path;
    EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec) << path;
    EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec) << path;
}

class Options : public ScratchFolder {};

TEST_F(Options, HelpVersionAndUsageErrorsTouchNoFile) {
    struct Case {
        std::string arguments;
        int status;
        bool on_standard_output;
    };
    const std::vector<Case> cases = {
        {"--help", 0, true}, {"-h", 0, true},      {"--version", 0, true}, {"--bogus", 2, false},
        {"extra", 2, false}, {"--json", 2, false}, {"-C", 2, false},       {"--check extra", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ProgramRun run = run_program_with(directory, c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(directory_listing(directory).empty());
        if (c.on_standard_output) {
            EXPECT_FALSE(run.standard_output.empty());
            EXPECT_EQ(run.standard_error, "");
        } else {
            EXPECT_EQ(run.standard_output, "");
            // One usage line.
            EXPECT_EQ(std::count(run.standard_error.begin(), run.standard_error.end(), '\n'), 1);
            EXPECT_NE(run.standard_error.find("usage: temp1d"), std::string::npos);
            EXPECT_TRUE(run.standard_error.ends_with("\r\n")) << "a report line ends with CR LF";
        }
    }
    EXPECT_EQ(run_program_with(directory, "--version").standard_output, "temp1d " + std::string(TEMP1D_VERSION) + "\n");
    EXPECT_NE(run_program_with(directory, "--help").standard_output.find("--check"), std::string::npos);
}

TEST_F(Options, CommandLineIsParsed) {
    auto parse = [](std::vector<const char*> arguments) { return parse_command_line(arguments); };
    CommandLine c = parse({"--check", "--json", "-C", "runs/a", "--quiet"});
    EXPECT_EQ(c.action, ProgramAction::check);
    EXPECT_TRUE(c.json);
    EXPECT_TRUE(c.quiet);
    EXPECT_EQ(c.directory, "runs/a");
    EXPECT_EQ(parse({"--directory=x"}).directory, "x");
    EXPECT_EQ(parse({"-Cx"}).directory, "x");
    EXPECT_EQ(parse({"--check", "--help"}).action, ProgramAction::help);
    EXPECT_EQ(parse({}).action, ProgramAction::run);
    EXPECT_EQ(parse({"--directory="}).action, ProgramAction::usage_error);
    EXPECT_EQ(parse({"-"}).action, ProgramAction::usage_error);
    // "--" ends the options; temp1d takes no other argument.
    EXPECT_EQ(parse({"--"}).action, ProgramAction::run);
    EXPECT_EQ(parse({"--check", "--"}).action, ProgramAction::check);
    EXPECT_EQ(parse({"--", "--check"}).action, ProgramAction::usage_error);
    EXPECT_TRUE(parse({"-q"}).quiet);
    EXPECT_NE(std::string(help_text()).find("-q, --quiet"), std::string::npos);
}

TEST_F(Options, CheckReadsOnceAsARunDoesFromPipesAndHugeFiles) {
    // A named pipe: the values get their lines and columns, as from a file.
    const ProgramRun piped = run_binary(
        TEMP1D_BINARY, directory, "--check", false,
        "mkfifo DataInpTemp1d.txt && (printf '" +
            std::string("t\\n0\\n0.05\\n5000\\n850\\n20 20\\n7800\\n460\\n45\\n6 6\\n") + "' >DataInpTemp1d.txt &);");
    EXPECT_EQ(piped.status, 0) << piped.standard_error;
    EXPECT_NE(piped.standard_output.find("from \"0.05\" at line 3, column 1"), std::string::npos)
        << piped.standard_output;
    fs::remove(param());

    // A title line of 300 MiB (a sparse file) under a 200 MB limit of
    // address space: the check holds only a bounded part of the file, and
    // says where it cannot place a value.  (The sanitizers' shadow memory
    // needs far more address space than any limit that shows the point, so
    // their build runs without it.)
    const std::string limit = TEMP1D_STATIC_BINARY ? "ulimit -v 200000;" : "";
    const ProgramRun huge = run_binary(
        TEMP1D_BINARY, directory, "--check", false,
        "truncate -s 300M DataInpTemp1d.txt && printf '\\n0\\n0.05\\n5000\\n850\\n20 20\\n7800\\n460\\n45\\n6 6\\n' "
        ">>DataInpTemp1d.txt && " +
            limit);
    EXPECT_EQ(huge.status, 0) << huge.standard_error;
    EXPECT_NE(huge.standard_output.find("0.05 m"), std::string::npos) << huge.standard_output;
    EXPECT_NE(huge.standard_output.find("beyond the first 1024 KiB of the file"), std::string::npos);
    fs::remove(param());
}

TEST_F(Options, CheckShowsTheTablesAndWarnsWhereTheRunLeavesThem) {
    write_file(param(), plain_parameters);  // from 850 C into media at 20 C
    write_file(directory / "h.csv", "T,h\n100,6000\n500,6000\n520,350\n800,350\n");
    write_file(directory / "k.csv", "0,15\n1000,26\n");
    const ProgramRun text = run_program_with(directory, "--check --coefficient-table h.csv --conductivity-table k.csv");
    EXPECT_EQ(text.status, 1) << text.standard_output;
    EXPECT_NE(text.standard_output.find("surface coefficient from h.csv (--coefficient-table): 4 rows, 100 to 800 C, "
                                        "350 to 6000 W/(m2 K); 350 W/(m2 K) at the initial temperature"),
              std::string::npos)
        << text.standard_output;
    EXPECT_NE(text.standard_output.find("the run's temperatures (20 to 850 C) leave the rows of h.csv"),
              std::string::npos);
    EXPECT_EQ(text.standard_output.find("leave the rows of k.csv"), std::string::npos) << "k.csv covers the run";

    const ProgramRun json = run_program_with(directory, "--check --json --coefficient-table h.csv");
    write_file(directory / "report.json", json.standard_output);
    const std::string script = "import json,sys\n"
                               "d=json.load(open(sys.argv[1]))\n"
                               "t=d['tables'][0]\n"
                               "assert t['option']=='--coefficient-table' and t['rows']==4, t\n"
                               "assert t['temperature_range']==[100,800] and t['value_range']==[350,6000], t\n"
                               "assert [w['code'] for w in d['warnings']]==['table_range'], d['warnings']\n"
                               "assert d['status']==1\n";
    write_file(directory / "check.py", script);
    EXPECT_EQ(std::system(
                  ("python3 '" + (directory / "check.py").string() + "' '" + (directory / "report.json").string() + "'")
                      .c_str()),
              0)
        << json.standard_output;

    // A bad table ends the check as it ends a run.
    write_file(directory / "bad.csv", "20,1\n");
    const ProgramRun bad = run_program_with(directory, "--check --specific-heat-table bad.csv");
    EXPECT_EQ(bad.status, 7);
    EXPECT_EQ(bad.standard_error, "temp1d: bad.csv: fewer than two rows\r\n");
    EXPECT_EQ(bad.standard_output, "");
}

TEST_F(Options, CheckShowsTheOneEffectiveCoefficientForAHollowBar) {
    // The hollow example: 2 * 800 * 0.06 / (0.06 - 0.01) = 1920, the value
    // the fit and the user guide give as well.
    fs::copy_file(fs::path(TEMP1D_SOURCE_DIR) / "examples/hollow-section/DataInpTemp1d.txt", param());
    const ProgramRun json = run_program_with(directory, "--check --json");
    EXPECT_NE(json.standard_output.find("\"effective_heat_transfer_coefficient\": 1920"), std::string::npos)
        << json.standard_output;
    ParameterSet hollow;
    hollow.inner_radius = 0.01;
    hollow.outer_radius = 0.06;
    EXPECT_NEAR(effective_coefficient(hollow, 800.0), 1920.0, 1e-9);
    hollow.inner_radius = 0.0;
    EXPECT_EQ(effective_coefficient(hollow, 800.0), 1600.0);
}

TEST_F(Options, CheckChangesNoFileAndSaysWhatItFound) {
    const std::string trap = "q\n0\n0.05\n5000\n850\n20   temperature of the medium\n7800\n460\n45\n6 6\n";
    write_file(param(), trap);
    write_file(result(), "an older result\r\n");
    const FileState parameters_before = state_of(param());
    const FileState result_before = state_of(result());

    const ProgramRun warned = run_program_with(directory, "--check");
    EXPECT_EQ(warned.status, 1);
    EXPECT_NE(warned.standard_output.find("warning: line 6, column 6: medium temperature, phase 2"), std::string::npos)
        << warned.standard_output;
    EXPECT_EQ(warned.standard_error, "");
    expect_unchanged(parameters_before, param());
    expect_unchanged(result_before, result());

    const ProgramRun json = run_program_with(directory, "--check --json");
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.standard_output.find("\"code\": \"truth_word\", \"parameter\": \"ambient_temperature_2\", "
                                        "\"line\": 6, \"column\": 6"),
              std::string::npos)
        << json.standard_output;
    expect_unchanged(parameters_before, param());
    expect_unchanged(result_before, result());
    EXPECT_EQ(directory_listing(directory), (std::vector<std::string>{"DataInpTemp1d.txt", "temperat.txt"}));

    write_file(param(), plain_parameters);
    const ProgramRun clean = run_program_with(directory, "--check");
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.standard_output.find("warning:"), std::string::npos);
    expect_unchanged(result_before, result());
}

TEST_F(Options, CheckFailsAsARunWouldButCreatesNoFile) {
    // A missing file is not created.
    const ProgramRun missing = run_program_with(directory, "--check");
    EXPECT_EQ(missing.status, 29);
    EXPECT_EQ(missing.standard_error, failure_report_line(29, "file not found", 217, param()));
    EXPECT_TRUE(directory_listing(directory).empty());

    // A malformed or short file ends with the run's own report and status;
    // the explanation goes to standard output.
    for (const std::string& file : {std::string("q\n0\nabc\n"), std::string("q\n0\n0.05\n")}) {
        write_file(param(), file);
        const ProgramRun check = run_program_with(directory, "--check");
        const ProgramRun run = run_program(directory);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(check.status, run.status);
        EXPECT_EQ(check.standard_error, run.standard_error);
        EXPECT_NE(check.standard_output.find("Reading stopped at line 3"), std::string::npos) << check.standard_output;
        EXPECT_EQ(directory_listing(directory), std::vector<std::string>{"DataInpTemp1d.txt"});
        fs::remove(result());
    }
}

// The mistakes of the first files a new user writes: the check keeps the
// run's report and status and says, as text and as JSON, which value was
// being read, where reading stopped, why, and what was read before.
TEST_F(Options, CheckExplainsEveryReadFailure) {
    struct Case {
        std::string label;
        std::string file;
        std::string parameter;  // "None": the title line
        int line;
        int column;
        std::string token;
        std::string reason;
        std::string cause;  // "" when none is expected
    };
    const std::vector<Case> cases = {
        {"density left out", "q\n0\n0.05\n5000\n850\n20 20\n460\n45\n6 6\n", "first_phase_duration", 9, 4, "",
         "a line seems to be missing", ""},
        {"letter O", "q\n0\n0.05\n5000\n850\n20 20\n7800\n460\n3O\n6 6\n", "conductivity", 9, 1, "3O", "not a number",
         "letter_in_number"},
        {"one value where two are read", "q\n0\n0.05\n5000\n850\n60 oil temperature\n7800\n460\n45\n6 6\n",
         "ambient_temperature_2", 6, 4, "oil", "not a number", "few_values"},
        {"no title line", "0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", "conductivity", 9, 4, "",
         "a line seems to be missing", "no_title_line"},
        {"no title line, with a byte order mark",
         "\xEF\xBB\xBF"
         "0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n",
         "conductivity", 9, 4, "", "a line seems to be missing", "no_title_line"},
        {"UTF-16",
         std::string("\xFF\xFEq\0\n\0"
                     "0\0\n\0",
                     10),
         "inner_radius", 2, 1, "?0?", "not a number", "utf16"},
        {"empty", "", "None", 1, 1, "", "the file ended", ""},
    };
    const std::string script =
        "import json,sys\n"
        "d=json.load(open(sys.argv[1]))\n"
        "assert set(d)=={'program','parameter_file','parameters','warnings','failure','status'},d.keys()\n"
        "f=d['failure']\n"
        "assert set(f)=={'number','parameter','line','column','token','reason','message','causes'},f\n"
        "assert d['status']==f['number']==int(sys.argv[2]),(d['status'],f['number'])\n"
        "assert str(f['parameter'])==sys.argv[3],f\n"
        "assert (f['line'],f['column'])==(int(sys.argv[4]),int(sys.argv[5])),f\n"
        "assert f['token']==sys.argv[6] and f['reason']==sys.argv[7],f\n"
        "codes=[c['code'] for c in f['causes']]\n"
        "assert sys.argv[8]=='' or sys.argv[8] in codes,codes\n"
        "names=[p['name'] for p in d['parameters']]\n"
        "assert names==sys.argv[9].split(),names\n"
        "for w in d['warnings']: assert w['parameter'] in names,w\n";
    write_file(directory / "failure.py", script);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        write_file(param(), c.file);
        const ProgramRun run = run_program(directory);
        fs::remove(result());
        ASSERT_GT(run.status, 3);
        const ProgramRun text = run_program_with(directory, "--check");
        EXPECT_EQ(text.status, run.status);
        EXPECT_EQ(text.standard_error, run.standard_error);
        const std::string place = "Reading stopped at line " + std::to_string(c.line) + ", column " +
                                  std::to_string(c.column) + (c.token.empty() ? "" : ", at \"" + c.token + "\"") +
                                  ": " + c.reason + ".";
        EXPECT_NE(text.standard_output.find(place), std::string::npos) << text.standard_output;

        const ProgramRun json = run_program_with(directory, "--check --json");
        EXPECT_EQ(json.status, run.status);
        EXPECT_EQ(json.standard_error, run.standard_error);
        write_file(directory / "report.json", json.standard_output);
        std::string read_before;
        for (const ParameterField& field : parameter_fields) {
            if (field.name == c.parameter) break;
            if (c.parameter != "None") read_before += std::string(field.name) + " ";
        }
        const std::string command = "python3 '" + (directory / "failure.py").string() + "' '" +
                                    (directory / "report.json").string() + "' " + std::to_string(run.status) + " '" +
                                    c.parameter + "' " + std::to_string(c.line) + " " + std::to_string(c.column) +
                                    " '" + c.token + "' '" + c.reason + "' '" + c.cause + "' '" + read_before + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << json.standard_output;
        EXPECT_EQ(directory_listing(directory),
                  (std::vector<std::string>{"DataInpTemp1d.txt", "failure.py", "report.json"}));
    }
}

// New warnings carry the parameter they concern; a step count beyond 32 bits
// is many_steps, and the run indeed stops at once with status 3.
TEST_F(Options, CheckWarnsAboutUnitsBoresAndStepCountsBeyond32Bits) {
    write_file(param(), "q\n0.002\n0.05\n5000\n850\n20 20\n7.85\n0.46\n45\n600 600\n");
    const ProgramRun json = run_program_with(directory, "--check --json");
    EXPECT_EQ(json.status, 1);
    write_file(directory / "report.json", json.standard_output);
    const std::string script =
        "import json,sys\n"
        "d=json.load(open(sys.argv[1]))\n"
        "got=sorted([(w['code'],w['parameter']) for w in d['warnings']],key=str)\n"
        "want=sorted([('bore','inner_radius'),('implausible','density'),('implausible','specific_heat'),"
        "('many_steps',None)],key=str)\n"
        "assert got==want,got\n";
    write_file(directory / "warnings.py", script);
    const std::string command =
        "python3 '" + (directory / "warnings.py").string() + "' '" + (directory / "report.json").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << json.standard_output;
    fs::remove(directory / "warnings.py");

    write_file(param(), "q\n0\n0.05\n5000\n850\n20 20\n7.85\n0.46\n45\n600 600\n");
    const ProgramRun text = run_program_with(directory, "--check");
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.standard_output.find("the parameters ask for 7477153144 time steps"), std::string::npos)
        << text.standard_output;
    EXPECT_EQ(text.standard_output.find("no time step (step count"), std::string::npos);
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 3) << run.standard_error;
}

// A JSON number of the report, read back.
double json_value(const std::string& json, const std::string& key) {
    const std::string marker = "\"" + key + "\": ";
    const std::size_t at = json.find(marker);
    EXPECT_NE(at, std::string::npos) << key;
    if (at == std::string::npos) return std::nan("");
    const char* begin = json.data() + at + marker.size();
    double value = 0.0;
    std::from_chars(begin, json.data() + json.size(), value);
    return value;
}

TEST_F(Options, CheckJsonParsesAndHoldsTheRunsValues) {
    write_file(param(), "q\n0\n0.0437\n1234.5\n850\n20 1e-3\n7800\n460\n45.25\n6.1 6.3\n");
    const ProgramRun json = run_program_with(directory, "--check --json");
    ASSERT_EQ(json.status, 0) << json.standard_output;
    write_file(directory / "report.json", json.standard_output);
    // Every key of the report (docs/check-json.md) is there, and the
    // document is JSON.
    const std::string script =
        "import json,sys\n"
        "d=json.load(open(sys.argv[1]))\n"
        "assert set(d)=={'program','parameter_file','parameters','warnings','run','status'},d.keys()\n"
        "assert len(d['parameters'])==11\n"
        "for p in d['parameters']: assert set(p)=={'name','meaning','unit','value','own_line','source','line',"
        "'column','token'},p\n"
        "assert set(d['run'])=={'diffusivity','element_length','reference_step','step_count','time_step',"
        "'end_time','switch_step','switch_time','effective_heat_transfer_coefficient','biot_number',"
        "'result_file_bytes','estimated_seconds'}\n";
    write_file(directory / "keys.py", script);
    const std::string command =
        "python3 '" + (directory / "keys.py").string() + "' '" + (directory / "report.json").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);

    // The values are the bits the run uses.
    const std::string parameter_text = *read_file(param());
    textio::FreeFormReader reader = textio::make_memory_reader(parameter_text);
    ParameterSet p;
    ASSERT_EQ(read_parameter_set(reader, p), textio::ReadOutcome::ok);
    const ModelSetup setup = derive_model_setup(p);
    EXPECT_EQ(json_value(json.standard_output, "time_step"), setup.time_step);
    EXPECT_EQ(json_value(json.standard_output, "diffusivity"), setup.diffusivity);
    EXPECT_EQ(json_value(json.standard_output, "reference_step"), setup.reference_step);
    EXPECT_EQ(json_value(json.standard_output, "element_length"), setup.element_length);
    EXPECT_EQ(json_value(json.standard_output, "step_count"), setup.step_count);
    EXPECT_EQ(json_value(json.standard_output, "end_time"), setup.total_time);
    EXPECT_EQ(json_value(json.standard_output, "effective_heat_transfer_coefficient"),
              p.heat_transfer_coefficient * 2.0);

    // And the run's first record starts at time 0 with that step, and the
    // file has the size the report gave.
    ASSERT_EQ(run_program(directory).status, 0);
    const std::string result_text = *read_file(result());
    EXPECT_EQ(static_cast<double>(result_text.size()), json_value(json.standard_output, "result_file_bytes"));
}

TEST_F(Options, DirectoryOptionRunsInAnotherFolder) {
    const fs::path run_folder = directory / "case a";
    fs::create_directories(run_folder);
    write_file(run_folder / "DataInpTemp1d.txt", plain_parameters);
    const ProgramRun run = run_program_with(directory, "-C 'case a'");
    EXPECT_EQ(run.status, 0);
    const ProgramRun plain = run_program(run_folder);
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(directory_listing(directory), std::vector<std::string>{"case a"});
    const ProgramRun missing = run_program_with(directory, "--directory=nowhere");
    EXPECT_EQ(missing.status, 29);
    EXPECT_EQ(missing.standard_error,
              failure_report_line(29, "file not found", 217, directory / "nowhere" / "DataInpTemp1d.txt"));
    EXPECT_FALSE(fs::exists(directory / "nowhere"));
    // A folder that cannot be entered is reported as an open of the
    // parameter file in it: a file in the way is a missing file, a name
    // beyond the system's limit a file name error.
    write_file(directory / "plain", "not a folder\n");
    const ProgramRun not_folder = run_program_with(directory, "-C plain");
    EXPECT_EQ(not_folder.status, 29);
    EXPECT_EQ(not_folder.standard_error,
              failure_report_line(29, "file not found", 217, directory / "plain" / "DataInpTemp1d.txt"));
    const std::string long_name(300, 'n');
    const ProgramRun too_long = run_program_with(directory, "-C " + long_name);
    EXPECT_EQ(too_long.status, 43);
    EXPECT_EQ(too_long.standard_error, failure_report_line(43, "file name specification error", 217,
                                                           directory / long_name / "DataInpTemp1d.txt"));
}

// A run that the program itself estimates at about six seconds, three
// times the two seconds from which it shows its progress: its length is
// worked out from the step time measured here, by the program's own
// routine, so that it holds on a fast machine and in a slow sanitizer build.
std::string long_run() {
    const double seconds_per_step = measure_seconds_per_step();
    ParameterSet wire = quench({.outer_radius = 0.002,
                                .coefficient = 50.0,
                                .initial_temperature = 20.0,
                                .medium_temperature = 900.0,
                                .density = 7850.0,
                                .run_length = 1.0});
    const double steps_per_second_of_run = derive_model_setup(wire).step_count;
    const double run_length =
        std::ceil(6.0 / estimated_run_seconds({.step_count = 1}, seconds_per_step) / steps_per_second_of_run);
    return "wire\n0\n0.002\n50\n20\n900 20\n7850\n460\n45\n" + exact_number_text(run_length / 2.0) + " " +
           exact_number_text(run_length / 2.0) + "\n";
}

TEST_F(Options, ProgressShowsOnATerminalOnly) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script (util-linux) not found";
    write_file(param(), long_run());
    // Under a pseudo-terminal: the line appears and is erased at the end.
    const std::string terminal = "cd '" + directory.string() + "' && script -qec \"'" + std::string(TEMP1D_BINARY) +
                                 "'\" /dev/null > terminal.out";
    ASSERT_EQ(std::system(terminal.c_str()), 0);
    const std::string shown = *read_file(directory / "terminal.out");
    EXPECT_NE(shown.find("% "), std::string::npos) << shown.substr(0, 200);
    EXPECT_NE(shown.find("remaining"), std::string::npos);
    EXPECT_EQ(shown.back(), '\r');  // erased: blanks, then back to the start
    const std::string with_progress = *read_file(result());

    // Standard error to a file, and to a pipe: nothing.
    const ProgramRun to_file = run_program(directory);
    EXPECT_EQ(to_file.status, 0);
    EXPECT_EQ(to_file.standard_error, "");
    EXPECT_EQ(*read_file(result()), with_progress);
    const std::string piped =
        "cd '" + directory.string() + "' && '" + std::string(TEMP1D_BINARY) + "' 2>&1 | cat > piped.out";
    ASSERT_EQ(std::system(piped.c_str()), 0);
    EXPECT_EQ(*read_file(directory / "piped.out"), "");

    // --quiet on a terminal: nothing either.
    const std::string quiet = "cd '" + directory.string() + "' && script -qec \"'" + std::string(TEMP1D_BINARY) +
                              "' --quiet\" /dev/null > quiet.out";
    ASSERT_EQ(std::system(quiet.c_str()), 0);
    EXPECT_EQ(*read_file(directory / "quiet.out"), "");
    EXPECT_EQ(*read_file(result()), with_progress);
}

}  // namespace
