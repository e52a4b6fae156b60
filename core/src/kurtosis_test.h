// Whether residuals have heavier tails than the normal law: the sample
// excess kurtosis and the one-sided test of it by the normal approximation
// of Anscombe and Glynn (1983), good from about 20 values.
#ifndef CORE_KURTOSIS_TEST_H
#define CORE_KURTOSIS_TEST_H

#include <span>

namespace core {

struct KurtosisTest {
    double excess = 0;   // m4 / m2^2 - 3, moments about the mean
    double p_value = 1;  // of tails this heavy or heavier under normality; NaN below 5 values
};

// Over the finite values of `values`.
KurtosisTest kurtosis_test(std::span<const double> values);

}  // namespace core

#endif
