// The outlier statistics and the locate stage on AR(1) residuals (phi 0.6,
// pi_1 = 0.6), with the critical value LJUNGCV(n, 0.05) of the built module:
//
//   statistics/TYPE/N   every time's effect and statistic of one type
//   locate/clean/N      the locate stage, types AO, LS and TC, on residuals
//                       without an outlier: one round
//   locate/three/N      the same with an AO, an LS and a TC of 6 sigma put
//                       in: four rounds
//   locate/threshold1/N the locate stage with a threshold of 1.0, which
//                       most times pass: one round per outlier
//
// and one round of the locate stage on long series against the least a
// round can cost, the three types' statistics at every time computed
// straight from their definitions the fastest simple way:
//
//   round/ar1/N         AR(1) residuals: the locate stage (one round: a
//   reference/ar1/N     threshold no statistic reaches), and a reference
//                       that sums each tail from a running sum, O(n)
//   round/ima/N         ARIMA(0,1,1), theta 0.5, pi_j = 0.5^j: the locate
//   reference/ima/N     stage, and a reference that correlates the full
//                       length-n regressors by FFT
//
// Times are per call. After the run the program prints the figures against
// their targets (locate/three/1000 within 5 ms, locate/clean/1000 within 1
// ms, threshold 1.0 at n = 2000 within 1 s, a round within 3 times its
// reference) and fails when one is missed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <unsupported/Eigen/FFT>

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
        core::outlier_statistics(e, pi, type, core::DEFAULT_DELTA, 12, std::nullopt, effects, tstats);
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

// pi weights of AR(1) and of ARIMA(0,1,1) with theta 0.5 (pi(B) = (1 - B) /
// (1 - 0.5 B): pi_j = 0.5^j), the latter as long as a fit gives them.
std::vector<double> weights(bool ima, std::size_t n)
{
    if (!ima) {
        return {PHI};
    }
    std::vector<double> pi(n - 1);
    double w = 0.5;
    for (double& p : pi) {
        p = w;
        w *= 0.5;
    }
    return pi;
}

void locate_round(benchmark::State& state, bool ima)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> e = residuals(n, false);
    const std::vector<double> pi = weights(ima, n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.data());
        benchmark::DoNotOptimize(core::locate_outliers(e, pi, THREE, core::DEFAULT_DELTA, 0, 1e300).size());
    }
}

void locate_threshold(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> e = residuals(n, false);
    const std::vector<double> pi{PHI};
    std::size_t found = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.data());
        found = core::locate_outliers(e, pi, THREE, core::DEFAULT_DELTA, 0, 1.0).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}

// The largest |tau| over AO, LS and TC from the dot products and the
// regressors' running sums of squares.
double largest(const std::vector<std::vector<double>>& dots, const std::vector<std::vector<double>>& xs,
               double sigma)
{
    double top = 0.0;
    for (std::size_t r = 0; r < dots.size(); ++r) {
        const std::size_t n = dots[r].size();
        std::vector<double> squares(n);
        double s = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            s += xs[r][j] * xs[r][j];
            squares[j] = s;
        }
        for (std::size_t T = 0; T < n; ++T) {
            const double S = squares[n - T - 1];
            top = std::max(top, std::fabs(dots[r][T] / S * std::sqrt(S) / sigma));
        }
    }
    return top;
}

std::vector<std::vector<double>> regressors(const std::vector<double>& pi, std::size_t n)
{
    std::vector<std::vector<double>> xs(3, std::vector<double>(n, 0.0));
    double cumulative = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const double p = j == 0 ? 0.0 : (j <= pi.size() ? pi[j - 1] : 0.0);
        cumulative += p;
        xs[0][j] = j == 0 ? 1.0 : -p;
        xs[1][j] = 1.0 - cumulative;
        xs[2][j] = j == 0 ? 1.0 : core::DEFAULT_DELTA * xs[2][j - 1] - p;
    }
    return xs;
}

