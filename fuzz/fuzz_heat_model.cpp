// Fuzz target: the whole model on eleven arbitrary binary64 parameters.
//
// Input: 88 bytes, the bit patterns of the eleven parameters in reading
// order (missing bytes count as 0).  The run is set up as the program sets it
// up, its step count capped at 200, and run twice: once through the
// production time loop and once step by step.
//
// Zero pivots.  A singular system makes DLSLTR record a FATAL error, and a
// FATAL error popped to the user level ends the process (status 4, the
// library's stop), which would end the fuzzing.  The harness therefore runs the steps under a
// stack level of its own: DLSLTR is then called from a library level, so the
// library passes the error up to the harness's level instead of printing it
// and stopping (the documented rule for routines called internally).  The
// harness reads the error there, discards it with E1MES(0, 0, ...) and pops
// its level.  Nothing of the model's code is replaced or imitated; the steps
// are exactly those of a real run.
//
// Properties checked besides crashes and undefined behaviour:
// - the step-by-step run and the production loop end in the same state, bit
//   for bit, and the run is deterministic;
// - a zero pivot depends only on the matrix, which is the same in every step
//   of a run, so either every step meets one or none does;
// - each record's difference is |tc - tpov| and dTmax is the largest of them
//   (0 when none is larger), the clock advances by the time step;
// - each record rendered for the result file is 53 characters and CR LF, its
//   fields are numbers within 0.005 of their values, asterisks only for
//   values that do not fit, or NaN and Infinity for those values.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "model/heat_model.h"
#include "model/result_file.h"
#include "numlib/error_state.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

using namespace model;

namespace {

constexpr std::int32_t step_cap = 200;
constexpr std::string_view harness_name = "FUZZ_HARNESS";
constexpr int record_unit = 98;
constexpr std::size_t record_size = 53 + 2;
constexpr int field_width = 12;

textio::Channel* record_channel = nullptr;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "heat model property violated: %s\n", what);
    std::abort();
}

void require(bool condition, const char* what) {
    if (!condition) fail(what);
}

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Runs `work` with DLSLTR one level below the user level; returns whether a
// zero pivot was met.
template <typename Work>
bool under_harness_level(Work work) {
    numlib::detail::ErrorState& state = numlib::detail::the_error_state;
    E1PSH(harness_name);
    const int level = state.current_level;
    work();
    require(state.current_level == level, "the stack is unbalanced after a step");
    const bool zero_pivot = state.error_type[level] == numlib::fatal && state.error_code[level] == 2;
    require(zero_pivot || state.error_type[level] == 0, "a step recorded an unexpected error");
    E1MES(0, 0, "");  // discard the error and its pending report
    E1POP(harness_name);
    return zero_pivot;
}

// One 12-character field of a record against the value it shows.
void check_field(std::string_view field, double value) {
    if (std::isnan(value)) {
        require(field == " NaN        ", "NaN field");
        return;
    }
    if (std::isinf(value)) {
        require(field == (value < 0 ? " -Infinity  " : " Infinity   "), "Infinity field");
        return;
    }
    if (field == std::string(field_width, '*')) {
        // Only values whose rounded form needs more than 12 characters.
        require(value >= 999999999.99 || value <= -99999999.99, "asterisks for a value that fits");
        return;
    }
    const std::string text(field);
    char* end = nullptr;
    const double shown = std::strtod(text.c_str(), &end);
    require(end == text.c_str() + text.size(), "a field is not a number");
    require(text[text.size() - 3] == '.', "a field without two decimals");
    require(std::fabs(shown - value) <= 0.005 + std::fabs(value) * 1e-15, "a field is not its value rounded");
}

