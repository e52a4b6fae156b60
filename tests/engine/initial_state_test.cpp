// The stationary initial state: autocovariances against the sum of psi
// weights, and P_1 against the equation it solves, P = T P T' + R R',
// including a seasonal period of 366.
#include "initial_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "polynomials.h"

namespace engine {
namespace {

struct ArmaCase {
    std::vector<double> phi, theta, Phi, Theta;
    int period;
};

const std::vector<ArmaCase> kCases{
    {{0.7}, {}, {}, {}, 1},           {{0.5, -0.3}, {0.4}, {}, {}, 1}, {{}, {-0.4}, {}, {-0.6}, 12},
    {{0.3}, {0.2}, {0.6}, {-0.3}, 4}, {{-0.2}, {}, {0.4}, {0.5}, 52},  {{0.4}, {0.3}, {0.5}, {}, 366},
};

Polynomial ar_of(const ArmaCase& c)
{
    return multiply(ar_operator(c.phi, 1), ar_operator(c.Phi, c.period));
}
Polynomial ma_of(const ArmaCase& c)
{
    return multiply(ma_operator(c.theta, 1), ma_operator(c.Theta, c.period));
}

// gamma(h) = sum_j psi_j psi_{j+h}, psi by its own recursion
// psi_j = ma_j + sum_i phi~_i psi_{j-i}, summed until the terms vanish.
TEST(InitialState, AutocovariancesAreSumsOfPsiWeights)
{
    for (const auto& c : kCases) {
        if (c.period > 12)
            continue;  // the brute-force sum needs many terms there
        const Polynomial ar = ar_of(c), ma = ma_of(c);
        constexpr std::size_t terms = 4000, lags = 30;
        std::vector<double> psi(terms + lags, 0.0);
        for (std::size_t j = 0; j < psi.size(); ++j) {
            double value = j < ma.size() ? ma[j] : 0.0;
            for (std::size_t i = 1; i < ar.size() && i <= j; ++i)
                value -= ar[i] * psi[j - i];
            psi[j] = value;
        }
        const auto gamma = autocovariances(ar, ma, lags);
        ASSERT_TRUE(gamma.has_value());
        for (std::size_t h = 0; h <= lags; ++h) {
            double sum = 0.0;
            for (std::size_t j = 0; j < terms; ++j)
                sum += psi[j] * psi[j + h];
            EXPECT_NEAR((*gamma)[h], sum, 1e-12 * (*gamma)[0]) << "lag " << h;
        }
    }
}

TEST(InitialState, CovarianceSolvesTheStationaryEquation)
{
    for (const auto& c : kCases) {
        const Polynomial ar = ar_of(c), ma = ma_of(c);
        const ArmaStateSpace model = arma_state_space(ar, ma);
        const auto P = stationary_covariance(model, ar, ma);
        ASSERT_TRUE(P.has_value());
        const std::size_t r = model.r;
        // T P T' by columns and rows with the model's own transition.
        std::vector<double> TP(r * r), TPT(r * r), column(r), image(r);
        for (std::size_t j = 0; j < r; ++j) {
            for (std::size_t i = 0; i < r; ++i)
                column[i] = (*P)[i * r + j];
            apply_transition(model, column, image);
            for (std::size_t i = 0; i < r; ++i)
                TP[i * r + j] = image[i];
        }
        for (std::size_t i = 0; i < r; ++i) {
            for (std::size_t j = 0; j < r; ++j)
                column[j] = TP[i * r + j];
            apply_transition(model, column, image);
            for (std::size_t j = 0; j < r; ++j)
                TPT[i * r + j] = image[j];
        }
        double largest = 0.0;
        for (std::size_t i = 0; i < r; ++i)
            for (std::size_t j = 0; j < r; ++j)
                largest = std::max(largest, std::fabs((*P)[i * r + j] - TPT[i * r + j] - model.R[i] * model.R[j]));
        EXPECT_LT(largest, 1e-12 * (*P)[0]) << "period " << c.period << ", r " << r;
    }
}

TEST(InitialState, RefusesANonstationaryOperator)
{
    const Polynomial ar{1.0, -1.0}, ma{1.0};
    EXPECT_FALSE(autocovariances(ar, ma, 3).has_value());
    EXPECT_FALSE(stationary_covariance(arma_state_space(ar, ma), ar, ma).has_value());
}

}  // namespace
}  // namespace engine
