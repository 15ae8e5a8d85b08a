#include "program/progress.h"
#include "textio/posix_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

namespace program {

using model::HeatModel;
using model::ModelSetup;
using model::ParameterSet;

namespace {

using Clock = std::chrono::steady_clock;

// Steps between two looks for an interruption when no progress line is
// shown: a few milliseconds of work.
constexpr std::int64_t steps_per_chunk = 4096;
// Runs estimated to take longer than this get a progress line.
constexpr double shortest_run_with_progress = 2.0;
constexpr std::int32_t fewest_steps_worth_measuring = 200'000;
// Time between two looks at the clock, and between two refreshes of the line.
constexpr double look_interval = 0.05;
constexpr double refresh_interval = 0.25;
// A record costs about a quarter of a step's arithmetic (measured with the
// benchmarks: whole program against the steps alone).
constexpr double record_share = 1.25;

struct ProgressState {
    bool active = false;
    std::int64_t total_steps = 0;
    std::int64_t steps_per_look = 1;
    Clock::time_point started;
    Clock::time_point last_refresh;
    bool refreshed = false;
    std::size_t shown_length = 0;
};

ProgressState progress;

std::string clock_text(double seconds) {
    const auto whole = static_cast<long long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

std::int64_t steps_until_next_look() { return progress.active ? progress.steps_per_look : steps_per_chunk; }

void show_progress(std::int64_t step) {
    if (!progress.active) return;
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - progress.started).count();
    // Keep the looks about `look_interval` apart at the rate seen so far.
    if (elapsed > 0.0) {
        const double steps_per_second = static_cast<double>(step) / elapsed;
        progress.steps_per_look =
            std::max<std::int64_t>(1, static_cast<std::int64_t>(steps_per_second * look_interval));
    }
    if (progress.refreshed && std::chrono::duration<double>(now - progress.last_refresh).count() < refresh_interval) {
        return;
    }
    const double fraction = static_cast<double>(step) / static_cast<double>(progress.total_steps);
    const double remaining = fraction > 0.0 ? elapsed / fraction - elapsed : 0.0;
    // "\r", the line, and blanks over what a longer previous line left behind.
    char text[192];
    text[0] = '\r';
    const int written = std::snprintf(
        text + 1, sizeof text - 1, "temp1d: %3d%%  step %lld of %lld  elapsed %s  remaining %s",
        static_cast<int>(fraction * 100.0), static_cast<long long>(step), static_cast<long long>(progress.total_steps),
        clock_text(elapsed).c_str(), clock_text(remaining).c_str());
    std::size_t length = std::min(static_cast<std::size_t>(std::max(written, 0)), sizeof text - 2);
    const std::size_t covered = std::min(std::max(length, progress.shown_length), sizeof text - 2);
    std::fill(text + 1 + length, text + 1 + covered, ' ');
    progress.shown_length = covered;
    textio::write_standard_error(std::string_view(text, covered + 1));
    progress.last_refresh = now;
    progress.refreshed = true;
}

double measure_seconds_per_step() {
    // A well-conditioned model; the work of a step does not depend on the
    // values (as long as they stay ordinary numbers).
    ParameterSet parameters;
    parameters.outer_radius = 0.05;
    parameters.heat_transfer_coefficient = 500.0;
    parameters.initial_temperature = 850.0;
    parameters.ambient_temperature_1 = 20.0;
    parameters.ambient_temperature_2 = 20.0;
    parameters.density = 7850.0;
    parameters.specific_heat = 460.0;
    parameters.conductivity = 45.0;
    parameters.first_phase_duration = 100.0;
    parameters.second_phase_duration = 100.0;
    thread_local HeatModel model;  // large: kept off the stack; one per thread for checks in threads
    set_up_model(model, parameters);
    const Clock::time_point start = Clock::now();
    std::int64_t steps = 0;
    double elapsed = 0.0;
    while (elapsed < 0.01) {
        for (int k = 0; k < 64; ++k) static_cast<void>(take_time_step(model));
        steps += 64;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return elapsed / static_cast<double>(steps);
}

double estimated_run_seconds(const ModelSetup& setup, double seconds_per_step) {
    if (setup.step_count <= 0) return 0.0;
    return static_cast<double>(setup.step_count) * seconds_per_step * record_share;
}

void start_progress(const ParameterSet& parameters) {
    if (::isatty(STDERR_FILENO) != 1) return;
    const ModelSetup setup = derive_model_setup(parameters);
    // Runs this short end within about 2 s even on a slow machine (10 us a
    // step); they are spared the few milliseconds of measuring.
    if (setup.step_count < fewest_steps_worth_measuring) return;
    const double seconds_per_step = measure_seconds_per_step();
    if (estimated_run_seconds(setup, seconds_per_step) <= shortest_run_with_progress) return;
    progress.active = true;
    progress.total_steps = setup.step_count;
    progress.started = Clock::now();
    progress.steps_per_look =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(look_interval / (seconds_per_step * record_share)));
}

void finish_progress() {
    if (!progress.active) return;
    progress.active = false;
    if (progress.shown_length > 0) {
        std::string blank_line(progress.shown_length + 2, ' ');
        blank_line.front() = '\r';
        blank_line.back() = '\r';
        textio::write_standard_error(blank_line);
        progress.shown_length = 0;
    }
}

}  // namespace program
