// The outlier statistics against a direct evaluation of their formulas, their
// errors, and the locate stage on simulated AR(1) series with the critical
// value of the built module.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/ljungcv.h"
#include "core/outliers.h"

namespace core {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// Normal deviates by Box and Muller from the 53-bit uniforms of a 64-bit
// Mersenne twister, whose output the standard fixes: the same series on
// every standard library.
class Normal {
public:
    explicit Normal(std::uint64_t seed) : bits_(seed) {}
    double operator()()
    {
        const double u = (static_cast<double>(bits_() >> 11) + 0.5) * 0x1p-53;
        const double v = static_cast<double>(bits_() >> 11) * 0x1p-53;
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
    }
    double uniform(double low, double high) { return low + (high - low) * static_cast<double>(bits_() >> 11) * 0x1p-53; }

private:
    std::mt19937_64 bits_;
};

// ---- The statistics, formula by formula ----

// pi_j, 0 past the weights given.
double weight(const std::vector<double>& pi, std::size_t j)
{
    return j >= 1 && j <= pi.size() ? pi[j - 1] : 0.0;
}

// The seasonal level shift's period in these tests.
constexpr std::size_t PERIOD = 3;

// The regressor of `type` at time T + j, straight from its definition.
double regressor(OutlierType type, const std::vector<double>& pi, double delta, std::size_t j)
{
    switch (type) {
    case OutlierType::innovational:
        return j == 0 ? 1.0 : 0.0;
    case OutlierType::additive:
        return j == 0 ? 1.0 : -weight(pi, j);
    case OutlierType::level_shift: {
        double sum = 0.0;
        for (std::size_t i = 1; i <= j; ++i) {
            sum += weight(pi, i);
        }
        return 1.0 - sum;
    }
    case OutlierType::temporary_change: {
        double sum = 0.0;
        for (std::size_t i = 1; i <= j; ++i) {
            sum += std::pow(delta, static_cast<double>(j - i)) * weight(pi, i);
        }
        return std::pow(delta, static_cast<double>(j)) - sum;
    }
    case OutlierType::seasonal_level_shift: {
        // A unit at j, j - s, j - 2s, ... through 1 - pi_1 B - pi_2 B^2 - ...
        double sum = 0.0;
        for (std::size_t m = 0; m * PERIOD <= j; ++m) {
            const std::size_t i = j - m * PERIOD;
            sum += i == 0 ? 1.0 : -weight(pi, i);
        }
        return sum;
    }
    }
    return NaN;
}

// 1.4826 times the median absolute deviation, by sorting.
double sorted_median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 == 1 ? v[m] : (v[m - 1] + v[m]) / 2;
}

double naive_sigma(const std::vector<double>& e)
{
    const double centre = sorted_median(e);
    std::vector<double> deviations;
    for (const double x : e) {
        deviations.push_back(std::fabs(x - centre));
    }
    return 1.4826 * sorted_median(deviations);
}

struct Direct {
    std::vector<double> effects, statistics;
};

Direct direct(const std::vector<double>& e, const std::vector<double>& pi, OutlierType type, double delta,
              double sigma)
{
    const std::size_t n = e.size();
    std::vector<double> xs(n);
    for (std::size_t j = 0; j < n; ++j) {
        xs[j] = regressor(type, pi, delta, j);
    }
    Direct d;
    for (std::size_t T = 0; T < n; ++T) {
        if ((type == OutlierType::level_shift && T == n - 1) ||
            (type == OutlierType::seasonal_level_shift && T + PERIOD >= n)) {
            d.effects.push_back(NaN);
            d.statistics.push_back(NaN);
            continue;
        }
        double ex = 0.0;
        double xx = 0.0;
        for (std::size_t t = T; t < n; ++t) {
            const double x = xs[t - T];
            ex += e[t] * x;
            xx += x * x;
        }
        const double w = ex / xx;
        d.effects.push_back(w);
        d.statistics.push_back(w * std::sqrt(xx) / sigma);
    }
    return d;
}

// The core sums a regressor's tail from running sums of the residuals and
// takes its TC and SLS sequences from their recurrences, so it agrees with
// the formulas' sums to rounding: 1e-12 relative, or absolute below 1 (a
// statistic near 0 is a difference of sums near each other).
void expect_agree(double core, double formula, const std::string& where)
{
    if (std::isnan(formula)) {
        EXPECT_TRUE(std::isnan(core)) << where;
    } else {
        EXPECT_NEAR(core, formula, 1e-12 * std::max(1.0, std::fabs(formula))) << where;
    }
}

