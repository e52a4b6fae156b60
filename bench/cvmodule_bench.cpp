// Benchmarks of LJUNGCV against its floor.
//
//   floor/M        the std::log and std::sqrt calls method M makes, on the
//                  same arguments, and nothing else
//   direct/M       the method called directly, as the call entry calls it
//   host/M/...     ljungcv_eval through the entry the host got from the
//                  module's FunctionEntriesRecord, on prepared CallFrames:
//                  two arguments, or three with a method text upper-cased by
//                  the host's table or by its service; on one thread and on
//                  two at once
//
// Every benchmark cycles through the same eight (n, alpha) pairs. Those
// marked /spread instead take a fresh pair for each call from a prepared
// table of 1024, n from 2 to 100 000 and levels across (0, 0.1], so that
// branch predictors and caches are not flattered by a repeated eight: the
// floor and each method, and the host path with two arguments. Before any
// timing the program checks, for both input sets, that the floor's
// arguments rebuild each method's result and that every host path returns
// the direct call's value, bit for bit. After the run it prints the ratios:
// method / floor, host / direct and two-thread / one-thread throughput,
// each against its target.
//
// Usage: cvmodule_bench [--module PATH] [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "cv/critical_value.h"
#include "floor.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace {

struct Input {
    std::int32_t n;
    double alpha;
};

// Small and large series, the usual levels and some others.
constexpr int INPUTS = 8;
constexpr Input INPUT_SET[INPUTS] = {
    {5, 0.05},     {10, 0.01},     {37, 0.1},      {100, 0.05},
    {250, 0.001},  {1000, 0.025},  {20000, 0.05},  {1000000, 0.01},
};
// Method texts cycled with the inputs: short and long keywords, mixed case,
// leading and trailing blanks, as a host passes them.
const std::string CORRECTED_TEXTS[INPUTS] = {"C", "corrected", "CORR    ", " Correct",
                                             "c", "CORRECTED", "  corr  ", "C CORR"};
const std::string LJUNG_TEXTS[INPUTS] = {"L", "ljung", "LJUNG   ", " Ljung",
                                         "l", "L C", "  ljung  ", "L C CORR"};

// The spread: a table of random pairs, the same on every run and platform
// (mt19937_64 is defined to the bit), n uniform on 2 to 100 000, alpha
// uniform on (0, 0.1].
constexpr std::size_t SPREAD_INPUTS = 1024;
constexpr std::int32_t SPREAD_MAX_N = 100000;
constexpr double SPREAD_MAX_ALPHA = 0.1;

std::vector<Input> spread_inputs()
{
    std::mt19937_64 random(20261208);
    std::vector<Input> inputs;
    for (std::size_t k = 0; k < SPREAD_INPUTS; ++k) {
        const auto n = static_cast<std::int32_t>(2 + random() % (SPREAD_MAX_N - 1));
        // 53 random bits, plus one: a fraction in (0, 1].
        const double fraction = static_cast<double>((random() >> 11) + 1) * 0x1p-53;
        inputs.push_back({n, SPREAD_MAX_ALPHA * fraction});
    }
    return inputs;
}

// The pairs a benchmark cycles through, and the floor's calls for each.
struct InputSet {
    const char* suffix;  // appended to the benchmark names
    std::vector<Input> inputs;
    std::vector<bench::CorrectedFloor> corrected_floors;
    std::vector<bench::LjungFloor> ljung_floors;
};
InputSet eight{"", {std::begin(INPUT_SET), std::end(INPUT_SET)}, {}, {}};
InputSet spread{"/spread", spread_inputs(), {}, {}};

// The index after k in a table of `size`.
inline std::size_t next(std::size_t k, std::size_t size) { return k + 1 == size ? 0 : k + 1; }

enum class Method { Corrected, Ljung };
enum class Upcase { None, Table, Service };

struct HostPath {
    Method method;
    int arguments;  // 2 or 3
    Upcase upcase;
};

using MethodFunction = double (*)(const std::int32_t*, const double*);

// What the benchmarks know of each method, in the order of Method.
struct MethodFacts {
    Method method;
    const char* name;  // in the benchmarks' names
    MethodFunction routine;
    const std::string* texts;  // INPUTS method texts that select it
};
const MethodFacts METHOD_FACTS[] = {
    {Method::Corrected, "corrected", corrected_critical_value, CORRECTED_TEXTS},
    {Method::Ljung, "ljung", ljung_critical_value, LJUNG_TEXTS},
};
// The method whose value a call without a method text gets.
constexpr Method DEFAULT_METHOD = Method::Corrected;