// Renders the record as the result file does and checks it.
void check_rendered_record(const StepRecord& record) {
    textio::Channel& channel = *record_channel;
    write_step_record(channel, record.time, record.tc, record.tpov, record.dT);
    require(channel.used >= record_size, "no record was rendered");
    const std::string_view text(channel.out.data() + channel.used - record_size, record_size);
    require(text.substr(53) == "\r\n", "a record does not end with CR LF");
    require(text[0] == ' ', "a record does not start with a blank");
    const double values[4] = {record.time, record.tc, record.tpov, record.dT};
    for (int i = 0; i < 4; ++i) {
        const std::size_t start = 1 + static_cast<std::size_t>(i) * (1 + field_width);
        require(text[start] == ' ', "fields are not separated by a blank");
        check_field(text.substr(start + 1, field_width), values[i]);
    }
}

struct RunEnd {
    NodalArray temperature;
    double time;
    double dTmax;
};

RunEnd end_of(const HeatModel& model) { return {model.node_temperature, model.time, model.dTmax}; }

bool same_end(const RunEnd& a, const RunEnd& b) {
    for (int i = 1; i <= node_count; ++i) {
        if (!same_bits(a.temperature[i], b.temperature[i])) return false;
    }
    return same_bits(a.time, b.time) && same_bits(a.dTmax, b.dTmax);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Records are rendered into the channel's buffer, which is written out
    // to /dev/null when it fills.
    record_channel = &textio::open_unit(record_unit, "/dev/null");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t bytes[88] = {};
    std::memcpy(bytes, data, std::min(size, sizeof bytes));
    ParameterSet parameters;
    double* const fields[11] = {&parameters.inner_radius,
                                &parameters.outer_radius,
                                &parameters.heat_transfer_coefficient,
                                &parameters.initial_temperature,
                                &parameters.ambient_temperature_1,
                                &parameters.ambient_temperature_2,
                                &parameters.density,
                                &parameters.specific_heat,
                                &parameters.conductivity,
                                &parameters.first_phase_duration,
                                &parameters.second_phase_duration};
    for (int i = 0; i < 11; ++i) std::memcpy(fields[i], bytes + 8 * i, 8);

    numlib::detail::initialise_error_state(numlib::detail::the_error_state);

    HeatModel looped;
    set_up_model(looped, parameters);
    looped.setup.step_count = std::min(looped.setup.step_count, step_cap);
    HeatModel stepped = looped;

    const bool loop_met_zero_pivot =
        under_harness_level([&] { run_steps(looped, 1, looped.setup.step_count, nullptr); });

    int zero_pivot_steps = 0;
    double largest = 0.0;
    for (std::int32_t step = 1; step <= stepped.setup.step_count; ++step) {
        const double time_before = stepped.time;
        StepRecord record{};
        const bool zero_pivot = under_harness_level([&] { record = take_time_step(stepped); });
        zero_pivot_steps += zero_pivot ? 1 : 0;
        require(same_bits(record.time, time_before), "a record does not carry the time at the start of its step");
        require(same_bits(stepped.time, stepped.setup.time_step + time_before),
                "the clock did not advance by one step");
        require(same_bits(record.dT, std::fabs(record.tc - record.tpov)), "a difference is not |tc - tpov|");
        if (record.dT > largest) largest = record.dT;
        require(same_bits(stepped.dTmax, largest), "dTmax is not the largest difference");
        check_rendered_record(record);
    }
    require(zero_pivot_steps == 0 || zero_pivot_steps == stepped.setup.step_count,
            "a zero pivot in some steps but not in others");
    require(loop_met_zero_pivot == (zero_pivot_steps > 0), "the loop and the steps disagree on a zero pivot");
    require(same_end(end_of(looped), end_of(stepped)), "the time loop and single steps end differently");

    // The same parameters once more give the same bits.
    HeatModel again;
    set_up_model(again, parameters);
    again.setup.step_count = std::min(again.setup.step_count, step_cap);
    under_harness_level([&] { run_steps(again, 1, again.setup.step_count, nullptr); });
    require(same_end(end_of(again), end_of(looped)), "a second run differs");
    return 0;
}
