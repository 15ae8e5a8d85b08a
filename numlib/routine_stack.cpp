// The routine-name stack: E1PSH and E1POP, and the decisions taken when a
// routine pops its name (pass the error up, print it, end the program).
#include "numlib/error_report.h"
#include "numlib/error_state.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

#include <algorithm>

namespace numlib::detail {

namespace {

// Names compare equal when the bytes they share are identical and the longer
// one has only blanks beyond that.
bool names_match(std::string_view name, const RoutineName& stored) {
    const std::string_view top(stored.data(), stored.size());
    const std::size_t common = std::min(name.size(), top.size());
    if (name.substr(0, common) != top.substr(0, common)) {
        return false;
    }
    const std::string_view excess = name.size() > common ? name.substr(common) : top.substr(common);
    return excess.find_first_not_of(' ') == std::string_view::npos;
}

// Acts on error `type` (1..7) recorded for `level`, the level being popped.
void act_on_popped_error(ErrorState& state, int level, int type) {
    if (type != note) {
        // Everything but a note is passed to the caller's level.
        state.error_type[level - 1] = type;
        state.error_code[level - 1] = state.error_code[level];
    }
    const bool called_from_user = state.is_user_level[level - 1];
    if (type <= fatal) {
        // note, alert, warning and fatal act at this pop, and only when the
        // routine was called by the user.
        if (state.print_flag[type] == 1 && called_from_user) {
            print_error_report();
        }
        if (state.stop_flag[type] == 1 && called_from_user) {
            textio::stop_program(library_stop_status);
        }
        return;
    }
    if (state.print_flag[type] == 1) {
        // Writes nothing when the report was printed as the error was recorded.
        print_error_report();
    }
    if (type == terminal) {
        if (state.stop_flag[terminal] == 1) {
            textio::stop_program(library_stop_status);
        }
    } else if (called_from_user && take_pending_stop(state) != 0) {
        textio::stop_program(library_stop_status);
    }
}

}  // namespace

int take_pending_stop(ErrorState& state) {
    int stop = 0;
    if (state.warning_immediate_pending > 0) {
        stop = state.stop_flag[warning_immediate];
        state.warning_immediate_pending = 0;
    }
    if (state.fatal_immediate_pending > 0) {
        stop = state.stop_flag[fatal_immediate];
        state.fatal_immediate_pending = 0;
    }
    return stop;
}

}  // namespace numlib::detail

namespace numlib {

using namespace detail;

void E1PSH(std::string_view name) {
    ErrorState& state = initialised_error_state();
    if (state.current_level >= state.max_level) {
        // Recorded against the routine that tried to push; TERMINAL errors
        // are printed as they are recorded.
        E1SETI(1, state.max_level);
        E1MES(terminal, 1, "Error condition in E1PSH.  Push would cause stack level to exceed %(I1). ");
        textio::stop_program(library_stop_status);
    }
    const int level = ++state.current_level;
    state.routine_name[level] = make_routine_name(name);
    state.error_type[level] = 0;
    state.error_code[level] = 0;
}

void E1POP(std::string_view name) {
    ErrorState& state = error_state();
    const int level = state.current_level;
    if (level <= 1) {
        // Pushed so that the report names the failing operation.
        E1PSH("E1POP");
        E1SETL(1, name);
        E1MES(terminal, 1, "Error condition in E1POP.  Cannot pop from %(L1) because stack is empty.");
        textio::stop_program(library_stop_status);
    }
    if (!names_match(name, state.routine_name[level])) {
        const RoutineName& top = state.routine_name[level];
        E1SETL(1, name);
        E1SETL(2, std::string_view(top.data(), top.size()));
        E1MES(terminal, 2, "Error condition in E1POP.  %(L1) does not match the name %(L2) in the stack.");
        textio::stop_program(library_stop_status);
    }

    const int type = state.error_type[level];
    if (type >= 1 && type <= error_type_count) {
        act_on_popped_error(state, level, type);
    }

    // The popped level's own type and code stay readable until the next push.
    if (level < state.max_level) {
        state.error_type[level + 1] = -1;
        state.error_code[level + 1] = -1;
    }
    state.current_level = level - 1;
}

}  // namespace numlib
