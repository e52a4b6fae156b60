// The fit on seeded simulated series: estimates within a few of their own
// standard errors of the truth, standard errors of the size the sample
// gives, residuals where they should be and equal to the pi-weighted sum,
// the same bits on every run, and honest failures.
#include "engine/arima_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "arma_simulation.h"
#include "polynomials.h"

namespace engine {
namespace {

// y_t = x_t' beta + u_t with u from ar(B) diff(B) u_t = ma(B) a_t, the
// ARMA part started from 500 burn-in steps.
std::vector<double> simulate(const ArimaOrder& o, const std::vector<double>& natural, std::size_t n, unsigned seed,
                             double sigma)
{
    const auto part = [&](int offset, int length) {
        return std::span<const double>(natural).subspan(static_cast<std::size_t>(offset),
                                                        static_cast<std::size_t>(length));
    };
    const Polynomial ar = multiply(multiply(ar_operator(part(0, o.p), 1), ar_operator(part(o.p + o.q, o.P), o.period)),
                                   differencing_operator(o.d, o.D, o.period));
    const Polynomial ma = multiply(ma_operator(part(o.p, o.q), 1), ma_operator(part(o.p + o.q + o.P, o.Q), o.period));
    return simulate_lag_model(ar, ma, n, seed, sigma);
}

struct RecoveryCase {
    const char* name;
    ArimaOrder order;
    std::vector<double> arma;  // natural, in the fit's order
    std::size_t n;
    double mean;               // 0: no intercept
    std::vector<double> beta;  // of two regressors, or empty
};

TEST(ArimaFit, RecoversSimulatedModels)
{
    const std::vector<RecoveryCase> cases{
        {"AR(1)", {1, 0, 0}, {0.6}, 400, 5.0, {}},
        {"ARMA(1,1)", {1, 0, 1}, {0.7, -0.4}, 500, 0.0, {}},
        {"ARIMA(0,1,1)", {0, 1, 1}, {-0.5}, 300, 0.0, {}},
        {"airline s=4", {0, 1, 1, 0, 1, 1, 4}, {-0.4, -0.6}, 400, 0.0, {}},
        {"ARIMA(1,0,0)(1,0,0)_12", {1, 0, 0, 1, 0, 0, 12}, {0.5, 0.4}, 600, 0.0, {}},
        {"regression, AR(2) errors", {2, 0, 0}, {0.5, -0.3}, 400, 0.0, {2.0, -1.0}},
    };
    unsigned seed = 11;
    for (const auto& c : cases) {
        const double sigma = 1.5;
        std::vector<double> y = simulate(c.order, c.arma, c.n, ++seed, sigma);
        std::vector<Regressor> regressors;
        if (!c.beta.empty()) {
            std::mt19937_64 random(seed);
            std::uniform_real_distribution<double> uniform(-2.0, 2.0);
            for (std::size_t j = 0; j < c.beta.size(); ++j) {
                Regressor x{std::string("x").append(std::to_string(j + 1)), std::vector<double>(c.n)};
                for (double& v : x.values)
                    v = uniform(random);
                for (std::size_t t = 0; t < c.n; ++t)
                    y[t] += c.beta[j] * x.values[t];
                regressors.push_back(std::move(x));
            }
        }
        for (double& v : y)
            v += c.mean;
        FitOptions options;
        options.include_mean = c.mean != 0.0;
        const FitResult fit = fit_arima(y, c.order, regressors, options);
        ASSERT_TRUE(fit.converged) << c.name << ": " << fit.message;
        std::vector<double> truth = c.arma;
        if (c.mean != 0.0)
            truth.push_back(c.mean);
        truth.insert(truth.end(), c.beta.begin(), c.beta.end());
        ASSERT_EQ(fit.coefficients.size(), truth.size()) << c.name;
        const double N = static_cast<double>(fit.nobs);
        for (std::size_t i = 0; i < truth.size(); ++i) {
            const double se = fit.standard_errors[i];
            EXPECT_NEAR(fit.coefficients[i], truth[i], 4.0 * se) << c.name << " " << fit.names[i];
            // Of order 1/sqrt(N) for the ARMA part and sigma/sqrt(N) (times
            // the long-run scale) for the regression: within a factor of 5.
            EXPECT_LT(se, 5.0 * std::max(1.0, std::fabs(truth[i])) * sigma / std::sqrt(N))
                << c.name << " " << fit.names[i];
        }
        // sigma^2-hat has relative standard error sqrt(2 / N).
        EXPECT_NEAR(fit.sigma2 / (sigma * sigma), 1.0, 4.0 * std::sqrt(2.0 / N)) << c.name;
        const auto lost = static_cast<std::size_t>(c.order.d + c.order.D * c.order.period);
        EXPECT_EQ(fit.nobs, c.n - lost);
        // AICc and BIC follow from log L with sigma^2 counted.
        const double k = static_cast<double>(truth.size() + 1);
        EXPECT_DOUBLE_EQ(fit.aic, -2.0 * fit.loglik + 2.0 * k);
        EXPECT_DOUBLE_EQ(fit.bic, -2.0 * fit.loglik + std::log(N) * k);
    }
}

TEST(ArimaFit, ResidualsArePiWeightedSumsAndStandardised)
{
    const ArimaOrder airline{0, 1, 1, 0, 1, 1, 12};
    const std::size_t n = 240;
    std::vector<double> y = simulate(airline, {-0.4, -0.6}, n, 5, 0.1);
    y[100] = std::nan("");
    y[101] = std::nan("");
    FitOptions options;
    options.pi_weights = n - 1;
    const FitResult fit = fit_arima(y, airline, {}, options);
    ASSERT_TRUE(fit.converged) << fit.message;
    EXPECT_EQ(fit.nobs, n - 2 - 13);
    double sum = 0.0;
    for (std::size_t t = 0; t < n; ++t) {
        const bool none = t < 13 || t == 100 || t == 101;
        EXPECT_EQ(std::isnan(fit.residuals[t]), none) << t;
        if (!none)
            sum += fit.residuals[t] * fit.residuals[t];
    }
    EXPECT_NEAR(sum / static_cast<double>(fit.nobs), fit.sigma2, 1e-9 * fit.sigma2);
    // Far from the start and the gap, the one-step residual is the
    // pi-weighted sum of the past: the MA part's start has died out.
    const std::size_t t = n - 1;
    double e = y[t];
    for (std::size_t j = 1; j <= t - 102; ++j)
        e -= fit.pi_weights[j - 1] * y[t - j];
    EXPECT_NEAR(fit.residuals[t], e, 0.05 * std::sqrt(fit.sigma2));
}

// Held at a full fit's own ARMA estimates, the regression alone gives that
// fit's coefficients to the bit (the same filter, the same least squares),
// and standard errors near the full fit's: a pulse's coefficient hardly
// depends on the ARMA part.
TEST(ArimaFit, RegressionAloneAtTheFullFitsArmaPart)
{
    const ArimaOrder order{1, 0, 1};
    const std::size_t n = 300;
    std::vector<double> y = simulate(order, {0.6, 0.3}, n, 11, 1.0);
    std::vector<Regressor> regressors{{"AO50", std::vector<double>(n, 0.0)}, {"LS200", std::vector<double>(n, 0.0)}};
    regressors[0].values[49] = 1.0;
    for (std::size_t t = 199; t < n; ++t)
        regressors[1].values[t] = 1.0;
    y[49] += 6.0;
    const FitResult full = fit_arima(y, order, regressors, {});
    ASSERT_TRUE(full.converged) << full.message;
    FitOptions held;
    held.fixed_arma = std::vector<double>(full.coefficients.begin(), full.coefficients.begin() + 2);
    const FitResult alone = fit_arima(y, order, regressors, held);
    EXPECT_TRUE(alone.converged);
    EXPECT_EQ(alone.evaluations, 1);
    ASSERT_EQ(alone.coefficients.size(), full.coefficients.size());
    for (std::size_t i = 0; i < full.coefficients.size(); ++i) {
        EXPECT_EQ(alone.coefficients[i], full.coefficients[i]) << full.names[i];
        if (i < 2) {
            EXPECT_TRUE(std::isnan(alone.standard_errors[i])) << full.names[i];
        } else {
            EXPECT_NEAR(alone.standard_errors[i], full.standard_errors[i], 0.1 * full.standard_errors[i])
                << full.names[i];
        }
    }
    EXPECT_EQ(alone.residuals, full.residuals);
    EXPECT_EQ(alone.loglik, full.loglik);
}

// Without the covariance the fit is the same estimate to the bit, with
// standard errors NaN and fewer evaluations (no Hessian).
TEST(ArimaFit, WithoutTheCovarianceTheSameEstimate)
{
    const ArimaOrder order{1, 0, 1, 0, 0, 1, 4};
    const std::vector<double> y = simulate(order, {0.5, 0.3, 0.4}, 120, 21, 1.0);
    const FitResult full = fit_arima(y, order, {}, {});
    FitOptions options;
    options.covariance = false;
    const FitResult bare = fit_arima(y, order, {}, options);
    ASSERT_EQ(bare.coefficients.size(), full.coefficients.size());
    EXPECT_EQ(std::memcmp(bare.coefficients.data(), full.coefficients.data(), full.coefficients.size() * sizeof(double)),
              0);
    EXPECT_EQ(std::memcmp(&bare.loglik, &full.loglik, sizeof(double)), 0);
    for (std::size_t i = 0; i < bare.standard_errors.size(); ++i)
        EXPECT_TRUE(std::isnan(bare.standard_errors[i]) && !std::isnan(full.standard_errors[i])) << full.names[i];
    EXPECT_EQ(bare.covariance.size(), full.covariance.size());
    EXPECT_LT(bare.evaluations, full.evaluations);
}

TEST(ArimaFit, SameBitsEveryRun)
{
    const ArimaOrder order{2, 0, 1};
    std::vector<double> y = simulate(order, {0.5, -0.2, 0.3}, 300, 9, 1.0);
    y[17] = std::nan("");
    const FitResult first = fit_arima(y, order, {}, {});
    const FitResult second = fit_arima(y, order, {}, {});
    ASSERT_EQ(first.coefficients.size(), second.coefficients.size());
    EXPECT_EQ(
        std::memcmp(first.coefficients.data(), second.coefficients.data(), first.coefficients.size() * sizeof(double)),
        0);
    EXPECT_EQ(std::memcmp(first.covariance.data(), second.covariance.data(), first.covariance.size() * sizeof(double)),
              0);
    EXPECT_EQ(std::memcmp(&first.loglik, &second.loglik, sizeof(double)), 0);
}

TEST(ArimaFit, SaysWhenItDoesNotConverge)
{
    const ArimaOrder order{2, 0, 2};
    const std::vector<double> y = simulate(order, {0.5, -0.2, 0.3, 0.2}, 300, 3, 1.0);
    FitOptions options;
    options.max_iterations = 1;
    const FitResult stopped = fit_arima(y, order, {}, options);
    EXPECT_FALSE(stopped.converged);
    EXPECT_NE(stopped.message.find("no convergence in 1 iterations"), std::string::npos) << stopped.message;

    std::vector<double> huge = simulate({1, 0, 0}, {0.5}, 100, 4, 1e300);
    const FitResult overflow = fit_arima(huge, {1, 0, 0}, {}, {});
    EXPECT_FALSE(overflow.converged);
    EXPECT_EQ(overflow.message.rfind("overflow:", 0), 0u) << overflow.message;

    // A constant series is fitted exactly by its mean: no maximum, and it
    // says so; the mean is exact. So is a pulse that reproduces a spike.
    const FitResult exact = fit_arima(std::vector<double>(50, 3.0), {1, 0, 0}, {}, {});
    EXPECT_FALSE(exact.converged);
    EXPECT_EQ(exact.message.rfind("exact fit:", 0), 0u) << exact.message;
    EXPECT_EQ(exact.sigma2, 0.0);
    EXPECT_EQ(exact.coefficients.back(), 3.0);
    EXPECT_EQ(exact.standard_errors.back(), 0.0);
    std::vector<double> spike(30, 5.0), pulse(30, 0.0);
    spike[10] = 100.0;
    pulse[10] = 1.0;
    const std::vector<Regressor> ao = {{"AO11", pulse}};
    const FitResult fitted = fit_arima(spike, {0, 0, 0}, ao, {});
    EXPECT_EQ(fitted.message.rfind("exact fit:", 0), 0u) << fitted.message;
    EXPECT_NEAR(fitted.coefficients[1], 95.0, 1e-12);
    EXPECT_NEAR(fitted.residuals[10], 0.0, 1e-12);
}

}  // namespace
}  // namespace engine
