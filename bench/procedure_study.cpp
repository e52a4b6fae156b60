// The outlier procedure's size and power on seeded series (a study, not a
// test: it takes minutes at full size).
//
//   procedure_study [--series N] [--only size|tails|power|shifts|seasonal]
//
// Prints Markdown tables, each share over N seeded series (default 1000):
// size:   outlier-free series with normal innovations, by model and n: the
//         share in which the procedure reports an outlier at C and L, 0.05
//         and 0.01, and at a fixed 3.5; the share that warn of heavy tails;
//         the time a series takes.
// tails:  AR(1) with t(5) innovations, and normal AR(1) with one real 6
//         sigma AO: the share with an outlier and the share warned of
//         heavy tails.
// power:  an AO, LS or TC of 3.5, 4.5 and 6 sigma at t = 75 of 150: the
//         share found at its time with its type.
// shifts: a 5 sigma level shift, under AR(2) and the airline model, with
//         the drop step at the locate stage's level and at 0.10: the share
//         found, an opposite LS a period later, and the size.
// seasonal: the airline model with the seasonal level shift among the
//         types: the share with an outlier on outlier-free series, and a 5
//         sigma SLS and LS found at their time as their type, with and
//         without SLS among the types.
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

#include "arma_simulation.h"
#include "core/outlier_procedure.h"
#include "planted_outliers.h"

namespace {

struct Model {
    const char* name;
    std::vector<double> ar, ma;  // lag polynomials, differencing included, B^0 first
    core::ArimaOrder order;
    std::size_t shortest;  // the fewest observations the model is studied at
};

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

// A planted effect: its type, its time and its size in innovation standard deviations.
struct Effect {
    core::OutlierType type = core::OutlierType::additive;
    std::size_t at = 0;
    double size = 0;
};

struct Tally {
    int series = 0, flagged = 0, heavy = 0, failed = 0, found = 0, opposite = 0;
    double seconds = 0;

    double share(int count) const { return static_cast<double>(count) / series; }
};

// The 95% binomial margin of a share of `series`.
double margin(double share, int series)
{
    return 1.96 * std::sqrt(share * (1.0 - share) / series);
}

}  // namespace