const MethodFacts& facts(Method method) { return METHOD_FACTS[static_cast<std::size_t>(method)]; }
MethodFunction method_function(Method method) { return facts(method).routine; }
const char* method_name(Method method) { return facts(method).name; }

// The loaded module; lives for the whole program.
struct Loaded {
    standin::HostEnvironment host;
    std::unique_ptr<standin::Module> module;
    FunctionEntry entry = nullptr;
};
Loaded* loaded = nullptr;

// One prepared CallFrame per input, owned by the thread that uses it.
std::vector<std::unique_ptr<standin::PreparedCall>> prepare_calls(const HostPath& path, const InputSet& set)
{
    std::vector<std::unique_ptr<standin::PreparedCall>> calls;
    for (std::size_t k = 0; k < set.inputs.size(); ++k) {
        std::vector<standin::Argument> arguments{static_cast<double>(set.inputs[k].n), set.inputs[k].alpha};
        if (path.arguments == 3) {
            const std::size_t text = k % INPUTS;
            arguments.emplace_back(facts(path.method).texts[text]);
        }
        calls.push_back(std::make_unique<standin::PreparedCall>(arguments));
    }
    return calls;
}

void set_upcase(Upcase upcase) { loaded->host.set_upcase_via_service(upcase == Upcase::Service); }
void upcase_by_table(const benchmark::State&) { set_upcase(Upcase::Table); }
void upcase_by_service(const benchmark::State&) { set_upcase(Upcase::Service); }

// --- benchmarks -------------------------------------------------------------

template <typename Floors>
void floor_benchmark(benchmark::State& state, const Floors& floors)
{
    std::size_t k = 0;
    for (auto _ : state) {
        bench::run_floor(floors[k]);
        k = next(k, floors.size());
    }
    state.SetItemsProcessed(state.iterations());
}

void direct_benchmark(benchmark::State& state, Method method, const InputSet* set)
{
    const MethodFunction function = method_function(method);
    const std::vector<Input>& inputs = set->inputs;
    std::size_t k = 0;
    for (auto _ : state) {
        std::int32_t n = inputs[k].n;
        double alpha = inputs[k].alpha;
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(alpha);
        double value = function(&n, &alpha);
        benchmark::DoNotOptimize(value);
        k = next(k, inputs.size());
    }
    state.SetItemsProcessed(state.iterations());
}

void host_benchmark(benchmark::State& state, HostPath path, const InputSet* set)
{
    const auto calls = prepare_calls(path, *set);
    std::vector<CallFrame*> frames;
    for (const auto& call : calls) {
        frames.push_back(call->frame());
    }
    const FunctionEntry entry = loaded->entry;
    std::size_t k = 0;
    for (auto _ : state) {
        CallFrame* const& frame = frames[k];
        benchmark::DoNotOptimize(frame);
        double result;
        std::int32_t status = entry(frame, &result);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(result);
        k = next(k, frames.size());
    }
    state.SetItemsProcessed(state.iterations());
}

// --- checks before timing ----------------------------------------------------

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool check_floors(InputSet& set)
{
    bool ok = true;
    for (const Input& in : set.inputs) {
        const double corrected = corrected_critical_value(&in.n, &in.alpha);
        const double ljung = ljung_critical_value(&in.n, &in.alpha);
        set.corrected_floors.push_back(bench::retrace_corrected(in.n, in.alpha));
        set.ljung_floors.push_back(bench::retrace_ljung(in.n, in.alpha));
        if (!same_bits(set.corrected_floors.back().value, corrected) ||
            !same_bits(set.ljung_floors.back().value, ljung)) {
            std::fprintf(stderr, "cvmodule_bench: the floor's calls do not rebuild the methods' values at n = %d, "
                                 "alpha = %g\n", in.n, in.alpha);
            ok = false;
        }
    }
    return ok;
}

bool check_host_path(const HostPath& path, const InputSet& set)
{
    set_upcase(path.upcase);
    const auto calls = prepare_calls(path, set);
    bool ok = true;
    for (std::size_t k = 0; k < calls.size(); ++k) {
        const Input& in = set.inputs[k];
        const standin::Evaluation got = calls[k]->invoke(loaded->entry);
        const double want = method_function(path.method)(&in.n, &in.alpha);
        if (got.status != STATUS_OK || !same_bits(got.value, want)) {
            std::fprintf(stderr, "cvmodule_bench: host path %s with %d arguments gives status %d, value %.17g "
                                 "at n = %d, alpha = %g; the direct call gives %.17g\n",
                         method_name(path.method), path.arguments, got.status, got.value, in.n, in.alpha, want);
            ok = false;
        }
    }
    return ok;
}

