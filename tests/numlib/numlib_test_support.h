// Helpers for the numerical library's tests.
//
// Library failures end the work, and the program then ends the process, so
// they are checked in death tests: the child runs the code as the program's
// entry does (as_program), sends standard output into the stream the death
// test matches, and ends; the bytes are then compared exactly.  Children also
// write marker records to show how far they got and what state they saw.
#pragma once

#include "numlib/error_state.h"
#include "numlib/numlib.h"
#include "support/crlf_records.h"
#include "textio/file_channel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace numlib_test {

using ::testing::Eq;
using ::testing::ExitedWithCode;

class NumlibDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// In a death-test child: from here on standard output is what gets matched.
inline void check_standard_output() {
    std::fflush(stdout);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
}

inline void write_marker(std::string_view text) { textio::write_record(textio::unit_channel(6), text); }

// The exit status of a stop of the library, told apart from a child that
// reached its end (end_child, status 0).
inline constexpr int library_stop = static_cast<int>(numlib::library_stop_status);

// Runs `work` as the program's entry does: a Stop thrown by the library or
// the text layer ends the process with its status and every unit written
// out and closed.
template <typename Work>
void as_program(Work work) {
    try {
        work();
    } catch (const textio::Stop& stop) {
        textio::end_process(stop.status);
    }
}

// Marks how far the child got and ends it with status 0.
[[noreturn]] inline void end_child(std::string_view marker) {
    write_marker(marker);
    textio::stop_program(0);
}

inline std::string pending_message() {
    const numlib::detail::ErrorState& state = numlib::detail::error_state();
    return std::string(state.message_text.data(), static_cast<std::size_t>(state.message_length));
}

}  // namespace numlib_test

// EXPECT_EXIT for a statement run as the program's entry runs its work.
#define EXPECT_PROGRAM_EXIT(statement, code, matcher)                                                                  \
    EXPECT_EXIT(::numlib_test::as_program([&] { statement; }), code, matcher)
