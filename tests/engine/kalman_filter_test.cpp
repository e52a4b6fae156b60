// The filters' likelihood against the Gaussian density written directly
// from the model's autocovariance matrix, for small n: complete, with
// values missing (their rows and columns dropped), and differenced with
// values missing (the density of the differences between consecutive
// observed values); and the diffuse filter against the fast one on a
// complete differenced series.
#include "kalman_filter.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "initial_state.h"
#include "polynomials.h"

namespace engine {
namespace {

constexpr double kSteady = 1e-13;

struct Model {
    Polynomial ar, ma;
};

const std::vector<Model> kModels{
    {{1.0, -0.7}, {1.0}},
    {{1.0, -0.5, 0.3}, {1.0, 0.4}},
    {multiply(Polynomial{1.0, -0.3}, Polynomial{1.0, 0.0, 0.0, 0.0, -0.5}), {1.0, 0.0, 0.0, 0.0, -0.6}},
    {{1.0}, multiply(Polynomial{1.0, -0.4}, Polynomial{1.0, 0.0, 0.0, 0.0, -0.6})},
};

// gamma(h) = sum_j psi_j psi_{j+h}, psi from its recursion: independent of
// the engine's autocovariances.
std::vector<double> reference_autocovariances(const Model& m, std::size_t lags)
{
    constexpr std::size_t terms = 4000;
    std::vector<double> psi(terms + lags, 0.0);
    for (std::size_t j = 0; j < psi.size(); ++j) {
        double value = j < m.ma.size() ? m.ma[j] : 0.0;
        for (std::size_t i = 1; i < m.ar.size() && i <= j; ++i)
            value -= m.ar[i] * psi[j - i];
        psi[j] = value;
    }
    std::vector<double> gamma(lags + 1, 0.0);
    for (std::size_t h = 0; h <= lags; ++h)
        for (std::size_t j = 0; j < terms; ++j)
            gamma[h] += psi[j] * psi[j + h];
    return gamma;
}

double gaussian_loglik(const Eigen::VectorXd& x, const Eigen::MatrixXd& covariance)
{
    const Eigen::LLT<Eigen::MatrixXd> llt(covariance);
    const Eigen::VectorXd z = llt.matrixL().solve(x);
    const double log_det = 2.0 * llt.matrixL().toDenseMatrix().diagonal().array().log().sum();
    return -0.5 * (static_cast<double>(x.size()) * std::log(2.0 * std::numbers::pi) + log_det + z.squaredNorm());
}

double filter_loglik(const FilterOutput& f)
{
    double sum = f.sum_log_F + static_cast<double>(f.used) * std::log(2.0 * std::numbers::pi);
    for (std::size_t t = 0; t < f.F.size(); ++t)
        if (!std::isnan(f.F[t]))
            sum += f.v[t] * f.v[t] / f.F[t];
    return -0.5 * sum;
}

std::vector<double> random_series(std::size_t n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    std::vector<double> y(n);
    for (double& v : y)
        v = normal(random);
    return y;
}

TEST(KalmanFilter, LikelihoodIsTheGaussianDensity)
{
    constexpr std::size_t n = 14;
    const std::vector<std::size_t> missing{0, 5, 6, 11};
    for (std::size_t k = 0; k < kModels.size(); ++k) {
        const Model& m = kModels[k];
        const ArmaStateSpace model = arma_state_space(m.ar, m.ma);
        const auto gamma = reference_autocovariances(m, n);
        std::vector<double> y = random_series(n, 7 + static_cast<unsigned>(k));
        Eigen::MatrixXd covariance(n, n);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                covariance(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = gamma[i > j ? i - j : j - i];
        const double direct = gaussian_loglik(Eigen::Map<Eigen::VectorXd>(y.data(), n), covariance);

        const auto column = stationary_first_column(model, m.ar, m.ma);
        const auto P1 = stationary_covariance(model, m.ar, m.ma);
        ASSERT_TRUE(column && P1);
        const double tolerance = 1e-10 * std::fabs(direct);
        EXPECT_NEAR(filter_loglik(filter_complete(model, *column, y, n, 1, kSteady)), direct, tolerance)
            << "model " << k;
        EXPECT_NEAR(filter_loglik(filter_diffuse(model, *P1, Polynomial{1.0}, y, n, 1, kSteady)), direct, tolerance);

        // Missing values: the density of the observed ones.
        std::vector<Eigen::Index> kept;
        for (std::size_t t = 0; t < n; ++t)
            if (std::find(missing.begin(), missing.end(), t) == missing.end())
                kept.push_back(static_cast<Eigen::Index>(t));
        Eigen::VectorXd observed(kept.size());
        Eigen::MatrixXd observed_covariance(kept.size(), kept.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            observed(static_cast<Eigen::Index>(i)) = y[static_cast<std::size_t>(kept[i])];
            for (std::size_t j = 0; j < kept.size(); ++j)
                observed_covariance(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) =
                    covariance(kept[i], kept[j]);
        }
        for (std::size_t t : missing)
            y[t] = std::nan("");
        const FilterOutput f = filter_diffuse(model, *P1, Polynomial{1.0}, y, n, 1, kSteady);
        EXPECT_EQ(f.used, kept.size());
        EXPECT_NEAR(filter_loglik(f), gaussian_loglik(observed, observed_covariance), tolerance);
    }
}

// u_t = u_{t-1} + w_t, w ARMA, some u missing: the consecutive observed
// values' differences c_i = sum of w over (t_i, t_{i+1}] are what the
// diffuse likelihood is the density of.
TEST(KalmanFilter, DiffuseLikelihoodIsTheDensityOfObservedDifferences)
{
    // Long enough for P_t to settle before the later gaps.
    constexpr std::size_t n = 90;
    const std::vector<std::size_t> missing{0, 3, 4, 9, 50, 70, 71, 89};
    for (std::size_t k = 0; k < kModels.size(); ++k) {
        const Model& m = kModels[k];
        const ArmaStateSpace model = arma_state_space(m.ar, m.ma);
        const auto gamma = reference_autocovariances(m, n);
        std::vector<double> y = random_series(n, 31 + static_cast<unsigned>(k));
        for (std::size_t t : missing)
            y[t] = std::nan("");
        std::vector<std::size_t> times;
        for (std::size_t t = 0; t < n; ++t)
            if (!std::isnan(y[t]))
                times.push_back(t);
        const std::size_t count = times.size() - 1;
        Eigen::VectorXd c(count);
        Eigen::MatrixXd covariance(count, count);
        for (std::size_t i = 0; i < count; ++i) {
            c(static_cast<Eigen::Index>(i)) = y[times[i + 1]] - y[times[i]];
            for (std::size_t j = 0; j < count; ++j) {
                double sum = 0.0;
                for (std::size_t s = times[i] + 1; s <= times[i + 1]; ++s)
                    for (std::size_t u = times[j] + 1; u <= times[j + 1]; ++u)
                        sum += gamma[s > u ? s - u : u - s];
                covariance(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = sum;
            }
        }
        const auto P1 = stationary_covariance(model, m.ar, m.ma);
        ASSERT_TRUE(P1.has_value());
        const FilterOutput f = filter_diffuse(model, *P1, differencing_operator(1, 0, 1), y, n, 1, kSteady);
        EXPECT_EQ(f.used, count);
        const double direct = gaussian_loglik(c, covariance);
        EXPECT_NEAR(filter_loglik(f), direct, 1e-10 * std::fabs(direct)) << "model " << k;
    }
}

// With nothing missing the diffuse filter on the series and the fast
// filter on its differences give the same innovations and likelihood,
// for each differencing the model allows (s = 4 here).
TEST(KalmanFilter, DiffuseFilterEqualsFastFilterOnDifferences)
{
    constexpr std::size_t n = 60;
    const std::vector<std::vector<int>> orders{{1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
    for (const auto& dD : orders) {
        for (std::size_t k = 0; k < kModels.size(); ++k) {
            const Model& m = kModels[k];
            const ArmaStateSpace model = arma_state_space(m.ar, m.ma);
            const Polynomial diff = differencing_operator(dD[0], dD[1], 4);
            const std::size_t lost = diff.size() - 1;
            std::vector<double> y = random_series(n, 100 + static_cast<unsigned>(k));
            const auto w = apply_operator(diff, y);
            const FilterOutput fast =
                filter_complete(model, *stationary_first_column(model, m.ar, m.ma), w, w.size(), 1, kSteady);
            const FilterOutput slow =
                filter_diffuse(model, *stationary_covariance(model, m.ar, m.ma), diff, y, n, 1, kSteady);
            ASSERT_EQ(slow.used, fast.used);
            EXPECT_NEAR(filter_loglik(slow), filter_loglik(fast), 1e-9 * std::fabs(filter_loglik(fast)));
            for (std::size_t t = lost; t < n; ++t) {
                EXPECT_NEAR(slow.v[t], fast.v[t - lost], 1e-8) << "t " << t << " d " << dD[0] << " D " << dD[1];
                EXPECT_NEAR(slow.F[t], fast.F[t - lost], 1e-8);
            }
        }
    }
}

}  // namespace
}  // namespace engine