// AR(1): AO's dot is e_T - phi e_{T+1}; LS's e_T + (1 - phi) times the sum
// after T; TC's e_T + (delta - phi) times the delta-weighted sum after T.
void reference_ar1(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> e = residuals(n, false);
    const std::vector<double> pi{PHI};
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.data());
        const std::vector<std::vector<double>> xs = regressors(pi, n);
        std::vector<std::vector<double>> dots(3, std::vector<double>(n));
        double after = 0.0;     // sum of e_t, t > T
        double weighted = 0.0;  // sum of delta^(t-T-1) e_t, t > T
        for (std::size_t T = n; T-- > 0;) {
            dots[0][T] = e[T] - (T + 1 < n ? PHI * e[T + 1] : 0.0);
            dots[1][T] = e[T] + (1.0 - PHI) * after;
            dots[2][T] = e[T] + (core::DEFAULT_DELTA - PHI) * weighted;
            after += e[T];
            weighted = e[T] + core::DEFAULT_DELTA * weighted;
        }
        benchmark::DoNotOptimize(largest(dots, xs, core::default_sigma(e)));
    }
}

// Each type's dot products as one correlation of length 2n by FFT.
void reference_ima(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> e = residuals(n, false);
    const std::vector<double> pi = weights(true, n);
    std::size_t L = 1;
    while (L < 2 * n) {
        L *= 2;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(e.data());
        const std::vector<std::vector<double>> xs = regressors(pi, n);
        Eigen::FFT<double> fft;
        fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
        std::vector<double> padded(L, 0.0);
        std::copy(e.begin(), e.end(), padded.begin());
        std::vector<std::complex<double>> E;
        std::vector<std::complex<double>> X;
        fft.fwd(E, padded);
        std::vector<std::vector<double>> dots(3, std::vector<double>(n));
        for (std::size_t r = 0; r < 3; ++r) {
            std::fill(padded.begin(), padded.end(), 0.0);
            std::copy(xs[r].begin(), xs[r].end(), padded.begin());
            fft.fwd(X, padded);
            for (std::size_t f = 0; f < X.size(); ++f) {
                X[f] = E[f] * std::conj(X[f]);
            }
            fft.inv(padded, X);
            std::copy_n(padded.begin(), n, dots[r].begin());
        }
        benchmark::DoNotOptimize(largest(dots, xs, core::default_sigma(e)));
    }
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
    benchmark::RegisterBenchmark("locate/threshold1", locate_threshold)->Arg(2000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("round/ar1", locate_round, false)->Arg(100000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("reference/ar1", reference_ar1)->Arg(100000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("round/ima", locate_round, true)->Arg(100000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("reference/ima", reference_ima)->Arg(100000)->Unit(benchmark::kMillisecond);
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    bool met = true;
    const auto seconds = [&](const char* name) {
        const auto it = reporter.seconds.find(name);
        return it == reporter.seconds.end() ? -1.0 : it->second;
    };
    const auto check = [&](const char* what, double value, double target, const char* unit, double scale) {
        if (value < 0) {
            return;  // filtered out
        }
        const bool ok = value <= target;
        met = met && ok;
        std::printf("%-58s %9.3f %s (target <= %g)%s\n", what, value * scale, unit, target * scale,
                    ok ? "" : "  MISSED");
    };
    std::printf("\n");
    check("locate, 1000 residuals, AO LS TC, three outliers, CPU", seconds("locate/three/1000"), TARGET_SECONDS,
          "ms", 1e3);
    check("locate, 1000 residuals, AO LS TC, no outlier, CPU", seconds("locate/clean/1000"), 1e-3, "ms", 1e3);
    check("locate, 2000 residuals, threshold 1.0, CPU", seconds("locate/threshold1/2000"), 1.0, "s", 1.0);
    for (const char* model : {"ar1", "ima"}) {
        const double round = seconds((std::string("round/") + model + "/100000").c_str());
        const double reference = seconds((std::string("reference/") + model + "/100000").c_str());
        if (round >= 0 && reference > 0) {
            check((std::string("one round, n = 100000, ") + model + ", times its reference").c_str(),
                  round / reference, 3.0, "x", 1.0);
        }
    }
    return met ? 0 : 1;
}
