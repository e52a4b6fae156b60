// Seeded series of a model written as its two lag polynomials, for the
// engine's tests and benchmarks: u_t from ar(B) u_t = ma(B) a_t, a_t normal
// with standard deviation sigma, started from zero and run 500 steps before
// the n values kept, so that the start is forgotten. ar and ma hold the
// coefficients of B^0 (1) first, as the engine's polynomials do.
#ifndef CVMODULE_TESTS_ARMA_SIMULATION_H
#define CVMODULE_TESTS_ARMA_SIMULATION_H

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

inline std::vector<double> simulate_lag_model(const std::vector<double>& ar, const std::vector<double>& ma,
                                              std::size_t n, std::uint64_t seed, double sigma)
{
    constexpr std::size_t burn = 500;
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal(0.0, sigma);
    std::vector<double> a(n + burn), u(n + burn, 0.0);
    for (double& v : a)
        v = normal(random);
    for (std::size_t t = 0; t < n + burn; ++t) {
        double value = 0.0;
        for (std::size_t j = 0; j < ma.size() && j <= t; ++j)
            value += ma[j] * a[t - j];
        for (std::size_t j = 1; j < ar.size() && j <= t; ++j)
            value -= ar[j] * u[t - j];
        u[t] = value;
    }
    return {u.end() - static_cast<std::ptrdiff_t>(n), u.end()};
}

// The product of two lag polynomials (coefficients of B^0 first).
inline std::vector<double> multiply_lag_polynomials(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> c(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
            c[i + j] += a[i] * b[j];
    return c;
}

// 1 + coefficient B^period.
inline std::vector<double> seasonal_lag_polynomial(double coefficient, int period)
{
    std::vector<double> polynomial(static_cast<std::size_t>(period) + 1, 0.0);
    polynomial.front() = 1.0;
    polynomial.back() = coefficient;
    return polynomial;
}

#endif
