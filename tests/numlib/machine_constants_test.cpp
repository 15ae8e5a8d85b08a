// IMACH and UMACH: the constants, the unit table and the complaints about a
// bad index.
#include "numlib_test_support.h"

#include <climits>

namespace {

using namespace numlib_test;

TEST(MachineConstants, ConstantsAndUnits) {
    const int expected[] = {32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
    for (int index = 1; index <= 12; ++index) EXPECT_EQ(IMACH(index), expected[index - 1]) << index;

    int units[3];
    for (int slot = 1; slot <= 3; ++slot) UMACH(slot, units[slot - 1]);
    EXPECT_EQ(std::vector<int>(units, units + 3), (std::vector<int>{5, 6, 6}));
    int replacement = 77, unit = 0;
    UMACH(-1, replacement);
    UMACH(1, unit);
    EXPECT_EQ(unit, 77);
    UMACH(-1, units[0]);
}

void bad_index_child(bool imach, int index) {
    check_standard_output();
    int unit = 5;
    if (imach) {
        UMACH(-3, unit);  // IMACH writes on the output unit, not the message unit
        IMACH(index);
    } else {
        UMACH(index, unit);
    }
    end_child("returned");
}

TEST_F(NumlibDeathTest, BadIndexIsComplainedAboutAndEndsTheRun) {
    for (const auto& [index, field] : {std::pair(0, "     0"), std::pair(13, "    13"), std::pair(-12345, "-12345")}) {
        EXPECT_PROGRAM_EXIT(bad_index_child(true, index), ExitedWithCode(library_stop),
                            Eq(records({"", " *** TERMINAL ERROR 5 from IMACH.  The argument",
                                        " ***          must be between 1 and 12 inclusive.",
                                        " ***          N = " + std::string(field) + ".", ""})));
    }
    for (const auto& [index, field] : {std::pair(0, "     0"), std::pair(-4, "     4"), std::pair(INT_MIN, "******")}) {
        EXPECT_PROGRAM_EXIT(bad_index_child(false, index), ExitedWithCode(library_stop),
                            Eq(records({"", " *** TERMINAL ERROR 5 from UMACH.  The absolute",
                                        " ***          value of the index variable must be",
                                        " ***          1, 2, or 3.  IABS(N) = " + std::string(field) + ".", ""})));
    }
}

}  // namespace
