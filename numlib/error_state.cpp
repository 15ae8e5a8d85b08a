// The error state's storage and its first-use initialisation.
#include "numlib/error_state.h"

#include <algorithm>

namespace numlib::detail {

// Thread storage: every field is zero until initialise_error_state runs.
thread_local ErrorState the_error_state{};

void initialise_error_state(ErrorState& state) {
    state.current_level = 1;
    state.max_level = stack_limit;

    const RoutineName blank_name = make_routine_name("");
    state.routine_name.fill(blank_name);
    state.routine_name[1] = make_routine_name("USER");

    state.error_type.fill(-1);
    state.error_code.fill(-1);
    state.is_user_level.fill(false);
    state.error_type[1] = 0;
    state.error_code[1] = 0;
    state.is_user_level[1] = true;

    // Indexed by ErrorType, from note (1) to fatal_immediate (7).
    //                  type:  -  1  2  3  4  5  6  7
    state.print_flag = {0, 0, 0, 1, 1, 1, 1, 1};
    state.stop_flag = {0, 0, 0, 0, 1, 1, 0, 1};
    state.warning_immediate_pending = 0;
    state.fatal_immediate_pending = 0;

    state.message_length = 0;
    clear_parameter_list(state);
    state.initialised = true;
}

RoutineName make_routine_name(std::string_view text) {
    RoutineName name;
    name.fill(' ');
    const std::size_t count = std::min(text.size(), name.size());
    std::copy_n(text.begin(), count, name.begin());
    return name;
}

}  // namespace numlib::detail
