// The identification: the KPSS statistic against its formula and its
// decision on seeded series, the seasonal strength on seasonal and
// non-seasonal series, and the search's candidates against fits run anew.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstddef>
#include <cstdint>
#include <future>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../support/arma_simulation.h"
#include "core/arima_identification.h"

namespace {

using core::ArimaOrder;
using core::CandidateModel;
using core::CandidateOutcome;
using core::Identification;
using core::IdentificationOptions;

// --- The KPSS statistic ---------------------------------------------------

// x = 1, 3, 2, 4: T = 4, l = floor(4 * 0.04^(1/4)) = 1, mean 2.5,
// e = -1.5, 0.5, -0.5, 1.5, S = -1.5, -1, -1.5, 0, sum S^2 = 5.5,
// sum e^2 = 5, sum e_t e_{t-1} = -0.75 - 0.25 - 0.75 = -1.75, w(1, 1) = 1/2,
// s^2 = (5 + 2 (1/2)(-1.75)) / 4 = 0.8125, eta = 5.5 / (16 s^2); the p-value
// lies on the table's segment from (0.347, 0.10) to (0.463, 0.05).
TEST(Kpss, SmallCaseByHand)
{
    const std::vector<double> x = {1.0, 3.0, 2.0, 4.0};
    const core::KpssTest test = core::kpss_test(x);
    const double eta = 5.5 / (16.0 * ((5.0 - 1.75) / 4.0));
    EXPECT_EQ(test.lags, 1);
    EXPECT_EQ(test.observations, 4U);
    EXPECT_NEAR(test.statistic, eta, 1e-15);
    EXPECT_NEAR(test.p_value, 0.10 - 0.05 * (eta - 0.347) / (0.463 - 0.347), 1e-15);
    EXPECT_FALSE(test.rejects);
}

// The statistic written out as its definition, term by term.
double kpss_by_definition(const std::vector<double>& x, int l)
{
    const auto T = x.size();
    double mean = 0.0;
    for (const double v : x) {
        mean += v / static_cast<double>(T);
    }
    double numerator = 0.0;
    for (std::size_t t = 0; t < T; ++t) {
        double S = 0.0;
        for (std::size_t i = 0; i <= t; ++i) {
            S += x[i] - mean;
        }
        numerator += S * S;
    }
    double s2 = 0.0;
    for (int s = -l; s <= l; ++s) {
        const double w = 1.0 - std::fabs(s) / (l + 1.0);
        const auto lag = static_cast<std::size_t>(std::abs(s));
        for (std::size_t t = lag; t < T; ++t) {
            s2 += w * (x[t] - mean) * (x[t - lag] - mean) / static_cast<double>(T);
        }
    }
    return numerator / (static_cast<double>(T * T) * s2);
}

// Over lengths whose truncation differs, with and without missing values
// (which are skipped, the observed values taken as one series).
TEST(Kpss, MatchesItsDefinition)
{
    const struct {
        std::size_t n;
        int lags;  // floor(4 (n / 100)^(1/4))
    } cases[] = {{12, 2}, {50, 3}, {130, 4}, {400, 5}};
    for (const auto& c : cases) {
        const std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, c.n, c.n, 1.0);
        const core::KpssTest test = core::kpss_test(y);
        EXPECT_EQ(test.lags, c.lags) << c.n;
        EXPECT_NEAR(test.statistic, kpss_by_definition(y, c.lags), 1e-12 * test.statistic) << c.n;

        std::vector<double> gappy;
        for (std::size_t t = 0; t < y.size(); ++t) {
            gappy.push_back(y[t]);
            if (t % 5 == 2) {
                gappy.push_back(NAN);
            }
        }
        const core::KpssTest skipped = core::kpss_test(gappy);
        EXPECT_EQ(skipped.observations, c.n);
        EXPECT_EQ(skipped.statistic, test.statistic) << c.n;
    }
}

