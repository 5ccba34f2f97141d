// Statistics: betai and criticalT per call, and the descriptive statistics
// over 10^7 floats beside loops that only sum.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "stats/critical_t.h"
#include "stats/descriptive.h"
#include "stats/incomplete_beta.h"

namespace kelvane {
namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// betai as the halving search calls it: I_x(nu/2, 1/2) with x = nu/(nu + t^2).
// The counter is the continued fraction's iterations for that call.
void registerBetai(double nu, double t) {
    const double a = 0.5 * nu, b = 0.5, x = nu / (nu + t * t);
    const std::string name = "betai/nu=" + number(nu) + "/t=" + number(t);
    benchmark::RegisterBenchmark(name.c_str(), [a, b, x](benchmark::State& state) {
        double av = a, bv = b, xv = x;
        for (auto _ : state) {
            benchmark::DoNotOptimize(av);
            benchmark::DoNotOptimize(xv);
            benchmark::DoNotOptimize(betai(av, bv, xv));
        }
        state.counters["fraction_iterations"] = betaiRelaxed(a, b, x).fraction.iterations;
    })->UseRealTime();
}

// criticalT with the map update pass's tolerance. "search": the halving search
// meets the target; "solver": it cannot, and the solver finds t (beyond 2^31 -
// 1 degrees of freedom, the expansion from the normal z).
void registerCriticalT(double nu, double p, bool expectSolver) {
    const std::string name =
        std::string("criticalT/") + (expectSolver ? "solver" : "search") + "/nu=" + number(nu) + "/p=" + number(p);
    benchmark::RegisterBenchmark(name.c_str(), [nu, p, expectSolver](benchmark::State& state) {
        const CriticalTOutcome outcome = criticalTOutcome(nu, p, 1e-7);
        if (outcome.solved != expectSolver) {
            state.SkipWithError(expectSolver ? "the search met this target" : "this target needed the solver");
            return;
        }
        double n = nu, target = p;
        for (auto _ : state) {
            benchmark::DoNotOptimize(n);
            benchmark::DoNotOptimize(target);
            benchmark::DoNotOptimize(criticalT(n, target, 1e-7));
        }
        state.counters["evaluations"] = outcome.evaluations;
        state.counters["search_evaluations"] = outcome.searchEvaluations;
        state.counters["solver_evaluations"] = outcome.solverEvaluations;
    })->UseRealTime();
}

constexpr std::int32_t kValueCount = 10'000'000;

const std::vector<float>& values() {
    static const std::vector<float> data = [] {
        std::mt19937 random(20260101);
        std::normal_distribution<float> normal(100.0f, 15.0f);
        std::vector<float> v(static_cast<std::size_t>(kValueCount));
        for (float& value : v) value = normal(random);
        return v;
    }();
    return data;
}

void setBytes(benchmark::State& state, int passes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * passes * kValueCount *
                            static_cast<std::int64_t>(sizeof(float)));
    state.counters["values"] = kValueCount;
}

// The baselines: a plain loop that only sums, once with one accumulator in
// index order (the order every routine here must keep, so bound by the
// latency of the additions) and once with eight independent accumulators
// (bound by memory bandwidth).
void BM_SumInOrder(benchmark::State& state) {
    const float* v = values().data();
    for (auto _ : state) {
        float sum = 0.0f;
        for (std::int32_t i = 0; i < kValueCount; ++i) sum += v[i];
        benchmark::DoNotOptimize(sum);
    }
    setBytes(state, 1);
}
BENCHMARK(BM_SumInOrder)->Name("descriptive/baseline/sum-in-order")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SumBandwidth(benchmark::State& state) {
    const float* v = values().data();
    for (auto _ : state) {
        float lanes[8] = {};
        for (std::int32_t i = 0; i + 8 <= kValueCount; i += 8)
            for (int k = 0; k < 8; ++k) lanes[k] += v[i + k];
        float sum = 0.0f;
        for (float lane : lanes) sum += lane;
        for (std::int32_t i = kValueCount - kValueCount % 8; i < kValueCount; ++i) sum += v[i];
        benchmark::DoNotOptimize(sum);
    }
    setBytes(state, 1);
}
BENCHMARK(BM_SumBandwidth)->Name("descriptive/baseline/sum-bandwidth")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Mean(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(mean(kValueCount, values().data()));
    setBytes(state, 1);
}
BENCHMARK(BM_Mean)->Name("descriptive/mean")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_MinMax(benchmark::State& state) {
    for (auto _ : state) {
        float smallest = 0.0f, largest = 0.0f;
        minMax(kValueCount, values().data(), smallest, largest);
        benchmark::DoNotOptimize(smallest);
        benchmark::DoNotOptimize(largest);
    }
    setBytes(state, 1);
}
BENCHMARK(BM_MinMax)->Name("descriptive/minMax")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_StandardDeviation(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(standardDeviation(kValueCount, values().data()));
    setBytes(state, 2);
}
BENCHMARK(BM_StandardDeviation)->Name("descriptive/standardDeviation")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ValueRange(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(valueRange(kValueCount, values().data()));
    setBytes(state, 1);
}
BENCHMARK(BM_ValueRange)->Name("descriptive/valueRange")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_AutoCorrelation(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(autoCorrelation(kValueCount, values().data(), 1));
    setBytes(state, 2);
}
BENCHMARK(BM_AutoCorrelation)->Name("descriptive/autoCorrelation/lag=1")->UseRealTime()->Unit(benchmark::kMillisecond);

const bool registered = [] {
    registerBetai(10, 3);    // direct branch of the fraction
    registerBetai(10, 0.5);  // symmetric branch
    registerBetai(100, 3.4);
    registerBetai(1000, 3);
    registerBetai(1e6, 3);  // a in the millions

    registerCriticalT(10, 0.05, false);
    registerCriticalT(20, 0.01, false);
    registerCriticalT(100, 0.001, false);
    registerCriticalT(2, 0.05, false);
    registerCriticalT(1, 0.05, true);  // t above the search's reach
    registerCriticalT(10, 0.2, true);  // t below it
    registerCriticalT(20, 1e-6, true);
    registerCriticalT(1000, 1e-8, true);
    registerCriticalT(2, 5e-324, true);         // the smallest subnormal p
    registerCriticalT(1e6, 1e-100, true);       // the large-a expansion of the tail
    registerCriticalT(2147483647, 1e-7, true);  // any map's largest count
    registerCriticalT(1e12, 0.05, true);        // beyond it: the expansion from the normal z
    return true;
}();

}  // namespace
}  // namespace kelvane
