// The outlier procedure's size and power on seeded series (a study, not a
// test: it takes minutes at full size).
//
//   procedure_study [--series N] [--only size|tails|power] [--resample B]
//
// size:  the share of outlier-free series in which the procedure reports an
//        outlier at alpha 0.05, by model and n, with normal innovations; the
//        share that warn of heavy tails; the share that fail.
// tails: the same with Student-t(5) innovations.
// power: a 5 sigma level shift planted in the middle of the series: the
//        share found as LS at its time, and (seasonal) the share with an
//        opposite LS one period later.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/outlier_procedure.h"

namespace {

struct Model {
    const char* name;
    std::vector<double> ar, ma;  // lag polynomials, differencing included, B^0 first
    core::ArimaOrder order;
    std::size_t shortest;  // the fewest observations the model is studied at
};

std::vector<double> multiply(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> c(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size(); ++j) {
            c[i + j] += a[i] * b[j];
        }
    }
    return c;
}

std::vector<double> seasonal(double coefficient)
{
    std::vector<double> polynomial(13, 0.0);
    polynomial.front() = 1.0;
    polynomial.back() = coefficient;
    return polynomial;
}

// u from ar(B) u_t = ma(B) a_t with a_t normal, or Student-t with `df`
// degrees of freedom scaled to variance 1, after 300 steps of burn-in.
std::vector<double> simulate(const Model& model, std::size_t n, std::uint64_t seed, double df)
{
    constexpr std::size_t burn = 300;
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    std::chi_squared_distribution<double> chi(df > 0 ? df : 1.0);
    const double scale = df > 2 ? std::sqrt((df - 2.0) / df) : 1.0;
    std::vector<double> a(n + burn), u(n + burn, 0.0);
    for (double& v : a) {
        v = normal(random);
        if (df > 0) {
            v = v / std::sqrt(chi(random) / df) * scale;
        }
    }
    for (std::size_t t = 0; t < n + burn; ++t) {
        double value = 0.0;
        for (std::size_t j = 0; j < model.ma.size() && j <= t; ++j) {
            value += model.ma[j] * a[t - j];
        }
        for (std::size_t j = 1; j < model.ar.size() && j <= t; ++j) {
            value -= model.ar[j] * u[t - j];
        }
        u[t] = value;
    }
    return {u.end() - static_cast<std::ptrdiff_t>(n), u.end()};
}

struct Tally {
    int series = 0, flagged = 0, heavy = 0, heavy_flagged = 0, failed = 0, found = 0, opposite = 0;
    double seconds = 0;
};

void print_row(const char* model, const char* innovations, std::size_t n, const Tally& t, bool power)
{
    const double count = t.series;
    if (power) {
        std::printf("%-10s %-8s %5zu %6d  LS found %.3f  opposite LS %.3f  any outlier %.3f  failed %.3f  %.2f ms\n",
                    model, innovations, n, t.series, t.found / count, t.opposite / count, t.flagged / count,
                    t.failed / count, 1e3 * t.seconds / count);
    } else {
        std::printf("%-10s %-8s %5zu %6d  outlier %.3f  heavy-tail warning %.3f (%.3f of those with an outlier)  "
                    "failed %.3f  %.2f ms\n",
                    model, innovations, n, t.series, t.flagged / count, t.heavy / count,
                    t.flagged > 0 ? t.heavy_flagged / static_cast<double>(t.flagged) : 0.0, t.failed / count,
                    1e3 * t.seconds / count);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    int series = 300;
    std::string only;
    core::OutlierOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--series") {
            series = std::atoi(argv[i + 1]);
        } else if (option == "--retention") {
            options.retention_alpha = std::atof(argv[i + 1]);
        } else if (option == "--only") {
            only = argv[i + 1];
        } else {
            std::fprintf(stderr, "procedure_study: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    core::ModuleSession session{CVMODULE_PATH};
    const std::vector<Model> models = {
        {"noise", {1.0}, {1.0}, {0, 0, 0}, 10},
        {"AR(1)", {1.0, -0.5}, {1.0}, {1, 0, 0}, 10},
        {"AR(2)", {1.0, -0.5, -0.3}, {1.0}, {2, 0, 0}, 20},
        {"IMA(1,1)", {1.0, -1.0}, {1.0, -0.5}, {0, 1, 1}, 10},
        {"airline", multiply({1.0, -1.0}, seasonal(-1.0)), multiply({1.0, -0.4}, seasonal(-0.6)),
         {0, 1, 1, 0, 1, 1, 12}, 50},
    };
    const auto run = [&](const Model& model, std::size_t n, double df, std::size_t shift_at, Tally& tally,
                         std::size_t spike_at = 0) {
        for (int s = 0; s < series; ++s) {
            std::vector<double> y = simulate(model, n, 1000003ULL * n + static_cast<std::uint64_t>(s), df);
            if (spike_at > 0) {
                y[spike_at] += 6.0;
            }
            if (shift_at > 0) {
                for (std::size_t t = shift_at; t < n; ++t) {
                    y[t] += 5.0;
                }
            }
            ++tally.series;
            try {
                const auto start = std::chrono::steady_clock::now();
                const core::OutlierResult r = core::find_outliers(&session, y, model.order, {}, options);
                tally.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                tally.flagged += r.outliers.empty() ? 0 : 1;
                tally.heavy += r.heavy_tails ? 1 : 0;
                tally.heavy_flagged += r.heavy_tails && !r.outliers.empty() ? 1 : 0;
                for (const core::FoundOutlier& o : r.outliers) {
                    if (o.type != core::OutlierType::level_shift) {
                        continue;
                    }
                    tally.found += o.index == shift_at ? 1 : 0;
                    const int period = model.order.period;
                    tally.opposite += period > 1 && o.index == shift_at + static_cast<std::size_t>(period) &&
                                              o.effect < 0
                                          ? 1
                                          : 0;
                }
            } catch (const std::exception& error) {
                ++tally.failed;
                if (tally.failed <= 2) {
                    std::fprintf(stderr, "%s n=%zu series %d: %s\n", model.name, n, s, error.what());
                }
            }
        }
    };
    if (only.empty() || only == "size") {
        for (const Model& model : models) {
            for (const std::size_t n : {10, 20, 30, 50, 100, 200, 500}) {
                if (n < model.shortest) {
                    continue;
                }
                Tally tally;
                run(model, n, 0.0, 0, tally);
                print_row(model.name, "normal", n, tally, false);
            }
        }
    }
    if (only.empty() || only == "tails") {
        for (const Model& model : {models[1]}) {
            for (const std::size_t n : {100, 300}) {
                Tally tally;
                run(model, n, 5.0, 0, tally);
                print_row(model.name, "t(5)", n, tally, false);
            }
            // A real outlier in normal noise: the warning is about the
            // noise, so it should stay quiet here.
            for (const std::size_t n : {100, 300}) {
                Tally tally;
                run(model, n, 0.0, 0, tally, n / 2);
                print_row(model.name, "+6 AO", n, tally, false);
            }
        }
    }
    if (only.empty() || only == "power") {
        Tally ar2;
        run(models[2], 200, 0.0, 100, ar2);
        print_row(models[2].name, "normal", 200, ar2, true);
        Tally airline;
        run(models[4], 144, 0.0, 72, airline);
        print_row(models[4].name, "normal", 144, airline, true);
    }
    return 0;
}
