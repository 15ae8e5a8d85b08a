// E1MES and the message parameters: recording of type and code, the entries
// of the parameter list, composition of the text, and the decimal reader.
#include "numlib_test_support.h"

#include "numlib/decimal_integer_reader.h"

#include <climits>

namespace {

using namespace numlib_test;
using numlib::detail::error_state;

// Records a NOTE (never printed) for a routine of its own and returns the
// composed text; leaves the stack and the message as it found them.
std::string composed(std::string_view message_template) {
    E1PSH("COMPOSE");
    E1MES(1, 1, message_template);
    const std::string text = pending_message();
    E1MES(0, 0, "");
    E1POP("COMPOSE");
    return text;
}

// The used part of the parameter list, which is emptied.
std::string taken_parameter_list() {
    numlib::detail::ErrorState& state = numlib::detail::initialised_error_state();
    const std::string used(state.parameter_list.data(), state.parameter_list_end > 1 ? state.parameter_list_end : 0);
    numlib::detail::clear_parameter_list(state);
    return used;
}

TEST(MessageParameters, EntriesFollowTheirLayout) {
    E1SETI(1, 0), E1SETI(1, -7), E1SETI(9, INT_MIN), E1SETI(0, 5), E1SETI(-1, 5), E1SETI(10, 5);
    EXPECT_EQ(taken_parameter_list(), "*I1*1%0*I1*2%-7*I9*11%-2147483648");
    E1SETL(1, "ab  "), E1SETL(-1, "ab  "), E1SETL(2, "    "), E1SETL(3, ""), E1SETL(-3, "");
    E1SETL(0, "x"), E1SETL(10, "x"), E1SETL(INT_MIN, "x");
    EXPECT_EQ(taken_parameter_list(), "*L1*2%ab*L1*4%ab  *L2*1% *L3*1% *L3*0%");
}

TEST(MessageParameters, ListHoldsThreeHundredCharacters) {
    E1SETL(1, std::string(300, 't'));       // cut to 255: ends at 263
    E1SETI(2, 12345);                       // 263 + 5 + 8 = 276 <= 300: ends at 274
    E1SETL(3, std::string(19, 'u'));        // 274 + 19 + 8 > 300: dropped
    E1SETL(4, "u" + std::string(18, ' '));  // judged before its blanks go
    E1SETL(3, std::string(18, 'u'));        // 274 + 18 + 8 = 300: ends at 299
    EXPECT_EQ(taken_parameter_list(), "*L1*255%" + std::string(255, 't') + "*I2*5%12345*L3*18%" + std::string(18, 'u'));
}

TEST(MessageComposition, SubstitutesParametersItFinds) {
    E1SETI(1, 0);
    EXPECT_EQ(composed("The number of equations must be positive while N = %(i1) is given."),
              ".  The number of equations must be positive while N = 0 is given.");
    E1SETI(1, 37);
    EXPECT_EQ(composed("Element %(i1) of the diagonal became exactly zero during execution.").size(), 67u);
    EXPECT_EQ(composed("x"), ".  x");
    E1SETL(1, "first"), E1SETI(2, -12), E1SETL(-3, "kept  "), E1SETI(2, 99);
    EXPECT_EQ(composed("[%(L1)] [%(I2)] [%(l3)] [%(L1)]"), ".  [first] [-12] [kept  ] [first]");
    EXPECT_EQ(composed("%(I2)"), ".  %(I2)");  // parameters serve one call
    E1SETI(1, 5), E1SETL(1, "text"), E1SETL(-2, "");
    EXPECT_EQ(composed("%(I0) %(X1) %(I3) %(L2) %(A1) %(I1 %(I1"), ".  %(I0) %(X1) %(I3) %(L2) %(A1) %(I1 %(I1");
    // A text value that looks like an entry is not taken for one.
    E1SETL(1, "*L2*3%abc"), E1SETL(2, "xyz");
    EXPECT_EQ(composed("%(L2) %(L1)"), ".  xyz *L2*3%abc");
}

TEST(MessageComposition, TextIsCutAtItsCapacity) {
    E1SETL(1, std::string(30, 'v')), E1SETI(2, 7);
    EXPECT_EQ(composed(std::string(1000, 'a') + "%(L1)%(I2)tail"),
              ".  " + std::string(1000, 'a') + std::string(21, 'v'));
    EXPECT_EQ(composed(std::string(1024, 'c')), ".  " + std::string(1021, 'c'));
    EXPECT_EQ(composed(std::string(2000, 'b')), ".  " + std::string(1021, 'b'));
}

TEST(MessageComposition, RecordsTypeAndCodeForTheCurrentLevel) {
    numlib::detail::ErrorState& state = numlib::detail::initialised_error_state();
    E1PSH("RECORD");
    const int level = state.current_level;
    const auto entry = [&] { return std::pair(state.error_type[level], state.error_code[level]); };
    E1MES(2, 8, "first");
    E1MES(-1, -1, "second");  // replaces only the text
    EXPECT_EQ(entry(), std::pair(2, 8));
    E1MES(1, 3, ""), E1MES(1, 4, " ");  // keep the pending text
    EXPECT_EQ(pending_message(), ".  second");
    EXPECT_EQ(entry(), std::pair(1, 4));
    E1MES(1, 0, "third");  // code 0 discards it
    EXPECT_EQ(state.message_length, 0);
    E1MES(1, 5, "fourth"), E1MES(0, -1, "fifth");  // and so does type 0
    EXPECT_EQ(state.message_length, 0);
    EXPECT_EQ(entry(), std::pair(0, 5));
    E1POP("RECORD");
}

void illegal_type_child(int type) {
    check_standard_output();
    if (type != 0) E1PSH("TEST");
    if (type < 0) E1MES(3, 4, "Pending warning.");
    if (type == 0)
        E1MES(5, 3, "Early failure.");  // before any push
    else
        E1MES(type, 9, "ignored");
    end_child("returned");
}

TEST_F(NumlibDeathTest, IllegalTypeIsReportedAndEndsTheRun) {
    // The report shows the type and code the level had before the call.
    EXPECT_PROGRAM_EXIT(illegal_type_child(8), ExitedWithCode(library_stop),
                        Eq(records({"", " *** UNKNOWN  ERROR 0 from TEST.  Error from E1MES.  Illegal error type",
                                    " ***          specified."})));
    EXPECT_PROGRAM_EXIT(illegal_type_child(-2), ExitedWithCode(library_stop),
                        Eq(records({"", " *** WARNING  ERROR 4 from TEST.  Error from E1MES.  Illegal error type",
                                    " ***          specified."})));
    // An error recorded before any push belongs to the user level.
    EXPECT_PROGRAM_EXIT(illegal_type_child(0), ExitedWithCode(0),
                        Eq(records({"", " *** TERMINAL ERROR 3 from USER.  Early failure.", "returned"})));
}

TEST(DecimalIntegerReader, ReadsSignedDecimalsAndTellsWhereTheyEnd) {
    const struct {
        std::string_view text;
        int value, status;
    } cases[] = {
        {"", 0, -1},           {"   ", 0, 1},   {"5", 5, 0},      {"0", 0, 0},         {"000", 0, 0},
        {"00%", 0, 3},         {"12%a", 12, 3}, {"255%", 255, 4}, {"  -0042", -42, 0}, {"+ 7", 7, 0},
        {"- 7x", -7, 4},       {"-x", 0, 2},    {"+", 0, 1},      {"x", 0, 1},         {"2147483647", 2147483647, 0},
        {"2147483648", 0, -2},
    };
    for (const auto& c : cases) {
        const numlib::detail::DecimalReading reading = numlib::detail::read_decimal_integer(c.text);
        EXPECT_EQ(std::pair(reading.value, reading.status), std::pair(c.value, c.status)) << '"' << c.text << '"';
    }
}

}  // namespace
