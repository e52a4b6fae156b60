// The outlier statistics and the locate stage on AR(1) residuals (phi 0.6,
// pi_1 = 0.6), with the critical value LJUNGCV(n, 0.05) of the built module:
//
//   statistics/TYPE/N   every time's effect and statistic of one type
//   locate/clean/N      the locate stage, types AO, LS and TC, on residuals
//                       without an outlier: one round
//   locate/three/N      the same with an AO, an LS and a TC of 6 sigma put
//                       in: four rounds
//
// Times are per call. After the run the program prints locate/three/1000
// against its target of 5 ms, and fails when it is missed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/ljungcv.h"
#include "core/outliers.h"

namespace {

using core::OutlierType;

constexpr double PHI = 0.6;
constexpr double TARGET_SECONDS = 5e-3;
const core::OutlierTypes THREE{OutlierType::additive, OutlierType::level_shift, OutlierType::temporary_change};

// Residuals of the true AR(1) model: white noise, plus each outlier put
// through pi(B) = 1 - PHI B.
std::vector<double> residuals(std::size_t n, bool with_outliers)
{
    std::mt19937_64 bits(n);
    std::normal_distribution<double> normal;
    std::vector<double> e(n);
    for (double& x : e) {
        x = normal(bits);
    }
    if (with_outliers) {
        const std::size_t ao = n / 5;
        const std::size_t ls = n / 2;
        const std::size_t tc = 4 * n / 5;
        e[ao] += 6.0;
        e[ao + 1] -= 6.0 * PHI;
        for (std::size_t t = ls; t < n; ++t) {
            e[t] += t == ls ? 6.0 : 6.0 * (1.0 - PHI);
        }
        double x = 1.0;  // the TC's regressor, delta 0.7
        for (std::size_t t = tc; t < n; ++t) {
            e[t] += 6.0 * x;
            x = core::DEFAULT_DELTA * x - (t == tc ? PHI : 0.0);
        }
    }
    return e;
}

double critical_value(std::size_t n)
{
    static core::ModuleSession session(CVMODULE_PATH);
    core::Curve curve(session, core::Method::corrected);
    return core::outlier_critical_value(curve, std::nullopt, n, 0.05);
}

void statistics(benchmark::State& state, OutlierType type)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> e = residuals(n, false);
    const std::vector<double> pi{PHI};
    std::vector<double> effects(n);
    std::vector<double> tstats(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.data());
        core::outlier_statistics(e, pi, type, core::DEFAULT_DELTA, 0, std::nullopt, effects, tstats);
        benchmark::DoNotOptimize(tstats.data());
    }
}

void locate(benchmark::State& state, bool with_outliers)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> e = residuals(n, with_outliers);
    const std::vector<double> pi{PHI};
    const double cv = critical_value(n);
    std::size_t found = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.data());
        found = core::locate_outliers(e, pi, THREE, core::DEFAULT_DELTA, 0, cv).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}

// Keeps each benchmark's CPU time per iteration.
class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (!run.error_occurred && run.iterations > 0 && run.run_type == Run::RT_Iteration) {
                seconds[run.benchmark_name()] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }
    std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const OutlierType type : core::OUTLIER_TYPES) {
        benchmark::RegisterBenchmark((std::string("statistics/") + core::outlier_type_name(type)).c_str(),
                                     statistics, type)
            ->Arg(1000)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("locate/clean", locate, false)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("locate/three", locate, true)->Arg(150)->Arg(1000)->Unit(benchmark::kMillisecond);
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto it = reporter.seconds.find("locate/three/1000");
    if (it == reporter.seconds.end()) {
        return 0;  // filtered out
    }
    const bool met = it->second <= TARGET_SECONDS;
    std::printf("\nlocate, 1000 residuals, AO LS TC, three outliers: %.3f ms CPU (target <= %.0f ms)%s\n",
                it->second * 1e3, TARGET_SECONDS * 1e3, met ? "" : "  MISSED");
    return met ? 0 : 1;
}
