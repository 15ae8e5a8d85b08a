// One typical fit of temp1d-fit against one model run of the same kind, side
// by side: a 5000-step probe quench (Inconel, radius 6.25 mm, 40 s) and 200
// measured centre temperatures with 2 K of noise.  The ratio of the two
// times is the cost of a fit in model runs; the fit's absolute time is the
// figure to hold against the 0.5 s target.
#include <benchmark/benchmark.h>

#include <random>

#include "fit/coefficient_search.h"
#include "fit/model_sampling.h"
#include "fit/shift_search.h"

using namespace model;
using namespace fit;

namespace {

ParameterSet probe(double coefficient) {
    // inner, outer radius, coefficient, initial, media, density, specific
    // heat, conductivity, phases.
    return {0.0, 0.00625, coefficient, 850.0, 40.0, 40.0, 8470.0, 444.0, 14.9, 20.0, 20.0};
}

FitProblem typical_problem() {
    FitProblem problem;
    problem.parameters = probe(1000.0);
    problem.position = ProbePosition::centre;
    for (int k = 1; k <= 200; ++k) problem.times.push_back(0.2 * k);
    problem.temperatures.resize(problem.times.size());
    SampleSink sink{problem.times, problem.temperatures};
    run_model_into(problem.parameters, problem.position, sink);
    std::mt19937_64 generator(5);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (double& t : problem.temperatures) t += noise(generator);
    problem.parameters.heat_transfer_coefficient = 1.0;
    return problem;
}

void BM_OneModelRun(benchmark::State& state) {
    const FitProblem problem = typical_problem();
    std::vector<double> values(problem.times.size());
    std::int32_t steps = 0;
    for (auto _ : state) {
        SampleSink sink{problem.times, values};
        steps = run_model_into(probe(1000.0), problem.position, sink);
        benchmark::DoNotOptimize(values.data());
    }
    state.counters["steps"] = steps;
}
BENCHMARK(BM_OneModelRun)->Unit(benchmark::kMillisecond);

void BM_OneFit(benchmark::State& state) {
    const FitProblem problem = typical_problem();
    FitResult result;
    for (auto _ : state) {
        result = fit_coefficient(problem);
        benchmark::DoNotOptimize(result.coefficient);
    }
    state.counters["model_runs"] = result.model_runs;
    state.counters["coefficient"] = result.coefficient;
    // The time-step error the fit's run with a four times finer step
    // estimates, in per cent of the line-4 value.
    state.counters["step_correction_percent"] = 100.0 * (result.step_zero_coefficient / result.coefficient - 1.0);
    state.counters["step_bound_percent"] = 100.0 * result.step_error_bound;
}
BENCHMARK(BM_OneFit)->Unit(benchmark::kMillisecond);

// --shift auto on the same curve logged from 1 s before immersion: the fit
// without a shift, the joint search of shift and coefficient, and the
// final fit on the points after immersion.
void BM_OneFitWithShift(benchmark::State& state) {
    FitProblem problem = typical_problem();
    for (double& t : problem.times) t += 1.0;
    while (problem.times.back() > 39.0) {  // within the 40 s run after the shift
        problem.times.pop_back();
        problem.temperatures.pop_back();
    }
    for (int k = 4; k >= 0; --k) {
        problem.times.insert(problem.times.begin(), 0.2 * k);
        problem.temperatures.insert(problem.temperatures.begin(), problem.parameters.initial_temperature);
    }
    problem.times.erase(problem.times.begin());  // no point at 0
    problem.temperatures.erase(problem.temperatures.begin());
    ShiftFit shift;
    FitResult result;
    for (auto _ : state) {
        const FitResult unshifted = fit_coefficient(problem);
        shift = fit_shift(problem, unshifted);
        FitProblem shifted;
        apply_shift(problem, shift.shift, shifted);
        result = fit_coefficient(shifted);
        benchmark::DoNotOptimize(result.coefficient);
    }
    state.counters["shift"] = shift.shift;
    state.counters["coefficient"] = result.coefficient;
    state.counters["joint_runs"] = shift.model_runs;
}
BENCHMARK(BM_OneFitWithShift)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
