// The routine-name stack: pushes, pops, their faults, and what a pop does
// with the error recorded for the routine that returns.
#include "numlib_test_support.h"

namespace {

using namespace numlib_test;
using numlib::detail::error_state;

// "label: type=T code=C" for a level.
std::string level_entry(const char* label, int level) {
    return std::string(label) + ": type=" + std::to_string(error_state().error_type[level]) +
           " code=" + std::to_string(error_state().error_code[level]);
}

std::string traceback_row(const std::string& name, int type, int code, bool called_internally) {
    char row[100];
    std::snprintf(row, sizeof row, "     %-32s%6d      %6d%s", name.c_str(), type, code,
                  called_internally ? "    (Called internally)" : "");
    return row;
}

const std::vector<std::string> traceback_header = {
    "     Here is a traceback of subprogram calls in reverse order:",
    "     Routine name                    Error type  Error code",
    "     ------------                    ----------  ----------",
};

TEST(RoutineStack, PushesAndPopsInPairs) {
    numlib::detail::ErrorState& state = numlib::detail::initialised_error_state();
    ASSERT_EQ(state.current_level, 1);
    E1PSH("DLSLTR ");  // trailing blanks do not matter
    EXPECT_EQ(state.routine_name[2], numlib::detail::make_routine_name("DLSLTR"));
    E1PSH("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ");  // cut to 32
    EXPECT_EQ(std::string(state.routine_name[3].data(), 32), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    E1POP("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345        ");
    E1POP("DLSLTR");
    EXPECT_EQ(state.current_level, 1);
    EXPECT_EQ(state.error_type[2], 0);  // the popped level stays readable
    EXPECT_EQ(state.error_type[3], -1);

    for (int k = 2; k <= 50; ++k) E1PSH("NESTED");  // 49 routines above the user
    EXPECT_EQ(state.current_level, 50);
    for (int k = 2; k <= 50; ++k) E1POP("NESTED");
    EXPECT_EQ(state.current_level, 1);
}

void overflow_child() {
    check_standard_output();
    for (int k = 2; k <= 50; ++k) E1PSH("LEVEL" + std::to_string(k));
    E1PSH("ONE MORE");
    end_child("pushed");
}

TEST_F(NumlibDeathTest, FiftiethNestedPushEndsTheRunWithTraceback) {
    std::vector<std::string> lines = {"", " *** TERMINAL ERROR 1 from LEVEL50.  Error condition in E1PSH.  Push would",
                                      " ***          cause stack level to exceed 50. "};
    lines.insert(lines.end(), traceback_header.begin(), traceback_header.end());
    lines.push_back(traceback_row("LEVEL50", 5, 1, true));
    for (int k = 49; k >= 2; --k) lines.push_back(traceback_row("LEVEL" + std::to_string(k), 0, 0, k >= 3));
    lines.push_back(traceback_row("USER", 0, 0, false));
    EXPECT_PROGRAM_EXIT(overflow_child(), ExitedWithCode(library_stop), Eq(records(lines)));
}

void pop_child(const char* pushed, const char* popped) {
    check_standard_output();
    if (*pushed != '\0') E1PSH(pushed);
    E1POP(popped);
    end_child("popped");
}

TEST_F(NumlibDeathTest, PopOfAnotherNameOrOfTheEmptyStackEndsTheRun) {
    EXPECT_PROGRAM_EXIT(pop_child("DLSLTR", "dlsltr"), ExitedWithCode(library_stop),  // case matters
                        Eq(records({"", " *** TERMINAL ERROR 2 from DLSLTR.  Error condition in E1POP.  dlsltr does",
                                    " ***          not match the name DLSLTR in the stack."})));
    const char* long_name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ";
    EXPECT_PROGRAM_EXIT(pop_child(long_name, long_name), ExitedWithCode(library_stop),
                        Eq(records({"", " *** TERMINAL ERROR 2 from ABCDEFGHIJKLMNOPQRSTUVWXYZ012345.  Error condition",
                                    " ***          in E1POP.  ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ does not ",
                                    " ***          match the name ABCDEFGHIJKLMNOPQRSTUVWXYZ012345 in the stack."})));
    EXPECT_PROGRAM_EXIT(pop_child("", "XYZ"), ExitedWithCode(library_stop),
                        Eq(records({"", " *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from",
                                    " ***          XYZ because stack is empty."})));
}

// WORKER, called by the user, records an error of `type` and returns.
void level_two_child(int type) {
    check_standard_output();
    E1PSH("WORKER");
    E1MES(type, 5, "Something happened.");
    write_marker("recorded");
    E1POP("WORKER");
    end_child(level_entry("popped, level 1", 1));
}

TEST_F(NumlibDeathTest, PopActsOnTheErrorByType) {
    const auto report = [](const char* word) {
        return std::string(" *** ") + word + " ERROR 5 from WORKER.  Something happened.";
    };
    const struct {
        int type;
        std::vector<std::string> lines;
        bool stops;  // the pop ends the run
    } cases[] = {
        {1, {"recorded", "popped, level 1: type=0 code=0"}, false},  // a note is not passed up
        {2, {"recorded", "popped, level 1: type=2 code=5"}, false},
        {3, {"recorded", "", report("WARNING "), "popped, level 1: type=3 code=5"}, false},
        {4, {"recorded", "", report("FATAL   ")}, true},
        {5, {"", report("TERMINAL"), "recorded"}, true},
        {6, {"", report("WARNING "), "recorded", "popped, level 1: type=6 code=5"}, false},  // printed once
        {7, {"", report("FATAL   "), "recorded"}, true},
    };
    for (const auto& c : cases) {
        EXPECT_PROGRAM_EXIT(level_two_child(c.type), ExitedWithCode(c.stops ? library_stop : 0), Eq(records(c.lines)))
            << "type " << c.type;
    }
}

// OUTER calls INNER, which records an error of `type`; then OUTER records
// `outer_type` (if not 0), and both return.
void level_three_child(int type, int outer_type) {
    check_standard_output();
    E1PSH("OUTER");
    E1PSH("INNER");
    E1MES(type, 9, "Deep trouble.");
    E1POP("INNER");
    write_marker(level_entry("inner popped, level 2", 2));
    if (outer_type != 0) E1MES(outer_type, 2, "Second.");
    E1POP("OUTER");
    end_child(level_entry("outer popped, level 1", 1));
}

TEST_F(NumlibDeathTest, ErrorsBelowTheTopLevelWaitForTheUserLevel) {
    EXPECT_PROGRAM_EXIT(
        level_three_child(4, 0), ExitedWithCode(library_stop),
        Eq(records({"inner popped, level 2: type=4 code=9", "", " *** FATAL    ERROR 9 from OUTER.  Deep trouble."})));
    EXPECT_PROGRAM_EXIT(
        level_three_child(3, 0), ExitedWithCode(0),
        Eq(records({"inner popped, level 2: type=3 code=9", "", " *** WARNING  ERROR 9 from OUTER.  Deep trouble.",
                    "outer popped, level 1: type=3 code=9"})));

    // An immediate FATAL is printed at once, with a traceback, and ends the
    // run at the level-2 pop; it does so even when OUTER then records an
    // immediate WARNING of its own, since type 7's stop setting decides.
    std::vector<std::string> lines = {"", " *** FATAL    ERROR 9 from INNER.  Deep trouble."};
    lines.insert(lines.end(), traceback_header.begin(), traceback_header.end());
    lines.insert(lines.end(), {traceback_row("INNER", 7, 9, true), traceback_row("OUTER", 0, 0, false),
                               traceback_row("USER", 0, 0, false), "inner popped, level 2: type=7 code=9"});
    EXPECT_PROGRAM_EXIT(level_three_child(7, 0), ExitedWithCode(library_stop), Eq(records(lines)));
    lines.insert(lines.end(), {"", " *** WARNING  ERROR 2 from OUTER.  Second."});
    EXPECT_PROGRAM_EXIT(level_three_child(7, 6), ExitedWithCode(library_stop), Eq(records(lines)));
}

}  // namespace