// The differences chosen on seeded series of known integration, and how
// often: over 200 seeds the share right was 0.925 (white noise), 0.86
// (AR(1)), 0.89 (random walk), 0.82 (ARI(1,1)) and 0.95 (I(2)); a wrong
// table, truncation or order of tests falls far below these bounds.
TEST(Kpss, DifferencesOnSeededSeries)
{
    const struct {
        const char* model;
        std::vector<double> ar;
        int d;
        int at_least;  // of 20 series
    } cases[] = {
        {"white noise", {1.0}, 0, 16},
        {"AR(1) 0.5", {1.0, -0.5}, 0, 14},
        {"random walk", {1.0, -1.0}, 1, 15},
        {"ARI(1,1) 0.5", multiply_lag_polynomials({1.0, -1.0}, {1.0, -0.5}), 1, 14},
        {"I(2)", multiply_lag_polynomials({1.0, -1.0}, {1.0, -1.0}), 2, 16},
    };
    for (const auto& c : cases) {
        int hits = 0;
        for (std::uint64_t seed = 1; seed <= 20; ++seed) {
            const std::vector<double> y = simulate_lag_model(c.ar, {1.0}, 200, seed, 1.0);
            const core::DifferencingChoice choice = core::choose_differencing(y, 1, {}, {});
            hits += choice.d == c.d ? 1 : 0;
            ASSERT_EQ(choice.kpss.size(), static_cast<std::size_t>(choice.d) + 1);
            for (int i = 0; i < choice.d; ++i) {
                EXPECT_TRUE(choice.kpss[static_cast<std::size_t>(i)].rejects);
            }
            EXPECT_TRUE(!choice.kpss.back().rejects || choice.d == 2);
        }
        EXPECT_GE(hits, c.at_least) << c.model;
    }
}

// --- The seasonal strength ------------------------------------------------

// A season and a straight trend with nothing left over: the trend is the
// centred average exactly, the remainder 0, the strength 1; a series with
// no variation about its trend has strength 0.
TEST(SeasonalStrength, ExactDecompositions)
{
    const std::vector<double> pattern = {3.0, -1.0, 0.5, -2.5};  // sums to 0
    std::vector<double> y;
    for (std::size_t t = 0; t < 40; ++t) {
        y.push_back(0.25 * static_cast<double>(t) + pattern[t % 4]);
    }
    EXPECT_NEAR(core::seasonal_strength(y, 4), 1.0, 1e-12);
    std::vector<double> line;
    for (std::size_t t = 0; t < 40; ++t) {
        line.push_back(0.25 * static_cast<double>(t));
    }
    EXPECT_EQ(core::seasonal_strength(line, 4), 0.0);
    // Too short to see a season twice; no period.
    EXPECT_TRUE(std::isnan(core::seasonal_strength(std::vector<double>(y.begin(), y.begin() + 7), 4)));
    EXPECT_TRUE(std::isnan(core::seasonal_strength(y, 1)));
}

// D on seeded monthly series: seasonal ones (a seasonal random walk, the
// airline model, a fixed pattern in AR(1) noise) take it, others not, and a
// few missing values do not change that.
TEST(SeasonalStrength, SeasonalDifferencingOnSeededSeries)
{
    const std::vector<double> seasonal_walk = seasonal_lag_polynomial(-1.0, 12);
    const std::vector<double> airline_ar = multiply_lag_polynomials({1.0, -1.0}, seasonal_walk);
    const std::vector<double> airline_ma =
        multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12));
    const struct {
        const char* model;
        std::vector<double> ar, ma;
        double pattern;  // the amplitude of a fixed monthly pattern added
        int D;
    } cases[] = {
        {"seasonal random walk", seasonal_walk, {1.0}, 0.0, 1},
        {"airline", airline_ar, airline_ma, 0.0, 1},
        {"AR(1) and a pattern", {1.0, -0.5}, {1.0}, 3.0, 1},
        {"AR(1)", {1.0, -0.5}, {1.0}, 0.0, 0},
        {"random walk", {1.0, -1.0}, {1.0}, 0.0, 0},
        {"ARMA(1,1)", {1.0, -0.7}, {1.0, 0.4}, 0.0, 0},
    };
    for (const auto& c : cases) {
        int hits = 0;
        for (std::uint64_t seed = 1; seed <= 20; ++seed) {
            std::vector<double> y = simulate_lag_model(c.ar, c.ma, 144, seed, 1.0);
            for (std::size_t t = 0; t < y.size(); ++t) {
                y[t] += c.pattern * std::sin(2.0 * std::numbers::pi * static_cast<double>(t % 12) / 12.0);
            }
            y[17] = y[60] = y[61] = NAN;
            IdentificationOptions options;
            options.d = 0;  // D alone
            const core::DifferencingChoice choice = core::choose_differencing(y, 12, {}, options);
            EXPECT_EQ(choice.D, choice.seasonal_strength > core::SEASONAL_STRENGTH_THRESHOLD ? 1 : 0);
            hits += choice.D == c.D ? 1 : 0;
        }
        EXPECT_GE(hits, 19) << c.model;
    }
}