TEST(OutlierStatistics, AgreeWithTheFormulas)
{
    Normal normal(20240611);
    for (const std::size_t n : {1, 2, 3, 8, 61, 150}) {
        for (const std::size_t k : {0, 1, 5}) {
            for (const double delta : {0.05, 0.7, 0.95}) {
                std::vector<double> e(n);
                std::vector<double> pi(k);
                for (double& x : e) {
                    x = normal();
                }
                for (double& p : pi) {
                    p = normal.uniform(-0.9, 0.9) / static_cast<double>(k);
                }
                // The default scale, unless all residuals but one are equal.
                const double sigma = n > 2 ? naive_sigma(e) : 1.25;
                for (const OutlierType type : OUTLIER_TYPES) {
                    std::vector<double> effects(n);
                    std::vector<double> statistics(n);
                    outlier_statistics(e, pi, type, delta, PERIOD,
                                       n > 2 ? std::nullopt : std::optional<double>(sigma), effects, statistics);
                    const Direct d = direct(e, pi, type, delta, sigma);
                    for (std::size_t T = 0; T < n; ++T) {
                        const std::string where = std::string(outlier_type_name(type)) + " n=" + std::to_string(n) +
                                                  " k=" + std::to_string(k) + " delta=" + std::to_string(delta) +
                                                  " T=" + std::to_string(T);
                        expect_agree(effects[T], d.effects[T], where);
                        expect_agree(statistics[T], d.statistics[T], where);
                    }
                }
            }
        }
    }
}

// Weights that never end, as a moving average's: the core trims those that
// cannot move a statistic and correlates the rest by FFT where that is
// cheaper, and still agrees with the formulas over every weight.
TEST(OutlierStatistics, AgreeWithTheFormulasOverLongWeights)
{
    Normal normal(20261210);
    struct Weights {
        const char* what;
        double first, decay;  // pi_j = first decay^(j-1)
    };
    for (const Weights w : {Weights{"MA(1) 0.6", 0.4, 0.6}, Weights{"MA(1) 0.97", 0.03, 0.97},
                            Weights{"alternating", -0.8, -0.8}}) {
        for (const std::size_t n : {400, 1500}) {
            std::vector<double> e(n);
            for (double& x : e) {
                x = normal();
            }
            std::vector<double> pi(n - 1);
            double weight = w.first;
            for (double& p : pi) {
                p = weight;
                weight *= w.decay;
            }
            for (const OutlierType type : OUTLIER_TYPES) {
                std::vector<double> effects(n);
                std::vector<double> statistics(n);
                outlier_statistics(e, pi, type, 0.7, PERIOD, std::nullopt, effects, statistics);
                const Direct d = direct(e, pi, type, 0.7, naive_sigma(e));
                for (std::size_t T = 0; T < n; ++T) {
                    const std::string where = std::string(outlier_type_name(type)) + " " + w.what +
                                              " n=" + std::to_string(n) + " T=" + std::to_string(T);
                    expect_agree(effects[T], d.effects[T], where);
                    expect_agree(statistics[T], d.statistics[T], where);
                }
            }
        }
    }
}

TEST(OutlierStatistics, DefaultSigmaIsTheScaledMedianAbsoluteDeviation)
{
    Normal normal(7);
    for (const std::size_t n : {1, 2, 5, 6, 101}) {
        std::vector<double> e(n);
        for (double& x : e) {
            x = 3.0 * normal() + 1.0;
        }
        EXPECT_EQ(default_sigma(e), naive_sigma(e)) << n;
    }
    // Far from the median both ways, where the two middle values' sum overflows.
    EXPECT_EQ(default_sigma(std::vector<double>{-1e308, 1e308, 1e308, -1e308}), 1.4826 * 1e308);
}

// ---- Input the statistics cannot use ----

struct ErrorCase {
    const char* what;
    std::vector<double> residuals;
    std::vector<double> pi;
    OutlierType type;
    double delta;
    std::optional<double> sigma;
    const char* message;  // "" when the input is good
    std::size_t period = 4;
};

