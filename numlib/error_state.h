// The library's error state, one per thread: the routine-name stack with the
// error type and code recorded per level, the per-type print and stop
// settings, the pending message and the message-parameter list.
//
// Level arrays are indexed from 1 (entry 0 is unused) so that level numbers
// can be used as they are.  Texts are fixed-length and blank-padded; the
// message text and the parameter list are stored from index 0, and the
// positions kept alongside them (message_length, parameter_list_end) count
// from 1 as the library's routines describe them.
//
// Every field is zero until the first-use initialisation runs; it runs once
// per thread, from E1PSH, E1MES and the message-parameter setters.
#pragma once

#include <array>
#include <string_view>

#include "numlib/numlib.h"

namespace numlib::detail {

inline constexpr int routine_name_length = 32;
inline constexpr int level_count = 51;                    // levels 1..51; only 1..50 are reachable
inline constexpr int stack_limit = 50;                    // initial max_level
inline constexpr int error_type_count = fatal_immediate;  // types 1..7
inline constexpr int message_capacity = 1024;
inline constexpr int parameter_list_capacity = 300;

using RoutineName = std::array<char, routine_name_length>;

struct ErrorState {
    bool initialised;

    int current_level;
    int max_level;
    std::array<RoutineName, level_count + 1> routine_name;
    std::array<int, level_count + 1> error_type;  // 0 none, -1 empty level
    std::array<int, level_count + 1> error_code;
    std::array<bool, level_count + 1> is_user_level;

    std::array<int, error_type_count + 1> print_flag;  // indexed by error type 1..7
    std::array<int, error_type_count + 1> stop_flag;
    int warning_immediate_pending;
    int fatal_immediate_pending;

    std::array<char, message_capacity> message_text;
    int message_length;  // 0: no report pending

    std::array<char, parameter_list_capacity> parameter_list;
    int parameter_list_end;  // position of the last character used; 1: empty
};

// The instance of the calling thread (runs in concurrent threads keep apart);
// zero before the first-use initialisation.
extern thread_local ErrorState the_error_state;

inline ErrorState& error_state() { return the_error_state; }

// Sets every field to its initial value (level 1 "USER", empty stack, the
// default print and stop settings, no message, an empty parameter list).
void initialise_error_state(ErrorState& state);

// The instance, initialised on its first use.
inline ErrorState& initialised_error_state() {
    ErrorState& state = error_state();
    if (!state.initialised) {
        initialise_error_state(state);
    }
    return state;
}

// Empties the message-parameter list.
inline void clear_parameter_list(ErrorState& state) { state.parameter_list_end = 1; }

// `text` cut to 32 characters and padded with blanks.
RoutineName make_routine_name(std::string_view text);

// The pending-stop query of a pop: the stop setting of the immediate error
// types warning_immediate and fatal_immediate that E1MES flagged since the
// last query (fatal_immediate decides when both were flagged); clears the
// flags it reads.
int take_pending_stop(ErrorState& state);

}  // namespace numlib::detail