// --- The search -----------------------------------------------------------

// Whether every root of 1 + c_1 z + ... + c_k z^k lies beyond radius r:
// the step-down (Schur-Cohn) recursion on the polynomial in z r, whose
// reflection coefficients all lie within (-1, 1) exactly then.
bool roots_beyond(std::vector<double> c, double r)
{
    std::vector<double> a(c.size() + 1, 1.0);
    for (std::size_t j = 0; j < c.size(); ++j) {
        a[j + 1] = c[j] * std::pow(r, static_cast<double>(j + 1));
    }
    while (a.size() > 1) {
        const double k = a.back() / a.front();
        if (!(std::fabs(k) < 1.0)) {
            return false;
        }
        std::vector<double> next(a.size() - 1);
        for (std::size_t j = 0; j < next.size(); ++j) {
            next[j] = (a[j] - k * a[a.size() - 1 - j]) / (1.0 - k * k);
        }
        a = next;
    }
    return true;
}

// Whether the fitted ARMA polynomials of `order` have every root beyond 1.001.
bool roots_clear(const core::ArimaFit& fit, const ArimaOrder& order)
{
    std::size_t first = 0;
    for (const auto& [count, sign] : {std::tuple{order.p, -1.0}, std::tuple{order.q, 1.0}, std::tuple{order.P, -1.0},
                                     std::tuple{order.Q, 1.0}}) {
        std::vector<double> c;
        for (int j = 0; j < count; ++j) {
            c.push_back(sign * fit.coefficients[first++]);
        }
        if (!roots_beyond(c, 1.001)) {
            return false;
        }
    }
    return true;
}

// A candidate fitted again: as the search fits it (a rough search, no
// covariance or weights), or in full, as the chosen model is.
core::ArimaFit refit(const std::vector<double>& y, const CandidateModel& c, int max_iterations, bool as_searched)
{
    core::ArimaOptions options;
    if (as_searched) {
        options.rough = true;
        options.covariance = false;
        options.weights = 0;
    }
    if (c.order.d + c.order.D == 0) {
        options.include_mean = c.constant;
    }
    options.include_drift = c.order.d + c.order.D == 1 && c.constant;
    options.max_iterations = max_iterations;
    return core::fit_arima(y, c.order, {}, options);
}

// The invariants of a search's report: each candidate once and within the
// bounds; each fitted anew as the search fits it gives its outcome and its
// AICc to the bit; the chosen one is the first of least AICc among those
// kept, and its fit the full fit of that model.
void check_candidates(const std::vector<double>& y, const Identification& found, const IdentificationOptions& options)
{
    std::set<std::tuple<int, int, int, int, bool>> seen;
    const CandidateModel* best = nullptr;
    for (const CandidateModel& c : found.candidates) {
        SCOPED_TRACE(std::to_string(c.order.p) + "," + std::to_string(c.order.q) + "," + std::to_string(c.order.P) +
                     "," + std::to_string(c.order.Q) + (c.constant ? " with constant" : ""));
        EXPECT_TRUE(seen.insert({c.order.p, c.order.q, c.order.P, c.order.Q, c.constant}).second);
        EXPECT_EQ(c.order.d, found.differencing.d);
        EXPECT_EQ(c.order.D, found.differencing.D);
        EXPECT_LE(c.order.p, options.max_p);
        EXPECT_LE(c.order.q, options.max_q);
        EXPECT_LE(c.order.P, options.max_P);
        EXPECT_LE(c.order.Q, options.max_Q);
        EXPECT_TRUE(!c.constant || c.order.d + c.order.D <= 1);
        core::ArimaFit fit;
        try {
            fit = refit(y, c, options.max_iterations, true);
        } catch (const core::ArimaInputError& refusal) {
            EXPECT_EQ(c.outcome, CandidateOutcome::refused);
            EXPECT_EQ(c.reason, refusal.what());
            continue;
        }
        if (!fit.converged) {
            EXPECT_EQ(c.outcome, CandidateOutcome::not_converged);
            continue;
        }
        const bool clear = roots_clear(fit, c.order);
        EXPECT_EQ(c.outcome == CandidateOutcome::near_unit_root, !clear);
        if (clear && !std::isfinite(fit.aicc)) {
            EXPECT_EQ(c.outcome, CandidateOutcome::refused);  // too few observations for an AICc
        }
        if (c.outcome == CandidateOutcome::kept) {
            EXPECT_TRUE(c.reason.empty());
            EXPECT_EQ(c.aicc, fit.aicc);
            if (best == nullptr || c.aicc < best->aicc) {
                best = &c;
            }
        } else {
            EXPECT_TRUE(std::isnan(c.aicc));
            EXPECT_FALSE(c.reason.empty());
        }
    }
    ASSERT_NE(best, nullptr);
    EXPECT_EQ(found.order.p, best->order.p);
    EXPECT_EQ(found.order.q, best->order.q);
    EXPECT_EQ(found.order.P, best->order.P);
    EXPECT_EQ(found.order.Q, best->order.Q);
    EXPECT_EQ(found.include_mean || found.include_drift, best->constant);
    const core::ArimaFit full = refit(y, *best, options.max_iterations, false);
    EXPECT_EQ(found.fit.coefficients, full.coefficients);
    EXPECT_EQ(found.fit.aicc, full.aicc);
    EXPECT_NEAR(found.fit.aicc, best->aicc, 1e-3);
}

