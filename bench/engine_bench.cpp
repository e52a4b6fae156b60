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

namespace {

struct Series {
    std::string name;
    engine::ArimaOrder order;
    std::vector<double> values;
};

// The lag polynomials of the simulated models, coefficient of B^0 first
// (the engine's own are internal to it).
using Polynomial = std::vector<double>;

Polynomial multiply(const Polynomial& a, const Polynomial& b)
{
    Polynomial c(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
            c[i + j] += a[i] * b[j];
    return c;
}

// 1 + sign * (c_1 B^spacing + c_2 B^(2 spacing) + ...)
Polynomial lag_polynomial(const std::vector<double>& c, int spacing, double sign)
{
    Polynomial p(c.size() * static_cast<std::size_t>(spacing) + 1, 0.0);
    p[0] = 1.0;
    for (std::size_t i = 0; i < c.size(); ++i)
        p[(i + 1) * static_cast<std::size_t>(spacing)] = sign * c[i];
    return p;
}

// (1 - B)^d (1 - B^s)^D
Polynomial differencing(int d, int D, int period)
{
    Polynomial p{1.0};
    for (int i = 0; i < d; ++i)
        p = multiply(p, {1.0, -1.0});
    for (int i = 0; i < D; ++i)
        p = multiply(p, lag_polynomial({1.0}, period, -1.0));
    return p;
}

// ar(B) diff(B) u_t = ma(B) a_t from 500 burn-in steps, seed n + period.
std::vector<double> simulate(const engine::ArimaOrder& o, const std::vector<double>& phi,
                             const std::vector<double>& theta, const std::vector<double>& Theta, std::size_t n,
                             double sigma, double mean)
{
    const Polynomial ar = multiply(lag_polynomial(phi, 1, -1.0), differencing(o.d, o.D, o.period));
    const Polynomial ma = multiply(lag_polynomial(theta, 1, 1.0), lag_polynomial(Theta, o.period, 1.0));
    constexpr std::size_t burn = 500;
    std::mt19937_64 bits(n + static_cast<std::size_t>(o.period));
    std::normal_distribution<double> normal(0.0, sigma);
    std::vector<double> a(n + burn), u(n + burn, 0.0);
    for (double& v : a)
        v = normal(bits);
    for (std::size_t t = 0; t < n + burn; ++t) {
        double value = 0.0;
        for (std::size_t j = 0; j < ma.size() && j <= t; ++j)
            value += ma[j] * a[t - j];
        for (std::size_t j = 1; j < ar.size() && j <= t; ++j)
            value -= ar[j] * u[t - j];
        u[t] = value;
    }
    std::vector<double> y(u.end() - static_cast<std::ptrdiff_t>(n), u.end());
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
