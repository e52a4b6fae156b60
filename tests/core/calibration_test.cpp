// The calibrated critical value's pieces: the random transforms against
// their laws, the t law's tail and the log-gamma against closed forms, the
// t fit against samples of known degrees of freedom, the simulated maxima
// against the outlier statistics formed directly, determinism for a seed,
// the stop hook, the bound on the work, and the option's checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "calibrated_critical_value.h"
#include "core/outlier_procedure.h"
#include "random_draws.h"
#include "student_t_fit.h"

namespace {

namespace cal = core::calibration;

// Tolerances below are six standard errors of the estimate over the draws:
// at a fixed seed the test is deterministic, and a transform that is wrong
// (a wrong law, a lost factor) moves the estimate by far more.
constexpr int DRAWS = 200000;

double binomial_margin(double p)
{
    return 6.0 * std::sqrt(p * (1.0 - p) / DRAWS);
}

// The share of draws beyond each law's two-sided 5% point, and the variance
// where it is finite and has a finite fourth moment.
TEST(RandomDraws, FollowTheirLaws)
{
    struct Case {
        double dof;
        double two_sided_5pct;  // the t law's 0.975 quantile
    };
    const Case cases[] = {{3.0, 3.182446305284263}, {5.0, 2.570581835636314}, {30.0, 2.042272456301238},
                          {INFINITY, 1.959963984540054}};
    for (const Case& c : cases) {
        cal::RandomDraws random(1234);
        int beyond = 0;
        double sum = 0;
        double squares = 0;
        for (int i = 0; i < DRAWS; ++i) {
            const double x = random.student_t(c.dof);
            beyond += std::fabs(x) > c.two_sided_5pct ? 1 : 0;
            sum += x;
            squares += x * x;
        }
        EXPECT_NEAR(static_cast<double>(beyond) / DRAWS, 0.05, binomial_margin(0.05)) << "dof " << c.dof;
        EXPECT_NEAR(sum / DRAWS, 0.0, 0.05) << "dof " << c.dof;
        if (c.dof > 4.0) {
            const double variance = std::isinf(c.dof) ? 1.0 : c.dof / (c.dof - 2.0);
            EXPECT_NEAR(squares / DRAWS / variance, 1.0, 0.03) << "dof " << c.dof;
        }
    }
    cal::RandomDraws random(99);
    double sum = 0;
    double squares = 0;
    int normal_beyond = 0;
    for (int i = 0; i < DRAWS; ++i) {
        const double u = random.uniform();
        ASSERT_TRUE(u > 0.0 && u < 1.0);
        sum += u;
        squares += (u - 0.5) * (u - 0.5);
        normal_beyond += std::fabs(random.normal()) > 2.575829303548901 ? 1 : 0;
    }
    EXPECT_NEAR(sum / DRAWS, 0.5, 6.0 * std::sqrt(1.0 / 12.0 / DRAWS));
    EXPECT_NEAR(squares / DRAWS, 1.0 / 12.0, 0.002);
    EXPECT_NEAR(static_cast<double>(normal_beyond) / DRAWS, 0.01, binomial_margin(0.01));
}

TEST(RandomDraws, IndicesAreUniformAndInRange)
{
    cal::RandomDraws random(5);
    constexpr std::uint64_t count = 7;
    std::vector<int> seen(count);
    for (int i = 0; i < DRAWS; ++i) {
        const std::uint64_t k = random.index(count);
        ASSERT_LT(k, count);
        ++seen[k];
    }
    for (const int s : seen) {
        EXPECT_NEAR(static_cast<double>(s) / DRAWS, 1.0 / count, binomial_margin(1.0 / count));
    }
}

// The t law's tails where they have a closed form: nu = 1 (Cauchy), nu = 2,
// and the normal limit at large nu.
TEST(StudentTTails, MatchClosedForms)
{
    for (const double x : {0.0, 0.3, 1.0, 2.5, 7.0, 40.0}) {
        EXPECT_NEAR(cal::student_t_two_tails(x, 1.0), 1.0 - 2.0 / std::numbers::pi * std::atan(x), 1e-13) << x;
        EXPECT_NEAR(cal::student_t_two_tails(x, 2.0), 1.0 - x / std::sqrt(2.0 + x * x), 1e-13) << x;
    }
    for (const double x : {0.0, 0.3, 1.0, 2.5, 5.0}) {
        EXPECT_NEAR(cal::student_t_two_tails(x, 1e6) / std::erfc(x / std::numbers::sqrt2), 1.0, 1e-3) << x;
    }
}

TEST(LogGamma, MatchesFactorialsAndHalfIntegers)
{
    double log_factorial = 0.0;  // ln (k - 1)!
    for (int k = 1; k <= 30; ++k) {
        EXPECT_NEAR(cal::log_gamma(k), log_factorial, 1e-13 * std::max(1.0, log_factorial)) << k;
        log_factorial += std::log(static_cast<double>(k));
    }
    const double root_pi = std::sqrt(std::numbers::pi);
    EXPECT_NEAR(cal::log_gamma(0.5), std::log(root_pi), 1e-14);
    EXPECT_NEAR(cal::log_gamma(2.5), std::log(0.75 * root_pi), 1e-14);
}

std::vector<double> t_sample(double dof, double scale, int size, std::uint64_t seed)
{
    cal::RandomDraws random(seed);
    std::vector<double> x(static_cast<std::size_t>(size));
    for (double& v : x) {
        v = scale * random.student_t(dof);
    }
    return x;
}

// The fit recovers nu and s from large samples; censoring the largest
// values keeps it there, where leaving them out would make the tails look
// lighter.
TEST(StudentTFit, RecoversKnownLaws)
{
    struct Case {
        double dof;
        double low, high;  // the range nu-hat must fall in
    };
    const Case cases[] = {{3.0, 2.6, 3.5}, {6.0, 4.8, 7.8}, {INFINITY, 60.0, INFINITY}};
    for (const Case& c : cases) {
        const std::vector<double> x = t_sample(c.dof, 2.0, 5000, 17);
        const cal::StudentTFit fit = cal::fit_student_t(x);
        EXPECT_GE(fit.dof, c.low) << c.dof;
        EXPECT_LE(fit.dof, c.high) << c.dof;
        EXPECT_NEAR(fit.scale, 2.0, 0.1) << c.dof;
        EXPECT_EQ(fit.likelihood_ratio > 10.0, std::isfinite(c.dof)) << c.dof;
    }

    std::vector<double> x = t_sample(3.0, 1.0, 3000, 23);
    std::sort(x.begin(), x.end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    constexpr std::size_t top = 60;
    const std::vector<double> rest(x.begin(), x.end() - top);
    const double threshold = std::fabs(rest.back());
    const cal::StudentTFit censored = cal::fit_student_t(rest, top, threshold);
    const cal::StudentTFit deleted = cal::fit_student_t(rest);
    EXPECT_GE(censored.dof, 2.5);
    EXPECT_LE(censored.dof, 3.7);
    EXPECT_GT(deleted.dof, 1.5 * censored.dof);
}

// The simulated maximum of one draw is the largest |tau| that the outlier
// statistics give on the same innovations, for pi weights that end and
// that do not, and for none.
TEST(SimulatedMaxima, AgreeWithTheStatistics)
{
    const std::size_t n = 90;
    std::vector<double> ar2(n - 1, 0.0);
    ar2[0] = 0.6;
    ar2[1] = -0.2;
    std::vector<double> ma1(n - 1);
    for (std::size_t j = 0; j < ma1.size(); ++j) {
        ma1[j] = -std::pow(0.5, static_cast<double>(j + 1));
    }
    const std::vector<double> none;
    const std::vector<double> e = t_sample(4.0, 1.0, static_cast<int>(n), 3);
    const auto flags = std::make_unique<bool[]>(n);
    std::fill(flags.get(), flags.get() + n, false);
    for (const std::vector<double>* pi : {&std::as_const(ar2), &std::as_const(ma1), &none}) {
        const cal::LocateSetup setup{*pi, core::DEFAULT_OUTLIER_TYPES, 0.7, std::span<const bool>(flags.get(), n)};
        const std::vector<double> maxima = cal::simulated_maxima(
            setup, [&](cal::RandomDraws&, std::span<double> out) { std::copy(e.begin(), e.end(), out.begin()); }, 1,
            1, {});
        double largest = 0.0;
        std::vector<double> tau(n);
        for (const core::OutlierType type : core::OUTLIER_TYPES) {
            if (core::DEFAULT_OUTLIER_TYPES.contains(type)) {
                core::outlier_statistics(e, *pi, type, 0.7, 0, std::nullopt, {}, tau);
                for (const double t : tau) {
                    largest = std::isfinite(t) ? std::max(largest, std::fabs(t)) : largest;
                }
            }
        }
        ASSERT_EQ(maxima.size(), 1U);
        EXPECT_NEAR(maxima[0], largest, 1e-12 * largest) << "pi weights: " << pi->size();
    }
}

TEST(SimulatedMaxima, AreTheSameForASeedAndStopOnRequest)
{
    const std::size_t n = 60;
    const std::vector<double> pi = {0.5};
    const auto flags = std::make_unique<bool[]>(n);
    std::fill(flags.get(), flags.get() + n, false);
    flags[0] = true;
    const cal::LocateSetup setup{pi, core::DEFAULT_OUTLIER_TYPES, 0.7, std::span<const bool>(flags.get(), n)};
    const cal::InnovationDraw draw = [](cal::RandomDraws& random, std::span<double> e) {
        for (double& v : e) {
            v = random.student_t(5.0);
        }
    };
    const std::vector<double> a = cal::simulated_maxima(setup, draw, 200, 42, {});
    EXPECT_EQ(a, cal::simulated_maxima(setup, draw, 200, 42, {}));
    EXPECT_NE(a, cal::simulated_maxima(setup, draw, 200, 43, {}));
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));