int main(int argc, char** argv)
{
    int series = 1000;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--series") {
            series = std::atoi(argv[i + 1]);
        } else if (option == "--only") {
            only = argv[i + 1];
        } else {
            std::fprintf(stderr, "procedure_study: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    core::ModuleSession session{CVMODULE_PATH};
    const std::vector<Model> models = {
        {"white noise", {1.0}, {1.0}, {0, 0, 0}, 10},
        {"AR(1) phi 0.5", {1.0, -0.5}, {1.0}, {1, 0, 0}, 10},
        {"AR(2) 0.5, 0.3", {1.0, -0.5, -0.3}, {1.0}, {2, 0, 0}, 20},
        {"IMA(1,1) theta 0.5", {1.0, -1.0}, {1.0, -0.5}, {0, 1, 1}, 10},
        {"airline 0.4, 0.6", multiply_lag_polynomials({1.0, -1.0}, seasonal_lag_polynomial(-1.0, 12)),
         multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12)), {0, 1, 1, 0, 1, 1, 12}, 50},
    };
    // Runs the procedure on `series` seeded series of a model with an effect
    // (or none: size 0) and innovations of df degrees of freedom (0: normal).
    const auto run = [&](const Model& model, std::size_t n, double df, const Effect& effect,
                         const core::OutlierOptions& options) {
        Tally tally;
        for (int s = 0; s < series; ++s) {
            std::vector<double> y = simulate(model, n, 1000003ULL * n + static_cast<std::uint64_t>(s), df);
            if (effect.size != 0.0) {
                plant_outlier(y, effect.type, effect.at, effect.size,
                              static_cast<std::size_t>(model.order.period));
            }
            ++tally.series;
            try {
                const auto start = std::chrono::steady_clock::now();
                const core::OutlierResult r = core::find_outliers(&session, y, model.order, {}, options);
                tally.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                tally.flagged += r.outliers.empty() ? 0 : 1;
                tally.heavy += r.heavy_tails ? 1 : 0;
                for (const core::FoundOutlier& o : r.outliers) {
                    tally.found += effect.size != 0.0 && o.index == effect.at && o.type == effect.type ? 1 : 0;
                    const auto later = effect.at + static_cast<std::size_t>(model.order.period);
                    tally.opposite += model.order.period > 1 && effect.type == core::OutlierType::level_shift &&
                                              o.type == core::OutlierType::level_shift && o.index == later &&
                                              o.effect * effect.size < 0
                                          ? 1
                                          : 0;
                }
            } catch (const std::exception& error) {
                ++tally.failed;
                std::fprintf(stderr, "%s n=%zu series %d: %s\n", model.name, n, s, error.what());
            }
        }
        return tally;
    };
    const auto with = [](double alpha, const char* method, double critical_value, double retention = 0) {
        core::OutlierOptions options;
        options.alpha = alpha;
        options.method = method;
        if (critical_value > 0) {
            options.critical_value = critical_value;
        }
        if (retention > 0) {
            options.retention_alpha = retention;
        }
        return options;
    };

    if (only.empty() || only == "size") {
        std::printf("| model | n | C 0.05 | L 0.05 | C 0.01 | L 0.01 | fixed 3.5 | heavy-tail warning | ms |\n"
                    "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const Model& model : models) {
            for (const std::size_t n : {10, 20, 30, 50, 100, 200, 500}) {
                if (n < model.shortest) {
                    continue;
                }
                const Tally c05 = run(model, n, 0, {}, with(0.05, "C", 0));
                const Tally l05 = run(model, n, 0, {}, with(0.05, "L", 0));
                const Tally c01 = run(model, n, 0, {}, with(0.01, "C", 0));
                const Tally l01 = run(model, n, 0, {}, with(0.01, "L", 0));
                const Tally fixed = run(model, n, 0, {}, with(0.05, "C", 3.5));
                std::printf("| %s | %zu | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f |\n", model.name, n,
                            c05.share(c05.flagged), l05.share(l05.flagged), c01.share(c01.flagged),
                            l01.share(l01.flagged), fixed.share(fixed.flagged), c05.share(c05.heavy),
                            1e3 * c05.seconds / c05.series);
                std::fflush(stdout);
            }
        }
        std::printf("\n(margin of a share near 0.05: +-%.3f; failures: none unless listed on stderr)\n\n",
                    margin(0.05, series));
    }
    if (only.empty() || only == "tails") {
        std::printf("| series | n | outlier at C 0.05 | heavy-tail warning |\n|---|---:|---:|---:|\n");
        for (const std::size_t n : {100, 300}) {
            const Tally t5 = run(models[1], n, 5.0, {}, with(0.05, "C", 0));
            std::printf("| AR(1), t(5) innovations | %zu | %.3f | %.3f |\n", n, t5.share(t5.flagged),
                        t5.share(t5.heavy));
            const Tally spike = run(models[1], n, 0, {core::OutlierType::additive, n / 2, 6.0}, with(0.05, "C", 0));
            std::printf("| AR(1), normal, one 6 sigma AO | %zu | %.3f | %.3f |\n", n, spike.share(spike.flagged),
                        spike.share(spike.heavy));
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    if (only.empty() || only == "power") {
        std::printf("| model | type | 3.5 sigma | 4.5 sigma | 6 sigma |\n|---|---|---:|---:|---:|\n");
        for (const Model& model : {models[1], models[3]}) {
            for (const core::OutlierType type : {core::OutlierType::additive, core::OutlierType::level_shift,
                                                 core::OutlierType::temporary_change}) {
                std::printf("| %s | %s |", model.name, core::outlier_type_name(type));
                for (const double size : {3.5, 4.5, 6.0}) {
                    const Tally t = run(model, 150, 0, {type, 75, size}, with(0.05, "C", 0));
                    std::printf(" %.3f |", t.share(t.found));
                }
                std::printf("\n");
                std::fflush(stdout);
            }
        }
        std::printf("\n");
    }
    if (only.empty() || only == "shifts") {
        std::printf("| model | n | drop step at | LS found at its time | opposite LS a period later | any outlier "
                    "without one |\n|---|---:|---|---:|---:|---:|\n");
        for (const double retention : {0.05, 0.1}) {
            const Tally ar2 = run(models[2], 200, 0, {core::OutlierType::level_shift, 100, 5.0},
                                  with(0.05, "C", 0, retention));
            const Tally ar2_size = run(models[2], 200, 0, {}, with(0.05, "C", 0, retention));
            std::printf("| %s | 200 | %.2f | %.3f | | %.3f |\n", models[2].name, retention, ar2.share(ar2.found),
                        ar2_size.share(ar2_size.flagged));
            const Tally airline = run(models[4], 144, 0, {core::OutlierType::level_shift, 72, 5.0},
                                      with(0.05, "C", 0, retention));
            const Tally airline_size = run(models[4], 144, 0, {}, with(0.05, "C", 0, retention));
            std::printf("| %s | 144 | %.2f | %.3f | %.3f | %.3f |\n", models[4].name, retention,
                        airline.share(airline.found), airline.share(airline.opposite),
                        airline_size.share(airline_size.flagged));
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    if (only.empty() || only == "seasonal") {
        const core::OutlierType SLS = core::OutlierType::seasonal_level_shift;
        core::OutlierOptions seasonal = with(0.05, "C", 0);
        seasonal.types = {core::OutlierType::additive, core::OutlierType::level_shift,
                          core::OutlierType::temporary_change, SLS};
        std::printf("| airline, n = 144 | types | any outlier without one | 5 sigma SLS found | 5 sigma LS found |\n"
                    "|---|---|---:|---:|---:|\n");
        for (const bool with_sls : {false, true}) {
            const core::OutlierOptions options = with_sls ? seasonal : with(0.05, "C", 0);
            const Tally size = run(models[4], 144, 0, {}, options);
            const Tally sls = run(models[4], 144, 0, {SLS, 72, 5.0}, options);
            const Tally ls = run(models[4], 144, 0, {core::OutlierType::level_shift, 72, 5.0}, options);
            std::printf("| | %s | %.3f | %.3f | %.3f |\n", with_sls ? "AO, LS, TC, SLS" : "AO, LS, TC",
                        size.share(size.flagged), sls.share(sls.found), ls.share(ls.found));
            std::fflush(stdout);
        }
    }
    return 0;
}
