// The C interface's batch call against evaluations made one by one through
// the C++ stand-in host, over the same block of random (n, alpha) pairs:
//
//   standin/evaluate/M   Module::evaluate per pair (a new frame each time)
//   standin/prepared/M   one PreparedCall, its numbers replaced per pair
//   cvhost/single/M      cvhost_ljungcv per pair
//   cvhost/many/M        cvhost_ljungcv_many over the block
//   cvhost/assessed/M    cvhost_assess_many over the block, with verdicts
//   series/many/M, series/assessed/M   the same two over a series: counts
//                        1 to 1024 at four levels, as tables and lists of
//                        series lengths ask
//
// M is the two-argument call (corrected) or "L" (ljung). Times are per
// evaluation; after the run the program prints cvhost/many over the faster
// C++ path against its target of 1.1, and each assessed batch over its bare
// one against its target of 2.
//
// The C++ host and the C interface each keep a host environment, and the
// module answers to the last one that loaded it; each benchmark therefore
// makes and ends its own, and they never overlap.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cvmodule/cvhost.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace {

constexpr std::size_t BLOCK = 4096;
constexpr double TARGET = 1.1;
constexpr double ASSESSED_TARGET = 2.0;

struct Pairs {
    std::vector<double> n, alpha;
};

const Pairs& pairs()
{
    static const Pairs block = [] {
        Pairs p;
        std::mt19937_64 random(42);
        std::uniform_int_distribution<int> count(3, 100000);
        std::uniform_real_distribution<double> level(1e-4, 0.1);
        for (std::size_t i = 0; i < BLOCK; ++i) {
            p.n.push_back(count(random));
            p.alpha.push_back(level(random));
        }
        return p;
    }();
    return block;
}

// Counts 1 to BLOCK / 4 at each of four levels.
const Pairs& series()
{
    static const Pairs block = [] {
        Pairs p;
        for (const double alpha : {0.1, 0.05, 0.01, 0.001}) {
            for (std::size_t n = 1; n <= BLOCK / 4; ++n) {
                p.n.push_back(static_cast<double>(n));
                p.alpha.push_back(alpha);
            }
        }
        return p;
    }();
    return block;
}

const char* method_text(bool ljung) { return ljung ? "L" : nullptr; }

std::vector<standin::Argument> arguments(double n, double alpha, bool ljung)
{
    std::vector<standin::Argument> list{n, alpha};
    if (ljung) {
        list.emplace_back(std::string("L"));
    }
    return list;
}

void standin_evaluate(benchmark::State& state, bool ljung)
{
    standin::HostEnvironment host;
    standin::Module module(host, CVMODULE_PATH);
    const Pairs& p = pairs();
    for (auto _ : state) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            const auto list = arguments(p.n[i], p.alpha[i], ljung);
            benchmark::DoNotOptimize(module.evaluate("LJUNGCV", list).value);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(BLOCK));
}

void standin_prepared(benchmark::State& state, bool ljung)
{
    standin::HostEnvironment host;
    standin::Module module(host, CVMODULE_PATH);
    const FunctionEntry entry = module.find_function("LJUNGCV")->entry;
    const Pairs& p = pairs();
    standin::PreparedCall call(arguments(0, 0, ljung));
    for (auto _ : state) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            call.set_number(0, p.n[i]);
            call.set_number(1, p.alpha[i]);
            benchmark::DoNotOptimize(call.invoke(entry).value);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(BLOCK));
}

void cvhost_single(benchmark::State& state, bool ljung)
{
    cvhost* host = cvhost_open(CVMODULE_PATH, nullptr, 0);
    const Pairs& p = pairs();
    for (auto _ : state) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            double value = 0;
            benchmark::DoNotOptimize(cvhost_ljungcv(host, p.n[i], p.alpha[i], method_text(ljung), &value, nullptr));
            benchmark::DoNotOptimize(value);
        }
    }
    cvhost_close(host);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(BLOCK));
}