TEST(OutlierStatistics, RejectInputWithAReason)
{
    const OutlierType AO = OutlierType::additive;
    const OutlierType TC = OutlierType::temporary_change;
    const std::vector<double> e = {0.5, -1.0, 2.0, 0.25};
    const ErrorCase cases[] = {
        {"no residuals", {}, {}, AO, 0.7, 1.0, "no residuals (n = 0)"},
        {"NaN residual", {1, NaN, 2}, {}, AO, 0.7, 1.0,
         "residuals[1] is not finite (nan): a model's residuals are numbers"},
        {"infinite residual", {-INF}, {}, AO, 0.7, {}, "residuals[0] is not finite (-inf): a model's residuals are numbers"},
        {"infinite weight", e, {0.5, INF}, AO, 0.7, 1.0, "pi[1] is not finite (inf) (the weight pi_2)"},
        {"NaN weight", e, {NaN}, OutlierType::innovational, 0.7, 1.0, "pi[0] is not finite (nan) (the weight pi_1)"},
        {"delta 1", e, {}, TC, 1.0, 1.0,
         "delta = 1 is outside (0, 1): a temporary change decays by the factor delta each step"},
        {"delta 0", e, {}, TC, 0.0, 1.0,
         "delta = 0 is outside (0, 1): a temporary change decays by the factor delta each step"},
        {"delta NaN", e, {}, TC, NaN, 1.0,
         "delta = nan is outside (0, 1): a temporary change decays by the factor delta each step"},
        {"delta unread by AO", e, {}, AO, 5.0, 1.0, ""},
        {"period 1", e, {}, OutlierType::seasonal_level_shift, 0.7, 1.0,
         "period = 1: a seasonal level shift needs the seasonal period, at least 2", 1},
        {"sigma 0", e, {}, AO, 0.7, 0.0, "sigma = 0 is not a finite positive scale"},
        {"sigma negative", e, {}, AO, 0.7, -2.0, "sigma = -2 is not a finite positive scale"},
        {"sigma infinite", e, {}, AO, 0.7, INF, "sigma = inf is not a finite positive scale"},
        {"default sigma 0", {0, 0, 0, 1}, {}, AO, 0.7, {},
         "the default sigma (1.4826 times the median absolute deviation of the residuals) is 0; give sigma"},
        {"one residual, sigma given", {3}, {0.5}, OutlierType::level_shift, 0.7, 1.0, ""},
    };
    for (const ErrorCase& c : cases) {
        std::vector<double> statistics(c.residuals.size());
        try {
            outlier_statistics(c.residuals, c.pi, c.type, c.delta, c.period, c.sigma, {}, statistics);
            EXPECT_STREQ("", c.message) << c.what;
        } catch (const OutlierInputError& error) {
            EXPECT_STREQ(error.what(), c.message) << c.what;
        }
    }
}

// ---- The locate stage ----

// An AR(1) series y_t = phi y_{t-1} + a_t from its stationary start, an
// outlier of size w at T added to y in its own shape, and the residuals of
// the true model, e_t = y_t - phi y_{t-1} (so pi_1 = phi).
std::vector<double> ar1_residuals(Normal& normal, std::size_t n, double phi, std::optional<OutlierType> type,
                                  std::size_t T, double w)
{
    std::vector<double> y(n + 1);
    y[0] = normal() / std::sqrt(1.0 - phi * phi);  // the value before the first residual
    for (std::size_t t = 1; t <= n; ++t) {
        y[t] = phi * y[t - 1] + normal();
    }
    if (type == OutlierType::additive) {
        y[T + 1] += w;
    } else if (type == OutlierType::level_shift) {
        for (std::size_t t = T + 1; t <= n; ++t) {
            y[t] += w;
        }
    }
    std::vector<double> e(n);
    for (std::size_t t = 0; t < n; ++t) {
        e[t] = y[t + 1] - phi * y[t];
    }
    return e;
}

class Locate : public ::testing::Test {
protected:
    static constexpr std::size_t N = 150;
    static constexpr double PHI = 0.6;
    static constexpr int SERIES = 400;
    const OutlierTypes types{OutlierType::additive, OutlierType::level_shift, OutlierType::temporary_change};
    const std::vector<double> pi{PHI};

    ModuleSession session{CVMODULE_PATH};
    Curve corrected{session, Method::corrected};

    std::vector<Outlier> locate(const std::vector<double>& e, double critical_value) const
    {
        std::vector<Outlier> found = locate_outliers(e, pi, types, DEFAULT_DELTA, 0, critical_value);
        // Whatever the series: each time once, each statistic above the value.
        std::vector<bool> seen(e.size(), false);
        for (const Outlier& o : found) {
            EXPECT_FALSE(seen[o.index]) << o.index;
            seen[o.index] = true;
            EXPECT_GT(std::fabs(o.statistic), critical_value);
            EXPECT_TRUE(types.contains(o.type));
        }
        return found;
    }
};