std::vector<double> airline_series(std::size_t n, std::uint64_t seed)
{
    const std::vector<double> ar = multiply_lag_polynomials({1.0, -1.0}, seasonal_lag_polynomial(-1.0, 12));
    const std::vector<double> ma = multiply_lag_polynomials({1.0, -0.4}, seasonal_lag_polynomial(-0.6, 12));
    return simulate_lag_model(ar, ma, n, seed, 1.0);
}

TEST(OrderSearch, StepwiseCandidatesAreTheirFits)
{
    const struct {
        const char* model;
        std::vector<double> y;
        int period;
    } cases[] = {
        {"ARMA(1,1)", simulate_lag_model({1.0, -0.7}, {1.0, 0.4}, 150, 3, 1.0), 1},
        {"ARIMA(0,1,1)", simulate_lag_model({1.0, -1.0}, {1.0, -0.5}, 120, 4, 1.0), 1},
        {"airline", airline_series(144, 5), 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        const IdentificationOptions options;
        const Identification found = core::identify_arima(c.y, c.period, {}, options);
        EXPECT_FALSE(found.reached_model_bound);
        check_candidates(c.y, found, options);
    }
}

// The exhaustive search over a space the stepwise one walks in part: it
// fits every model there, and none of the stepwise search's is better.
TEST(OrderSearch, ExhaustiveCoversTheBoundsAndBeatsStepwise)
{
    const std::vector<double> y = simulate_lag_model({1.0, -0.6, 0.2}, {1.0}, 120, 8, 1.0);
    IdentificationOptions options;
    options.max_p = 2;
    options.max_q = 2;
    options.d = 0;
    IdentificationOptions all = options;
    all.stepwise = false;
    const Identification exhaustive = core::identify_arima(y, 1, {}, all);
    EXPECT_EQ(exhaustive.candidates.size(), 3U * 3U * 2U);  // p, q and the mean
    check_candidates(y, exhaustive, all);
    const Identification stepwise = core::identify_arima(y, 1, {}, options);
    EXPECT_LE(exhaustive.fit.aicc, stepwise.fit.aicc);
    EXPECT_LT(stepwise.candidates.size(), exhaustive.candidates.size());
}

// The same series gives the same candidates and the same bits, in one
// thread or two at once.
TEST(OrderSearch, Deterministic)
{
    const std::vector<double> y = airline_series(132, 11);
    const auto run = [&y] { return core::identify_arima(y, 12, {}, {}); };
    const Identification once = run();
    auto other = std::async(std::launch::async, run);
    const Identification here = run();
    for (const Identification& again : {here, other.get()}) {
        ASSERT_EQ(again.candidates.size(), once.candidates.size());
        for (std::size_t i = 0; i < once.candidates.size(); ++i) {
            const CandidateModel& a = once.candidates[i];
            const CandidateModel& b = again.candidates[i];
            EXPECT_EQ(std::tie(a.order.p, a.order.q, a.order.P, a.order.Q, a.constant, a.outcome, a.reason),
                      std::tie(b.order.p, b.order.q, b.order.P, b.order.Q, b.constant, b.outcome, b.reason));
            EXPECT_TRUE(a.aicc == b.aicc || (std::isnan(a.aicc) && std::isnan(b.aicc)));
        }
        EXPECT_EQ(again.fit.coefficients, once.fit.coefficients);
        EXPECT_EQ(again.fit.residuals.size(), once.fit.residuals.size());
    }
}

// A constant series, whole or with a gap: its mean reproduces it exactly
// (no AICc), and that model is chosen, with no ARMA part, over any fit with
// an AICc or without a mean.
TEST(OrderSearch, AConstantSeriesIsItsMean)
{
    for (const std::vector<double>& y : {std::vector<double>(30, 5.0), std::vector<double>{2, 2, NAN, 2, 2, 2, 2, 2, 2, 2}}) {
        IdentificationOptions options;
        options.d = 0;
        const Identification found = core::identify_arima(y, 1, {}, options);
        EXPECT_EQ(found.order.p + found.order.q, 0);
        EXPECT_TRUE(found.include_mean);
        EXPECT_EQ(found.fit.sigma2, 0.0);
        EXPECT_TRUE(std::any_of(found.candidates.begin(), found.candidates.end(), [](const CandidateModel& c) {
            return c.outcome == CandidateOutcome::exact_fit && std::isnan(c.aicc);
        }));
    }
}

// A series too short for the larger candidates: the fit refuses them or
// has no AICc for them, the search reports why and goes on; with every
// candidate refused it fails.
TEST(OrderSearch, SkipsRefusedFits)
{
    const std::vector<double> y = simulate_lag_model({1.0, -0.5}, {1.0}, 5, 2, 1.0);
    IdentificationOptions options;
    options.d = 0;
    const Identification found = core::identify_arima(y, 1, {}, options);
    const auto refused = std::count_if(found.candidates.begin(), found.candidates.end(), [](const CandidateModel& c) {
        return c.outcome == CandidateOutcome::refused;
    });
    EXPECT_GT(refused, 0);
    check_candidates(y, found, options);

    const std::vector<double> two = {1.0, NAN, 2.0};
    try {
        core::identify_arima(two, 1, {}, options);
        FAIL() << "identified a model on two values";
    } catch (const core::IdentificationFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("no candidate model could be fitted"), std::string::npos);
    }
}