    int asked = 0;
    EXPECT_THROW(cal::simulated_maxima(setup, draw, 200, 42, [&] { return ++asked > 5; }), core::OutlierStopped);
    EXPECT_EQ(asked, 6);
}

TEST(UpperQuantile, LeavesAShareAlphaAbove)
{
    std::vector<double> sorted(1000);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        sorted[i] = static_cast<double>(i + 1);
    }
    for (const double alpha : {0.05, 0.01, 0.1, 0.001}) {
        const double c = cal::upper_quantile(sorted, alpha);
        const auto above = std::count_if(sorted.begin(), sorted.end(), [&](double v) { return v > c; });
        EXPECT_EQ(static_cast<double>(above), std::round(alpha * 1000)) << alpha;
    }
}

// A calibration that would take too long is refused before any draw.
TEST(Calibrate, RefusesWorkBeyondItsBound)
{
    const std::size_t n = 100000;
    const std::vector<double> pi = {0.5};
    const auto flags = std::make_unique<bool[]>(n);
    std::fill(flags.get(), flags.get() + n, false);
    const cal::LocateSetup setup{pi, core::DEFAULT_OUTLIER_TYPES, 0.7, std::span<const bool>(flags.get(), n)};
    const std::vector<double> residuals(n, 1.0);
    try {
        cal::calibrate(residuals, {}, setup, 0.05, 0.05, core::MOST_RESAMPLES, 1, {});
        ADD_FAILURE() << "not refused";
    } catch (const core::OutlierInputError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("resamples: 100000 draws of 100000 innovations", 0), 0U)
            << error.what();
    }
}