TEST_F(Locate, FindsASixSigmaOutlierWhereItIs)
{
    const double cv = outlier_critical_value(corrected, std::nullopt, N, 0.05);
    Normal normal(150);
    int additive_found = 0;
    int shift_found = 0;
    for (int s = 0; s < SERIES; ++s) {
        const auto T = static_cast<std::size_t>(normal.uniform(10, 140));
        const std::vector<Outlier> ao = locate(ar1_residuals(normal, N, PHI, OutlierType::additive, T, 6.0), cv);
        additive_found += std::any_of(ao.begin(), ao.end(), [&](const Outlier& o) {
            return o.index == T && o.type == OutlierType::additive;
        });
        const std::vector<Outlier> ls = locate(ar1_residuals(normal, N, PHI, OutlierType::level_shift, T, 6.0), cv);
        shift_found += std::any_of(ls.begin(), ls.end(), [&](const Outlier& o) {
            return o.type == OutlierType::level_shift && o.index + 1 >= T && o.index <= T + 1;
        });
    }
    EXPECT_GE(additive_found, SERIES * 9 / 10);
    EXPECT_GE(shift_found, SERIES * 8 / 10);
    std::printf("6 sigma at n = %zu, LJUNGCV = %.4f: AO at its time %.3f, LS within one step %.3f\n", N, cv,
                additive_found / double{SERIES}, shift_found / double{SERIES});
}

TEST_F(Locate, HoldsItsLevelOnSeriesWithoutOutliers)
{
    const double cv05 = outlier_critical_value(corrected, std::nullopt, N, 0.05);
    const double cv01 = outlier_critical_value(corrected, std::nullopt, N, 0.01);
    Normal normal(1993);
    int alarms05 = 0;
    int alarms01 = 0;
    for (int s = 0; s < SERIES; ++s) {
        const std::vector<double> e = ar1_residuals(normal, N, PHI, std::nullopt, 0, 0.0);
        alarms05 += !locate(e, cv05).empty();
        alarms01 += !locate(e, cv01).empty();
    }
    // At most about twice the level: 2 alpha, with room for the sampling
    // error of SERIES series (two binomial standard errors at alpha).
    EXPECT_LE(alarms05, SERIES * 0.10 + 2 * std::sqrt(SERIES * 0.05 * 0.95));
    EXPECT_LE(alarms01, SERIES * 0.05);
    std::printf("no outlier, n = %zu: false alarms %.3f at alpha 0.05, %.3f at alpha 0.01\n", N,
                alarms05 / double{SERIES}, alarms01 / double{SERIES});
}

TEST_F(Locate, TakesTheLargestStatisticFirst)
{
    Normal normal(42);
    const std::vector<double> e = ar1_residuals(normal, N, PHI, OutlierType::level_shift, 70, 5.0);
    const std::vector<Outlier> found = locate(e, 3.0);
    ASSERT_FALSE(found.empty());
    double largest = 0.0;
    Outlier first;
    for (const OutlierType type : OUTLIER_TYPES) {
        if (!types.contains(type)) {
            continue;
        }
        std::vector<double> effects(N);
        std::vector<double> statistics(N);
        outlier_statistics(e, pi, type, DEFAULT_DELTA, 0, std::nullopt, effects, statistics);
        for (std::size_t T = 0; T < N; ++T) {
            if (std::fabs(statistics[T]) > largest) {
                largest = std::fabs(statistics[T]);
                first = {T, type, effects[T], statistics[T]};
            }
        }
    }
    EXPECT_EQ(found.front(), first);
    // Nothing exceeds a critical value above the largest statistic.
    EXPECT_TRUE(locate(e, largest).empty());
}

TEST_F(Locate, CriticalValueErrorsAreTheFunctionsOwn)
{
    EXPECT_EQ(outlier_critical_value(corrected, std::nullopt, N, 0.05), corrected.at(150, 0.05).value);
    EXPECT_THROW(outlier_critical_value(corrected, std::nullopt, N, 0.5), OutlierInputError);
    Curve unknown(session, "median");
    try {
        outlier_critical_value(unknown, "median", N, 0.05);
        ADD_FAILURE() << "no error";
    } catch (const OutlierInputError& error) {
        EXPECT_STREQ(error.what(), "argument 3 (method = 'median') rejected: the method must be "
                                   "L, LJUNG, C, CORR, CORRECT or CORRECTED");
    }
    try {
        outlier_critical_value(corrected, std::nullopt, N, 0.0);
        ADD_FAILURE() << "no error";
    } catch (const NoCriticalValue& error) {
        EXPECT_NE(std::string(error.what()).find("at alpha = 0 the critical value is infinite"), std::string::npos);
    }
    const std::vector<double> e = {1, -1, 2, 0.5};
    for (const double bad : {0.0, -1.0, INF, NaN}) {
        EXPECT_THROW(locate_outliers(e, pi, types, 0.7, 0, bad), OutlierInputError) << bad;
    }
    EXPECT_THROW(locate_outliers(e, pi, OutlierTypes{}, 0.7, 0, 3.0), OutlierInputError);
}

}  // namespace
}  // namespace core