// White noise differenced once: its MA(1) is at the unit circle, and the
// search keeps no model whose root lies there.
TEST(OrderSearch, SkipsRootsAtTheUnitCircle)
{
    int skipped = 0;
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        const std::vector<double> y = simulate_lag_model({1.0, -1.0}, {1.0, -1.0}, 100, seed, 1.0);
        IdentificationOptions options;
        options.d = 1;
        const Identification found = core::identify_arima(y, 1, {}, options);
        skipped += static_cast<int>(std::count_if(found.candidates.begin(), found.candidates.end(),
                                                  [](const CandidateModel& c) {
                                                      return c.outcome == CandidateOutcome::near_unit_root;
                                                  }));
        EXPECT_TRUE(roots_clear(found.fit, found.order));
    }
    EXPECT_GT(skipped, 0);
}

TEST(OrderSearch, BoundAndStop)
{
    const std::vector<double> y = airline_series(120, 7);
    IdentificationOptions options;
    options.max_models = 3;
    const Identification bounded = core::identify_arima(y, 12, {}, options);
    EXPECT_EQ(bounded.candidates.size(), 3U);
    EXPECT_TRUE(bounded.reached_model_bound);

    int asked = 0;
    options.max_models = 100;
    options.stop_requested = [&asked] { return ++asked > 50; };
    EXPECT_THROW(core::identify_arima(y, 12, {}, options), core::ArimaStopped);
}

TEST(OrderSearch, OptionsOutOfRange)
{
    const struct {
        int period;
        void (*set)(IdentificationOptions&);
        const char* message;
    } cases[] = {
        {1, [](IdentificationOptions& o) { o.D = 1; }, "D: a seasonal difference needs a period of at least 2"},
        {12, [](IdentificationOptions& o) { o.d = 3; }, "d: must be from 0 to 2, got 3"},
        {12, [](IdentificationOptions& o) { o.max_P = 6; }, "max_P: must be from 0 to 5, got 6"},
        {12, [](IdentificationOptions& o) { o.max_models = 0; }, "max_models: must be from 1 to 1000, got 0"},
        {0, [](IdentificationOptions&) {}, "period: must be from 1 to 366, got 0"},
    };
    const std::vector<double> y(40, 1.0);
    for (const auto& c : cases) {
        IdentificationOptions options;
        c.set(options);
        try {
            core::identify_arima(y, c.period, {}, options);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const core::ArimaInputError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

}  // namespace
