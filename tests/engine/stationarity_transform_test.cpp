// The stationarity transform: every real vector gives a stationary
// operator (all companion eigenvalues inside the unit circle), and the
// inverse gives the vector back.
#include "stationarity_transform.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <random>
#include <vector>

namespace engine {
namespace {

double spectral_radius(const std::vector<double>& phi)
{
    const auto p = static_cast<Eigen::Index>(phi.size());
    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(p, p);
    for (Eigen::Index j = 0; j < p; ++j)
        companion(0, j) = phi[static_cast<std::size_t>(j)];
    for (Eigen::Index i = 1; i < p; ++i)
        companion(i, i - 1) = 1.0;
    return companion.eigenvalues().cwiseAbs().maxCoeff();
}

TEST(StationarityTransform, MapsOntoStationaryOperatorsAndBack)
{
    std::mt19937_64 random(20240601);
    std::normal_distribution<double> normal(0.0, 1.5);
    for (std::size_t p = 1; p <= 5; ++p) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<double> u(p);
            for (double& x : u)
                x = normal(random);
            const auto phi = ar_from_unconstrained(u);
            EXPECT_LT(spectral_radius(phi), 1.0);
            const auto back = unconstrained_from_ar(phi);
            ASSERT_TRUE(back.has_value());
            for (std::size_t j = 0; j < p; ++j)
                EXPECT_NEAR((*back)[j], u[j], 1e-9 * (1.0 + std::fabs(u[j])));
            // The MA map flips signs: 1 + theta B is invertible exactly when 1 - phi B is stationary.
            const auto theta = ma_from_unconstrained(u);
            for (std::size_t j = 0; j < p; ++j)
                EXPECT_EQ(theta[j], -phi[j]);
            const auto back_ma = unconstrained_from_ma(theta);
            ASSERT_TRUE(back_ma.has_value());
            EXPECT_EQ(*back_ma, *back);
        }
    }
}

TEST(StationarityTransform, RefusesNonstationaryOperators)
{
    const std::vector<std::vector<double>> outside{{1.0}, {-1.2}, {0.5, 0.6}, {0.0, 0.0, 1.0}};
    for (const auto& phi : outside) {
        EXPECT_GE(spectral_radius(phi), 1.0 - 1e-12);
        EXPECT_FALSE(unconstrained_from_ar(phi).has_value());
    }
}

}  // namespace
}  // namespace engine
