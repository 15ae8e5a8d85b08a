// One typical fit of temp1d-fit against one model run of the same kind, side
// by side: a 5000-step probe quench (Inconel, radius 6.25 mm, 40 s) and 200
// measured centre temperatures with 2 K of noise.  The ratio of the two
// times is the cost of a fit in model runs; the fit's absolute time is the
// figure to hold against the 0.5 s target.
#include <benchmark/benchmark.h>

#include <random>

#include "fit/coefficient_search.h"
#include "fit/model_sampling.h"

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
}
BENCHMARK(BM_OneFit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