// --- ratios ------------------------------------------------------------------

// Keeps, for each benchmark and thread count, the time per evaluation of
// every repetition: CPU time, which other processes on the machine disturb
// least, and wall time, which with several threads is per evaluation of all
// threads together (the inverse of the throughput).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) != 0 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports) {
            if (run.error_occurred || run.iterations == 0) {
                continue;
            }
            const Key key{run.run_name.function_name, run.threads};
            const double iterations = static_cast<double>(run.iterations);
            const Times times{run.cpu_accumulated_time / iterations, run.real_accumulated_time / iterations};
            if (run.run_type == Run::RT_Iteration) {
                samples_[key].push_back(times);
            } else if (run.aggregate_name == "median") {
                medians_[key] = times;
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // Median CPU seconds per evaluation (with several threads: each thread's
    // CPU time per evaluation it made), or 0 when the benchmark did not run.
    double cpu_seconds(const std::string& name, std::int64_t threads = 1) const
    {
        return median(name, threads, &Times::cpu);
    }
    // Median wall seconds per evaluation with `threads` threads.
    double wall_seconds(const std::string& name, std::int64_t threads) const
    {
        return median(name, threads, &Times::wall);
    }

private:
    struct Times {
        double cpu;
        double wall;
    };
    using Key = std::pair<std::string, std::int64_t>;

    double median(const std::string& name, std::int64_t threads, double Times::*member) const
    {
        const Key key{name, threads};
        if (auto it = samples_.find(key); it != samples_.end()) {
            std::vector<double> v;
            for (const Times& t : it->second) {
                v.push_back(t.*member);
            }
            std::sort(v.begin(), v.end());
            const std::size_t m = v.size() / 2;
            return v.size() % 2 == 1 ? v[m] : (v[m - 1] + v[m]) / 2.0;
        }
        if (auto it = medians_.find(key); it != medians_.end()) {
            return it->second.*member;
        }
        return 0.0;
    }

    std::map<Key, std::vector<Times>> samples_;
    std::map<Key, Times> medians_;
};

struct Ratio {
    std::string what;
    double value;
    bool at_most;  // target is an upper bound, else a lower bound
    double target;
};

void print_ratios(const std::vector<Ratio>& ratios)
{
    std::printf("\nRatios of medians (CPU time per evaluation unless marked wall; two threads: throughput)\n");
    int missed = 0;
    for (const Ratio& r : ratios) {
        if (r.value == 0.0) {
            continue;
        }
        const bool met = r.at_most ? r.value <= r.target : r.value >= r.target;
        missed += met ? 0 : 1;
        std::printf("  %-52s %6.3f   target %s %.2f  %s\n", r.what.c_str(), r.value, r.at_most ? "<=" : ">=",
                    r.target, met ? "met" : "MISSED");
    }
    std::printf("%s\n", missed == 0 ? "All targets met." : "Some targets missed.");
}

