// The estimator's fit time on seeded simulated series:
//
//   fit/ar1/N           AR(1) with a mean, phi 0.6: N = 200, 1000, 10000
//   fit/airline/S/N     (0,1,1)(0,1,1)_S, theta -0.4, Theta -0.6: S = 12 at
//                       N = 144, 1000, 10000, and S = 4, 52 at N = 1000
//   fit/airline_na/12/N the same with every 20th value missing (the
//                       diffuse filter)
//
// Times are per fit. `engine_bench --write-series DIR` writes each series
// as DIR/NAME.csv (one value a line, NA for missing) and exits, so that
// bench/fit_peers.sh can time stats::arima and statsmodels on the same
// series.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/arima_fit.h"

#include "arma_simulation.h"
#include "polynomials.h"

namespace {

struct Series {
    std::string name;
    engine::ArimaOrder order;
    std::vector<double> values;
};

// ar(B) diff(B) u_t = ma(B) a_t, seed n + period, around a mean.
std::vector<double> simulate(const engine::ArimaOrder& o, const std::vector<double>& phi,
                             const std::vector<double>& theta, const std::vector<double>& Theta, std::size_t n,
                             double sigma, double mean)
{
    using engine::multiply;
    const engine::Polynomial ar =
        multiply(engine::ar_operator(phi, 1), engine::differencing_operator(o.d, o.D, o.period));
    const engine::Polynomial ma = multiply(engine::ma_operator(theta, 1), engine::ma_operator(Theta, o.period));
    std::vector<double> y = simulate_lag_model(ar, ma, n, n + static_cast<std::size_t>(o.period), sigma);
    for (double& v : y)
        v += mean;
    return y;
}

std::vector<Series> all_series()
{
    std::vector<Series> series;
    for (std::size_t n : {200, 1000, 10000}) {
        const engine::ArimaOrder order{1, 0, 0};
        series.push_back({"ar1_" + std::to_string(n), order, simulate(order, {0.6}, {}, {}, n, 1.0, 3.0)});
    }
    const auto airline = [&](int s, std::size_t n, bool gaps) {
        const engine::ArimaOrder order{0, 1, 1, 0, 1, 1, s};
        std::vector<double> y = simulate(order, {}, {-0.4}, {-0.6}, n, 0.04, 5.0);
        if (gaps)
            for (std::size_t t = 7; t < n; t += 20)
                y[t] = std::nan("");
        series.push_back({std::string(gaps ? "airline_na_" : "airline_") + std::to_string(s) + "_" + std::to_string(n),
                          order, std::move(y)});
    };
    for (std::size_t n : {144, 1000, 10000})
        airline(12, n, false);
    airline(4, 1000, false);
    airline(52, 1000, false);
    airline(12, 144, true);
    airline(12, 1000, true);
    return series;
}

void fit(benchmark::State& state, const Series& series)
{
    engine::FitResult result;
    for (auto _ : state) {
        result = engine::fit_arima(series.values, series.order, {}, {});
        benchmark::DoNotOptimize(result.loglik);
    }
    state.counters["evaluations"] = result.evaluations;
    state.counters["converged"] = result.converged ? 1 : 0;
}

int write_series(const char* directory)
{
    for (const Series& s : all_series()) {
        const std::string path = std::string(directory) + "/" + s.name + ".csv";
        std::FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) {
            std::fprintf(stderr, "engine_bench: cannot write %s\n", path.c_str());
            return 1;
        }
        bool ok = true;
        for (double v : s.values)
            ok = ok && (std::isnan(v) ? std::fputs("NA\n", file) : std::fprintf(file, "%.17g\n", v)) >= 0;
        if (std::fclose(file) != 0 || !ok) {
            std::fprintf(stderr, "engine_bench: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-series") == 0)
        return write_series(argv[2]);
    const std::vector<Series> series = all_series();
    for (const Series& s : series) {
        std::string name = "fit/" + s.name;
        for (char& c : name)
            if (c == '_')
                c = '/';
        benchmark::RegisterBenchmark(name.c_str(), fit, s)->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
