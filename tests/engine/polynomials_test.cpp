// Backshift polynomials: products against hand expansions, and the whole
// model's pi and psi weights against the identity pi(B) psi(B) = 1.
#include "polynomials.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace engine {
namespace {

TEST(Polynomials, OperatorsMultiplyOut)
{
    // (1 - 0.5B)(1 - 0.3B^4) = 1 - 0.5B - 0.3B^4 + 0.15B^5
    const std::vector<double> phi{0.5}, Phi{0.3};
    EXPECT_EQ(multiply(ar_operator(phi, 1), ar_operator(Phi, 4)), (Polynomial{1.0, -0.5, 0.0, 0.0, -0.3, 0.15}));
    // (1 - B)^2 (1 - B^3) = 1 - 2B + B^2 - B^3 + 2B^4 - B^5
    EXPECT_EQ(differencing_operator(2, 1, 3), (Polynomial{1, -2, 1, -1, 2, -1}));
    // (1 - B)^2 applied to t^2 is the constant 2.
    const std::vector<double> squares{0, 1, 4, 9, 16, 25};
    EXPECT_EQ(apply_operator(differencing_operator(2, 0, 1), squares), (std::vector<double>{2, 2, 2, 2}));
}

// pi(B) = 1 - sum pi_j B^j and psi(B) = 1 + sum psi_j B^j are each other's
// inverse as power series, for stationary, differenced and seasonal models.
struct WeightsCase {
    std::vector<double> phi, theta, Phi, Theta;
    int d, D, period;
};

TEST(Polynomials, PiAndPsiWeightsAreInverseSeries)
{
    const std::vector<WeightsCase> cases{
        {{0.6}, {}, {}, {}, 0, 0, 1},
        {{0.5, -0.3}, {0.4}, {}, {}, 0, 0, 1},
        {{}, {-0.4}, {}, {-0.6}, 1, 1, 12},
        {{0.3}, {0.2, 0.1}, {0.5}, {-0.3}, 2, 1, 4},
    };
    constexpr std::size_t k = 60;
    for (const auto& c : cases) {
        const Polynomial ar = multiply(ar_operator(c.phi, 1), ar_operator(c.Phi, c.period));
        const Polynomial ma = multiply(ma_operator(c.theta, 1), ma_operator(c.Theta, c.period));
        const Polynomial diff = differencing_operator(c.d, c.D, c.period);
        const auto pi = pi_weights(ar, diff, ma, k);
        const auto psi = psi_weights(ar, diff, ma, k);
        ASSERT_EQ(pi.size(), k);
        Polynomial pi_b{1.0}, psi_b{1.0};
        for (std::size_t j = 0; j < k; ++j) {
            pi_b.push_back(-pi[j]);
            psi_b.push_back(psi[j]);
        }
        const Polynomial product = multiply(pi_b, psi_b);
        EXPECT_EQ(product[0], 1.0);
        for (std::size_t j = 1; j <= k; ++j) {
            // Each coefficient is a sum of j products of the weights.
            double scale = 0.0;
            for (std::size_t i = 0; i <= j; ++i)
                scale += std::fabs(pi_b[i] * psi_b[j - i]);
            EXPECT_NEAR(product[j], 0.0, 1e-14 * scale) << "lag " << j << " of case with d=" << c.d;
        }
        // pi(B) is ar diff / ma: multiplied by ma it gives ar diff, term by term.
        const Polynomial back = multiply(pi_b, ma);
        const Polynomial target = multiply(ar, diff);
        for (std::size_t j = 0; j < std::min(target.size(), k); ++j)
            EXPECT_NEAR(back[j], target[j], 1e-12);
    }
}

}  // namespace
}  // namespace engine
