// The report printer: how the message text is broken into lines, the
// traceback, and the unit the reports go to.
#include "numlib_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace numlib_test;

// `name` at level 2 records a TERMINAL error with code 1, printed at once;
// with `pending` set, the text comes from an earlier NOTE.
void report_child(const std::string& message_template, const char* name = "ROUTINE", bool pending = false) {
    check_standard_output();
    E1PSH(name);
    if (pending) E1MES(1, 1, "Pending text.");
    E1MES(5, 1, message_template);
    end_child("recorded");
}

TEST_F(NumlibDeathTest, TextIsBrokenIntoLines) {
    // " 1 from ROUTINE" leaves 44 characters of the text (".  " and the
    // template) on the first line, continuation lines take 64.
    const std::string head = " *** TERMINAL ERROR 1 from ROUTINE.  ";
    const std::string more = " ***          ";
    const std::string y100(100, 'y'), y64(64, 'y'), y36(36, 'y'), c60(60, 'c'), z37(37, 'z');
    const struct {
        std::string message_template;
        std::vector<std::string> lines;
    } cases[] = {
        {"Exactly forty-one characters of text here", {head + "Exactly forty-one characters of text here"}},
        {"Exactly forty-one characters of text here.", {head + "Exactly forty-one characters of text", more + "here."}},
        // Words longer than a line are cut; nothing is lost.
        {"ab " + y100, {head + "ab", more + y64, more + y36}},
        {y100, {" *** TERMINAL ERROR 1 from ROUTINE. ", more + y64, more + y36}},
        // At most one blank is dropped after a plain break.
        {"The first sentence ends right at budget.  Next sentence starts here.",
         {head + "The first sentence ends right at budget.", more + "Next sentence starts here."}},
        {"The first sentence ends one before it.  Next sentence starts here.",
         {head + "The first sentence ends one before it. ", more + "Next sentence starts here."}},
        {"ab " + c60 + "      next words here", {head + "ab", more + c60 + "    ", more + " next words here"}},
        // "%/" forces a break and is not printed.
        {"First part%/Second part", {head + "First part", more + "Second part"}},
        {"A%/%/B", {head + "A", " *** ", more + "B"}},
        {"Tail%/", {head + "Tail", " *** "}},
        // ... on the first line only before position 44 of the text.
        {"a " + z37 + "%/rest of it", {head + "a " + z37, more + "rest of it"}},
        {"a " + z37 + "z%/rest of it", {head + "a", more + z37 + "z", more + "rest of it"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = {""};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.push_back("recorded");
        EXPECT_PROGRAM_EXIT(report_child(c.message_template), ExitedWithCode(0), Eq(records(lines)))
            << c.message_template;
    }
}

TEST_F(NumlibDeathTest, HeaderNamesTheRoutineUpToItsFirstBlank) {
    EXPECT_PROGRAM_EXIT(report_child("Text.", ""), ExitedWithCode(0),
                        Eq(records({"", " *** TERMINAL ERROR 1 from .  Text.", "recorded"})));
    EXPECT_PROGRAM_EXIT(report_child("Text.", "TWO WORDS"), ExitedWithCode(0),
                        Eq(records({"", " *** TERMINAL ERROR 1 from TWO.  Text.", "recorded"})));
    // A one-blank template prints the text still pending, if any.
    EXPECT_PROGRAM_EXIT(report_child(" ", "ROUTINE", true), ExitedWithCode(0),
                        Eq(records({"", " *** TERMINAL ERROR 1 from ROUTINE.  Pending text.", "recorded"})));
    EXPECT_PROGRAM_EXIT(report_child(" "), ExitedWithCode(0), Eq(records({"recorded"})));
}

void traceback_child() {
    check_standard_output();
    E1PSH("outer");
    E1PSH("eINNER");
    E1MES(5, 3, "Deep failure.");
    write_marker("recorded");
    E1POP("eINNER");
    end_child("popped");
}

TEST_F(NumlibDeathTest, ReportFromLevelThreeCarriesATraceback) {
    // A lower-case first letter before an upper-case second is raised.
    EXPECT_PROGRAM_EXIT(traceback_child(), ExitedWithCode(library_stop),
                        Eq(records({
                            "",
                            " *** TERMINAL ERROR 3 from EINNER.  Deep failure.",
                            "     Here is a traceback of subprogram calls in reverse order:",
                            "     Routine name                    Error type  Error code",
                            "     ------------                    ----------  ----------",
                            "     EINNER                               5           3    (Called internally)",
                            "     outer                                0           0",
                            "     USER                                 0           0",
                            "recorded",
                        })));
}

std::filesystem::path redirect_directory(pid_t test_process) {
    return std::filesystem::path(::testing::TempDir()) / ("numlib_redirect_" + std::to_string(test_process));
}

void redirected_report_child() {
    check_standard_output();
    const std::filesystem::path directory = redirect_directory(::getppid());  // the test process's
    std::filesystem::create_directories(directory);
    std::filesystem::current_path(directory);
    int unit = 41;
    textio::open_unit(unit, "messages.txt");
    UMACH(-3, unit);
    int message_unit = 0;
    UMACH(3, message_unit);
    write_marker("message unit " + std::to_string(message_unit));
    E1PSH("ROUTINE");
    E1MES(5, 1, "Sent elsewhere.");
    E1POP("ROUTINE");
}

TEST_F(NumlibDeathTest, ReportsGoToTheMessageUnit) {
    const std::filesystem::path directory = redirect_directory(::getpid());
    EXPECT_PROGRAM_EXIT(redirected_report_child(), ExitedWithCode(library_stop), Eq(records({"message unit 41"})));
    std::ifstream file(directory / "messages.txt", std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, records({"", " *** TERMINAL ERROR 1 from ROUTINE.  Sent elsewhere."}));
    std::filesystem::remove_all(directory);
}

}  // namespace