double ratio(double a, double b) { return a > 0.0 && b > 0.0 ? a / b : 0.0; }

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    std::string module_path = CVMODULE_PATH;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
            module_path = argv[++i];
        } else {
            std::fprintf(stderr, "cvmodule_bench: unknown argument '%s'\n", argv[i]);
            return 2;
        }
    }

    Loaded state;
    try {
        state.module = std::make_unique<standin::Module>(state.host, module_path);
        const standin::RegisteredFunction* function = state.module->find_function("LJUNGCV");
        if (function == nullptr) {
            std::fprintf(stderr, "cvmodule_bench: %s registers no LJUNGCV\n", module_path.c_str());
            return 1;
        }
        state.entry = function->entry;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cvmodule_bench: %s\n", e.what());
        return 1;
    }
    loaded = &state;

    const HostPath host_paths[] = {
        {Method::Corrected, 2, Upcase::None},     {Method::Corrected, 3, Upcase::Table},
        {Method::Corrected, 3, Upcase::Service},  {Method::Ljung, 3, Upcase::Table},
        {Method::Ljung, 3, Upcase::Service},
    };
    // The host path the spread goes through: two arguments, no method text.
    const HostPath spread_path = host_paths[0];
    bool ok = check_floors(eight) && check_floors(spread);
    for (const HostPath& path : host_paths) {
        ok = check_host_path(path, eight) && ok;
    }
    ok = check_host_path(spread_path, spread) && ok;
    if (!ok) {
        return 1;
    }

    for (InputSet* set : {&eight, &spread}) {
        const std::string suffix = set->suffix;
        benchmark::RegisterBenchmark(("floor/corrected" + suffix).c_str(),
                                     [set](benchmark::State& s) { floor_benchmark(s, set->corrected_floors); })
            ->UseRealTime();
        benchmark::RegisterBenchmark(("floor/ljung" + suffix).c_str(),
                                     [set](benchmark::State& s) { floor_benchmark(s, set->ljung_floors); })
            ->UseRealTime();
        benchmark::RegisterBenchmark(("direct/corrected" + suffix).c_str(), direct_benchmark, Method::Corrected, set)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("direct/ljung" + suffix).c_str(), direct_benchmark, Method::Ljung, set)
            ->UseRealTime();
    }

    auto host_name = [](const HostPath& path) {
        std::string name = std::string("host/") + method_name(path.method) + "/args:" + std::to_string(path.arguments);
        if (path.upcase == Upcase::Table) {
            name += "/table";
        } else if (path.upcase == Upcase::Service) {
            name += "/service";
        }
        return name;
    };
    for (const HostPath& path : host_paths) {
        auto* b = benchmark::RegisterBenchmark(host_name(path).c_str(), host_benchmark, path, &eight);
        b->Threads(1)->Threads(2)->UseRealTime();
        b->Setup(path.upcase == Upcase::Service ? upcase_by_service : upcase_by_table);
    }
    benchmark::RegisterBenchmark((host_name(spread_path) + spread.suffix).c_str(), host_benchmark, spread_path, &spread)
        ->UseRealTime()
        ->Setup(upcase_by_table);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Method / floor on both input sets; host path / floor with the host's
    // own share allowed for: 1.5 for the corrected method with two arguments,
    // the path every call without a method text takes, 1.4 for the others.
    auto host_floor_target = [](const HostPath& path) {
        return path.method == DEFAULT_METHOD && path.arguments == 2 ? 1.5 : 1.4;
    };
    std::vector<Ratio> ratios;
    for (const MethodFacts& method_facts : METHOD_FACTS) {
        const Method method = method_facts.method;
        const std::string m = method_name(method);
        for (const InputSet* set : {&eight, &spread}) {
            const std::string suffix = set->suffix;
            const double floor = reporter.cpu_seconds("floor/" + m + suffix);
            const double direct = reporter.cpu_seconds("direct/" + m + suffix);
            ratios.push_back({"direct/" + m + suffix + " / floor", ratio(direct, floor), true, 1.4});
            for (const HostPath& path : host_paths) {
                const std::string name = host_name(path) + suffix;
                if (path.method == method && (set == &eight || path.arguments == spread_path.arguments)) {
                    ratios.push_back({name + " / floor", ratio(reporter.cpu_seconds(name), floor), true,
                                      host_floor_target(path)});
                }
            }
        }
    }
    for (const HostPath& path : host_paths) {
        const double direct = reporter.cpu_seconds(std::string("direct/") + method_name(path.method));
        ratios.push_back({host_name(path) + " / direct", ratio(reporter.cpu_seconds(host_name(path)), direct), true, 1.1});
    }
    const std::string spread_host = host_name(spread_path) + spread.suffix;
    ratios.push_back({spread_host + " / direct",
                      ratio(reporter.cpu_seconds(spread_host), reporter.cpu_seconds("direct/corrected/spread")), true,
                      1.1});
    for (const HostPath& path : host_paths) {
        const std::string name = host_name(path);
        // Throughput on two threads over one: wall time per evaluation on
        // one thread over that of two. It needs two otherwise idle cores.
        ratios.push_back({name + " 2 threads / 1, wall", ratio(reporter.wall_seconds(name, 1), reporter.wall_seconds(name, 2)),
                          false, 1.8});
        // The same from CPU time: twice the CPU cost of an evaluation on one
        // thread over its cost on each of two. A cache line written by both
        // threads would raise the second; other processes on the machine
        // barely move either.
        ratios.push_back({name + " 2 threads / 1, CPU", 2.0 * ratio(reporter.cpu_seconds(name, 1), reporter.cpu_seconds(name, 2)),
                          false, 1.8});
    }
    print_ratios(ratios);
    loaded = nullptr;
    return 0;
}