// A batch over `p`, bare or with verdicts.
void batch_of_pairs(benchmark::State& state, const Pairs& p, bool ljung, bool assessed)
{
    cvhost* host = cvhost_open(CVMODULE_PATH, nullptr, 0);
    std::vector<double> values(BLOCK);
    std::vector<std::int32_t> statuses(BLOCK);
    std::vector<std::int32_t> ranges(BLOCK);
    for (auto _ : state) {
        if (assessed) {
            cvhost_assess_many(host, BLOCK, p.n.data(), p.alpha.data(), method_text(ljung), values.data(),
                               statuses.data(), nullptr, ranges.data());
        } else {
            cvhost_ljungcv_many(host, BLOCK, p.n.data(), p.alpha.data(), method_text(ljung), values.data(),
                                statuses.data());
        }
        benchmark::DoNotOptimize(values.data());
        benchmark::DoNotOptimize(ranges.data());
        benchmark::ClobberMemory();
    }
    cvhost_close(host);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(BLOCK));
}

// Median CPU time per evaluation of each benchmark, by name.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports) {
            if (!run.error_occurred && run.iterations > 0 && run.run_type == Run::RT_Iteration) {
                samples_[run.run_name.function_name].push_back(run.cpu_accumulated_time /
                                                               static_cast<double>(run.iterations * BLOCK));
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }
    double median(const std::string& name)
    {
        std::vector<double>& s = samples_[name];
        if (s.empty()) {
            return 0.0;
        }
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }

private:
    std::map<std::string, std::vector<double>> samples_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const bool ljung : {false, true}) {
        const std::string m = ljung ? "ljung" : "corrected";
        benchmark::RegisterBenchmark(("standin/evaluate/" + m).c_str(), standin_evaluate, ljung);
        benchmark::RegisterBenchmark(("standin/prepared/" + m).c_str(), standin_prepared, ljung);
        benchmark::RegisterBenchmark(("cvhost/single/" + m).c_str(), cvhost_single, ljung);
        benchmark::RegisterBenchmark(("cvhost/many/" + m).c_str(), batch_of_pairs, pairs(), ljung, false);
        benchmark::RegisterBenchmark(("cvhost/assessed/" + m).c_str(), batch_of_pairs, pairs(), ljung, true);
        benchmark::RegisterBenchmark(("series/many/" + m).c_str(), batch_of_pairs, series(), ljung, false);
        benchmark::RegisterBenchmark(("series/assessed/" + m).c_str(), batch_of_pairs, series(), ljung, true);
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    int missed = 0;
    std::printf("\ncvhost_ljungcv_many / the faster one-by-one C++ path (median CPU time per evaluation)\n");
    for (const std::string m : {"corrected", "ljung"}) {
        const double cxx = std::min(reporter.median("standin/evaluate/" + m), reporter.median("standin/prepared/" + m));
        const double many = reporter.median("cvhost/many/" + m);
        if (cxx <= 0.0 || many <= 0.0) {
            continue;
        }
        const double ratio = many / cxx;
        std::printf("  %-10s %7.1f ns / %7.1f ns = %.3f  (target <= %.1f)%s\n", m.c_str(), many * 1e9, cxx * 1e9,
                    ratio, TARGET, ratio <= TARGET ? "" : "  MISSED");
        missed += ratio > TARGET;
    }
    std::printf("\nassessed batch / bare batch (median CPU time per evaluation)\n");
    for (const std::string block : {"cvhost", "series"}) {
        for (const std::string m : {"corrected", "ljung"}) {
            const double bare = reporter.median(block + "/many/" + m);
            const double assessed = reporter.median(block + "/assessed/" + m);
            if (bare <= 0.0 || assessed <= 0.0) {
                continue;
            }
            const double ratio = assessed / bare;
            std::printf("  %-6s %-10s %7.1f ns / %7.1f ns = %.3f  (target <= %.1f)%s\n", block.c_str(), m.c_str(),
                        assessed * 1e9, bare * 1e9, ratio, ASSESSED_TARGET, ratio <= ASSESSED_TARGET ? "" : "  MISSED");
        }
    }
    return missed == 0 ? 0 : 1;
}
