// Small-sample corrected critical value.
//
// Method: the curve x1 + x2 g(n) + x3 s(n) in the extreme-value quantities
//   s(m) = sqrt(2 ln m),  g(m) = (ln ln m + K) / (2 s(m)),
// fitted through three anchors: at m = 2 the exact critical value of two
// independent normal observations, z with (2 Phi(z) - 1)^2 = 1 - alpha, and
// at m = 100 and 200 Ljung's asymptotic value. One observation has its own
// exact value, the two-sided normal quantile for alpha. The curve is exact
// for one and two observations and meets Ljung's value at 100 and 200.
//
// The anchors, the 3 x 3 system and its solution are recomputed on every
// call, as the steps say: nothing is kept between calls.
//
// Domain: n >= 1 and 0 < alpha <= 0.1. At alpha = 0 (or a level so small
// that the anchor's probability rounds to 1), or a NaN alpha, the normal
// quantile has no deviate; n <= 0 has no logarithm. Those inputs are
// answered with MISSING_VALUE.
#include <cmath>

#include "cv/critical_value.h"
#include "host/host_toolkit.h"
#include "numeric/linear_solver.h"
#include "numeric/normal_quantile.h"

namespace {

constexpr int ANCHORS = 3;
constexpr double ANCHOR_SIZES[ANCHORS] = {2.0, 100.0, 200.0};

}  // namespace

double corrected_critical_value(const std::int32_t* n, const double* alpha)
{
    if (*n <= 0) {
        return MISSING_VALUE;
    }

    std::int32_t fault = 0;

    // 1. One observation: the two-sided normal critical value.
    if (*n == 1) {
        const double p = 1.0 - 0.5 * *alpha;
        const double z = normal_quantile(&p, &fault);
        return fault == 1 ? MISSING_VALUE : z;
    }

    // 2. Anchors: value y(i) and row (1, g, s) of A, column-major, order 3.
    std::int32_t order = ANCHORS;
    double A[ANCHORS * ANCHORS];
    double y[ANCHORS];
    for (int i = 1; i <= ANCHORS; ++i) {
        const double m = ANCHOR_SIZES[i - 1];
        const double c = std::log(m);
        if (i == 1) {
            const double p = (std::sqrt(1.0 - *alpha) + 1.0) * 0.5;
            y[0] = normal_quantile(&p, &fault);
            if (fault == 1) {
                return MISSING_VALUE;
            }
        } else {
            const auto size = static_cast<std::int32_t>(m);
            y[i - 1] = ljung_critical_value(&size, alpha);
            // Where the quantile exists so does Ljung's value; a missing one
            // would otherwise run through the fit as a NaN.
            if (is_missing(y[i - 1])) {
                return MISSING_VALUE;
            }
        }
        A[(i - 1) + 0 * ANCHORS] = 1.0;
        const double s = std::sqrt(c + c);
        A[(i - 1) + 2 * ANCHORS] = s;
        A[(i - 1) + 1 * ANCHORS] = (std::log(c) + K) / (s * 2.0);
    }

    // 3. Fit the curve.
    double x[ANCHORS];
    std::int32_t flag = 0;
    solve_linear_system(&order, A, y, &order, x, &flag);
    if (flag == 2) {
        return MISSING_VALUE;
    }

    // 4. Evaluate it at n.
    const double c = std::log(static_cast<double>(*n));
    const double s = std::sqrt(c + c);
    const double e = std::log(c);
    const double t = (K + e) / (s + s);
    return (t * x[1] + x[0]) + x[2] * s;
}