// The option's checks come first, before any fit, with a message naming the argument.
TEST(ResamplingOption, IsChecked)
{
    struct Case {
        int resamples;
        double alpha;
        std::optional<double> retention;
        std::optional<double> critical_value;
        const char* message;
    };
    const Case cases[] = {
        {99, 0.05, {}, {}, "resamples: must be 0 (LJUNGCV's critical value) or from 100 to 100000, got 99"},
        {100001, 0.05, {}, {}, "resamples: must be 0 (LJUNGCV's critical value) or from 100 to 100000, got 100001"},
        {-1, 0.05, {}, {}, "resamples: must be 0 (LJUNGCV's critical value) or from 100 to 100000, got -1"},
        {1000, 0.05, {}, 3.5, "resamples: calibrates the critical value, and critical_value gives one; ask for one "
                              "or the other"},
        {500, 0.01, {}, {}, "resamples: 500 draws cannot calibrate the level 0.01; it takes at least 10 / level draws"},
        {1000, 0.05, 0.005, {}, "resamples: 1000 draws cannot calibrate the level 0.005; it takes at least 10 / "
                                "level draws"},
        {1000, 0.0, {}, {}, "resamples: 1000 draws cannot calibrate the level 0; it takes at least 10 / level draws"},
    };
    const std::vector<double> y(50, 1.0);
    for (const Case& c : cases) {
        core::OutlierOptions options;
        options.resamples = c.resamples;
        options.alpha = c.alpha;
        options.retention_alpha = c.retention;
        options.critical_value = c.critical_value;
        try {
            core::find_outliers(nullptr, y, {1, 0, 0}, {}, options);
            ADD_FAILURE() << c.message;
        } catch (const core::OutlierInputError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

// Through the procedure: a seed gives the same critical value, another
// seed another; on heavy-tailed noise the value rises above LJUNGCV's, and
// the stop hook is asked during the draws too.
TEST(ResamplingOption, CalibratesThroughTheProcedure)
{
    core::ModuleSession session{CVMODULE_PATH};
    // AR(1) with t(3) innovations.
    std::vector<double> y = t_sample(3.0, 1.0, 200, 8);
    for (std::size_t t = 1; t < y.size(); ++t) {
        y[t] += 0.5 * y[t - 1];
    }
    core::OutlierOptions options;
    options.resamples = 300;
    options.seed = 5;
    const core::OutlierResult a = core::find_outliers(&session, y, {1, 0, 0}, {}, options);
    const core::OutlierResult plain = core::find_outliers(&session, y, {1, 0, 0}, {}, core::OutlierOptions{});
    EXPECT_TRUE(a.calibrated);
    EXPECT_FALSE(plain.calibrated);
    EXPECT_TRUE(std::isnan(plain.tail_dof));
    EXPECT_LT(a.tail_dof, 10.0);
    EXPECT_GT(a.critical_value, plain.critical_value + 1.0);
    EXPECT_EQ(core::find_outliers(&session, y, {1, 0, 0}, {}, options).critical_value, a.critical_value);
    options.seed = 6;
    EXPECT_NE(core::find_outliers(&session, y, {1, 0, 0}, {}, options).critical_value, a.critical_value);

    // Count the hook's questions without calibration, then stop just after them.
    int asked = 0;
    core::OutlierOptions counted = options;
    counted.resamples = 0;
    counted.stop_requested = [&] { return ++asked < 0; };
    core::find_outliers(&session, y, {1, 0, 0}, {}, counted);
    const int before_draws = 2 * asked + 2;  // the first pass and the calibrated run's first fit
    asked = 0;
    options.stop_requested = [&] { return ++asked > before_draws; };
    EXPECT_THROW(core::find_outliers(&session, y, {1, 0, 0}, {}, options), core::OutlierStopped);
}

}  // namespace
