// The kurtosis test, as its steps read:
//   b2 = m4 / m2^2;  E = 3 (n - 1) / (n + 1);
//   V = 24 n (n - 2) (n - 3) / ((n + 1)^2 (n + 3) (n + 5));  x = (b2 - E) / sqrt(V);
//   beta = 6 (n^2 - 5n + 2) / ((n + 7)(n + 9)) * sqrt(6 (n + 3)(n + 5) / (n (n - 2)(n - 3)));
//   A = 6 + (8 / beta) (2 / beta + sqrt(1 + 4 / beta^2));
//   z = ((1 - 2 / (9A)) - cbrt((1 - 2/A) / (1 + x sqrt(2 / (A - 4))))) / sqrt(2 / (9A)),
// and the p-value is P(Z > z) for a standard normal Z.
#include "kurtosis_test.h"

#include <cmath>
#include <cstddef>

namespace core {

KurtosisTest kurtosis_test(std::span<const double> values)
{
    double sum = 0.0;
    std::size_t count = 0;
    for (const double v : values) {
        if (std::isfinite(v)) {
            sum += v;
            ++count;
        }
    }
    KurtosisTest result;
    if (count < 5) {
        result.excess = NAN;
        result.p_value = NAN;
        return result;
    }
    const double n = static_cast<double>(count);
    const double mean = sum / n;
    double m2 = 0.0;
    double m4 = 0.0;
    for (const double v : values) {
        if (std::isfinite(v)) {
            const double d = v - mean;
            const double d2 = d * d;
            m2 += d2;
            m4 += d2 * d2;
        }
    }
    m2 /= n;
    m4 /= n;
    if (!(m2 > 0.0)) {
        result.excess = NAN;
        result.p_value = NAN;
        return result;
    }
    const double b2 = m4 / (m2 * m2);
    result.excess = b2 - 3.0;

    const double expected = 3.0 * (n - 1.0) / (n + 1.0);
    const double variance = 24.0 * n * (n - 2.0) * (n - 3.0) / ((n + 1.0) * (n + 1.0) * (n + 3.0) * (n + 5.0));
    const double x = (b2 - expected) / std::sqrt(variance);
    const double beta = 6.0 * (n * n - 5.0 * n + 2.0) / ((n + 7.0) * (n + 9.0)) *
                        std::sqrt(6.0 * (n + 3.0) * (n + 5.0) / (n * (n - 2.0) * (n - 3.0)));
    const double A = 6.0 + 8.0 / beta * (2.0 / beta + std::sqrt(1.0 + 4.0 / (beta * beta)));
    const double denominator = 1.0 + x * std::sqrt(2.0 / (A - 4.0));
    const double root = std::cbrt((1.0 - 2.0 / A) / denominator);
    const double z = ((1.0 - 2.0 / (9.0 * A)) - root) / std::sqrt(2.0 / (9.0 * A));
    result.p_value = 0.5 * std::erfc(z / std::sqrt(2.0));
    return result;
}

}  // namespace core
